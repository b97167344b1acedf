#include "app/entryhelpers.h"
#include "app/frmProgress.h"
#include "app/frmSplash.h"
#include "link/linkstate.h"
#include "control/progress.h"
#include "link/linkhold.h"
#include "platform/scriptedprompts.h"
#include "support/dialoghelpers.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

using namespace korvel;
using namespace korvel::test;

namespace {

// Runs the deletions that close() with WA_DeleteOnClose leaves queued.
void FlushDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

TEST(EntryHelpersTest, FilterNumericKeyAdmitsOnlyDigitsAndBackspace) {
    EXPECT_EQ(FilterNumericKey('7'), '7');
    EXPECT_EQ(FilterNumericKey('0'), '0');
    EXPECT_EQ(FilterNumericKey('9'), '9');
    EXPECT_EQ(FilterNumericKey(8), 8);
    // Neighbours of the digit range and common strays are dropped.
    for (int code : {int('-'), int('a'), int('/'), int(':'), int(' '), 9, 13, 0, 0x0667})
        EXPECT_EQ(FilterNumericKey(code), 0) << code;
}

TEST(EntryHelpersTest, NumericFieldTakesDigitsAndKeepsEditingKeys) {
    QLineEdit edit;
    InstallNumericKeyFilter(&edit);
    InstallNumericKeyFilter(&edit);  // a second install must change nothing

    TypeText(&edit, QStringLiteral("4a2- x5"));
    EXPECT_EQ(edit.text(), QStringLiteral("425"));

    TypeKey(&edit, Qt::Key_Backspace, QStringLiteral("\b"));
    EXPECT_EQ(edit.text(), QStringLiteral("42"));

    TypeKey(&edit, Qt::Key_Home);
    TypeKey(&edit, Qt::Key_Right);
    TypeText(&edit, QStringLiteral("9"));
    EXPECT_EQ(edit.text(), QStringLiteral("492"));
    TypeKey(&edit, Qt::Key_Delete, QStringLiteral("\x7f"));
    EXPECT_EQ(edit.text(), QStringLiteral("49"));

    // Text arriving without keystrokes (paste, drop) goes through the same gate.
    edit.insert(QStringLiteral("1b"));
    EXPECT_EQ(edit.text(), QStringLiteral("49"));
    edit.insert(QStringLiteral("13"));
    EXPECT_EQ(edit.text(), QStringLiteral("4913"));
}

TEST(EntryHelpersTest, DecimalFieldsTakeDigitsAPointAndForSignedEntriesTheSigns) {
    QLineEdit volts, offset;
    InstallDecimalKeyFilter(&volts, false);
    InstallDecimalKeyFilter(&offset, true);
    TypeText(&volts, QStringLiteral("-2.5V+"));
    TypeText(&offset, QStringLiteral("-2.5V+"));
    EXPECT_EQ(volts.text(), QStringLiteral("2.5"));
    EXPECT_EQ(offset.text(), QStringLiteral("-2.5+")) << "where a sign or point goes is the check's business";
    TypeKey(&volts, Qt::Key_Backspace, QStringLiteral("\b"));
    EXPECT_EQ(volts.text(), QStringLiteral("2."));
}

TEST(EntryHelpersTest, EmptyFieldMessageIsOkOnlyUnderTheProgramsTitle) {
    ScriptedPrompts prompts;
    SetPrompts(&prompts);
    ShowEmptyFieldMessage();
    SetPrompts(nullptr);
    ASSERT_EQ(prompts.Shown().size(), 1);
    const ShownBox& box = prompts.Shown().front();
    EXPECT_EQ(box.text, QStringLiteral("Nothing was entered in the field, please enter valid data!"));
    EXPECT_EQ(box.buttons, vbOKOnly);
    EXPECT_EQ(box.icon, vbNoIcon);
    EXPECT_EQ(box.title, AppTitle());
}

class ProgressWindowTest : public ::testing::Test {
protected:
    // The window as it loads: design texts, an empty bar out of 100.
    void ExpectDesignState() {
        EXPECT_EQ(view->LabelText(ProgressLabel::Label1), QStringLiteral("Please wait ..."));
        EXPECT_EQ(view->LabelText(ProgressLabel::Label2),
                  QStringLiteral("Reading data from Korvel/Pellar"));
        EXPECT_TRUE(view->LabelText(ProgressLabel::lblInner).isEmpty());
        EXPECT_EQ(view->Maximum(), 100);
        EXPECT_EQ(view->BarValue(), 0);
        EXPECT_TRUE(view->PercentText().isEmpty());
    }
    void SetUp() override {
        SetPrompts(&prompts);
        view = std::make_unique<ProgressWindowView>(owner.get());
        SetProgressView(view.get());
    }
    void TearDown() override {
        SetProgressView(nullptr);
        SetPrompts(nullptr);
    }
    int16_t Show(int16_t value) {
        ShowProgressPercent(value);
        return value;
    }

    ScriptedPrompts prompts;
    std::unique_ptr<QWidget> owner = std::make_unique<QWidget>();
    std::unique_ptr<ProgressWindowView> view;
    // The job whose progress the window shows: its Cancel goes to this job alone.
    LinkHold job;
};

TEST_F(ProgressWindowTest, LoadsModelessUnderItsOwnerWithDesignTexts) {
    view->Show();
    frmProgress* w = view->Window();
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(view->Loaded());
    EXPECT_FALSE(job.CancelAsked());
    EXPECT_TRUE(w->isVisible());
    EXPECT_FALSE(w->isModal());
    EXPECT_EQ(w->parentWidget(), owner.get());

    for (const char* name : {"Label1", "lblKen", "Label2", "lblInner", "lblTimer", "lblpercent"})
        EXPECT_NE(w->findChild<QLabel*>(QString::fromLatin1(name)), nullptr) << name;
    ASSERT_NE(w->findChild<QProgressBar*>(QStringLiteral("ProgressBar1")), nullptr);
    auto* cancel = w->findChild<QPushButton*>(QStringLiteral("cmdCancel"));
    ASSERT_NE(cancel, nullptr);
    EXPECT_EQ(cancel->text(), QStringLiteral("Cancel"));
    EXPECT_TRUE(cancel->focusPolicy() & Qt::TabFocus);

    ExpectDesignState();
}

TEST_F(ProgressWindowTest, PercentageFillsBarAndClampsToTheMaximum) {
    view->Show();
    view->SetMaximum(100);
    EXPECT_EQ(Show(150), 100) << "the caller's variable is lowered too";
    EXPECT_EQ(view->Window()->ProgressBar1()->value(), 100);
    EXPECT_EQ(view->Window()->lblpercent()->text(), QStringLiteral("100%"));

    EXPECT_EQ(Show(42), 42);
    EXPECT_EQ(view->BarValue(), 42);
    EXPECT_EQ(view->PercentText(), QStringLiteral("42%"));

    // The integer part, never rounded up.
    view->SetMaximum(200);
    Show(199);
    EXPECT_EQ(view->PercentText(), QStringLiteral("99%"));
    EXPECT_EQ(view->Window()->ProgressBar1()->maximum(), 200);
}

TEST_F(ProgressWindowTest, NegativeValuesAndEmptyRangesShowAnEmptyBar) {
    view->Show();
    Show(50);
    EXPECT_EQ(Show(-300), -300);
    EXPECT_EQ(view->BarValue(), 0);
    EXPECT_EQ(view->PercentText(), QStringLiteral("0%"));

    view->SetMaximum(0);
    EXPECT_EQ(Show(5), 0);
    EXPECT_EQ(view->BarValue(), 0);
    EXPECT_EQ(view->PercentText(), QStringLiteral("0%"));

    // The bar never goes below 0, whatever maximum a caller computes.
    view->SetMaximum(-7);
    EXPECT_EQ(view->Window()->ProgressBar1()->minimum(), 0);
    Show(3);
    EXPECT_EQ(view->BarValue(), 0);
}

TEST_F(ProgressWindowTest, CancelTwiceKeepsTheRequestAndTheNoticeAndTheWindow) {
    view->Show();
    QPushButton* cancel = view->Window()->cmdCancel();
    cancel->click();
    EXPECT_TRUE(job.CancelSeen());
    cancel->click();
    EXPECT_TRUE(job.CancelSeen());
    EXPECT_EQ(view->LabelText(ProgressLabel::lblInner), QString::fromLatin1(kCancelNotice));
    QLabel* notice = view->Window()->Label(ProgressLabel::lblInner);
    QCoreApplication::processEvents();
    EXPECT_GE(notice->height(), notice->heightForWidth(notice->width())) << "the whole notice shows";
    EXPECT_TRUE(view->Loaded());
    EXPECT_TRUE(view->Window()->isVisible());
    // Showing again while loaded is no new load: the request stands.
    view->Show();
    EXPECT_TRUE(job.CancelSeen());
}

TEST_F(ProgressWindowTest, CloseAndEscapeAskToStopInsteadOfClosing) {
    view->Show();
    frmProgress* w = view->Window();
    EXPECT_FALSE(w->close());
    EXPECT_TRUE(job.CancelSeen());
    EXPECT_TRUE(w->isVisible());

    TypeKey(w, Qt::Key_Escape);
    EXPECT_TRUE(job.CancelSeen());
    EXPECT_TRUE(view->Loaded());
    EXPECT_TRUE(w->isVisible());
}

// A step that must run whole: Cancel and close are noted, shown, and seen only when the
// outermost step ends; a borrower's hold is never the one cancelled.
TEST_F(ProgressWindowTest, ACancelDuringAWholeStepIsSeenWhenTheStepEnds) {
    view->Show();
    frmProgress* w = view->Window();
    {
        const WholeStep outer(job);
        w->cmdCancel()->click();
        {
            const WholeStep inner(job);
            EXPECT_FALSE(w->close());
        }
        EXPECT_FALSE(job.CancelSeen()) << "still held by the outer step";
        EXPECT_TRUE(job.CancelAsked());
        EXPECT_EQ(view->LabelText(ProgressLabel::lblInner), QString::fromLatin1(kCancelNotice));
    }
    EXPECT_TRUE(job.CancelSeen());
    {
        const WholeStep standing(job);
        EXPECT_FALSE(job.CancelSeen()) << "a cancel already standing is held too";
    }
    EXPECT_TRUE(job.CancelSeen());
}

TEST_F(ProgressWindowTest, CancelGoesToTheLenderNeverToItsBorrower) {
    view->Show();
    const LinkLend lend(job);
    const LinkHold borrower;
    ASSERT_TRUE(borrower.Borrowed());
    view->Window()->cmdCancel()->click();
    EXPECT_FALSE(borrower.CancelAsked());
    EXPECT_TRUE(job.CancelAsked());
}

TEST_F(ProgressWindowTest, ShowAfterUnloadStartsFromTheDesign) {
    view->Show();
    view->SetCaption(QStringLiteral("Reading"));
    view->SetLabelText(ProgressLabel::Label2, QStringLiteral("Writing"));
    view->SetMaximum(40);
    Show(20);
    view->Window()->cmdCancel()->click();

    QPointer<frmProgress> first = view->Window();
    view->Unload();
    EXPECT_TRUE(first.isNull());
    EXPECT_FALSE(view->Loaded());
    EXPECT_TRUE(job.CancelAsked()) << "unloading forgets no cancel";

    // Unloaded: writes go nowhere and reads give the design.
    view->SetLabelText(ProgressLabel::Label1, QStringLiteral("stale"));
    view->SetMaximum(7);
    EXPECT_EQ(view->LabelText(ProgressLabel::Label1), QStringLiteral("Please wait ..."));
    EXPECT_EQ(view->Maximum(), 100);
    EXPECT_TRUE(view->Caption().isEmpty());
    view->Unload();  // twice is harmless

    view->Show();
    EXPECT_TRUE(view->Caption().isEmpty());
    ExpectDesignState();
}

TEST_F(ProgressWindowTest, OwnerGoingAwayTakesTheWindowWithIt) {
    view->Show();
    owner.reset();
    EXPECT_FALSE(view->Loaded());
    view->Show();  // no owner left: a free-standing window
    ASSERT_TRUE(view->Loaded());
    EXPECT_EQ(view->Window()->parentWidget(), nullptr);
    view->Unload();
}

TEST(SplashTest, ShowsNameAndClosesItselfOnTheFirstTick) {
    QWidget owner;
    QPointer<frmSplash> splash = frmSplash::ShowSplash(&owner);
    ASSERT_FALSE(splash.isNull());
    EXPECT_EQ(frmSplash::ShowSplash(&owner), splash.data()) << "one splash at a time";
    EXPECT_TRUE(splash->isVisible());
    EXPECT_TRUE(splash->lblName()->text().startsWith(
        QStringLiteral("Korvel/Pellar Configuration Programming Utility.")));
    EXPECT_TRUE(splash->lblName()->text().contains(QStringLiteral("Version 1.0.0")));
    QTimer* timer = splash->Timer1();
    EXPECT_TRUE(timer->isActive());
    EXPECT_EQ(timer->interval(), 2000);

    QMetaObject::invokeMethod(timer, "timeout");
    FlushDeletes();
    EXPECT_TRUE(splash.isNull());

    // Released: the next request builds a fresh window.
    QPointer<frmSplash> next = frmSplash::ShowSplash(&owner);
    ASSERT_FALSE(next.isNull());
    EXPECT_TRUE(next->Timer1()->isActive());
    next->close();
    FlushDeletes();
    EXPECT_TRUE(next.isNull());
}

} // namespace
