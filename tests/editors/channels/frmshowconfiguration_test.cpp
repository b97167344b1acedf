// The configuration overview driven offscreen: the lines it shows, its titles and
// headings, the editors its lines open (by mouse and by keyboard) and the lists rebuilt
// after them, and its opening from the toolbar and closing by Exit.
#include "app/channelstepper.h"
#include "model/analogcodes.h"
#include "model/target.h"
#include "editors/channels/frmAnalogs.h"
#include "editors/channels/frmOutputs.h"
#include "editors/channels/frmShowConfiguration.h"
#include "control/session.h"
#include "support/appfixture.h"
#include "support/dialoghelpers.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>

using namespace korvel;
using namespace korvel::test;

namespace {

QStringList Lines(const QListWidget* list) {
    QStringList lines;
    for (int i = 0; i < list->count(); ++i) lines << list->item(i)->text();
    return lines;
}

// A double-click on a line as the mouse gives it: press, release, double-click, release.
void DoubleClick(QListWidget* list, int row) {
    const QPoint at = list->visualItemRect(list->item(row)).center();
    QWidget* viewport = list->viewport();
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease, QEvent::MouseButtonDblClick,
                              QEvent::MouseButtonRelease}) {
        QMouseEvent event(type, at, viewport->mapToGlobal(at), Qt::LeftButton,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &event);
    }
}

class ShowConfigurationTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        LoadKorvel(1);
    }
    frmShowConfiguration& Show() {
        dialog = std::make_unique<frmShowConfiguration>(nullptr);
        dialog->show();
        EXPECT_TRUE(ActiveAsShown(dialog.get()));
        return *dialog;
    }
    std::unique_ptr<frmShowConfiguration> dialog;
};

TEST_F(ShowConfigurationTest, ListsTheConfigurationInMemoryInAFixedPitchFont) {
    ContactInputGroupRecord& inputs = config().ContactInputTable[1];
    inputs.Flags[3] = 0x80 | 0x40 | 0x20;
    inputs.Hold[3] = 5;
    AnalogGroupRecord& analogs = config().AnalogConfigTable[0];
    analogs.Flags[2] = 0x80 | RANGE_USER | 3 << 3;
    analogs.HighThreshold[2] = 512;
    config().OutputConfigTable[1].Flags[0] = 0x40;
    config().OutputConfigTable[1].PulseWidth[0] = 25;
    frmShowConfiguration& d = Show();
    EXPECT_EQ(d.windowTitle(), "Input/Output Configuration Display Summary");
    EXPECT_EQ(Lines(d.lstInputs()),
              QStringList{"12   N.O.  TOGG  005   00   000   00, 00, 00, 00   000, 000, 000, 000"});
    EXPECT_EQ(Lines(d.lstAnalogs()),
              QStringList{"03   50.00  001   00  001  000,000  00,00   0.00  001  00   001 000, 000  00, 00"});
    const QStringList outputs = Lines(d.lstOutputs());
    ASSERT_EQ(outputs.size(), 16);
    EXPECT_EQ(outputs[0], "01   N.C.   LATCH      0");
    EXPECT_EQ(outputs[8], "09   N.C.   PULSE-B   25");
    for (const QListWidget* list : {d.lstInputs(), d.lstAnalogs(), d.lstOutputs()})
        EXPECT_TRUE(QFontInfo(list->font()).fixedPitch()) << list->objectName().toStdString();

    // Shown again, it shows what the tables hold now.
    inputs.Flags[3] = 0;
    d.hide();
    d.show();
    EXPECT_TRUE(Lines(d.lstInputs()).isEmpty());
}

TEST_F(ShowConfigurationTest, TitlesHeadingsAndToolTips) {
    frmShowConfiguration& d = Show();
    ASSERT_EQ(d.txtHeaderCount(), 28);
    EXPECT_EQ(Shown(d.txtHeader(0)->text()), "Contact Inputs");
    EXPECT_EQ(Shown(d.txtHeader(9)->text()), "Analog Inputs");
    EXPECT_EQ(Shown(d.txtHeader(23)->text()), "Outputs");
    EXPECT_EQ(d.txtHeader(0)->buddy(), d.lstInputs());
    EXPECT_EQ(d.txtHeader(9)->buddy(), d.lstAnalogs());
    EXPECT_EQ(d.txtHeader(23)->buddy(), d.lstOutputs());
    for (int i : {1, 10, 24}) {
        EXPECT_EQ(d.txtHeader(i)->text(), "#");
        EXPECT_EQ(d.txtHeader(i)->toolTip(), "The channel number");
    }
    EXPECT_EQ(d.txtHeader(2)->text(), "Input\nState");
    EXPECT_EQ(d.txtHeader(2)->toolTip(), "N.O. = Normally Open, N.C. = Normally Closed");
    EXPECT_EQ(d.txtHeader(27)->text(), "  Pulse\n  Width");
    EXPECT_EQ(d.lstInputs()->toolTip(), "Double click to edit input channel entry");
    EXPECT_EQ(d.lstAnalogs()->toolTip(), "Double click to edit analog channel entry");
    EXPECT_EQ(d.lstOutputs()->toolTip(), "Double click to edit output channel entry");
    EXPECT_EQ(Shown(d.cmdCancel()->text()), "Exit");

    // Headings neither overlap nor run past their list.
    for (int i = 1; i < 28; ++i) {
        if (i == 9 || i == 23) continue;
        const QRect r = d.txtHeader(i)->geometry();
        EXPECT_LE(r.right(), d.txtHeader(i)->parentWidget()->width()) << i;
        if (i != 1 && i != 10 && i != 24) {
            EXPECT_LT(d.txtHeader(i - 1)->geometry().right(), r.left()) << i;
        }
    }
}

TEST_F(ShowConfigurationTest, AnOutputLineOpensTheOutputDialogOnThatOutputAndShowsTheEdit) {
    LoadKorvel(2);
    frmShowConfiguration& d = Show();
    ASSERT_EQ(d.lstOutputs()->count(), 24);
    QWidget* owner = nullptr;
    WhenModal<frmOutputs>([&owner](frmOutputs& o) {
        owner = o.parentWidget();
        EXPECT_EQ(o.updChannel()->Box()->text(), "17");
        o.cboOutputPolarity()->setCurrentIndex(1);
        o.cmdOK()->click();
    });
    DoubleClick(d.lstOutputs(), 16);
    EXPECT_EQ(modalDialogs, 1);
    EXPECT_EQ(owner, &d);
    EXPECT_EQ(d.lstOutputs()->item(16)->text(), "17   N.O.   LATCH      0");
    EXPECT_EQ(d.lstOutputs()->currentRow(), 16) << "the place in the list is kept";
}

TEST_F(ShowConfigurationTest, AnAnalogLineOpensTheAnalogEditorEvenAfterTheTemperatureMenu) {
    frmMain& w = Open();
    w.SetMenuEnabled(MenuItem::mnuConfigTemp, true);
    WhenModal<frmAnalogs>([](frmAnalogs& a) { a.cmdCancel()->click(); });
    Trigger(MenuItem::mnuConfigTemp);
    ASSERT_FALSE(session().AnalogMode);

    config().AnalogConfigTable[1].Flags[3] = 0x80 | RANGE_0_5V;
    frmShowConfiguration& d = Show();
    QString title;
    WhenModal<frmAnalogs>([&title](frmAnalogs& a) {
        title = a.windowTitle();
        a.cmdCancel()->click();
    });
    // By keyboard: the line made current, then Enter.
    d.lstAnalogs()->setFocus();
    d.lstAnalogs()->setCurrentRow(0);
    TypeKey(d.lstAnalogs(), Qt::Key_Return);
    EXPECT_EQ(modalDialogs, 2);
    EXPECT_TRUE(title.startsWith("Analog Input Configuration")) << title.toStdString();
    EXPECT_TRUE(session().AnalogMode);
    EXPECT_TRUE(d.isVisible()) << "Enter opens the line, it does not close the window";
}

TEST_F(ShowConfigurationTest, AContactInputLineOpensTheInputEditorAndTheListShowsItsChanges) {
    ownerIsMainWindow = false;
    QList<int> selected;
    Fake(WindowId::frmInputs, [&selected] {
        selected << session().SelectedInputChannel;
        config().ContactInputTable[1].Flags[3] = 0;
        config().ContactInputTable[0].Flags[4] = 0x80;
    });
    config().ContactInputTable[0].Flags[0] = 0x80;
    config().ContactInputTable[1].Flags[3] = 0x80;
    frmShowConfiguration& d = Show();
    DoubleClick(d.lstInputs(), 1);
    EXPECT_EQ(opened, QList<WindowId>{WindowId::frmInputs});
    EXPECT_EQ(owners, QList<QWidget*>{&d});
    EXPECT_EQ(selected, QList<int>{12});
    QStringList numbers;
    for (const QString& line : Lines(d.lstInputs())) numbers << line.left(2);
    EXPECT_EQ(numbers, (QStringList{"01", "05"}));
}

TEST_F(ShowConfigurationTest, WithoutASelectedLineNothingOpens) {
    ownerIsMainWindow = false;
    Fake(WindowId::frmInputs);
    Fake(WindowId::frmAnalogs);
    Fake(WindowId::frmOutputs);
    frmShowConfiguration& d = Show();
    EXPECT_EQ(d.lstInputs()->count(), 0);
    EXPECT_EQ(d.lstAnalogs()->count(), 0);
    d.lstInputs_DblClick();
    d.lstAnalogs_DblClick();
    d.lstOutputs_DblClick();  // lines, but none chosen yet
    TypeKey(d.lstInputs(), Qt::Key_Enter);
    EXPECT_TRUE(opened.isEmpty());
    EXPECT_TRUE(d.isVisible());
}

TEST_F(ShowConfigurationTest, TheToolbarOpensTheOneInstanceAndExitClosesIt) {
    frmMain& w = Open();
    w.SetToolbarButtonEnabled(ToolButton::Config, true);
    frmShowConfiguration* shown = nullptr;
    WhenModal<frmShowConfiguration>([&shown, &w](frmShowConfiguration& d) {
        shown = &d;
        EXPECT_EQ(frmShowConfiguration::Instance(), &d);
        EXPECT_EQ(d.parentWidget(), &w);
        EXPECT_EQ(d.lstOutputs()->count(), 16);
        // What the input editor does after its OK while the overview is up.
        config().ContactInputTable[0].Flags[0] = 0x80;
        frmShowConfiguration::Instance()->UpdateConfigDisplay();
        EXPECT_EQ(d.lstInputs()->count(), 1);
        d.cmdCancel()->click();
    });
    Press(ToolButton::Config);
    EXPECT_EQ(modalDialogs, 1);
    EXPECT_NE(shown, nullptr);
    EXPECT_EQ(frmShowConfiguration::Instance(), nullptr) << "Exit releases the instance";
}

} // namespace
