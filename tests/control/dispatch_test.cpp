#include "model/model.h"
#include "link/transaction.h"
#include "model/target.h"
#include "model/flashimage.h"
#include "link/linkstate.h"
#include "control/refusals.h"
#include "control/rxdispatch.h"
#include "model/loggerdata.h"
#include "support/linkfixture.h"
#include "link/linkclient.h"
#include "link/fleetsync.h"
#include "control/eventdisplay.h"
#include "model/eventlist.h"

#include <memory>
#include <algorithm>
#include <utility>

using namespace korvel;
using namespace korvel::test;

namespace {

// Frames handed straight to the dispatcher, the transaction state set by hand: what
// each received frame does to the open transaction and where its data lands.
class DispatchTest : public LinkFixture {
protected:
    // A frame to the PC: header, then data, L counted.
    static QByteArray Frame(int type, int command, std::initializer_list<int> data, int dest = 0, int id = 0) {
        QByteArray f = Bytes({0, dest, 12, 3, id, type, command});
        for (int d : data) f.append(char(uint8_t(d)));
        f[0] = char(f.size());
        f.append(char(0));  // checksum position; the dispatcher never looks at it
        return f;
    }
    // A transaction waiting in state (none for TX_IDLE) for request (empty: any answer).
    void Await(int16_t state, const QByteArray& request = QByteArray()) {
        open.reset();
        if (state == TX_IDLE) return;
        open = std::make_unique<Transaction>(request, state);
        open->Open();
    }
    void Receive(const QByteArray& frame, int16_t state = TX_IDLE) {
        Await(state, request);
        ProcessRxPacket(frame);
    }
    bool ResendAsked() const { return open && open->RetryRequest; }
    void Reply(int command, std::initializer_list<int> data, int16_t state = TX_WAIT_REPLY) {
        Receive(Frame(PKT_REPLY, command, data), state);
    }
    int16_t State() const { return open ? open->State : int16_t(TX_IDLE); }
    QStringList ShownTexts() const {
        QStringList texts;
        for (const ShownBox& b : prompts.Shown()) texts << b.text;
        return texts;
    }

    // A half-page reply for word address `word`, data bytes 0, 1, 2, ...; Length 137 is
    // the address and exactly one half page.
    static QByteArray PageReply(int command, int word, int length = 137) {
        QByteArray frame(length + 1, '\0');
        frame[0] = char(length);
        frame[5] = char(PKT_REPLY);
        frame[6] = char(command);
        frame[7] = char(word >> 8);
        frame[8] = char(word & 0xFF);
        for (int i = 9; i < length; ++i) frame[i] = char(i - 9);
        return frame;
    }
    // The page read the link waits on.
    void AwaitPage(int command, int word) {
        Await(TX_WAIT_REPLY, Bytes({9, 0, 0, 0, 0, PKT_GET, command, word >> 8, word & 0xFF, 0}));
    }
    // True when the reply ended the read as answered.
    bool PageStored(const QByteArray& reply) {
        ProcessRxPacket(reply);
        return State() == TX_REPLY_RECEIVED;
    }
    // What the open transaction asked for (an empty one takes any answer).
    QByteArray request;
    std::unique_ptr<Transaction> open;
};

TEST_F(DispatchTest, DestinationFilter) {
    Reply(0x42, {});
    EXPECT_EQ(State(), TX_REPLY_RECEIVED) << "destination 0";
    Receive(Frame(PKT_REPLY, 0x42, {}, 255), TX_WAIT_REPLY);
    EXPECT_EQ(State(), TX_REPLY_RECEIVED) << "broadcast";
    // The next frame may be arriving while this one is dispatched: its assembly is left alone.
    linkState().RxState = RX_IN_FRAME;
    Receive(Frame(PKT_REPLY, 0x42, {}, 7), TX_WAIT_REPLY);
    EXPECT_EQ(State(), TX_WAIT_REPLY) << "another station's frame is ignored";
    EXPECT_EQ(linkState().RxState, RX_IN_FRAME);
    EXPECT_FALSE(ResendAsked());
}

TEST_F(DispatchTest, AcknowledgementEndsOnlyACommandWithItsId) {
    linkState().PacketId = 4;
    Receive(Frame(PKT_ACK, 0, {}, 0, 5), TX_WAIT_ACK);
    EXPECT_EQ(State(), TX_WAIT_ACK) << "wrong id";
    Receive(Frame(PKT_ACK, 0, {}, 0, 4), TX_WAIT_ACK);
    EXPECT_EQ(State(), TX_DONE);
    Receive(Frame(PKT_ACK, 0, {}, 0, 4), TX_WAIT_REPLY);
    EXPECT_EQ(State(), TX_WAIT_REPLY) << "a request still waits for its reply";
    Receive(Frame(PKT_ACK, 0, {}, 0, 4), TX_IDLE);
    EXPECT_EQ(State(), TX_IDLE) << "a late second acknowledgement";
    Receive(Frame(PKT_ACK, 0, {}, 0, 4), TX_WAIT_ACK);
    EXPECT_EQ(State(), TX_DONE);
}

TEST_F(DispatchTest, AnAcknowledgementNamingAnotherCommandLeavesTheWaitOpen) {
    request = Bytes({7, 0, 0, 0, 0, PKT_SET, CMD_RESTART_PROCESSES, 0});
    Receive(Frame(PKT_ACK, CMD_STOP_PROCESSES, {}), TX_WAIT_ACK);
    EXPECT_EQ(State(), TX_WAIT_ACK) << "a late acknowledgement of the stop";
    Receive(Frame(PKT_ACK, CMD_RESTART_PROCESSES, {}), TX_WAIT_ACK);
    EXPECT_EQ(State(), TX_DONE);
    // Without a command byte (L = 6) it can name nothing, and answers what is open.
    Receive(Bytes({6, 0, 12, 3, 0, PKT_ACK, 0}), TX_WAIT_ACK);
    EXPECT_EQ(State(), TX_DONE);
}

TEST_F(DispatchTest, RefusalsAndRequestsFromTheModule) {
    Receive(Frame(PKT_NACK, CMD_DATE_TIME, {}), TX_WAIT_REPLY);
    EXPECT_EQ(State(), TX_REPLY_RECEIVED) << "no clock: the request ends as answered";
    EXPECT_FALSE(host->MenuEnabled(MenuItem::mnuDateTime));
    EXPECT_TRUE(prompts.Shown().isEmpty());
    Receive(Frame(PKT_NACK, CMD_DATE_TIME, {}), TX_WAIT_ACK);
    EXPECT_EQ(State(), TX_WAIT_ACK) << "a date/time command just times out";

    Receive(Frame(PKT_NACK, CMD_CFG_SYSTEM, {}), TX_WAIT_ACK);
    EXPECT_EQ(State(), TX_REFUSED);
    Receive(Frame(PKT_GET, 0x10, {}), TX_WAIT_REPLY);
    EXPECT_EQ(State(), TX_REFUSED);
    Receive(Frame(PKT_SET, 0x10, {}), TX_IDLE);
    EXPECT_EQ(State(), TX_IDLE) << "the link does not look busy after a refusal while idle";
    ASSERT_EQ(prompts.Shown().size(), 3);
    EXPECT_EQ(prompts.Shown()[0].text, "OMRU received NACK from target - unknown command");
    EXPECT_EQ(prompts.Shown()[0].title, "Unknown Command");
    EXPECT_EQ(prompts.Shown()[0].icon, vbInformation);
    EXPECT_EQ(prompts.Shown()[1].text, "OMRU received GET from target - unknown command");
    EXPECT_EQ(prompts.Shown()[2].text, "OMRU received SET from target - unknown command");
}

// Inside a sequence a refusal only ends the transaction and is recorded: the sequence
// says it once the module is put back. One nobody took is shown as the box would have
// been, when the outermost sequence ends.
TEST_F(DispatchTest, ARefusalInsideASequenceIsRecordedForIt) {
    const QString nack = "OMRU received NACK from target - unknown command";
    {
        RefusalScope scope;
        EXPECT_EQ(scope.Take(), "") << "nothing refused yet";
        Receive(Frame(PKT_NACK, CMD_PTT_ON, {}), TX_WAIT_ACK);
        EXPECT_EQ(State(), TX_REFUSED);
        Receive(Frame(PKT_GET, 0x10, {}), TX_WAIT_REPLY);
        EXPECT_EQ(State(), TX_REFUSED);
        EXPECT_EQ(scope.Count(), 2);
        EXPECT_TRUE(prompts.Shown().isEmpty()) << "no box while the module is held";
        Receive(Frame(PKT_SET, 0x10, {}), TX_IDLE);
        EXPECT_EQ(ShownTexts(), QStringList{"OMRU received SET from target - unknown command"})
            << "one that ended nothing is said at once";
        EXPECT_EQ(scope.Count(), 2);
        EXPECT_EQ(scope.Take(), nack) << "the first one";
    }
    EXPECT_EQ(prompts.Shown().size(), 1) << "taken: not said again";

    prompts.Clear();
    {
        RefusalScope outer;
        {
            RefusalScope inner;
            Receive(Frame(PKT_NACK, CMD_RESTART_PROCESSES, {}), TX_WAIT_ACK);
        }
        EXPECT_TRUE(prompts.Shown().isEmpty()) << "handed on to the sequence around it";
        EXPECT_EQ(outer.Count(), 1);
    }
    ASSERT_EQ(prompts.Shown().size(), 1);
    EXPECT_EQ(prompts.Shown()[0].text, nack);
    EXPECT_EQ(prompts.Shown()[0].title, "Unknown Command");
    EXPECT_EQ(prompts.Shown()[0].icon, vbInformation);
}

TEST_F(DispatchTest, EventsAndResendRequests) {
    Receive(Frame(PKT_EVENT, 1, {0x85}), TX_WAIT_ACK);
    EXPECT_TRUE(ResendAsked()) << "the open command is resent at once";
    EXPECT_FALSE(eventAck().AckPending);
    EXPECT_EQ(State(), TX_WAIT_ACK);
    // An acknowledgement going out is not sent again: it would answer the dropped event.
    Receive(Frame(PKT_EVENT, 1, {0x85}), TX_SEND_ONLY);
    EXPECT_FALSE(ResendAsked());
    EXPECT_FALSE(eventAck().AckPending);

    Receive(Frame(PKT_EVENT, 1, {0x85}), TX_IDLE);
    EXPECT_TRUE(eventAck().AckPending);
    EXPECT_EQ(eventAck().OwedAcks, QList<int16_t>{12});
    EXPECT_EQ(State(), TX_IDLE);

    for (int type : {int(PKT_RESEND), 0x42}) {
        Receive(Frame(type, 0, {}), TX_WAIT_REPLY);
        EXPECT_TRUE(ResendAsked()) << type;
        EXPECT_EQ(State(), TX_WAIT_REPLY);
        EXPECT_EQ(linkState().RxState, RX_HUNT);
    }
}

TEST_F(DispatchTest, CommonExitForEveryReply) {
    host->SetPanelText(3, "Please wait ...");
    Reply(0x42, {});
    EXPECT_EQ(State(), TX_REPLY_RECEIVED);
    EXPECT_EQ(host->PanelText(3), "");
    Reply(CMD_INPUT_STATUS, {2, 0xA5}, TX_WAIT_ACK);
    EXPECT_EQ(State(), TX_WAIT_ACK) << "an unrequested reply leaves the transaction alone";
    EXPECT_NE(target().StatusGroup, 2) << "and stores nothing";
    EXPECT_NE(target().StatusBits, 0xA5);
}

// A frame that comes while an earlier one waits in a box leaves the earlier one whole: two
// temperature replies do not end as a mix, and two events are owed to their own stations.
TEST_F(DispatchTest, AFrameArrivingInsideAnotherFramesBoxLeavesItWhole) {
    const QByteArray first = Frame(PKT_REPLY, CMD_TEMP_STATUS, {0, 40, 1, 0xFF, 0xFF, 50, 1, 60, 1, 70, 1, 80, 1, 90, 1, 99, 1});
    const QByteArray second = Frame(PKT_REPLY, CMD_TEMP_STATUS, {0, 10, 2, 20, 2, 30, 2, 40, 2, 50, 2, 60, 2, 70, 2, 80, 2});
    const auto deliver = [](const QByteArray& f) { linkClient().FrameReceived(f); };
    Await(TX_WAIT_REPLY);
    deliver(first);
    const auto alone = target().TempReadings;
    ASSERT_EQ(prompts.Shown().size(), 1) << "the out-of-range reading's box";

    prompts.Clear();
    Await(TX_WAIT_REPLY);
    bool once = true;
    prompts.WhileShowing([&](const ShownBox&) {
        if (std::exchange(once, false)) deliver(second);
    });
    deliver(first);
    EXPECT_EQ(target().TempReadings, alone) << "the second reply answers nothing open";
    EXPECT_EQ(State(), TX_REPLY_RECEIVED);

    // Two events, the event log failing on the first: each is owed its own acknowledgement.
    prompts.Clear();
    eventMonitor().EventLogOn = true;
    QByteArray fromTwo = Frame(PKT_EVENT, 1, {3});
    fromTwo[FRAME_SOURCE] = 2;
    QByteArray fromOne = Frame(PKT_EVENT, 1, {4});
    fromOne[FRAME_SOURCE] = 1;
    once = true;
    prompts.WhileShowing([&](const ShownBox&) {
        if (std::exchange(once, false)) deliver(fromTwo);
    });
    Await(TX_IDLE);
    deliver(fromOne);
    prompts.WhileShowing({});
    QList<int16_t> owed = eventAck().OwedAcks;
    std::sort(owed.begin(), owed.end());
    EXPECT_EQ(owed, (QList<int16_t>{1, 2}));
    EXPECT_EQ(prompts.Shown().size(), 1);
}

// The box an out-of-range first reading opens lets the link go on: a module frame and a
// radio text handled while it is up leave the reply's other readings as the module sent
// them, not read from whatever came last.
TEST_F(DispatchTest, ReadingsAfterAnOverflowBoxAreTheReplysOwn) {
    // Codes 0x8000 (out of range), 32, 511, 50, 1, 0, 400, 200.
    const QByteArray reply = Frame(PKT_REPLY, CMD_TEMP_STATUS, {3, 0x00, 0x80, 32, 0, 0xFF, 0x01, 50, 0, 1, 0, 0, 0,
                                                                0x90, 0x01, 200, 0});
    const QByteArray event = Frame(PKT_EVENT, EVENT_CLASS_CONTACT, {0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8A, 0x8B, 0x8C,
                                                                    0x8D, 0x8E, 0x8F, 0x90, 0x91, 0x92, 0x93, 0x94});
    // A data message whose frame was damaged on the air: long enough to reach past the
    // reply's last reading, and handed to nobody.
    const QByteArray radio = char(STX) + QByteArray("G1001000") + "0E0000030201AAAABBBBCCCCDDDD11" + char(ETX);
    int boxes = 0;
    prompts.WhileShowing([&](const ShownBox&) {
        if (boxes++ > 0) return;
        linkClient().FrameReceived(event);
        ParseFleetSyncInput(radio);
    });
    Await(TX_WAIT_REPLY);
    linkClient().FrameReceived(reply);
    prompts.WhileShowing({});

    ASSERT_EQ(boxes, 1) << "the overflow's box only";
    EXPECT_TRUE(prompts.Shown()[0].text.contains("Description: Overflow"));
    EXPECT_TRUE(prompts.Shown()[0].text.endsWith("Source Command: 2")) << "the reply's packet type";
    const TargetState& t = target();
    EXPECT_EQ(t.TempReadings[0], 32767);
    const int16_t sent[7] = {160, -5, 250, 5, 0, -560, 1000};
    for (int c = 1; c < 8; ++c) EXPECT_EQ(t.TempReadings[c], sent[c - 1]) << "channel " << c + 1;
    EXPECT_EQ(t.StatusGroup, 3);
    EXPECT_EQ(State(), TX_REPLY_RECEIVED);
    EXPECT_TRUE(ResendAsked()) << "the event came while the request was open";
}

TEST_F(DispatchTest, ModuleInformationOfAKorvel) {
    config().AnalogConfigTable[5].Present[0] = true;
    Reply(CMD_MODULE_INFO, {0x23, 0x31, 0x35, 0x12, 0x40, 0x0F, 0x81});
    const TargetState& t = target();
    EXPECT_EQ(t.TargetIdentity, 0x23);
    EXPECT_EQ(t.TargetFirmwareVersion, 0x31);
    EXPECT_EQ(t.TargetOptions, 5);
    EXPECT_EQ(t.BootLoaderVersion, 0x35);
    EXPECT_EQ(t.ChildCount, 3);
    EXPECT_EQ(t.TargetModuleMode, 2);
    EXPECT_EQ(t.ExpansionBoardMask, 0x40);
    EXPECT_EQ(t.ModuleDebugFlags, 0x0F);
    EXPECT_EQ(t.TempSensorInfo, 0x81);
    for (int g = 0; g < GROUPS; ++g) {
        EXPECT_EQ(config().AnalogConfigTable[g].Present[7], g <= 3) << g;
        EXPECT_EQ(config().ContactInputTable[g].Present[0], g <= 3) << g;
    }
    EXPECT_EQ(State(), TX_REPLY_RECEIVED);
}

TEST_F(DispatchTest, ABootLoaderReportsItsVersionAndLeavesTheStationAlone) {
    target().ChildCount = 2;
    config().AnalogConfigTable[2].Present[0] = true;
    // Byte 9 is the boot loader's version (8.1 here), not a count of child modules.
    Reply(CMD_MODULE_INFO, {0x03, 0x00, 0x81, 0, 0, 0, 0});
    EXPECT_TRUE(prompts.Shown().isEmpty());
    EXPECT_EQ(target().TargetIdentity, 0x03);
    EXPECT_EQ(target().BootLoaderVersion, 0x81);
    EXPECT_EQ(target().ChildCount, 2);
    EXPECT_TRUE(config().AnalogConfigTable[2].Present[0]);
    EXPECT_EQ(State(), TX_REPLY_RECEIVED);
}

TEST_F(DispatchTest, ModuleInformationOfAPellarFollowsItsBoards) {
    target().PellarDevice = true;
    Reply(CMD_MODULE_INFO, {0x23, 0x3F, 0x35, 0x02, 0x13, 0, 0});
    EXPECT_EQ(target().ChildCount, 0);
    const bool analog[GROUPS] = {true, true, true, false, false, true, false, false};
    const bool contact[GROUPS] = {true, true, false, false, false, false, false, false};
    for (int g = 0; g < GROUPS; ++g) {
        EXPECT_EQ(config().AnalogConfigTable[g].Present[3], analog[g]) << g;
        EXPECT_EQ(config().ContactInputTable[g].Present[3], contact[g]) << g;
    }
}

TEST_F(DispatchTest, MoreThanSevenChildModulesIsRefused) {
    target().ChildCount = 2;
    Reply(CMD_MODULE_INFO, {0x23, 0x31, 0x92, 0x02, 0, 0, 0});
    EXPECT_EQ(State(), TX_REFUSED) << "the request fails, so the connection is not used";
    EXPECT_EQ(target().ChildCount, 2);
    EXPECT_EQ(target().TargetIdentity, 0) << "nothing of the reply is stored";
    ASSERT_EQ(prompts.Shown().size(), 1);
    EXPECT_EQ(prompts.Shown()[0].text,
              "The target reports 9 child modules. At most 7 child modules are supported, so this "
              "connection cannot be used.");
}

TEST_F(DispatchTest, ShortOrOutOfRangeRepliesFailAndStoreNothing) {
    Reply(CMD_MODULE_INFO, {0x23, 0x31, 0x35});
    EXPECT_EQ(State(), TX_REFUSED);
    EXPECT_EQ(target().TargetIdentity, 0);
    ASSERT_EQ(prompts.Shown().size(), 1);
    EXPECT_EQ(prompts.Shown()[0].text,
              "An unexpected error has occured: \r\nError number: 9\r\nDescription: Subscript out of range\r\n"
              "Location: frmMain\r\nProcedure: ProcessStatusPacket\r\nSource Command: 2");
    EXPECT_EQ(prompts.Shown()[0].icon, 0);

    config().AnalogConfigTable[0].LiveValue[0] = 77;
    Reply(CMD_ANALOG_STATUS, {8, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16});
    EXPECT_EQ(State(), TX_REFUSED) << "group 8 does not exist";
    EXPECT_EQ(config().AnalogConfigTable[0].LiveValue[0], 77);

    for (int child : {0, 9}) {
        Reply(CMD_CHILD_INFO, {child, 1, 2, 3, 4, 5, 6, 7});
        EXPECT_EQ(State(), TX_REFUSED) << child;
    }
    Reply(CMD_CFG_INPUTS, {9});
    EXPECT_EQ(State(), TX_REFUSED) << "a block shorter than its layout";
    Reply(CMD_DATE_TIME, {1, 2, 3});
    EXPECT_EQ(State(), TX_REFUSED);
    EXPECT_EQ(target().ModuleClock.year, 2000);
    EXPECT_EQ(prompts.Shown().size(), 6);
}

TEST_F(DispatchTest, LiveValuesClockAndLogger) {
    Reply(CMD_ANALOG_STATUS, {2, 0x34, 0xF2, 0xFF, 0x0F});
    EXPECT_EQ(State(), TX_REFUSED) << "eight readings are owed";
    Reply(CMD_ANALOG_STATUS, {2, 0x34, 0xF2, 0xFF, 0x0F, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(config().AnalogConfigTable[2].LiveValue[0], 564) << "the high nibble of the second byte is dropped";
    EXPECT_EQ(config().AnalogConfigTable[2].LiveValue[1], 4095);

    Reply(CMD_DATE_TIME, {31, 12, 16, 23, 59, 58});
    EXPECT_EQ(target().ModuleClock.year, 2016);
    EXPECT_EQ(target().ModuleClock.day, 31);
    EXPECT_EQ(target().ModuleClock.second, 58);
    EXPECT_TRUE(host->MenuEnabled(MenuItem::mnuDateTime));
    target().PellarDevice = true;
    Reply(CMD_DATE_TIME, {1, 1, 20, 0, 0, 0});
    EXPECT_FALSE(host->MenuEnabled(MenuItem::mnuDateTime));

    Reply(CMD_SAMPLE_COUNT, {0x00, 0x80});
    EXPECT_EQ(loggerData().SampleLogCount, 32768) << "counts are unsigned";
    Reply(CMD_MINMAX_COUNT, {0xFF, 0xFF});
    EXPECT_EQ(loggerData().MinMaxLogCount, 65535);
    EXPECT_TRUE(prompts.Shown().size() == 1) << "no overflow box";

    Reply(CMD_LOGGER_STOP, {3});
    EXPECT_TRUE(loggerData().LoggerRunning);
    Reply(CMD_LOGGER_START, {0});
    EXPECT_FALSE(loggerData().LoggerRunning);

    QByteArray timers = Frame(PKT_REPLY, CMD_LOGGER_TIMERS, {});
    timers.chop(1);
    for (int i = 0; i < 52; ++i) timers.append(char(i == 0 ? 0x56 : i == 1 ? 0x34 : i == 2 ? 0x12 : 100 + i));
    timers[0] = char(timers.size());
    timers.append(char(0));
    Receive(timers, TX_WAIT_REPLY);
    EXPECT_EQ(loggerData().LoggerTimers[0], 0x123456);
    EXPECT_EQ(loggerData().LoggerSettingBytes[0], 100 + 27) << "frame byte 34";
    EXPECT_EQ(loggerData().LoggerSettingBytes[24], 100 + 51) << "frame byte 58";
}

TEST_F(DispatchTest, TemperatureReadings) {
    Reply(CMD_TEMP_STATUS, {0, 0xFF, 0x7F, 0x20, 0x00, 0xFF, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(target().TempReadings[0], 32767) << "absent, not converted";
    EXPECT_EQ(target().TempReadings[1], 160) << "code 32 is 16.0 degrees";
    EXPECT_EQ(target().TempReadings[2], -5) << "code 511 is -0.5 degrees";
    EXPECT_TRUE(prompts.Shown().isEmpty());
    Reply(CMD_TEMP_STATUS, {0, 0x00, 0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(target().TempReadings[0], 32767) << "no made-up temperature for a code out of range";
    ASSERT_EQ(prompts.Shown().size(), 1);
    EXPECT_TRUE(prompts.Shown()[0].text.contains("Error number: 6\r\nDescription: Overflow"));
}

TEST_F(DispatchTest, DeviceTypeChildInformationAndFleetSyncSubBlock) {
    Reply(CMD_DEVICE_TYPE, {0, 1, 0, 0, 7, 8, 9, 10});
    EXPECT_FALSE(target().PellarDevice);
    Reply(CMD_DEVICE_TYPE, {0, 0, 0, 0, 7, 8, 9, 10});
    EXPECT_TRUE(target().PellarDevice);
    EXPECT_EQ(target().PellarVersion[0], 7);
    EXPECT_EQ(target().PellarVersion[3], 10);

    Reply(CMD_CHILD_INFO, {1, 0x23, 0x31, 0x57, 0x32, 0x11, 0x22, 0x33});
    const ChildModuleInfo& c = target().ChildModuleList[0];
    EXPECT_EQ(c.Identity, 0x23);
    EXPECT_EQ(c.Options, 7);
    EXPECT_EQ(c.OptionsHigh, 5);
    EXPECT_EQ(c.ModuleMode, 2);
    EXPECT_EQ(c.TempSensors, 0x33);
    Reply(CMD_CHILD_INFO, {8, 0x24, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(target().ChildModuleList[7].Identity, 0x24);

    config().FleetSyncConfig.Ccb1 = 0x81;
    Reply(CMD_CFG_FLEETSYNC, {5, 1, 2, 3});
    EXPECT_EQ(target().StatusGroup, 5);
    EXPECT_EQ(config().FleetSyncConfig.Ccb1, 0x81);
    EXPECT_EQ(State(), TX_REPLY_RECEIVED);
}

TEST_F(DispatchTest, FlashPageReplyIsStoredOnlyForThePageAskedFor) {
    ClearFlashImage();
    AwaitPage(CMD_FLASH_PAGE_LOW, 0x10);
    EXPECT_TRUE(PageStored(PageReply(CMD_FLASH_PAGE_LOW, 0x10)));
    EXPECT_EQ(FlashImage()[0x1F], 0xFF);
    EXPECT_EQ(FlashImage()[0x20], 0);
    EXPECT_EQ(FlashImage()[0x9F], 127);
    EXPECT_EQ(FlashImage()[0xA0], 0xFF);
    AwaitPage(CMD_FLASH_PAGE_HIGH, 0xFFC0);  // the last half page of the image
    EXPECT_TRUE(PageStored(PageReply(CMD_FLASH_PAGE_HIGH, 0xFFC0)));
    EXPECT_EQ(FlashImage()[0x1FFFF], 127);

    ClearFlashImage();
    // Another address, another command, a short or long reply, a reply nobody waits for,
    // a half page past the end: nothing lands anywhere, and the read ends as failed.
    AwaitPage(CMD_FLASH_PAGE_LOW, 0x10);
    EXPECT_FALSE(PageStored(PageReply(CMD_FLASH_PAGE_LOW, 0x50)));
    EXPECT_EQ(State(), TX_REFUSED);
    // Another page's answer is said for what it is, not as a fault of the storer.
    EXPECT_EQ(ShownTexts(), QStringList{"The module answered the read of flash address 0x000020 with the "
                                               "bytes of flash address 0x0000A0."});
    prompts.Clear();
    {
        RefusalScope load;
        AwaitPage(CMD_FLASH_PAGE_HIGH, 0xFFC0);
        EXPECT_FALSE(PageStored(PageReply(CMD_FLASH_PAGE_HIGH, 0x0040)));
        EXPECT_TRUE(prompts.Shown().isEmpty());
        EXPECT_EQ(load.Take(), "The module answered the read of flash address 0x01FF80 with the bytes of flash "
                               "address 0x000080.");
    }
    AwaitPage(CMD_FLASH_PAGE_LOW, 0x10);
    EXPECT_FALSE(PageStored(PageReply(CMD_FLASH_PAGE_HIGH, 0x10)));
    for (const int length : {136, 138}) {
        AwaitPage(CMD_FLASH_PAGE_LOW, 0x10);
        EXPECT_FALSE(PageStored(PageReply(CMD_FLASH_PAGE_LOW, 0x10, length))) << length;
    }
    Await(TX_WAIT_ACK, Bytes({9, 0, 0, 0, 0, PKT_GET, CMD_FLASH_PAGE_LOW, 0, 0x10, 0}));
    PageStored(PageReply(CMD_FLASH_PAGE_LOW, 0x10));
    AwaitPage(CMD_FLASH_PAGE_LOW, 0xFFC1);
    EXPECT_FALSE(PageStored(PageReply(CMD_FLASH_PAGE_LOW, 0xFFC1)));
    EXPECT_TRUE(std::all_of(FlashImage().begin(), FlashImage().end(), [](uint8_t b) { return b == 0xFF; }));
}

} // namespace
