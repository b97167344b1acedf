// The event monitor offscreen: the title and protocol switch of each event menu item,
// events from several stations listed, logged and acknowledged to their source, the
// lines of a closed monitor, the log switch and its file, show-all for the local radio,
// the link's traffic lines, and an Exit that always closes.
#include "link/linkhold.h"
#include "monitor/frmEventMonitor.h"
#include "control/eventdisplay.h"
#include "model/eventlist.h"
#include "link/frame.h"
#include "link/linkstate.h"
#include "link/transaction.h"
#include "link/builders.h"
#include "link/fleetsync.h"
#include "control/session.h"
#include "control/localsettings.h"
#include "support/appfixture.h"
#include "support/dialoghelpers.h"
#include "support/memoryserialport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QWindow>

using namespace korvel;
using namespace korvel::test;

namespace {

const QColor kGreen(0, 255, 0);

class EventMonitorTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        settings().PacketTimeout = 20;
    }
    // Opens the monitor from its menu item as a user does, once the item is offered.
    frmEventMonitor* OpenMonitor(MenuItem item) {
        if (!window) Open();
        window->SetMenuVisible(item, true);
        window->SetMenuEnabled(item, true);
        Trigger(item);
        return frmEventMonitor::Instance();
    }
    static bool Closed() {
        return WaitUntil([] { return frmEventMonitor::Instance() == nullptr; });
    }
    static QStringList Items(const frmEventMonitor* m) {
        QStringList out;
        for (int i = 0; i < m->lstEvents()->count(); ++i) out << m->lstEvents()->item(i)->text();
        return out;
    }
    // What follows the time of an event line ("hh:mm:ss PM").
    static QStringList AfterTime(const QStringList& lines) {
        QStringList out;
        for (const QString& l : lines) out << l.section(QStringLiteral(", Station: "), 1);
        return out;
    }
    // What follows the date and time of a traffic or log line.
    static QStringList AfterStamp(const QStringList& lines) {
        const int n = EventLogStamp(QDateTime::currentDateTime()).size();
        QStringList out;
        for (const QString& l : lines) out << l.mid(n);
        return out;
    }
    // The event log files in the data folder.
    QStringList LogFiles() const {
        return QDir(dir.path()).entryList({QStringLiteral("*.log")}, QDir::Files, QDir::Name);
    }
    QStringList LogLines(const QString& name) const {
        QFile f(dir.filePath(name));
        if (!f.open(QIODevice::ReadOnly)) return {QStringLiteral("<missing>")};
        QStringList lines = QString::fromLatin1(f.readAll()).split(QStringLiteral("\r\n"));
        EXPECT_EQ(lines.takeLast(), QString()) << "every line ends in CR LF";
        return lines;
    }
    // The acknowledgements the module received, by the station they went to.
    QList<int> AcksTo() const {
        QList<int> out;
        for (const QByteArray& f : sim.Received())
            if (f.size() == 7 && quint8(f[5]) == PKT_ACK) out << quint8(f[1]);
        return out;
    }
    // Sends an event and waits for its acknowledgement: the next event must not meet the
    // acknowledgement's own transaction, which would drop it for the module to repeat.
    void Event(int station, int eventClass, const QByteArray& records) {
        const qsizetype acks = AcksTo().size();
        sim.SendEvent(station, eventClass, records);
        ASSERT_TRUE(WaitUntil([&] { return AcksTo().size() > acks; }, 10000)) << "event of station " << station;
    }
};

TEST_F(EventMonitorTest, EachMenuItemOpensTheMonitorForItsPort) {
    Open();
    ConnectOverTcp();
    const QByteArray protocolSwitch = WithChecksum({0x0A, 0, 0, 0, 0, 0x01, 0xD4, 0x01, 0x00, 0x00});
    struct Row {
        MenuItem item;
        uint8_t port2Setting;
        const char* title;
        bool showAll;
        bool switchesProtocol;
    };
    const Row rows[] = {
        {MenuItem::mnuEventSerial1, 0x10, "Status Monitor - Port: VLX1", false, false},
        {MenuItem::mnuEventSerial2, 0x10, "Status Monitor - Port: S2 Protocol: FLEETSYNC", false, true},
        {MenuItem::mnuEventSerial2, 0x8F, "Status Monitor - Port: VLX2 Protocol: BINMP", false, false},
        {MenuItem::mnuEventFFSK, 0x10, "Event Monitor", false, false},
        {MenuItem::mnuEventFSM, 0x10, "Status Monitor - Port: PC-LOCAL Protocol: FLEETSYNC", true, false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.title);
        config().SystemConfig[11] = r.port2Setting;
        sim.ClearReceived();
        frmEventMonitor* m = OpenMonitor(r.item);
        ASSERT_NE(m, nullptr);
        EXPECT_TRUE(m->isVisible());
        EXPECT_FALSE(m->isModal());
        EXPECT_EQ(m->parentWidget(), window.get());
        EXPECT_EQ(m->windowTitle(), QLatin1String(r.title));
        EXPECT_EQ(m->cmdShowAll()->isVisible(), r.showAll);
        EXPECT_FALSE(m->lblShowAll()->isVisible());
        EXPECT_EQ(sim.Received(), r.switchesProtocol ? QList<QByteArray>{protocolSwitch} : QList<QByteArray>{});
        EXPECT_TRUE(eventMonitor().EventMonitorOpen);

        // Asked again while open: the same window, nothing sent again.
        EXPECT_EQ(OpenMonitor(r.item), m);
        EXPECT_EQ(sim.Received().size(), r.switchesProtocol ? 1 : 0);

        m->cmdCancel()->click();
        ASSERT_TRUE(Closed());
        EXPECT_FALSE(eventMonitor().EventMonitorOpen);
    }
    EXPECT_TRUE(prompts.Shown().isEmpty());
}

TEST_F(EventMonitorTest, EventsFromEveryStationAreListedLoggedAndAcknowledgedToTheirSource) {
    Open();
    ConnectOverTcp();
    sim.AddRemoteStation(5);
    sim.AddRemoteStation(200);
    frmEventMonitor* m = OpenMonitor(MenuItem::mnuEventSerial1);
    ASSERT_NE(m, nullptr);
    const QDateTime before = QDateTime::currentDateTime();
    m->cmdFileLog()->click();
    EXPECT_EQ(m->cmdFileLog()->text(), QStringLiteral("Log ON"));
    EXPECT_EQ(m->cmdFileLog()->palette().color(QPalette::Button), kGreen);
    ASSERT_EQ(LogFiles().size(), 1) << "the log goes into the data folder";
    const QString name = LogFiles()[0];
    EXPECT_TRUE(name == before.toString(QStringLiteral("yyyyMMddHHmmss.log")) ||
                name == before.addSecs(1).toString(QStringLiteral("yyyyMMddHHmmss.log")))
        << name.toStdString();
    sim.ClearReceived();

    Event(0, EVENT_CLASS_CONTACT, Bytes({0x84, 0x04}));
    Event(5, EVENT_CLASS_ANALOG, Bytes({0x00, 50, 0, 0x41, 100, 0, 0x82, 0xF4, 1, 0xFF, 0xB2, 2}));
    Event(200, EVENT_CLASS_CONTACT, Bytes({0x3F}));
    EXPECT_EQ(AcksTo(), (QList<int>{0, 5, 200}));
    for (const QByteArray& f : sim.Received()) {
        if (quint8(f[5]) == PKT_ACK) {
            EXPECT_EQ(f, WithChecksum({6, quint8(f[1]), 0, 3, 0, PKT_ACK}));
        }
    }

    const QStringList expected{"000 Contact Input 5 ON",
                               "000 Contact Input 5 OFF",
                               "005 Analog Input1, below low set, current voltage = 1.0V",
                               "005 Analog Input2, above low set, current voltage =  2.0V",
                               "005 Analog Input3, below high set, current voltage =  10.0V",
                               "005 Analog Input64, above high set, current voltage =  13.8V",
                               "200 Contact Input 64 OFF"};
    EXPECT_EQ(AfterTime(Items(m)), expected);
    const QRegularExpression time(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d \\S+, Station: "));
    for (const QString& line : Items(m)) EXPECT_TRUE(time.match(line).hasMatch()) << line.toStdString();

    m->cmdFileLog()->click();
    EXPECT_EQ(m->cmdFileLog()->text(), QStringLiteral("Log OFF"));
    EXPECT_EQ(m->cmdFileLog()->palette().color(QPalette::Button), QApplication::palette(m->cmdFileLog()).color(QPalette::Button));
    QStringList log = LogLines(name);
    ASSERT_EQ(log.size(), 9);
    EXPECT_EQ(AfterStamp({log.first(), log.last()}), (QStringList{" - Log started", " - Log stopped"}));
    EXPECT_EQ(log.mid(1, 7), Items(m)) << "each event as the list shows it";
}

TEST_F(EventMonitorTest, EventsWaitForAClosedMonitorAndShowWhenItOpens) {
    Open();
    ConnectOverTcp();
    Event(0, EVENT_CLASS_CONTACT, Bytes({0x81}));
    EXPECT_FALSE(eventMonitor().EventMonitorOpen);
    EXPECT_EQ(AfterTime(eventMonitor().lstEvents), QStringList{"000 Contact Input 2 ON"});

    frmEventMonitor* m = OpenMonitor(MenuItem::mnuEventFFSK);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(AfterTime(Items(m)), QStringList{"000 Contact Input 2 ON"});
    Event(0, EVENT_CLASS_CONTACT, Bytes({0x01}));
    EXPECT_EQ(AfterTime(Items(m)), (QStringList{"000 Contact Input 2 ON", "000 Contact Input 2 OFF"}));

    // A long list stays scrolled to the newest line.
    for (int i = 0; i < 200; ++i) AddEventLine(QStringLiteral("line %1").arg(i));
    QScrollBar* bar = m->lstEvents()->verticalScrollBar();
    EXPECT_GT(bar->maximum(), 0);
    EXPECT_EQ(bar->value(), bar->maximum());

    // Exit drops what was shown; what comes after waits for the next opening.
    m->cmdCancel()->click();
    ASSERT_TRUE(Closed());
    Event(0, EVENT_CLASS_CONTACT, Bytes({0x82}));
    m = OpenMonitor(MenuItem::mnuEventFFSK);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(AfterTime(Items(m)), QStringList{"000 Contact Input 3 ON"});
    EXPECT_EQ(m->cmdFileLog()->text(), QStringLiteral("Log OFF"));
    EXPECT_TRUE(LogFiles().isEmpty());
}

TEST_F(EventMonitorTest, ShowAllIsOfferedForTheLocalRadio) {
    Open();
    ConnectOverTcp();
    frmEventMonitor* m = OpenMonitor(MenuItem::mnuEventFSM);
    ASSERT_NE(m, nullptr);
    const QColor face = QApplication::palette(m->cmdShowAll()).color(QPalette::Button);
    ASSERT_NE(face, kGreen);
    QPushButton* b = m->cmdShowAll();
    EXPECT_EQ(b->text(), QStringLiteral("Filtered"));
    EXPECT_EQ(b->palette().color(QPalette::Button), face);
    b->click();
    EXPECT_TRUE(eventMonitor().EventShowAll);
    EXPECT_EQ(b->text(), QStringLiteral("UnFiltered"));
    EXPECT_EQ(b->palette().color(QPalette::Button), kGreen);
    EXPECT_TRUE(m->lblShowAll()->isVisible());
    EXPECT_EQ(m->lblShowAll()->text(), QStringLiteral("Show All Communication"));
    b->click();
    EXPECT_FALSE(eventMonitor().EventShowAll);
    EXPECT_EQ(b->text(), QStringLiteral("Filtered"));
    EXPECT_EQ(b->palette().color(QPalette::Button), face);
    EXPECT_FALSE(m->lblShowAll()->isVisible());

    // A monitor closed with show-all on opens filtered again.
    b->click();
    m->cmdCancel()->click();
    ASSERT_TRUE(Closed());
    m = OpenMonitor(MenuItem::mnuEventFSM);
    EXPECT_FALSE(eventMonitor().EventShowAll);
    EXPECT_EQ(m->cmdShowAll()->text(), QStringLiteral("Filtered"));
}

TEST_F(EventMonitorTest, RadioTrafficGoesToTheListAndTheLog) {
    settings().PortProtocol = LOCALPORT_FLEETSYNC;
    MemorySerialPort* port = OpenMemoryPort();
    ASSERT_NE(port, nullptr);
    const auto text = [](const char* middle) { return char(STX) + QByteArray(middle) + char(ETX); };
    frmEventMonitor* m = OpenMonitor(MenuItem::mnuEventFSM);
    ASSERT_NE(m, nullptr);
    m->cmdFileLog()->click();
    port->Feed(text("0"));
    port->Feed(text("E100100012"));
    m->cmdShowAll()->click();
    port->Feed(text("E100100012"));
    const QStringList traffic{" - RX Local Radio ACK", " - RX Fleet:100 RadioID:1000 Status:12", " - RX E100100012"};
    EXPECT_EQ(AfterStamp(Items(m)), traffic);
    m->cmdFileLog()->click();
    ASSERT_EQ(LogFiles().size(), 1);
    EXPECT_EQ(AfterStamp(LogLines(LogFiles()[0])),
              QStringList{" - Log started"} + traffic + QStringList{" - Log stopped"});
}

TEST_F(EventMonitorTest, ResendsGoToTheListAndTheLog) {
    MemorySerialPort* port = OpenMemoryPort();
    ASSERT_NE(port, nullptr);
    frmEventMonitor* m = OpenMonitor(MenuItem::mnuEventSerial1);
    ASSERT_NE(m, nullptr);
    m->cmdFileLog()->click();
    settings().RetryCount = 2;
    prompts.QueueAnswer(vbNo);  // give up after the resend
    const LinkHold hold;
    EXPECT_EQ(SendRequest(hold, CMD_MODULE_INFO, 0, 0, 0), SEND_NO_ANSWER);
    EXPECT_EQ(port->writes.size(), 2);
    EXPECT_EQ(AfterStamp(Items(m)), QStringList{" - TX "});
    m->cmdFileLog()->click();
    EXPECT_EQ(AfterStamp(LogLines(LogFiles().value(0))), (QStringList{" - Log started", " - TX ", " - Log stopped"}));
    EXPECT_TRUE(port->IsOpen()) << "an open monitor keeps the port";
}

TEST_F(EventMonitorTest, ExitClosesAndEndsTheLogEvenWhenThePortCannotOpen) {
    settings().CommPortDevice = QStringLiteral("/nonexistent/ttyKORVEL");
    Open(true);
    // Exit, Escape and the title bar's close box each end the monitor the same way.
    const std::function<void(frmEventMonitor*)> closers[] = {
        [](frmEventMonitor* m) { m->cmdCancel()->click(); },
        [](frmEventMonitor* m) { TypeKey(m->lstEvents(), Qt::Key_Escape); },
        [](frmEventMonitor* m) { m->windowHandle()->close(); },
    };
    int n = 0;
    for (const auto& close : closers) {
        SCOPED_TRACE(n);
        frmEventMonitor* m = OpenMonitor(MenuItem::mnuEventFFSK);
        ASSERT_NE(m, nullptr);
        m->activateWindow();
        m->cmdFileLog()->click();
        ASSERT_TRUE(eventMonitor().EventLogOn);
        const QString log = eventMonitor().LogFileName;
        prompts.QueueAnswer(vbOK);
        close(m);
        ASSERT_TRUE(Closed());
        ASSERT_EQ(prompts.Shown().size(), ++n);
        EXPECT_EQ(prompts.Shown().last().title, QStringLiteral("Port Open Error"));
        EXPECT_FALSE(eventMonitor().EventMonitorOpen);
        EXPECT_FALSE(eventMonitor().EventLogOn);
        EXPECT_EQ(AfterStamp(LogLines(QFileInfo(log).fileName())).last(), QStringLiteral(" - Log stopped"));
    }
}

TEST_F(EventMonitorTest, ALogFileThatCannotBeCreatedLeavesLoggingOff) {
    Open();
    ConnectOverTcp();
    session().DataFolder = dir.filePath(QStringLiteral("gone"));
    frmEventMonitor* m = OpenMonitor(MenuItem::mnuEventSerial1);
    ASSERT_NE(m, nullptr);
    m->cmdFileLog()->click();
    ASSERT_EQ(prompts.Shown().size(), 1);
    EXPECT_TRUE(prompts.Shown()[0].text.startsWith(QStringLiteral("Could not create the event log file ")));
    EXPECT_FALSE(eventMonitor().EventLogOn);
    EXPECT_EQ(m->cmdFileLog()->text(), QStringLiteral("Log OFF"));
    EXPECT_NE(m->cmdFileLog()->palette().color(QPalette::Button), kGreen);
}

TEST_F(EventMonitorTest, ClosingTheProgramEndsTheLog) {
    Open();
    ConnectOverTcp();
    frmEventMonitor* m = OpenMonitor(MenuItem::mnuEventSerial1);
    ASSERT_NE(m, nullptr);
    m->cmdFileLog()->click();
    const QString log = QFileInfo(eventMonitor().LogFileName).fileName();
    window.reset();
    EXPECT_EQ(frmEventMonitor::Instance(), nullptr);
    EXPECT_FALSE(eventMonitor().EventLogOn);
    EXPECT_EQ(AfterStamp(LogLines(log)).last(), QStringLiteral(" - Log stopped"));
    EXPECT_TRUE(prompts.Shown().isEmpty());
}

} // namespace
