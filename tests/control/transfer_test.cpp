#include "link/linkhold.h"
#include "control/progress.h"
#include "model/model.h"
#include "model/target.h"
#include "control/transfer.h"
#include "link/frame.h"
#include "support/simfixture.h"
#include "support/configdiff.h"

#include <optional>
#include "link/transaction.h"
#include "link/transport.h"
#include "platform/serialport.h"

#include <QStringList>

using namespace korvel;
using namespace korvel::test;

namespace {

// The progress window as the transfers drive it, every change kept in order.
class RecordingProgressView : public MemoryProgressView {
public:
    void SetLabelText(ProgressLabel label, const QString& text) override {
        MemoryProgressView::SetLabelText(label, text);
        if (label == ProgressLabel::Label1) label1.append(text);
    }
    void SetBar(int value, const QString& percentText) override {
        MemoryProgressView::SetBar(value, percentText);
        bar.append(value);
    }
    QStringList label1;
    QList<int> bar;
};

// One line per frame the module received: SET or GET, command, destination, and the
// number byte of a request or block ("G82>5:1" = GET inputs of group 1 from station 5).
QString Summary(const QByteArray& f) {
    const int type = quint8(f[5]), command = quint8(f[6]);
    QString s = QStringLiteral("%1%2>%3")
                    .arg(type == 1 ? 'S' : 'G')
                    .arg(QString::number(command, 16).rightJustified(2, QLatin1Char('0')).toUpper())
                    .arg(quint8(f[1]));
    // Blocks carry their group first; the NMEA block has none.
    const bool numbered = type == 0 ? command != CMD_CHANNEL_CLEAR : command >= 0x81 && command <= 0x8B;
    if (f.size() > 8 && numbered) s += QStringLiteral(":%1").arg(quint8(f[7]));
    return s;
}

struct Station {
    int number = 0;       // 0: the local module
    int children = 0;
    bool pellar = false;
    int boards = 0;
};

// Builds the frame list a whole transfer must produce, phase by phase, in the terms of
// the transfer's own description: a poll of the radio channel before most steps when the
// station is remote, the stops and restarts around it.
class Expect {
public:
    explicit Expect(const Station& st) : st_(st) {}
    Expect& Poll() {
        if (st_.number != 0) lines << QStringLiteral("G0B>0");
        return *this;
    }
    Expect& Frame(char type, int command, int station, int number = -1) {
        QString s = QStringLiteral("%1%2>%3")
                        .arg(type)
                        .arg(QString::number(command, 16).rightJustified(2, QLatin1Char('0')).toUpper())
                        .arg(station);
        if (number >= 0) s += QStringLiteral(":%1").arg(number);
        lines << s;
        return *this;
    }
    Expect& Get(int command, int number = -1) { return Frame('G', command, st_.number, number); }
    Expect& Set(int command, int number = -1) { return Frame('S', command, st_.number, number); }
    QList<int> Groups(bool pellarGroupZeroOnly) const {
        QList<int> g;
        const int last = st_.pellar && pellarGroupZeroOnly ? 0 : st_.children;
        for (int i = 0; i <= last; ++i) g << i;
        return g;
    }
    QList<int> Boards(int firstBit) const {
        QList<int> b;
        for (int i = 1; st_.pellar && i <= 4; ++i)
            if (st_.boards & (1 << (firstBit + i - 1))) b << i;
        return b;
    }
    QStringList lines;

private:
    Station st_;
};

QStringList ExpectedRead(const Station& st) {
    Expect e(st);
    const int n = st.number;
    if (n != 0) e.Frame('S', CMD_STOP_PROCESSES, 0).Poll().Set(CMD_STOP_PROCESSES);
    e.Poll().Get(CMD_MODULE_INFO, 2);
    if (!st.pellar)
        for (int c = 1; c <= st.children; ++c) e.Poll().Get(CMD_CHILD_INFO, c);
    e.Poll().Get(CMD_DATE_TIME).Poll().Get(CMD_CFG_SYSTEM, 0);
    for (int g : e.Groups(true)) e.Poll().Get(CMD_CFG_INPUTS, g);
    for (int b : e.Boards(4)) e.Get(CMD_CFG_INPUTS, b);
    for (int g : e.Groups(false)) e.Poll().Get(CMD_CFG_ANALOGS, g);
    for (int b : e.Boards(0)) e.Get(CMD_CFG_ANALOGS, b);
    for (int g : e.Groups(true)) e.Poll().Get(CMD_CFG_OUTPUTS, g);
    e.Poll().Get(CMD_CFG_TEMPS, 0);
    for (int i = 0; i <= 4; ++i) e.Poll().Get(CMD_CFG_FLEETSYNC, i);
    e.Poll().Get(CMD_CFG_NMEA, 5).Poll();
    if (n != 0) e.Set(CMD_RESTART_PROCESSES);
    e.Frame('S', CMD_RESTART_PROCESSES, 0);
    return e.lines;
}

QStringList ExpectedWrite(const Station& st) {
    Expect e(st);
    e.Frame('S', CMD_STOP_PROCESSES, 0).Poll().Set(CMD_STOP_PROCESSES).Poll().Poll().Set(CMD_CFG_SYSTEM, 0);
    for (int g : e.Groups(false)) e.Poll().Set(CMD_CFG_INPUTS, g);
    for (int b : e.Boards(4)) e.Set(CMD_CFG_INPUTS, b);
    for (int g : e.Groups(false)) e.Poll().Set(CMD_CFG_OUTPUTS, g);
    for (int g : e.Groups(false)) e.Poll().Set(CMD_CFG_ANALOGS, g);
    for (int b : e.Boards(0)) e.Set(CMD_CFG_ANALOGS, b);
    e.Poll().Set(CMD_CFG_TEMPS, 0);
    for (int i = 0; i <= 4; ++i) e.Poll().Set(CMD_CFG_FLEETSYNC, i);
    e.Poll().Set(CMD_CFG_NMEA).Poll().Set(CMD_RESTART_PROCESSES).Frame('S', CMD_RESTART_PROCESSES, 0);
    return e.lines;
}

enum class Path { Tcp, Tty };

class TransferTest : public SimLinkFixture {
protected:
    void SetUp() override {
        SimLinkFixture::SetUp();
        settings().PacketTimeout = 20;
        SetConnectionReplyTimeout(20);
        SetProgressView(&view);
    }
    void TearDown() override {
        SetProgressView(nullptr);
        SimLinkFixture::TearDown();
    }

    void Connect(Path path) {
        if (path == Path::Tcp) {
            ConnectOverTcp();
        } else {
            settings().CommPortDevice = sim.OpenPty();
            ASSERT_FALSE(settings().CommPortDevice.isEmpty());
            ASSERT_EQ(OpenCommPort(), 0);
        }
    }
    // Shapes the module (or remote station) and sets the address and time-out the
    // connect dialog would leave.
    void Target(const Station& st) {
        if (st.number != 0) sim.AddRemoteStation(st.number);
        if (st.pellar)
            sim.SetPellar(st.boards, st.number);
        else
            sim.SetKorvel(st.children, st.number);
        auto& s = linkState();
        s.StationAddress[0] = static_cast<int16_t>(st.number);
        s.StationAddress[1] = 0;
        s.StationAddress[2] = static_cast<int16_t>(st.number ? 3 : 0);
        SetConnectionReplyTimeout(static_cast<int16_t>(st.number ? 60 : 20));
        // The target check leaves the Pellar flag behind for the read.
        target().PellarDevice = st.pellar;
    }
    QStringList Received() const {
        QStringList out;
        for (const QByteArray& f : sim.Received()) out << Summary(f);
        return out;
    }

    RecordingProgressView view;
};

struct Case {
    const char* name;
    Path path;
    Station station;
};

class WholeTransferTest : public TransferTest, public ::testing::WithParamInterface<Case> {};

TEST_P(WholeTransferTest, ReadsAndWritesBackUnchanged) {
    const Case& c = GetParam();
    Connect(c.path);
    Target(c.station);
    const auto before = sim.Blocks(c.station.number);
    SetDefaultConfiguration();

    ASSERT_EQ(ReadConfiguration(LinkHold()), 0);
    EXPECT_EQ(Received(), ExpectedRead(c.station));
    EXPECT_EQ(target().ChildCount, c.station.pellar ? 0 : c.station.children);
    EXPECT_FALSE(view.Loaded());

    sim.ClearReceived();
    ASSERT_EQ(WriteConfiguration(LinkHold()), 0);
    EXPECT_EQ(Received(), ExpectedWrite(c.station));
    EXPECT_EQ(sim.Blocks(c.station.number), before);
    EXPECT_FALSE(sim.ProcessesStopped(0));
    EXPECT_FALSE(sim.ProcessesStopped(c.station.number));
    EXPECT_EQ(linkState().PacketTimeoutReload, c.station.number ? 60 : 20);
    for (const QByteArray& f : sim.Received()) {
        if (quint8(f[1]) != 0) {
            EXPECT_EQ(quint8(f[3]), 3) << "a remote station is reached over route 3";
        }
    }
    EXPECT_TRUE(prompts.Shown().isEmpty());
    EXPECT_FALSE(view.Loaded());
}

INSTANTIATE_TEST_SUITE_P(
    Stations, WholeTransferTest,
    ::testing::Values(Case{"TcpLocalKorvel0", Path::Tcp, {0, 0, false, 0}},
                      Case{"TcpLocalKorvel7", Path::Tcp, {0, 7, false, 0}},
                      Case{"TcpLocalPellar", Path::Tcp, {0, 0, true, 0x21}},
                      Case{"TcpRemoteKorvel7", Path::Tcp, {5, 7, false, 0}},
                      Case{"TcpRemotePellar", Path::Tcp, {9, 0, true, 0xF3}},
                      Case{"TtyLocalKorvel7", Path::Tty, {0, 7, false, 0}},
                      Case{"TtyRemoteKorvel0", Path::Tty, {12, 0, false, 0}},
                      Case{"TtyLocalPellar", Path::Tty, {0, 0, true, 0x5A}}),
    [](const auto& info) { return std::string(info.param.name); });

// A busy module sends events in place of answers and right behind them: every block the
// read asked for comes back as that block, and the write changes nothing.
TEST_F(TransferTest, ABusyModuleCostsNoBlock) {
    for (const Case& c : {Case{"tcp", Path::Tcp, {0, 7, false, 0}}, Case{"tty", Path::Tty, {12, 2, false, 0}}}) {
        Restart();
        settings().PacketTimeout = 20;
        Connect(c.path);
        Target(c.station);
        sim.SetBusy(0);
        SetDefaultConfiguration();
        ASSERT_EQ(ReadConfiguration(LinkHold()), 0) << c.name;
        const StationConfig held = config();
        const auto before = sim.Blocks(c.station.number);
        // Each event met inside a request sends it again, and counts as one of its
        // tries: the program's own number of tries, and an event for every sixth answer.
        settings().RetryCount = 5;
        sim.SetBusy(6);
        SetDefaultConfiguration();
        ASSERT_EQ(ReadConfiguration(LinkHold()), 0) << c.name << prompts.Shown().value(0).text.toStdString();
        EXPECT_EQ(ConfigDifferences(held, config()), QStringList()) << c.name;
        ASSERT_EQ(WriteConfiguration(LinkHold()), 0) << c.name << prompts.Shown().value(0).text.toStdString();
        EXPECT_EQ(sim.Blocks(c.station.number), before) << c.name;
        sim.SetBusy(0);
        CommPort().Close();
        sim.Close();
    }
}

TEST_F(TransferTest, ProgressStepPerChildCount) {
    const int expected[] = {7, 10, 7, 6, 5, 4, 3, 3};
    for (int c = 0; c <= 7; ++c) EXPECT_EQ(ProgressStep(c), expected[c]) << c << " children";
}

TEST_F(TransferTest, ProgressAndLabelsOfALocalRead) {
    Connect(Path::Tcp);
    Target({0, 0, false, 0});
    ASSERT_EQ(ReadConfiguration(LinkHold()), 0);
    EXPECT_EQ(view.bar, (QList<int>{0, 7, 14, 21, 28, 35, 42, 49, 56, 63, 70, 77, 84, 100}));
    EXPECT_EQ(view.label1, (QStringList{"Reading configuration, Station: 0", "System block",
                                        "Contact input blocks (0)", "Analog input blocks (0)", "Output blocks (0)",
                                        "Temperature input block", "Protocols ...0", "Protocols ...1",
                                        "Protocols ...2", "Protocols ...3", "Protocols ...4",
                                        "Restarting local processes ..."}));
    EXPECT_EQ(host->PanelText(2), QString());
}

TEST_F(TransferTest, ProgressOfAWriteAndItsCaption) {
    Connect(Path::Tcp);
    Target({0, 0, false, 0});
    config().SystemConfig[0] = 7;
    QString caption, label2;
    QObject::connect(&sim, &sim::SimModule::frameReceived, [&] {
        caption = view.Caption();
        label2 = view.LabelText(ProgressLabel::Label2);
    });
    ASSERT_EQ(WriteConfiguration(LinkHold()), 0);
    EXPECT_EQ(view.bar, (QList<int>{0, 7, 14, 21, 28, 35, 43, 51, 59, 67, 75, 100}));
    EXPECT_EQ(caption, QStringLiteral("Writing configuration, Station: Local (007)"));
    EXPECT_EQ(label2, QStringLiteral("Writing data to Korvel"));
    EXPECT_EQ(view.label1.first(), QStringLiteral("Stopping local processes ..."));
    EXPECT_TRUE(view.label1.contains(QStringLiteral("Contact Input blocks (0)")));
    EXPECT_TRUE(view.label1.contains(QStringLiteral("Restarting remote processes ...")));
}

TEST_F(TransferTest, ARemoteWriteNamesTheStationAndKeepsItsLongerTimeOut) {
    Connect(Path::Tcp);
    Target({5, 1, false, 0});
    QString caption;
    int16_t reloadDuringBlocks = 0;
    QObject::connect(&sim, &sim::SimModule::frameReceived, [&](const QByteArray& f) {
        caption = view.Caption();
        if (quint8(f[6]) == CMD_CFG_SYSTEM) reloadDuringBlocks = ReplyTicksNow();
    });
    ASSERT_EQ(WriteConfiguration(LinkHold()), 0);
    EXPECT_EQ(caption, QStringLiteral("Writing configuration, Station: 005"));
    EXPECT_EQ(reloadDuringBlocks, 160);
    EXPECT_EQ(linkState().PacketTimeoutReload, 60);
    EXPECT_EQ(linkState().PacketTimeoutCount, 60);
}

TEST_F(TransferTest, OneChildPushesTheRunningValuePastTheBarWhichStaysFull) {
    Connect(Path::Tcp);
    Target({0, 1, false, 0});
    ASSERT_EQ(ReadConfiguration(LinkHold()), 0);
    EXPECT_EQ(view.bar, (QList<int>{0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 100, 100, 100, 100, 100, 100}));
}

TEST_F(TransferTest, ARemoteReadShowsTheWindowOnlyAfterTheStops) {
    Connect(Path::Tcp);
    Target({5, 0, false, 0});
    bool visibleAtStop = true;
    QString labelAtStop;
    QObject::connect(&sim, &sim::SimModule::frameReceived, [&](const QByteArray& f) {
        if (quint8(f[6]) == CMD_STOP_PROCESSES && quint8(f[1]) == 5) {
            visibleAtStop = view.Visible();
            labelAtStop = view.LabelText(ProgressLabel::Label1);
        }
    });
    ASSERT_EQ(ReadConfiguration(LinkHold()), 0);
    EXPECT_FALSE(visibleAtStop);
    EXPECT_EQ(labelAtStop, QStringLiteral("Stopping remote processes ..."));
    EXPECT_EQ(view.label1.first(), QStringLiteral("Stopping local processes..."));
}

TEST_F(TransferTest, MenusFollowTheTargetAfterARead) {
    Connect(Path::Tcp);
    Target({0, 0, false, 0});
    ASSERT_EQ(ReadConfiguration(LinkHold()), 0);
    EXPECT_TRUE(host->MenuEnabled(MenuItem::mnuSystemFlash));
    EXPECT_TRUE(host->MenuEnabled(MenuItem::mnuPortsFFSK));  // the sim reports the radio port

    Target({4, 0, false, 0});
    sim.SetOptions(0, 4);
    ASSERT_EQ(ReadConfiguration(LinkHold()), 0);
    EXPECT_FALSE(host->MenuEnabled(MenuItem::mnuSystemFlash));
    EXPECT_FALSE(host->MenuEnabled(MenuItem::mnuPortsFFSK));
}

TEST_F(TransferTest, APellarWriteClearsTheDelaysOfTheGroupsItSends) {
    Connect(Path::Tcp);
    Target({0, 0, true, 0x21});  // contact board 2, analog board 1
    target().ExpansionBoardMask = 0x21;
    for (int g = 0; g < 3; ++g)
        for (uint8_t& d : config().ContactInputTable[g].LocalOutputDelay) d = 5;
    ASSERT_EQ(WriteConfiguration(LinkHold()), 0);
    EXPECT_EQ(config().ContactInputTable[0].LocalOutputDelay[7], 0);
    EXPECT_EQ(config().ContactInputTable[2].LocalOutputDelay[0], 0);
    EXPECT_EQ(config().ContactInputTable[1].LocalOutputDelay[3], 5) << "group 1 is not sent";
}

TEST_F(TransferTest, AModuleWithoutAClockIsStillRead) {
    Connect(Path::Tcp);
    Target({0, 0, false, 0});
    sim.SetHasClock(false);
    ASSERT_EQ(ReadConfiguration(LinkHold()), 0);
    EXPECT_FALSE(host->MenuEnabled(MenuItem::mnuDateTime));
    EXPECT_TRUE(prompts.Shown().isEmpty());
}

// ---- Ending early: nothing further is sent, and the site is not left stopped ----------

class TransferFailureTest : public TransferTest {
protected:
    // Runs f when the module receives the frame whose summary is `at`.
    void When(const QString& at, std::function<void()> f) {
        QObject::connect(&sim, &sim::SimModule::frameReceived, [at, f](const QByteArray& frame) {
            if (Summary(frame) == at) f();
        });
    }
    QStringList After(const QString& at) const {
        const QStringList all = Received();
        return all.mid(all.indexOf(at) + 1);
    }
};

TEST_F(TransferFailureTest, CancelDuringARemoteReadRestartsBothEnds) {
    Connect(Path::Tcp);
    Target({5, 2, false, 0});
    When(QStringLiteral("G8B>5:2"), [] { ProgressCancelClicked(); });
    EXPECT_EQ(ReadConfiguration(LinkHold()), TRANSFER_CANCELLED);
    EXPECT_EQ(After(QStringLiteral("G8B>5:2")), (QStringList{"G0B>0", "SD1>5", "SD1>0"}));
    EXPECT_FALSE(sim.ProcessesStopped(0));
    EXPECT_FALSE(sim.ProcessesStopped(5));
    EXPECT_FALSE(view.Loaded());
    EXPECT_FALSE(host->MenuEnabled(MenuItem::mnuPortsFFSK));
    EXPECT_TRUE(prompts.Shown().isEmpty());
}

TEST_F(TransferFailureTest, CancelDuringARemoteWriteRestartsBothEndsAndRestoresTheTimeOut) {
    Connect(Path::Tcp);
    Target({5, 0, false, 0});
    When(QStringLiteral("S8B>5:3"), [] { ProgressCancelClicked(); });
    EXPECT_EQ(WriteConfiguration(LinkHold()), TRANSFER_CANCELLED);
    EXPECT_EQ(After(QStringLiteral("S8B>5:3")), (QStringList{"G0B>0", "SD1>5", "SD1>0"}));
    EXPECT_FALSE(sim.ProcessesStopped(0));
    EXPECT_FALSE(sim.ProcessesStopped(5));
    EXPECT_EQ(linkState().PacketTimeoutReload, 60);
    EXPECT_FALSE(view.Loaded());
}

TEST_F(TransferFailureTest, CancelDuringALocalWriteRestartsTheModuleWithoutAComplaint) {
    Connect(Path::Tcp);
    Target({0, 0, false, 0});
    When(QStringLiteral("S8B>0:0"), [] { ProgressCancelClicked(); });
    EXPECT_EQ(WriteConfiguration(LinkHold()), TRANSFER_CANCELLED);
    EXPECT_EQ(After(QStringLiteral("S8B>0:0")).last(), QStringLiteral("SD1>0"));
    EXPECT_FALSE(sim.ProcessesStopped(0));
    EXPECT_TRUE(prompts.Shown().isEmpty()) << "the restart went through";
}

TEST_F(TransferFailureTest, ATimeOutAnsweredNoEndsALocalReadWithNothingMoreSent) {
    Connect(Path::Tcp);
    Target({0, 0, false, 0});
    SetConnectionReplyTimeout(2);
    // Every send of the analog request goes unanswered; the question is answered No.
    When(QStringLiteral("G84>0:0"), [this] { sim.SetFault(sim::Fault::Silent, 3); });
    EXPECT_EQ(ReadConfiguration(LinkHold()), TRANSFER_FAILED);
    // A local read stopped nothing, so there is nothing to restart.
    EXPECT_EQ(Received().last(), QStringLiteral("G84>0:0"));
    ASSERT_EQ(prompts.Shown().size(), 1);
    EXPECT_FALSE(view.Loaded());
}

// No to the time-out question of a remote write, given once the module answers again:
// the write's own link, not yet closed, restarts the station and then the local module.
TEST_F(TransferFailureTest, ARemoteWriteGivenUpOnRestartsBothEndsOverItsLink) {
    Connect(Path::Tcp);
    Target({5, 0, false, 0});
    // A block waits long for its acknowledgement; short ticks keep the silence short.
    host->SetTimerInterval(LinkTimer::CommIn, 5);
    When(QStringLiteral("S84>5:0"), [this] { sim.GoSilentAfter(0); });
    prompts.WhileShowing([this](const ShownBox&) {
        sim.GoSilentAfter(-1);
        prompts.QueueAnswer(vbNo);
    });
    EXPECT_EQ(WriteConfiguration(LinkHold()), TRANSFER_FAILED);
    QStringList after = After(QStringLiteral("S84>5:0"));
    after.removeAll(QStringLiteral("S84>5:0"));  // its own resends
    EXPECT_EQ(after, (QStringList{"G0B>0", "SD1>5", "SD1>0"}));
    EXPECT_FALSE(sim.ProcessesStopped(0));
    EXPECT_FALSE(sim.ProcessesStopped(5));
    ASSERT_EQ(prompts.Shown().size(), 1) << "the question only";
    EXPECT_EQ(prompts.Shown()[0].text, NoCommunicationText());
    EXPECT_EQ(linkState().PacketTimeoutReload, 60);
    prompts.WhileShowing(nullptr);
}

TEST_F(TransferFailureTest, AStationLostMidReadIsReportedAsLeftStopped) {
    Connect(Path::Tcp);
    Target({5, 0, false, 0});
    SetConnectionReplyTimeout(2);
    When(QStringLiteral("G83>5:0"), [this] { sim.RemoveRemoteStation(5); });
    EXPECT_EQ(ReadConfiguration(LinkHold()), TRANSFER_FAILED);
    // After No the restarts still go over the link the read had, before it goes off line:
    // the local module is restarted, the lost station cannot be.
    EXPECT_EQ(Received().last(), QStringLiteral("SD1>0"));
    EXPECT_FALSE(sim.ProcessesStopped(0));
    ASSERT_EQ(prompts.Shown().size(), 2);
    EXPECT_EQ(prompts.Shown().last().text,
              QStringLiteral("The transfer did not complete, and the processes of station 5 "
                             "that were stopped for it could not be restarted.\n\rThey stay stopped until they are "
                             "restarted (System > Restart) or the configuration is written again."));
    EXPECT_EQ(prompts.Shown().last().icon, vbExclamation);
}

// A refusal is said once the stopped processes run again, by the box it always had; a
// restart refused as well is said in the same one message.
TEST_F(TransferFailureTest, ARefusalIsSaidOnlyAfterTheRestarts) {
    const QString nack = QStringLiteral("OMRU received NACK from target - unknown command");
    Connect(Path::Tcp);
    Target({5, 0, false, 0});
    std::optional<std::pair<bool, bool>> stoppedAtBox;
    prompts.WhileShowing([&](const ShownBox&) {
        if (!stoppedAtBox) stoppedAtBox = std::make_pair(sim.ProcessesStopped(0), sim.ProcessesStopped(5));
    });
    When(QStringLiteral("G83>5:0"), [this] { sim.SetFault(sim::Fault::Nack, 1); });
    EXPECT_EQ(ReadConfiguration(LinkHold()), TRANSFER_FAILED);
    EXPECT_EQ(After(QStringLiteral("G83>5:0")), (QStringList{"G0B>0", "SD1>5", "SD1>0"}));
    ASSERT_EQ(prompts.Shown().size(), 1);
    EXPECT_EQ(prompts.Shown()[0].text, nack);
    EXPECT_EQ(prompts.Shown()[0].title, QStringLiteral("Unknown Command"));
    EXPECT_EQ(stoppedAtBox, std::make_pair(false, false)) << "both ends run again before the box";

    QObject::disconnect(&sim, &sim::SimModule::frameReceived, nullptr, nullptr);
    prompts.Clear();
    stoppedAtBox.reset();
    sim.SetNackCommand(CMD_RESTART_PROCESSES);
    When(QStringLiteral("S83>5:0"), [this] { sim.SetFault(sim::Fault::Nack, 1); });
    EXPECT_EQ(WriteConfiguration(LinkHold()), TRANSFER_FAILED);
    ASSERT_EQ(prompts.Shown().size(), 1);
    EXPECT_EQ(prompts.Shown()[0].text,
              nack + QStringLiteral("\n\rThe transfer did not complete, and the processes of the local module and "
                                    "station 5 that were stopped for it could not be restarted.\n\rThey stay stopped "
                                    "until they are restarted (System > Restart) or the configuration is written "
                                    "again."));
    EXPECT_TRUE(sim.ProcessesStopped(0));
    EXPECT_TRUE(sim.ProcessesStopped(5));
    prompts.WhileShowing(nullptr);
}

TEST_F(TransferFailureTest, NothingIsSentOverALinkThatIsGone) {
    Connect(Path::Tty);
    Target({0, 0, false, 0});
    SetConnectionReplyTimeout(2);
    settings().RetryCount = 1;  // each send to the closed port waits out the stall guard
    When(QStringLiteral("S83>0:0"), [] { CommPort().Close(); });
    EXPECT_EQ(WriteConfiguration(LinkHold()), TRANSFER_FAILED);
    EXPECT_EQ(Received().last(), QStringLiteral("S83>0:0"));
    ASSERT_FALSE(prompts.Shown().isEmpty());
    EXPECT_TRUE(prompts.Shown().last().text.contains(QStringLiteral("the local module")));
}

} // namespace
