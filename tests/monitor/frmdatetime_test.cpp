// The date and time window driven offscreen against the simulated module: what it shows
// of the module clock, the frames PC Clock and Update put on the wire, the buttons while
// a send runs, a failed send, a year the module cannot take, closing during a send, the
// keyboard, and the menu road with a second use while the window is open.
#include "model/target.h"
#include "link/frame.h"
#include "monitor/frmDateTime.h"
#include "support/appfixture.h"
#include "support/dialoghelpers.h"

#include <QDateEdit>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>

using namespace korvel;
using namespace korvel::test;

namespace {

QList<int> Clock(const ModuleClockValue& c) { return {c.day, c.month, c.year, c.hour, c.minute, c.second}; }

class DateTimeDialogTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        ConnectOverTcp();
    }
    void TearDown() override {
        frmDateTime::SetPcClock({});
        delete frmDateTime::Instance();
        AppFixture::TearDown();
    }
    frmDateTime& Show() {
        frmDateTime::Run(nullptr);
        frmDateTime* d = frmDateTime::Instance();
        EXPECT_NE(d, nullptr);
        EXPECT_TRUE(ActiveAsShown(d));
        return *d;
    }
    // The clock as the window shows it.
    static QList<int> OnScreen(const frmDateTime& d) {
        const QDate date = d.DTPicker1()->date();
        return {date.day(), date.month(), date.year(), d.updHours()->value(), d.updMinutes()->value(),
                d.updSeconds()->value()};
    }
    // The data bytes of the one date/time set frame the module received, after checking
    // the rest of the frame.
    QByteArray SetFrameData() const {
        if (sim.Received().size() != 1) return "frames: " + QByteArray::number(sim.Received().size());
        const QByteArray f = sim.Received()[0];
        EXPECT_EQ(f.left(7), Bytes({13, 0, 0, 0, 0, PKT_SET, CMD_DATE_TIME}));
        EXPECT_EQ(f.size(), 14);
        unsigned sum = 0;
        for (char c : f) sum += uint8_t(c);
        EXPECT_EQ(sum & 255, 255u) << "checksum";
        return f.mid(7, 6);
    }
    static void ReleaseDeferred() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }
};

TEST_F(DateTimeDialogTest, ShowsTheModuleClockWithWhatNoControlCanHoldMended) {
    target().ModuleClock = {40, 13, 2031, 25, 59, 60};
    frmDateTime& d = Show();
    EXPECT_EQ(OnScreen(d), QList<int>({1, 1, 2031, 0, 59, 0}));
    EXPECT_EQ(d.txtHours()->text(), "0");
    EXPECT_EQ(d.txtMinutes()->text(), "59");
    EXPECT_FALSE(d.isModal());
    EXPECT_TRUE(prompts.Shown().isEmpty());
    EXPECT_TRUE(sim.Received().isEmpty()) << "opening sends nothing";
}

TEST_F(DateTimeDialogTest, PcClockSendsThePcTimeAndTheButtonsAreOffOnlyWhileItRuns) {
    frmDateTime::SetPcClock([] { return QDateTime(QDate(2026, 12, 7), QTime(23, 5, 9)); });
    frmDateTime& d = Show();
    QList<bool> enabledOnTheLine;
    QObject::connect(&sim, &sim::SimModule::frameReceived, &d, [&] {
        enabledOnTheLine << d.cmdPcClock()->isEnabled() << d.cmdUpdate()->isEnabled() << d.cmdCancel()->isEnabled();
    });
    d.cmdPcClock()->click();
    EXPECT_EQ(SetFrameData(), Bytes({7, 12, 26, 23, 5, 9}));
    EXPECT_EQ(sim.DateTime(), Bytes({7, 12, 26, 23, 5, 9}));
    EXPECT_EQ(enabledOnTheLine, QList<bool>({false, false, true}));
    EXPECT_TRUE(d.cmdPcClock()->isEnabled());
    EXPECT_TRUE(d.cmdUpdate()->isEnabled());
    EXPECT_EQ(OnScreen(d), QList<int>({7, 12, 2026, 23, 5, 9}));
    EXPECT_EQ(Clock(target().ModuleClock), QList<int>({7, 12, 2026, 23, 5, 9}));
    EXPECT_EQ(frmDateTime::Instance(), &d) << "a successful send leaves the window open";
    EXPECT_TRUE(prompts.Shown().isEmpty());
}

TEST_F(DateTimeDialogTest, UpdateSendsTheEnteredDateAndTime) {
    target().ModuleClock = {14, 3, 2024, 15, 9, 26};
    frmDateTime& d = Show();
    d.DTPicker1()->setDate(QDate(2028, 2, 29));
    for (QSpinBox* box : {d.updHours(), d.updMinutes(), d.updSeconds()}) box->setValue(0);
    d.cmdUpdate()->click();
    EXPECT_EQ(SetFrameData(), Bytes({29, 2, 28, 0, 0, 0}));
    EXPECT_EQ(sim.DateTime(), Bytes({29, 2, 28, 0, 0, 0}));
    EXPECT_EQ(Clock(target().ModuleClock), QList<int>({29, 2, 2028, 0, 0, 0}));
    EXPECT_TRUE(d.cmdUpdate()->isEnabled());
}

TEST_F(DateTimeDialogTest, TextTypedIntoATimeBoxCountsAndItsRangeRefusesTheRest) {
    target().ModuleClock = {1, 6, 2030, 10, 20, 30};
    frmDateTime& d = Show();
    d.show();
    EXPECT_TRUE(ActiveAsShown(&d));
    Enter(d.updMinutes(), "45");
    Enter(d.updSeconds(), "75");  // the 5 would make 75: refused, 7 stays
    Enter(d.updHours(), "25");    // likewise 2
    ASSERT_EQ(QApplication::focusWidget(), d.updHours()) << "Update is pressed with the hour box still focused";
    d.cmdUpdate()->click();
    EXPECT_EQ(SetFrameData(), Bytes({1, 6, 30, 2, 45, 7}));
    EXPECT_EQ(d.txtSeconds()->text(), "7");
    // The picker ends where the frame's year does.
    EXPECT_EQ(d.DTPicker1()->maximumDate(), QDate(2255, 12, 31));
    EXPECT_EQ(d.DTPicker1()->minimumDate(), QDate(2000, 1, 1));
}

TEST_F(DateTimeDialogTest, AccessKeysSendTheClockTheWindowShows) {
    target().ModuleClock = {1, 6, 2030, 10, 20, 30};
    frmDateTime& d = Show();
    d.show();
    Enter(d.updMinutes(), "4");
    Enter(d.updHours(), "");
    TypeKey(d.updHours(), Qt::Key_Backspace);  // an emptied box
    PressAccessKey(d.cmdUpdate());
    EXPECT_EQ(SetFrameData(), Bytes({1, 6, 30, 10, 4, 30}));
    EXPECT_EQ(d.txtHours()->text(), "10") << "the emptied box shows the hour sent";
    EXPECT_EQ(d.txtMinutes()->text(), "4");
    EXPECT_EQ(QApplication::focusWidget(), d.updHours()) << "the focus stays where the user typed";

    sim.ClearReceived();
    frmDateTime::SetPcClock([] { return QDateTime(QDate(2026, 12, 7), QTime(23, 5, 9)); });
    Enter(d.updSeconds(), "5");
    PressAccessKey(d.cmdPcClock());
    EXPECT_EQ(SetFrameData(), Bytes({7, 12, 26, 23, 5, 9}));
    EXPECT_EQ(OnScreen(d), QList<int>({7, 12, 2026, 23, 5, 9}));
    EXPECT_EQ(d.txtSeconds()->text(), "9") << "the PC's second replaces the one typed";

    sim.ClearReceived();
    Enter(d.updMinutes(), "5");
    PressAccessKey(d.cmdCancel());
    EXPECT_FALSE(d.isVisible());
    EXPECT_TRUE(sim.Received().isEmpty());
    EXPECT_TRUE(prompts.Shown().isEmpty());
}

TEST_F(DateTimeDialogTest, APcYearTheModuleCannotTakeIsRefusedAndNothingIsSent) {
    target().ModuleClock = {14, 3, 2024, 15, 9, 26};
    frmDateTime& d = Show();
    for (int year : {2256, 1999}) {
        frmDateTime::SetPcClock([year] { return QDateTime(QDate(year, 5, 6), QTime(7, 8, 9)); });
        d.cmdPcClock()->click();
    }
    EXPECT_EQ(ShownTexts(prompts),
              QStringList({"The module's clock cannot be set to the year 2256: it takes the years 2000 to 2255 only. "
                           "The module's clock was not changed.",
                           "The module's clock cannot be set to the year 1999: it takes the years 2000 to 2255 only. "
                           "The module's clock was not changed."}));
    EXPECT_TRUE(sim.Received().isEmpty());
    EXPECT_EQ(Clock(target().ModuleClock), QList<int>({14, 3, 2024, 15, 9, 26}));
    EXPECT_EQ(OnScreen(d), QList<int>({14, 3, 2024, 15, 9, 26}));
    EXPECT_TRUE(d.cmdPcClock()->isEnabled());
}

TEST_F(DateTimeDialogTest, AFailedSendClosesAndReleasesTheWindowWithoutAMessageOfItsOwn) {
    QPointer<frmDateTime> d = &Show();
    sim.SetFault(sim::Fault::Silent);
    d->cmdUpdate()->click();
    EXPECT_EQ(frmDateTime::Instance(), nullptr);
    ReleaseDeferred();
    EXPECT_TRUE(d.isNull());
    for (const ShownBox& b : prompts.Shown())
        EXPECT_FALSE(b.text.contains("clock")) << b.text.toStdString();
}

TEST_F(DateTimeDialogTest, ExitDuringASendHidesTheWindowAndReleasesItOnlyOnceTheSendReturns) {
    QPointer<frmDateTime> d = &Show();
    bool aliveOnTheLine = false;
    QObject::connect(&sim, &sim::SimModule::frameReceived, d.data(), [&] {
        d->cmdCancel()->click();
        ReleaseDeferred();
        aliveOnTheLine = !d.isNull() && !d->isVisible();
    });
    d->cmdUpdate()->click();
    EXPECT_TRUE(aliveOnTheLine);
    EXPECT_EQ(sim.DateTime(), Bytes({1, 1, 0, 0, 0, 0})) << "the send runs to its end";
    ReleaseDeferred();
    EXPECT_TRUE(d.isNull());
    EXPECT_EQ(frmDateTime::Instance(), nullptr);
}

TEST_F(DateTimeDialogTest, EveryControlIsLabelledAndVisitedInOrder) {
    frmDateTime& d = Show();
    EXPECT_TRUE(ActiveAsShown(&d));
    d.DTPicker1()->setFocus(Qt::TabFocusReason);
    QStringList visited;
    // Tab steps through the date's day, month and year before it leaves the picker.
    for (int i = 0; i < 12 && visited.size() < 8; ++i) {
        const QString name = QApplication::focusWidget()->objectName();
        if (visited.isEmpty() || visited.last() != name) visited << name;
        TypeKey(QApplication::focusWidget(), Qt::Key_Tab);
    }
    EXPECT_EQ(visited, QStringList({"DTPicker1", "updHours", "updMinutes", "updSeconds", "cmdPcClock", "cmdUpdate",
                                    "cmdCancel", "DTPicker1"}));
    QStringList buddies;
    for (const QLabel* l : d.findChildren<QLabel*>())
        if (l->buddy()) buddies << Shown(l->text()) + "=" + l->buddy()->objectName();
    buddies.sort();
    EXPECT_EQ(buddies, QStringList({"Date:=DTPicker1", "Time (HH MM SS):=updHours"}));
    EXPECT_FALSE(d.updMinutes()->accessibleName().isEmpty());
    EXPECT_FALSE(d.updSeconds()->accessibleName().isEmpty());
    EXPECT_EQ(Shown(d.cmdCancel()->text()), "Exit");
    EXPECT_EQ(d.txtHours()->parentWidget(), d.updHours());
}

TEST_F(DateTimeDialogTest, TheMenuShowsTheClockReadAndASecondUseShowsTheNewOneInTheSameWindow) {
    frmMain& w = Open(true);
    w.SetMenuEnabled(MenuItem::mnuDateTime, true);
    Trigger(MenuItem::mnuDateTime);
    frmDateTime* d = frmDateTime::Instance();
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->parentWidget(), &w);
    EXPECT_TRUE(d->isVisible());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << "modeless";
    EXPECT_EQ(OnScreen(*d), QList<int>({14, 3, 2024, 15, 9, 26}));

    // A clock that was never set reports zeros.
    sim.SetReplyData(CMD_DATE_TIME, Bytes({0, 0, 0, 1, 2, 3}));
    Trigger(MenuItem::mnuDateTime);
    EXPECT_EQ(frmDateTime::Instance(), d);
    EXPECT_EQ(w.findChildren<frmDateTime*>().size(), 1);
    EXPECT_EQ(OnScreen(*d), QList<int>({1, 1, 2000, 1, 2, 3}));
}

} // namespace
