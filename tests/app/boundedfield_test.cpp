// The bounded numeric field in a real window offscreen: the check when the box is left,
// its messages and resets, the focus it keeps, and the value a dialog stores.
#include "app/boundedfield.h"
#include "support/linkfixture.h"
#include "support/dialoghelpers.h"

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>

using namespace korvel;
using namespace korvel::test;

namespace {

const QString kAbove = QStringLiteral("Value greater than maximum, value is reset to maximum");
const QString kBelow = QStringLiteral("Value less than minimum, value is reset to minimum");
const QString kEmpty = QStringLiteral("Nothing was entered in the field, please enter valid data!");

class BoundedFieldTest : public LinkFixture {
protected:
    void SetUp() override {
        LinkFixture::SetUp();
        auto* layout = new QVBoxLayout(&dialog);
        field = new BoundedField("updRetryTimeout", "txtRetryTimeout", {100, 20000, 100, 0, {}, 100}, &dialog);
        zero = new BoundedField("updCycle", "txtCycle", {1, 60, 1, 2, BoundedField::EmptyReset::ToZero, 1}, &dialog);
        other = new QPushButton(QStringLiteral("Other"), &dialog);
        cancel = new QPushButton(QStringLiteral("Cancel"), &dialog);
        LeaveUnchecked(cancel);
        for (QWidget* w : {static_cast<QWidget*>(field), static_cast<QWidget*>(zero), static_cast<QWidget*>(other),
                           static_cast<QWidget*>(cancel)})
            layout->addWidget(w);
        dialog.show();
        ASSERT_TRUE(ActiveAsShown(&dialog));
        field->SetValue(500);
        field->setFocus(Qt::OtherFocusReason);
        ASSERT_EQ(QApplication::focusWidget(), field);
    }
    // The user leaves the field with Tab.
    void Leave(QWidget* to = nullptr) { (to ? to : other)->setFocus(Qt::TabFocusReason); }
    static void Type(QWidget* w, const QString& text) {
        for (QChar c : text) {
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
            QApplication::sendEvent(w, &press);
        }
    }
    QStringList Texts() const { return ShownTexts(prompts); }

    QDialog dialog;
    BoundedField* field = nullptr;
    BoundedField* zero = nullptr;
    QPushButton* other = nullptr;
    QPushButton* cancel = nullptr;
    BoxesTakeActivation boxes{prompts};
};

TEST_F(BoundedFieldTest, AValueWithinTheLimitsBecomesTheValueLimitsIncluded) {
    for (const char* text : {"100", "20000", "01500"}) {
        field->setFocus(Qt::OtherFocusReason);
        field->SetText(QString::fromLatin1(text));
        Leave();
        EXPECT_EQ(QApplication::focusWidget(), other) << text;
    }
    EXPECT_TRUE(prompts.Shown().isEmpty());
    EXPECT_EQ(field->Value(), 1500);
    EXPECT_DOUBLE_EQ(field->StoredValue(), 15) << "kept in tenths of a second";
    field->SetText(QStringLiteral("0150"));
    field->setFocus(Qt::OtherFocusReason);
    Leave();
    EXPECT_EQ(field->Value(), 150) << "\"0150\" is 150";
    EXPECT_EQ(field->Text(), "150");
}

TEST_F(BoundedFieldTest, AboveAndBelowTheLimitsResetTheBoxKeepTheFocusAndTheValue) {
    field->SetText(QStringLiteral("20100"));
    Leave();
    EXPECT_EQ(Texts(), QStringList{kAbove});
    EXPECT_EQ(prompts.Shown()[0].buttons, vbOKOnly);
    EXPECT_EQ(prompts.Shown()[0].icon, vbNoIcon);
    EXPECT_EQ(prompts.Shown()[0].owner, &dialog) << "the box belongs to the field's window";
    EXPECT_EQ(field->Text(), "20000");
    EXPECT_EQ(field->Value(), 500);
    EXPECT_EQ(QApplication::focusWidget(), field);
    Leave();  // the reset text passes the second time
    EXPECT_EQ(field->Value(), 20000);
    EXPECT_EQ(QApplication::focusWidget(), other);

    field->setFocus(Qt::OtherFocusReason);
    field->SetText(QStringLiteral("0"));
    Leave();
    EXPECT_EQ(Texts().last(), kBelow);
    EXPECT_EQ(field->Text(), "100");
    EXPECT_EQ(field->Value(), 20000);
    EXPECT_EQ(QApplication::focusWidget(), field);
}

TEST_F(BoundedFieldTest, AnEmptyBoxIsResetToItsVariantsText) {
    field->SetText(QString());
    Leave();
    EXPECT_EQ(Texts(), QStringList{kEmpty});
    EXPECT_EQ(field->Text(), "100");
    EXPECT_EQ(QApplication::focusWidget(), field);
    EXPECT_EQ(field->Value(), 500);

    zero->SetValue(30);
    zero->setFocus(Qt::OtherFocusReason);
    zero->SetText(QString());
    Leave();
    EXPECT_EQ(zero->Text(), "0");
    Leave();  // 0 is below this field's minimum
    EXPECT_EQ(Texts().last(), kBelow);
    EXPECT_EQ(zero->Text(), "1");
    EXPECT_EQ(zero->Value(), 30);
}

TEST_F(BoundedFieldTest, OnlyDigitsAndTheLengthLimitReachTheBox) {
    zero->setFocus(Qt::OtherFocusReason);
    zero->Box()->clear();
    Type(zero, QStringLiteral("4a-.5 9"));
    EXPECT_EQ(zero->Text(), "45") << "two characters at most";

    field->Box()->clear();
    QApplication::clipboard()->setText(QStringLiteral("12ab"));
    field->Box()->paste();
    EXPECT_EQ(field->Text(), "") << "pasted text with letters is refused";
    QApplication::clipboard()->setText(QStringLiteral("700"));
    field->Box()->paste();
    EXPECT_EQ(field->Text(), "700");
}

TEST_F(BoundedFieldTest, NoSecondCheckWhileTheMessageBoxMovesTheFocus) {
    zero->SetText(QString());
    field->SetText(QString());
    // The box takes the focus and gives it back to the control the user had clicked,
    // which then loses it to the field again: none of this is the user leaving a field.
    prompts.WhileShowing([this](const ShownBox&) {
        // A window manager gives the window back while the box's loop still runs.
        QApplication::setActiveWindow(&dialog);
        zero->setFocus(Qt::MouseFocusReason);
        other->setFocus(Qt::TabFocusReason);
    });
    Leave(zero);
    EXPECT_EQ(Texts(), QStringList{kEmpty});
    EXPECT_EQ(QApplication::focusWidget(), field);
    EXPECT_EQ(zero->Text(), "") << "the other field was not checked";
}

TEST_F(BoundedFieldTest, CancelAndOtherWindowsLeaveTheFieldUnchecked) {
    field->SetText(QStringLiteral("99999"));
    Leave(cancel);
    EXPECT_EQ(QApplication::focusWidget(), cancel);
    QDialog elsewhere;
    elsewhere.show();
    field->setFocus(Qt::OtherFocusReason);
    QApplication::setActiveWindow(&elsewhere);
    EXPECT_TRUE(prompts.Shown().isEmpty());
    EXPECT_EQ(field->Value(), 500);
}

TEST_F(BoundedFieldTest, OkChecksTheFocusedFieldAndStoresTheValue) {
    field->SetText(QStringLiteral("30000"));
    EXPECT_FALSE(CheckFocusedField(&dialog));
    EXPECT_EQ(Texts(), QStringList{kAbove});
    EXPECT_EQ(QApplication::focusWidget(), field);
    EXPECT_TRUE(CheckFocusedField(&dialog));
    EXPECT_EQ(field->Value(), 20000);
    other->setFocus();
    EXPECT_TRUE(CheckFocusedField(&dialog)) << "no field has the focus";
}

TEST_F(BoundedFieldTest, AClickThatTheCheckRefusesIsNoClick) {
    int clicks = 0;
    QObject::connect(other, &QPushButton::clicked, [&clicks] { ++clicks; });
    // As a real click does: the focus moves to the button, then it gets the press.
    auto click = [this] {
        QCoreApplication::processEvents();
        other->setFocus(Qt::MouseFocusReason);
        const QPointF at(other->rect().center());
        QMouseEvent press(QEvent::MouseButtonPress, at, other->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QApplication::sendEvent(other, &press);
        QMouseEvent release(QEvent::MouseButtonRelease, at, other->mapToGlobal(at), Qt::LeftButton, Qt::NoButton,
                            Qt::NoModifier);
        QApplication::sendEvent(other, &release);
    };
    field->SetText(QStringLiteral("99999"));
    click();
    EXPECT_EQ(clicks, 0);
    EXPECT_EQ(Texts(), QStringList{kAbove});
    EXPECT_EQ(QApplication::focusWidget(), field);
    click();  // the reset text passes
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(field->Value(), 20000);
}

TEST_F(BoundedFieldTest, AnArrowAWheelOrASliderTheCheckRefusesDoesNothingAndRepeatsNothing) {
    auto* channel = new QSpinBox(&dialog);
    channel->setRange(1, 64);
    channel->setWrapping(true);
    channel->setValue(5);
    auto* share = new QSlider(Qt::Horizontal, &dialog);
    share->setRange(0, 100);
    share->setValue(50);
    dialog.layout()->addWidget(channel);
    dialog.layout()->addWidget(share);
    QCoreApplication::processEvents();
    int moves = 0;
    QObject::connect(channel, &QSpinBox::valueChanged, [&moves] { ++moves; });
    QObject::connect(share, &QSlider::valueChanged, [&moves] { ++moves; });

    std::vector<MousePress> presses = UpDownPresses(channel);
    for (const MousePress& p : SliderPresses(share)) presses.push_back(p);
    ExpectEachPressRefused(prompts, field, QStringLiteral("99999"), kAbove, QStringLiteral("20000"), presses, [&] {
        EXPECT_EQ(moves, 0);
        EXPECT_EQ(field->Value(), 500) << "nothing taken";
    });
    prompts.Clear();
    // The reset text passes when the box is left again: the press then steps, once.
    QTest::mouseClick(channel, Qt::LeftButton, {}, ArrowPoint(channel, true));
    EXPECT_EQ(channel->value(), 6);
    EXPECT_EQ(field->Value(), 20000);
    EXPECT_TRUE(Texts().isEmpty());
    // A press when no field refuses is untouched.
    QTest::mouseClick(channel, Qt::LeftButton, {}, ArrowPoint(channel, false));
    EXPECT_EQ(channel->value(), 5);
}

TEST_F(BoundedFieldTest, AnAccessKeyOrEnterChecksTheFocusedFieldFirstAndARefusalDropsThePress) {
    auto* send = new QPushButton(QStringLiteral("&Send"), &dialog);
    auto* quit = new QPushButton(QStringLiteral("E&xit"), &dialog);
    auto* ok = new QPushButton(QStringLiteral("OK"), &dialog);
    LeaveUnchecked(quit);
    ok->setDefault(true);
    for (QWidget* w : {static_cast<QWidget*>(send), static_cast<QWidget*>(quit), static_cast<QWidget*>(ok)})
        dialog.layout()->addWidget(w);
    QCoreApplication::processEvents();  // shows the buttons added to the open window
    QList<long> sent, accepted;
    int quits = 0;
    QObject::connect(send, &QPushButton::clicked, [&] { sent << field->Value(); });
    QObject::connect(ok, &QPushButton::clicked, [&] { accepted << field->Value(); });
    QObject::connect(quit, &QPushButton::clicked, [&] { ++quits; });

    // The typed value is checked and taken before the press, which comes at once.
    Enter(field, QStringLiteral("3000"));
    PressAccessKey(send);
    EXPECT_EQ(sent, QList<long>{3000});
    EXPECT_EQ(QApplication::focusWidget(), field) << "the focus stays where the user typed";

    Enter(field, QStringLiteral("88888"));
    PressAccessKey(send);
    EXPECT_EQ(sent, QList<long>{3000}) << "a refused value sends nothing";
    EXPECT_EQ(Texts(), QStringList{kAbove});
    EXPECT_EQ(field->Text(), QStringLiteral("20000"));

    Enter(field, QString());
    TypeKey(field, Qt::Key_Backspace);
    TypeKey(field, Qt::Key_Return);
    EXPECT_TRUE(accepted.isEmpty()) << "Enter presses no default button past a refused field";
    EXPECT_EQ(Texts(), (QStringList{kAbove, kEmpty}));
    Enter(field, QStringLiteral("700"));
    TypeKey(field, Qt::Key_Return);
    EXPECT_EQ(accepted, QList<long>{700});

    // Exit takes nothing from the window, so it checks nothing.
    Enter(field, QStringLiteral("5"));
    PressAccessKey(quit);
    EXPECT_EQ(quits, 1);
    EXPECT_EQ(Texts().size(), 2);
}

TEST_F(BoundedFieldTest, APlainUpDownTakesItsTypedTextBeforeACommand) {
    auto* hours = new QSpinBox(&dialog);
    hours->setRange(0, 23);
    hours->setValue(5);
    dialog.layout()->addWidget(hours);
    QCoreApplication::processEvents();
    hours->setFocus(Qt::TabFocusReason);
    hours->findChild<QLineEdit*>()->setText(QString());
    EXPECT_TRUE(CheckFocusedField(&dialog));
    EXPECT_EQ(hours->text(), QStringLiteral("5")) << "an emptied box shows the value it keeps";
    hours->findChild<QLineEdit*>()->setText(QStringLiteral("17"));
    EXPECT_TRUE(CheckFocusedField(&dialog));
    EXPECT_EQ(hours->value(), 17);
}

TEST_F(BoundedFieldTest, ArrowsStepFromTheValueAndStopAtTheLimits) {
    field->SetValue(19950);  // a loaded value off the step grid
    field->stepBy(1);
    EXPECT_EQ(field->Value(), 20000);
    EXPECT_EQ(field->Text(), "20000");
    field->stepBy(1);
    EXPECT_EQ(field->Value(), 20000);
    field->stepBy(-500);
    EXPECT_EQ(field->Value(), 100);
    field->SetStoredValue(2.5);
    EXPECT_EQ(field->Value(), 250);
    zero->SetValue(300);  // beyond the limits and the box's length: shown whole
    EXPECT_EQ(zero->Text(), "300");
    EXPECT_EQ(zero->Value(), 300);
}

} // namespace
