// The status monitor driven offscreen against the simulated module: what each view asks
// for and shows, every control's frame on the wire, the refresh modes, the group
// selector of a Pellar, switching outputs, and every way the window closes.
#include "link/transaction.h"
#include "link/linkhold.h"
#include "model/analogcodes.h"
#include "model/model.h"
#include "model/target.h"
#include "link/builders.h"
#include "link/frame.h"
#include "link/linkstate.h"
#include "monitor/frmStatus.h"
#include "control/localsettings.h"
#include "sim/simradio.h"
#include "support/appfixture.h"
#include "support/dialoghelpers.h"

#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>

using namespace korvel;
using namespace korvel::test;

namespace {

const QColor kGreen(0, 192, 0), kRed(255, 0, 0), kYellow(255, 255, 0), kBright(0, 255, 0), kDarkRed(192, 0, 0);
const QString kNack = QStringLiteral("OMRU received NACK from target - unknown command");
// Long enough that the window's own timers never tick during a test that ticks them itself.
constexpr int kHeldMs = 3600 * 1000;

QColor Colour(const QWidget* w) {
    return w->palette().color(qobject_cast<const QPushButton*>(w) ? QPalette::Button : QPalette::Window);
}
QColor Face() { return QApplication::palette().color(QPalette::Button); }

void ClickMeter(QWidget* meter) {
    const QPointF at(4, 4);
    QMouseEvent press(QEvent::MouseButtonPress, at, meter->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(meter, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, meter->mapToGlobal(at), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(meter, &release);
}

class StatusWindowTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        settings().PacketTimeout = 20;
        LoadKorvel(2);
        ConnectOverTcp();
    }
    // The window as the menu opens it, with its timers held: the test ticks them.
    frmStatus& Show() {
        dialog = std::make_unique<frmStatus>(nullptr);
        dialog->tmrRefresh()->setInterval(kHeldMs);
        dialog->tmrPacketSend()->setInterval(kHeldMs);
        dialog->show();
        EXPECT_TRUE(ActiveAsShown(dialog.get()));
        dialog->Form_Activate();
        return *dialog;
    }
    // One automatic reading: the refresh tick queues it and the next poll makes it.
    void Refresh() {
        dialog->tmrRefresh_Timer();
        Poll();
    }
    void Poll() { dialog->tmrPacketSend_Timer(); }
    QStringList Meters() const {
        QStringList texts;
        for (int i = 0; i < frmStatus::kMeters; ++i) texts << dialog->lblMeter(i)->text();
        return texts;
    }
    QStringList Captions() const {
        QStringList texts;
        for (int i = 0; i < frmStatus::kMeters; ++i) texts << dialog->MeterCaption(i)->text();
        return texts;
    }
    // The frames of one command the module received, in order.
    QList<QByteArray> Sent(int command, int type = PKT_GET) const {
        QList<QByteArray> frames;
        for (const QByteArray& f : sim.Received())
            if (uint8_t(f[6]) == command && uint8_t(f[5]) == type) frames << f;
        return frames;
    }
    static QByteArray Request(int command, int group) { return WithChecksum({8, 0, 0, 0, 0, PKT_GET, command, group}); }
    // The window closed as Exit closes it: hidden, polling stopped.
    void ExpectClosed() {
        EXPECT_FALSE(dialog->isVisible());
        EXPECT_TRUE(dialog->Closing());
        EXPECT_FALSE(dialog->tmrRefresh()->isActive());
        EXPECT_FALSE(dialog->tmrPacketSend()->isActive());
    }
    std::unique_ptr<frmStatus> dialog;
};

TEST_F(StatusWindowTest, TheMenuOpensTheMonitorWhichReadsTheInputsByItself) {
    frmMain& w = Open();
    sim.SetInputBits(0, 0x81);
    w.SetMenuEnabled(MenuItem::mnuViewStatus, true);
    QString title;
    int found = 0;
    // Real timers here: the first refresh tick queues the reading and a poll makes it.
    auto* watch = new QTimer(window.get());
    QObject::connect(watch, &QTimer::timeout, [&] {
        auto* d = qobject_cast<frmStatus*>(QApplication::activeModalWidget());
        if (!d || d->lblMeter(7)->text() != QStringLiteral("ON")) return;
        watch->stop();
        ++found;
        title = d->windowTitle();
        EXPECT_EQ(d->lblMeter(1)->text(), QStringLiteral("OFF"));
        d->cmdCancel()->click();
    });
    watch->start(5);
    Trigger(MenuItem::mnuViewStatus);
    EXPECT_EQ(found, 1);
    EXPECT_EQ(title, QStringLiteral("Current Status - Contact Inputs"));
    ASSERT_GE(sim.ReceivedCount(), 2);
    EXPECT_EQ(sim.Received()[0], Request(CMD_MODULE_INFO, 2));
    EXPECT_EQ(sim.Received()[1], Request(CMD_INPUT_STATUS, 0));
}

TEST_F(StatusWindowTest, ARemoteStationIsRefusedAndNothingSent) {
    linkState().StationAddress[0] = 12;
    linkState().StationAddress[2] = 3;
    Show();
    ASSERT_EQ(prompts.Shown().size(), 1);
    EXPECT_EQ(prompts.Shown()[0].text,
              QStringLiteral("The OMRU Configuration program cannot perform status monitoring to remote stations as "
                             "this will interfere with\n\rthe operation of the remote(s). Either connect physically to "
                             "the remote station or use the Korvel Explorer\n\rto perform status monitoring on an "
                             "active system."));
    EXPECT_EQ(prompts.Shown()[0].buttons, vbOKOnly);
    EXPECT_EQ(prompts.Shown()[0].title, AppTitle());
    EXPECT_TRUE(sim.Received().isEmpty());
    ExpectClosed();
}

TEST_F(StatusWindowTest, WhileTheOpeningRequestRunsOnlyExitWorks) {
    QColor autoColour;
    bool viewsEnabled = true;
    QObject::connect(&sim, &sim::SimModule::frameReceived, [&](const QByteArray& f) {
        if (uint8_t(f[6]) != CMD_MODULE_INFO) return;
        autoColour = Colour(dialog->cmdAutoRefresh());
        viewsEnabled = dialog->cmdViewOutputs()->isEnabled() || dialog->cmdRefresh()->isEnabled();
        dialog->cmdViewOutputs_Click();
        dialog->cmdRefresh_Click();
    });
    frmStatus& d = Show();
    EXPECT_EQ(autoColour, kDarkRed);
    EXPECT_FALSE(viewsEnabled);
    EXPECT_EQ(d.View(), StatusView::ContactInputs) << "a view button does nothing while busy";
    EXPECT_TRUE(d.tmrRefresh()->isActive());
    // Open: both refresh buttons lit (automatic refresh runs), the input view selected.
    EXPECT_FALSE(d.Busy());
    EXPECT_TRUE(d.cmdViewOutputs()->isEnabled());
    EXPECT_EQ(Colour(d.cmdAutoRefresh()), kBright);
    EXPECT_EQ(Colour(d.cmdRefresh()), kBright);
    EXPECT_EQ(Colour(d.cmdViewInputs()), kBright);
    EXPECT_EQ(Colour(d.cmdViewOutputs()), Face());
    EXPECT_TRUE(d.tmrPacketSend()->isActive());
    EXPECT_EQ(d.PendingRequest(), StatusRequest::None) << "the first reading waits for the refresh tick";
    EXPECT_EQ(d.cmdAutoRefresh()->toolTip(), QStringLiteral("Updates meters every 1 second"));
}

TEST_F(StatusWindowTest, InputsAndOutputsShowTheirBitsAndOnlyOutputsAreClickable) {
    sim.SetInputBits(0, 0xA5);
    sim.SetOutputBits(0, 0x08);
    frmStatus& d = Show();
    Refresh();
    EXPECT_EQ(Meters(), QStringList({"ON", "OFF", "ON", "OFF", "OFF", "ON", "OFF", "ON"}));
    EXPECT_EQ(Colour(d.lblMeter(0)), kGreen);
    EXPECT_EQ(Colour(d.lblMeter(1)), kRed);
    EXPECT_EQ(d.lblMeter(0)->toolTip(), QString());
    EXPECT_FALSE(d.lblRange(0)->isVisible());
    ClickMeter(d.lblMeter(1));
    EXPECT_EQ(d.PendingRequest(), StatusRequest::None) << "an input is not switched";

    d.cmdViewOutputs()->click();
    Poll();
    EXPECT_EQ(Sent(CMD_OUTPUT_STATUS).value(0), Request(CMD_OUTPUT_STATUS, 0));
    EXPECT_EQ(d.windowTitle(), QStringLiteral("Current Status - Outputs"));
    EXPECT_EQ(Meters(), QStringList({"OFF", "OFF", "OFF", "ON", "OFF", "OFF", "OFF", "OFF"}));
    EXPECT_EQ(d.lblMeter(3)->toolTip(), QStringLiteral("Click to change output state"));
    EXPECT_EQ(Colour(d.cmdViewOutputs()), kBright);
    EXPECT_EQ(Colour(d.cmdViewInputs()), Face());
}

TEST_F(StatusWindowTest, ClickingAnOutputsMeterSwitchesItTheOtherWay) {
    sim.SetOutputBits(0, 0x08);
    frmStatus& d = Show();
    d.cmdViewOutputs()->click();
    Poll();
    sim.ClearReceived();

    ClickMeter(d.lblMeter(3));  // shows ON
    d.tmrRefresh_Timer();       // a pending change holds the refresh back
    Poll();
    EXPECT_EQ(d.lblMeter(3)->text(), QStringLiteral("OFF"));
    EXPECT_EQ(Colour(d.lblMeter(3)), kRed);
    // From the keyboard as well.
    d.lblMeter(5)->setFocus();
    TypeKey(d.lblMeter(5), Qt::Key_Space);
    Poll();
    EXPECT_EQ(d.lblMeter(5)->text(), QStringLiteral("ON"));
    EXPECT_EQ(Colour(d.lblMeter(5)), kGreen);
    EXPECT_EQ(sim.OutputSwitches(), (QList<quint8>{3, 128 + 5}));
    EXPECT_EQ(sim.Received()[0], WithChecksum({8, 0, 0, 0, 0, PKT_SET, CMD_OUTPUT_STATUS, 3}));
    EXPECT_EQ(sim.ReceivedCount(), 2) << "no reading went in between";
    EXPECT_FALSE(d.OutputChangePending());
    // The refresh goes on once the change is made.
    Refresh();
    EXPECT_EQ(sim.OutputBits(0), 0x20);
    EXPECT_EQ(Meters(), QStringList({"OFF", "OFF", "OFF", "OFF", "OFF", "ON", "OFF", "OFF"}));
}

TEST_F(StatusWindowTest, AViewChosenBeforeAQueuedOutputChangeIsSentDropsItAndRefreshGoesOn) {
    frmStatus& d = Show();
    d.cmdViewOutputs()->click();
    Poll();
    ClickMeter(d.lblMeter(2));
    d.cmdViewInputs()->click();
    EXPECT_FALSE(d.OutputChangePending());
    Poll();
    EXPECT_TRUE(sim.OutputSwitches().isEmpty());
    d.tmrRefresh_Timer();
    EXPECT_EQ(d.PendingRequest(), StatusRequest::ContactInputs) << "the automatic refresh is not held for ever";
}

// Counts the paint events of the widgets it watches.
class PaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* e) override {
        paints += e->type() == QEvent::Paint;
        return false;
    }
};

TEST_F(StatusWindowTest, AReadingThatChangesNothingRepaintsNothing) {
    sim.SetInputBits(0, 0x3C);
    frmStatus& d = Show();
    Refresh();
    PaintCounter counter;
    for (QWidget* w : d.findChildren<QWidget*>()) w->installEventFilter(&counter);
    QApplication::processEvents();
    counter.paints = 0;
    Refresh();
    Refresh();
    QApplication::processEvents();
    EXPECT_EQ(Sent(CMD_INPUT_STATUS).size(), 3);
    EXPECT_EQ(counter.paints, 0);
    sim.SetInputBits(0, 0x3D);
    Refresh();
    QApplication::processEvents();
    EXPECT_GT(counter.paints, 0) << "the changed meter is painted";
}

TEST_F(StatusWindowTest, TemperaturesReadInCelsiusOrFahrenheitAndAnAbsentInputKeepsItsColour) {
    sim.SetInputBits(0, 0x02);
    sim.SetTempReading(0, 50);
    sim.SetTempReading(1, 0x7FFF);
    sim.SetTempReading(2, 511);
    frmStatus& d = Show();
    Refresh();  // input 2 on: its meter is green
    d.cmdViewTemperatures()->click();
    Poll();
    EXPECT_EQ(Sent(CMD_TEMP_STATUS).value(0), Request(CMD_TEMP_STATUS, 0));
    EXPECT_EQ(d.windowTitle(), QStringLiteral("Current Status - Temperature Inputs"));
    EXPECT_EQ(Meters().mid(0, 3), QStringList({"25.0C", "---", "-0.5C"}));
    EXPECT_EQ(Colour(d.lblMeter(0)), kYellow);
    EXPECT_EQ(Colour(d.lblMeter(1)), kGreen);
    EXPECT_FALSE(d.lblRange(0)->isVisible());
    EXPECT_EQ(Colour(d.cmdViewTemperatures()), kBright);

    settings().DegreesF = true;
    Refresh();
    EXPECT_EQ(Meters().mid(0, 3), QStringList({"77.0F", "---", "31.1F"}));
}

TEST_F(StatusWindowTest, APellarsBoardSelectorAsksForAndShowsTheSameFittedBoard) {
    sim.SetPellar(0x05 | 0x20);  // analog boards 1 and 3, contact input board 2
    LoadPellar(0x05 | 0x20);
    AnalogGroupRecord& board2 = config().AnalogConfigTable[2];
    board2.Flags[0] = RANGE_0_25V;
    AnalogGroupRecord& board3 = config().AnalogConfigTable[3];
    board3.Flags[0] = RANGE_USER | (3 << 3);
    board3.Modifier[0] = 3;
    board3.Offset[0] = 0;
    sim.SetAnalogCode(3, 0, 512);
    frmStatus& d = Show();
    EXPECT_TRUE(d.updGroup()->isVisible()) << "the contact input board";
    EXPECT_EQ(d.updGroup()->maximum(), 1) << "one position for the one board fitted";
    d.cmdViewOutputs()->click();
    EXPECT_FALSE(d.updGroup()->isVisible());
    EXPECT_FALSE(d.LabelGroup()->isVisible());

    d.cmdViewAnalogs()->click();
    EXPECT_TRUE(d.LabelGroup()->isVisible());
    d.updGroup()->setValue(2);  // the second fitted board: board 3
    EXPECT_EQ(Captions().first(), QStringLiteral("CH 25"));
    EXPECT_EQ(Captions().last(), QStringLiteral("CH 32"));
    Poll();
    EXPECT_EQ(Sent(CMD_ANALOG_STATUS).value(0), Request(CMD_ANALOG_STATUS, 3));
    EXPECT_EQ(d.windowTitle(), QStringLiteral("Current Status - Analog Inputs"));
    EXPECT_EQ(d.lblMeter(0)->text(), QStringLiteral("50.00V"));
    EXPECT_EQ(Colour(d.lblMeter(0)), kYellow);
    EXPECT_TRUE(d.lblRange(0)->isVisible());
    EXPECT_EQ(d.lblRange(0)->text(), QStringLiteral("USER-X20"));
    EXPECT_EQ(Colour(d.cmdViewAnalogs()), kBright);

    // The contact input view asks for the board the selector names.
    d.cmdViewInputs()->click();
    EXPECT_EQ(Captions().first(), QStringLiteral("CH 1")) << "a view starts on the main board";
    d.updGroup()->setValue(1);
    EXPECT_EQ(Captions().first(), QStringLiteral("CH 17"));
    Poll();
    EXPECT_EQ(Sent(CMD_INPUT_STATUS).value(0), Request(CMD_INPUT_STATUS, 2));
}

TEST_F(StatusWindowTest, ContactBoardsWithAGapAreEachReachedByTheirAccessKeysWithTheTypedPosition) {
    sim.SetPellar(0x50);  // contact input boards 1 and 3
    LoadPellar(0x50);
    sim.SetInputBits(3, 0x0F);
    frmStatus& d = Show();
    EXPECT_EQ(d.updGroup()->maximum(), 2) << "a position for each board fitted, none for the gap";

    // The position typed counts for Manual pressed by its access key.
    Enter(d.updGroup(), QStringLiteral("2"));
    PressAccessKey(d.cmdRefresh());
    Poll();
    EXPECT_EQ(Sent(CMD_INPUT_STATUS).value(0), Request(CMD_INPUT_STATUS, 3));
    EXPECT_EQ(Captions().first(), QStringLiteral("CH 25"));
    EXPECT_EQ(Meters().mid(3, 2), QStringList({"ON", "OFF"}));
    EXPECT_FALSE(d.Closing());

    // An emptied box shows the position the reading asks for.
    Enter(d.updGroup(), QString());
    TypeKey(d.updGroup(), Qt::Key_Backspace);
    PressAccessKey(d.cmdAutoRefresh());
    EXPECT_EQ(d.txtGroup()->text(), QStringLiteral("2"));
    Poll();
    EXPECT_EQ(Sent(CMD_INPUT_STATUS).value(1), Request(CMD_INPUT_STATUS, 3));
    EXPECT_TRUE(d.tmrRefresh()->isActive());

    // Each view button by its key: the view starts on the main board.
    Enter(d.updGroup(), QStringLiteral("1"));
    const QList<QPair<QPushButton*, int>> views{{d.cmdViewOutputs(), CMD_OUTPUT_STATUS},
                                                {d.cmdViewAnalogs(), CMD_ANALOG_STATUS},
                                                {d.cmdViewTemperatures(), CMD_TEMP_STATUS},
                                                {d.cmdViewInputs(), CMD_INPUT_STATUS}};
    for (const auto& [button, command] : views) {
        sim.ClearReceived();
        PressAccessKey(button);
        Poll();
        EXPECT_EQ(sim.Received(), QList<QByteArray>{Request(command, 0)}) << button->objectName().toStdString();
        EXPECT_EQ(d.updGroup()->value(), 0);
    }
    PressAccessKey(d.cmdCancel());
    ExpectClosed();
    EXPECT_TRUE(prompts.Shown().isEmpty());
}

TEST_F(StatusWindowTest, ManualReadsOnceAndAutoStartsTheRefreshAgain) {
    frmStatus& d = Show();
    d.cmdRefresh()->click();
    EXPECT_FALSE(d.tmrRefresh()->isActive());
    EXPECT_EQ(Colour(d.cmdRefresh()), kBright);
    EXPECT_EQ(Colour(d.cmdAutoRefresh()), Face());
    Poll();
    Poll();
    EXPECT_EQ(Sent(CMD_INPUT_STATUS).size(), 1);

    d.cmdAutoRefresh()->click();
    EXPECT_TRUE(d.tmrRefresh()->isActive());
    EXPECT_EQ(Colour(d.cmdRefresh()), Face());
    EXPECT_EQ(Colour(d.cmdAutoRefresh()), kBright);
    Poll();
    EXPECT_EQ(Sent(CMD_INPUT_STATUS).size(), 2) << "Auto reads at once";
}

TEST_F(StatusWindowTest, OverALocalFleetSyncRadioTheMetersRefreshEveryTwentySeconds) {
    sim::SimRadio radio(&sim);
    settings().PortProtocol = LOCALPORT_FLEETSYNC;
    linkState().FleetSyncTarget = QStringLiteral("100:1000");
    linkState().TcpLinkActive = false;
    settings().CommPortDevice = radio.OpenPty();
    ASSERT_EQ(OpenCommPort(), 0);
    frmStatus& d = Show();
    ASSERT_TRUE(d.isVisible());
    EXPECT_EQ(d.cmdAutoRefresh()->toolTip(), QStringLiteral("Updates meters every 20 seconds"));
    for (int round = 0; round < 2; ++round) {
        for (int tick = 1; tick < 20; ++tick) d.tmrRefresh_Timer();
        EXPECT_EQ(d.PendingRequest(), StatusRequest::None) << round;
        Refresh();
        EXPECT_EQ(Sent(CMD_INPUT_STATUS).size(), round + 1);
    }
}

TEST_F(StatusWindowTest, ClosingWhileIdleLeavesTheNextCommandFree) {
    frmStatus& d = Show();
    d.close();
    ExpectClosed();
    const LinkHold hold;
    EXPECT_EQ(SendCommand(hold, CMD_RESTART_PROCESSES, 0, 0, 0), SEND_OK);
}

TEST_F(StatusWindowTest, ExitDuringAReadingAbandonsThatReadingOnly) {
    frmStatus& d = Show();
    QObject::connect(&sim, &sim::SimModule::frameReceived, [this](const QByteArray& f) {
        if (uint8_t(f[6]) == CMD_INPUT_STATUS) dialog->cmdCancel()->click();
    });
    sim.SetInputBits(0, 0xFF);
    Refresh();
    ExpectClosed();
    EXPECT_NE(d.lblMeter(0)->text(), QStringLiteral("ON")) << "nothing painted after Exit";
    EXPECT_FALSE(OpenTransactionNow());
    Poll();
    EXPECT_EQ(Sent(CMD_INPUT_STATUS).size(), 1);
    const LinkHold hold;
    EXPECT_EQ(SendCommand(hold, CMD_RESTART_PROCESSES, 0, 0, 0), SEND_OK);
    EXPECT_TRUE(prompts.Shown().isEmpty());
}

TEST_F(StatusWindowTest, AFailedOpeningOrReadingClosesTheWindowAfterTheLinksMessage) {
    sim.SetNackCommand(CMD_MODULE_INFO);
    Show();
    ExpectClosed();
    EXPECT_EQ(ShownTexts(prompts), QStringList{kNack});
    EXPECT_EQ(sim.ReceivedCount(), 1);

    prompts.Clear();
    sim.SetNackCommand(-1);
    frmStatus& d = Show();
    ASSERT_TRUE(d.isVisible());
    sim.SetNackCommand(CMD_INPUT_STATUS);
    Refresh();
    ExpectClosed();
    EXPECT_EQ(ShownTexts(prompts), QStringList{kNack});
    Refresh();
    EXPECT_EQ(Sent(CMD_INPUT_STATUS).size(), 1);
}

TEST_F(StatusWindowTest, AFailedOutputChangeIsNotSentAgainButClosesTheWindow) {
    frmStatus& d = Show();
    d.cmdViewOutputs()->click();
    Poll();
    sim.SetNackCommand(CMD_OUTPUT_STATUS);
    ClickMeter(d.lblMeter(6));
    Poll();
    ExpectClosed();
    Poll();
    Poll();
    EXPECT_EQ(Sent(CMD_OUTPUT_STATUS, PKT_SET).size(), 1);
    EXPECT_EQ(ShownTexts(prompts), QStringList{kNack});
}

TEST_F(StatusWindowTest, ControlsAreNamedAndVisitedInOrder) {
    frmStatus& d = Show();
    d.cmdViewOutputs()->click();
    Poll();  // output meters take the focus
    d.cmdViewInputs()->setFocus(Qt::TabFocusReason);
    QStringList visited;
    for (int i = 0; i < 16; ++i) {
        visited << ControlName(QApplication::focusWidget());
        TypeKey(QApplication::focusWidget(), Qt::Key_Tab);
    }
    EXPECT_EQ(visited, QStringList({"cmdViewInputs", "cmdViewOutputs", "cmdViewAnalogs", "cmdViewTemperatures",
                                    "lblMeter0", "lblMeter1", "lblMeter2", "lblMeter3", "lblMeter4", "lblMeter5",
                                    "lblMeter6", "lblMeter7", "cmdRefresh", "cmdAutoRefresh", "cmdCancel",
                                    "cmdViewInputs"}));
    QStringList labelled;
    QString keys;
    for (const QLabel* l : d.findChildren<QLabel*>()) {
        if (l->buddy()) labelled << l->buddy()->objectName() + "=" + Shown(l->text());
        if (l->text().contains('&')) keys += l->text().at(l->text().indexOf('&') + 1).toLower();
    }
    for (const QPushButton* b : d.findChildren<QPushButton*>()) keys += b->text().at(b->text().indexOf('&') + 1).toLower();
    EXPECT_TRUE(labelled.contains("lblMeter0=CH 1"));
    EXPECT_TRUE(labelled.contains("lblMeter7=CH 8"));
    EXPECT_TRUE(labelled.contains("updGroup=Expansion"));
    for (const QChar k : keys) EXPECT_EQ(keys.count(k), 1) << QString(k).toStdString();
    EXPECT_EQ(d.txtGroup()->toolTip(), QStringLiteral("Move to to next child group (if present)"));
}

} // namespace
