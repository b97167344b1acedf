#include "model/model.h"
#include "link/linkstate.h"
#include "control/eventdisplay.h"
#include "model/eventlist.h"
#include "support/linkfixture.h"
#include "support/memoryserialport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using namespace korvel;
using namespace korvel::test;

namespace {

class EventDisplayTest : public LinkFixture {
protected:
    // Bytes behind the frame must never show up as records.
    static void Receive(const QByteArray& frame, QTime at = QTime(14, 15, 7)) {
        DisplayEventPacketAt(frame + QByteArray(LINK_BUFFER_SIZE - frame.size(), char(0xAA)), at);
    }
    static const QStringList& Lines() { return eventMonitor().lstEvents; }
};

TEST_F(EventDisplayTest, ContactRecords) {
    Receive(WithChecksum({10, 0, 7, 0, 0, PKT_EVENT, EVENT_CLASS_CONTACT, 0xC4, 0x04, 0x3F}));
    Receive(WithChecksum({8, 0, 255, 0, 0, PKT_EVENT, EVENT_CLASS_CONTACT, 0x80}), QTime(0, 5, 9));
    EXPECT_FALSE(eventMonitor().EventMonitorOpen);  // collected for later, traffic not copied
    EXPECT_EQ(Lines(), QStringList({"02:15:07 PM, Station: 007 Contact Input 5 ON",
                                    "02:15:07 PM, Station: 007 Contact Input 5 OFF",
                                    "02:15:07 PM, Station: 007 Contact Input 64 OFF",
                                    "12:05:09 AM, Station: 255 Contact Input 1 ON"}));
}

TEST_F(EventDisplayTest, AnalogRecords) {
    // 690 = 0x2B2; 3 × 0.02 rounds up to 0.1; 65535 is the largest value.
    Receive(WithChecksum({16, 0, 12, 0, 0, PKT_EVENT, EVENT_CLASS_ANALOG,
                          0xC2, 0xB2, 0x02, 0x00, 0x00, 0x00, 0x7F, 0x03, 0x00}));
    Receive(WithChecksum({10, 0, 12, 0, 0, PKT_EVENT, EVENT_CLASS_ANALOG, 0x89, 0xFF, 0xFF}));
    EXPECT_EQ(Lines(), QStringList({"02:15:07 PM, Station: 012 Analog Input3, above high set, current voltage =  13.8V",
                                    "02:15:07 PM, Station: 012 Analog Input1, below low set, current voltage = 0.0V",
                                    "02:15:07 PM, Station: 012 Analog Input64, above low set, current voltage =  0.1V",
                                    "02:15:07 PM, Station: 012 Analog Input10, below high set, current voltage =  1310.7V"}));
}

TEST_F(EventDisplayTest, OnlyWholeRecordsOfKnownClassesShow) {
    // Length 12: the second analog record would take the checksum as its high byte.
    Receive(WithChecksum({12, 0, 12, 0, 0, PKT_EVENT, EVENT_CLASS_ANALOG, 0x00, 1, 0, 0x01, 2}));
    EXPECT_EQ(Lines().size(), 1);
    Receive(WithChecksum({7, 0, 12, 0, 0, PKT_EVENT, EVENT_CLASS_CONTACT}));
    Receive(WithChecksum({8, 0, 12, 0, 0, PKT_EVENT, 2, 0x84}));
    Receive(WithChecksum({8, 0, 12, 0, 0, PKT_REPLY, EVENT_CLASS_CONTACT, 0x84}));
    Receive(WithChecksum({6, 0, 12, 0, 0, PKT_EVENT, EVENT_CLASS_CONTACT}));
    EXPECT_EQ(Lines().size(), 1);
}

TEST_F(EventDisplayTest, FleetSyncOnPortTwoSwitchesTheLocalModule) {
    MemorySerialPort* port = OpenMemoryPort();
    ASSERT_NE(port, nullptr);
    port->onWrite = [port](const QByteArray&) { port->Feed(WithChecksum({6, 0, 0, 0, 0, PKT_ACK})); };
    config().SystemConfig[11] = 0x92;  // protocol bits 4 to 6 only
    OpenEventMonitor(EVENT_PORT_SERIAL2);
    EXPECT_EQ(eventMonitor().Caption, QStringLiteral("Status Monitor - Port: S2 Protocol: FLEETSYNC"));
    ASSERT_EQ(port->writes.size(), 1);
    EXPECT_EQ(port->writes[0], WithChecksum({0x0A, 0, 0, 0, 0, 0x01, 0xD4, 0x01, 0x00, 0x00}));
}

class EventLogTest : public LinkFixture {
protected:
    void SetUp() override {
        LinkFixture::SetUp();
        eventMonitor().LogFolder = dir.path();
    }
    QByteArray Read(const char* name) const {
        QFile f(dir.filePath(QLatin1String(name)));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    static QByteArray Stamped(const QDateTime& t, const char* text) {
        return (EventLogStamp(t) + QLatin1String(text)).toLatin1() + "\r\n";
    }
    QTemporaryDir dir;
    const QDateTime t0{QDate(2016, 12, 7), QTime(14, 5, 0)};
};

TEST_F(EventLogTest, StartTrafficStopInSingleBytes) {
    ASSERT_TRUE(StartEventLog(QString(), t0));
    PrintEventLog(QStringLiteral("RX Gr\u00FC\u00DFe"));
    DisplayEventPacketAt(WithChecksum({8, 0, 12, 0, 0, PKT_EVENT, EVENT_CLASS_CONTACT, 0x84}), QTime(14, 5, 30));  // events are logged as the list shows them
    StopEventLog(t0.addSecs(65));
    PrintEventLog(QStringLiteral("after the stop"));
    EXPECT_EQ(Read("20161207140500.log"),
              Stamped(t0, " - Log started") + "RX Gr\xFC\xDF" "e\r\n" +
                  "02:05:30 PM, Station: 012 Contact Input 5 ON\r\n" + Stamped(t0.addSecs(65), " - Log stopped"));
}

TEST_F(EventLogTest, ALanguageWhoseTextsNoSingleByteHoldsLosesNoCharacter) {
    // Greek writes its designators in Greek letters, Arabic its digits and decimal point.
    struct DefaultLocale {
        const QLocale kept;
        ~DefaultLocale() { QLocale::setDefault(kept); }
    } restore;
    // Greece's decimal comma is a single byte and stays; Egypt's decimal separator is not.
    for (const auto& [locale, point] : {std::pair{QLocale(QLocale::Greek, QLocale::Greece), ','},
                                        std::pair{QLocale(QLocale::Arabic, QLocale::Egypt), '.'}}) {
        QLocale::setDefault(locale);
        eventMonitor().lstEvents.clear();
        eventMonitor().LogFolder = dir.filePath(locale.name());
        ASSERT_TRUE(QDir().mkpath(eventMonitor().LogFolder));
        ASSERT_TRUE(StartEventLog(QString(), t0));
        DisplayEventPacketAt(WithChecksum({10, 0, 12, 0, 0, PKT_EVENT, EVENT_CLASS_ANALOG, 0xC2, 0xB2, 0x02}),
                             QTime(14, 5, 30));
        StopEventLog(t0.addSecs(65));
        QFile f(QDir(eventMonitor().LogFolder).filePath(QStringLiteral("20161207140500.log")));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << locale.name().toStdString();
        const QByteArray log = f.readAll();
        const QList<QByteArray> lines = log.split('\n');
        ASSERT_EQ(lines.size(), 4) << log.toStdString();
        EXPECT_EQ(QString::fromLatin1(lines[1]).toStdString(),
                  std::string("02:05:30 PM, Station: 012 Analog Input3, above high set, current voltage =  13") +
                      point + "8V\r");
        EXPECT_FALSE(log.contains('?')) << log.toStdString();
        for (int i : {0, 2}) EXPECT_TRUE(lines[i].contains(" 14:0")) << lines[i].toStdString();
        EXPECT_EQ(eventMonitor().lstEvents.value(0).toLatin1() + '\r', lines[1]) << "the monitor shows what is logged";
    }
}

TEST_F(EventLogTest, EveryKindOfEventFromEveryStationIsLogged) {
    auto receive = [](const QByteArray& frame, QTime at) {
        DisplayEventPacketAt(frame, at);
    };
    // Collected before the log starts: shown, never logged.
    receive(WithChecksum({8, 0, 3, 0, 0, PKT_EVENT, EVENT_CLASS_CONTACT, 0x80}), QTime(14, 4, 59));
    ASSERT_TRUE(StartEventLog(QString(), t0));
    receive(WithChecksum({9, 0, 0, 0, 0, PKT_EVENT, EVENT_CLASS_CONTACT, 0x87, 0x47}), QTime(14, 5, 1));
    receive(WithChecksum({19, 0, 254, 0, 0, PKT_EVENT, EVENT_CLASS_ANALOG,
                          0x00, 0x32, 0x00, 0x41, 0x64, 0x00, 0x82, 0xF4, 0x01, 0xFF, 0xB2, 0x02}),
            QTime(9, 5, 2));
    receive(WithChecksum({8, 0, 45, 0, 0, PKT_EVENT, EVENT_CLASS_CONTACT, 0x3F}), QTime(23, 59, 59));
    StopEventLog(t0.addSecs(5));
    EXPECT_EQ(Read("20161207140500.log"),
              Stamped(t0, " - Log started") +
                  "02:05:01 PM, Station: 000 Contact Input 8 ON\r\n"
                  "02:05:01 PM, Station: 000 Contact Input 8 OFF\r\n"
                  "09:05:02 AM, Station: 254 Analog Input1, below low set, current voltage = 1.0V\r\n"
                  "09:05:02 AM, Station: 254 Analog Input2, above low set, current voltage =  2.0V\r\n"
                  "09:05:02 AM, Station: 254 Analog Input3, below high set, current voltage =  10.0V\r\n"
                  "09:05:02 AM, Station: 254 Analog Input64, above high set, current voltage =  13.8V\r\n"
                  "11:59:59 PM, Station: 045 Contact Input 64 OFF\r\n" +
                  Stamped(t0.addSecs(5), " - Log stopped"));
    EXPECT_EQ(eventMonitor().lstEvents.size(), 8);
}

TEST_F(EventLogTest, RestartWithinTheSameSecondKeepsTheLogJustClosed) {
    ASSERT_TRUE(StartEventLog(QString(), t0));
    PrintEventLog(QStringLiteral("first"));
    StopEventLog(t0);
    ASSERT_TRUE(StartEventLog(QString(), t0));
    StopEventLog(t0);
    EXPECT_EQ(Read("20161207140500.log"), Stamped(t0, " - Log started") + "first\r\n" + Stamped(t0, " - Log stopped") +
                                              Stamped(t0, " - Log started") + Stamped(t0, " - Log stopped"));
}

TEST_F(EventLogTest, WithoutALogFolderTheLogGoesToTheDataFolderHandedIn) {
    eventMonitor().LogFolder.clear();
    ASSERT_TRUE(StartEventLog(dir.path(), t0));
    StopEventLog(t0);
    EXPECT_EQ(eventMonitor().LogFileName, dir.filePath(QStringLiteral("20161207140500.log")));
    EXPECT_EQ(Read("20161207140500.log"), Stamped(t0, " - Log started") + Stamped(t0, " - Log stopped"));
}

TEST_F(EventLogTest, FileThatCannotBeCreatedLeavesLoggingOff) {
    eventMonitor().LogFolder = dir.filePath(QStringLiteral("missing/folder"));
    EXPECT_FALSE(StartEventLog(QString(), t0));
    EXPECT_FALSE(eventMonitor().EventLogOn);
    ASSERT_EQ(prompts.Shown().size(), 1);
    const QString told = prompts.Shown()[0].text;
    EXPECT_EQ(told, QStringLiteral("Could not create the event log file ") +
                        QDir::toNativeSeparators(eventMonitor().LogFileName) + QStringLiteral(". Event logging is off."));
    // The data side only says what went wrong; the box is the caller's.
    EXPECT_EQ(OpenEventLog(QString(), t0), told);
    EXPECT_EQ(WriteEventLog(QStringLiteral("a line while off")), QString());
    EXPECT_EQ(CloseEventLog(t0), QString());
    EXPECT_EQ(prompts.Shown().size(), 1);
}

} // namespace
