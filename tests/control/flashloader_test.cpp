// The firmware load against the simulated module's boot loader, over the serial path (a
// pseudo-terminal), with every box and the file dialog scripted.
#include "control/flashloader.h"
#include "link/linkhold.h"

#include "model/target.h"
#include "control/boardpage.h"
#include "model/flashimage.h"
#include "support/romtext.h"
#include "link/frame.h"
#include "link/linkstate.h"
#include "support/simfixture.h"
#include "platform/serialport.h"
#include "control/localsettings.h"
#include "control/progress.h"
#include "link/transaction.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace korvel::test {
namespace {

using BoardInfo = sim::SimModule::BoardInfo;
using sim::SimModule;

const QString kNoFirmware = "The module holds no complete firmware and waits in its boot loader. Repeat the firmware load.";
const QString kRestarted =
    "Nothing was written to the module's flash. The module was restarted and runs its firmware as before.";
const QString kStuck = "Nothing was written to the module's flash, but the module may be waiting in its boot loader. "
                       "Switch the module off and on again, or repeat the firmware load, to start its firmware.";
const QString kFinished = "The firmware load was cancelled after every page was written, so it was finished. The "
                          "module holds the new firmware and was restarted.";
const QString kNack = "OMRU received NACK from target - unknown command";
const QString kNotStarted = "Nothing was written to the module's flash. The module runs its firmware as before.";

class FlashLoaderTest : public SimLinkFixture {
protected:
    void SetUp() override {
        SimLinkFixture::SetUp();
        settings().CommPortDevice = sim.OpenPty();
        ASSERT_FALSE(settings().CommPortDevice.isEmpty());
        settings().PacketTimeout = 3;
        flashLoaderPauses() = FlashLoaderPauses{60, 20};
        // Whatever the program addressed before the load, it gets back afterwards.
        auto& s = linkState();
        s.StationAddress[0] = 5;
        s.StationAddress[2] = 3;
        SetConnectionReplyTimeout(7);
        originalFlash = sim.Flash();
    }
    void TearDown() override {
        QObject::disconnect(&sim, nullptr, nullptr, nullptr);
        SimLinkFixture::TearDown();
    }
    QString WriteRom(const QByteArray& text, const QString& name = "korvel_test.rom") {
        const QString path = dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
        return path;
    }
    // Loads words first .. last of a patterned image; the boxes after the file dialog
    // get `answers`.
    FlashLoadOutcome Load(int32_t first, int32_t last, const QByteArray& extraLines = {},
                          std::initializer_list<int> answers = {}) {
        image = PatternImage(first, last);
        prompts.QueueFile(WriteRom(RomText(image, first, last, extraLines)));
        for (const int a : answers) prompts.QueueAnswer(a);
        return RunFlashLoader();
    }
    // "Click OK to continue" of the board page.
    static constexpr int kBoardPageOk = vbOK;
    // "No Communication from module ... Continue?"
    static constexpr int kGiveUp = vbNo;
    QList<int> Commands() const {
        QList<int> c;
        for (const QByteArray& f : sim.Received()) c.append(quint8(f[6]));
        return c;
    }
    QStringList Texts() const {
        QStringList t;
        for (const ShownBox& b : prompts.Shown())
            if (b.kind == ShownBox::Message) t.append(b.text);
        return t;
    }
    void ExpectAddressingKept() const {
        const auto& s = linkState();
        EXPECT_EQ(s.StationAddress[0], 5);
        EXPECT_EQ(s.StationAddress[2], 3);
        EXPECT_EQ(s.PacketTimeoutReload, 7);
        EXPECT_FALSE(progressView().Loaded());
    }
    // Runs f on every frame the module receives, before it answers.
    void OnFrame(std::function<void(const QByteArray&)> f) {
        QObject::connect(&sim, &SimModule::frameReceived, &sim, std::move(f));
    }
    static bool IsPageWrite(const QByteArray& f) {
        return quint8(f[5]) == PKT_SET && (quint8(f[6]) == CMD_FLASH_PAGE_LOW || quint8(f[6]) == CMD_FLASH_PAGE_HIGH);
    }
    // Every page the module was sent went whole: a low half at a page start, its high
    // half next.
    void ExpectWholePages() const {
        const QList<int>& w = sim.PageWrites();
        ASSERT_EQ(w.size() % 2, 0) << "a page half written";
        for (qsizetype i = 0; i < w.size(); i += 2) {
            EXPECT_EQ(w[i] % 256, 0) << i;
            EXPECT_EQ(w[i + 1], w[i] + 128) << i;
        }
    }
    // The serial number, type, revision and all before them are as the module had them,
    // under a good CRC.
    void ExpectBoardPageIntact() const {
        const QByteArray page = sim.BoardPage();
        EXPECT_EQ(page.left(0xE4), originalFlash.mid(BOARD_PAGE_ADDRESS, 0xE4));
        EXPECT_TRUE(SimModule::BoardPageCrcGood(page));
    }

    QTemporaryDir dir;
    QByteArray image, originalFlash;
};

TEST_F(FlashLoaderTest, RefusalAsksForAnotherFile) {
    prompts.QueueAnswer(vbCancel);
    const RomFile f = LoadRomFile(WriteRom("type=Pellar\nCRC16=0\n"));
    EXPECT_EQ(ShowRomFileRefusal(f), vbCancel);
    ASSERT_EQ(prompts.Shown().size(), 1);
    EXPECT_EQ(prompts.Shown()[0].title, "Flash Loader");
    EXPECT_EQ(prompts.Shown()[0].buttons, vbOKCancel);
    EXPECT_EQ(prompts.Shown()[0].icon, vbCritical);
    EXPECT_EQ(prompts.Shown()[0].text, f.message);
}

TEST_F(FlashLoaderTest, AWholeImageIsProgrammedAroundTheBoardPageWhichIsStampedLast) {
    QString firstCaption, firstLabel;
    int firstMaximum = 0;
    OnFrame([&](const QByteArray& f) {
        if (firstCaption.isEmpty() && IsPageWrite(f)) {
            firstCaption = progressView().Caption();
            firstLabel = progressView().LabelText(ProgressLabel::Label1);
            firstMaximum = progressView().Maximum();
        }
    });
    ASSERT_EQ(Load(0, FLASH_IMAGE_SIZE - 2, "bootver=2.1\r\nprevver=3.0\r\n", {kBoardPageOk}), FlashLoadOutcome::Loaded);

    // Identity, boot loader, identity again, unlock and its check, the board page, the
    // 511 other pages, the board page back, the restart.
    QList<int> expected = {CMD_MODULE_INFO, CMD_ENTER_BOOT_LOADER, CMD_MODULE_INFO, CMD_FLASH_UNLOCK,
                           CMD_FLASH_UNLOCK, CMD_FLASH_PAGE_LOW, CMD_FLASH_PAGE_HIGH};
    for (int page = 0; page < 511; ++page) expected << CMD_FLASH_PAGE_LOW << CMD_FLASH_PAGE_HIGH;
    expected << CMD_FLASH_PAGE_LOW << CMD_FLASH_PAGE_HIGH << CMD_RESTART_PROCESSES;
    EXPECT_EQ(Commands(), expected);
    const QByteArray first = sim.Received()[7];
    EXPECT_EQ(first.left(9), Bytes({137, 0, 0, 0, 0, PKT_SET, CMD_FLASH_PAGE_LOW, 0, 0}));
    EXPECT_EQ(first.mid(9, 128), image.left(128));
    EXPECT_EQ(sim.Received()[8].left(9), Bytes({137, 0, 0, 0, 0, PKT_SET, CMD_FLASH_PAGE_HIGH, 0, 0x40}));
    EXPECT_EQ(firstCaption, "Programming ...");
    EXPECT_EQ(firstLabel, "Programming page: 0 of 512");
    EXPECT_EQ(firstMaximum, 512);

    // The flash is the image but for the board page, which keeps what the module held
    // up to its stamp.
    const QByteArray flash = sim.Flash();
    EXPECT_EQ(flash.left(BOARD_PAGE_ADDRESS), image.left(BOARD_PAGE_ADDRESS));
    EXPECT_EQ(flash.mid(BOARD_PAGE_ADDRESS + 256), image.mid(BOARD_PAGE_ADDRESS + 256));
    const QByteArray page = sim.BoardPage();
    EXPECT_EQ(page.left(0xE4), originalFlash.mid(BOARD_PAGE_ADDRESS, 0xE4));
    EXPECT_TRUE(SimModule::BoardPageCrcGood(page));
    EXPECT_EQ(quint8(page[0xF8]) + 256 * quint8(page[0xF9]), 8);
    EXPECT_EQ(quint8(page[0xFA]) + 256 * quint8(page[0xFB]), 0xFFFF);
    EXPECT_TRUE(QRegularExpression("^\\d\\d-[A-Z][a-z]{2}-\\d\\d, \\d\\d:\\d\\d:\\d\\d$")
                    .match(QString::fromLatin1(page.mid(0xE4, 19)))
                    .hasMatch());
    EXPECT_NE(page.mid(0xE4, 19), BoardInfo{}.lastLoad);
    EXPECT_EQ(page[0xF7], '\0');
    EXPECT_EQ(sim.PageWrites().count(BOARD_PAGE_ADDRESS), 1);
    EXPECT_EQ(sim.PageWrites().last(), BOARD_PAGE_ADDRESS + 128);

    EXPECT_EQ(Texts(), QStringList{"Date/time of last Flash Load: 03-Feb-25, 10:20:30\n\rFlash count: 8\n\r"
                                   "Click OK to continue"});
    EXPECT_EQ(prompts.Shown()[1].title, "Flash Loader - Updating manufacturing page");
    EXPECT_EQ(prompts.Shown()[1].icon, vbInformation);
    EXPECT_EQ(sim.BootLoaderRestarts(), 1);
    EXPECT_FALSE(sim.InBootLoader());
    EXPECT_EQ(host->PanelText(4), "DISCONNECTED");
    ExpectAddressingKept();
}

TEST_F(FlashLoaderTest, PagesFromAddressZeroThroughTheHighestWordAreWritten) {
    // A stray board page in the file must not reach the module: the image ends below it.
    ASSERT_EQ(Load(0x300, 0x3FE, {}, {kBoardPageOk}), FlashLoadOutcome::Loaded);
    QList<int> writes;
    for (int a = 0; a < 4 * 256; a += 128) writes << a;
    writes << BOARD_PAGE_ADDRESS << BOARD_PAGE_ADDRESS + 128;
    EXPECT_EQ(sim.PageWrites(), writes);
    const QByteArray flash = sim.Flash();
    EXPECT_EQ(flash.left(0x300), QByteArray(0x300, char(0xFF)));  // pages with no record are erased
    EXPECT_EQ(flash.mid(0x300, 0x100), image.mid(0x300, 0x100));
    EXPECT_EQ(flash.mid(0x400, 0x100), originalFlash.mid(0x400, 0x100));  // nothing past the last page
}

TEST_F(FlashLoaderTest, BoardPageCountsAndItsRepair) {
    // A page that fails its CRC starts again at 1, silently.
    QByteArray page = SimModule::MakeBoardPage(BoardInfo{});
    page[0x10] = char(page[0x10] ^ 1);
    sim.SetFlash(BOARD_PAGE_ADDRESS, page);
    ASSERT_EQ(Load(0, 0xFE), FlashLoadOutcome::Loaded);
    EXPECT_TRUE(Texts().isEmpty());
    page = sim.BoardPage();
    EXPECT_TRUE(SimModule::BoardPageCrcGood(page));
    EXPECT_EQ(quint8(page[0xF8]) + 256 * quint8(page[0xF9]), 1);
    EXPECT_EQ(page[0x10], char(SimModule::MakeBoardPage(BoardInfo{})[0x10] ^ 1));  // kept as read

    // The count is unsigned and stops at its top.
    for (const auto& [stored, shown] : {std::pair{40000, 40001}, std::pair{65535, 65535}}) {
        BoardInfo info;
        info.flashCount = quint16(stored);
        sim.SetFlash(BOARD_PAGE_ADDRESS, SimModule::MakeBoardPage(info));
        prompts.Clear();
        ASSERT_EQ(Load(0, 0xFE, {}, {kBoardPageOk}), FlashLoadOutcome::Loaded);
        EXPECT_TRUE(Texts().value(0).contains(QStringLiteral("Flash count: %1\n\r").arg(shown))) << stored;
        page = sim.BoardPage();
        EXPECT_EQ(quint8(page[0xF8]) + 256 * quint8(page[0xF9]), shown);
    }
}

TEST_F(FlashLoaderTest, RefusedFilesNeverReachTheModule) {
    const QString choose = "Click on OK to select new file or Cancel to exit";
    // A refused header offers another file; a CRC that does not match is given up.
    prompts.QueueFile(WriteRom("type=Pellar\r\nCRC16=0\r\n000000:0000\r\n", "korvel_pellar.rom"));
    prompts.QueueAnswer(vbOK);
    prompts.QueueFile(WriteRom("type=Korvel\r\nCRC16=1\r\n000000:0000\r\n"));
    prompts.QueueAnswer(vbCancel);
    EXPECT_EQ(RunFlashLoader(), FlashLoadOutcome::Abandoned);
    EXPECT_EQ(Texts(), (QStringList{"File does not contain correct header information or is for incorrect product\n\r"
                                    "File appears to be for Pellar. " + choose,
                                    "The file CRC16 does not match that calculated\n\r" + choose}));
    for (const ShownBox& b : prompts.Shown()) {
        if (b.kind == ShownBox::OpenFile) {
            EXPECT_EQ(b.title, "Open flash 'rom' file");
        } else {
            EXPECT_EQ(b.title, "Flash Loader");
            EXPECT_EQ(b.buttons, vbOKCancel);
            EXPECT_EQ(b.icon, vbCritical);
        }
    }

    // A bad record deep in the file is found before the module is called.
    prompts.Clear();
    QByteArray text = RomText(PatternImage(0, 0x7FE), 0, 0x7FE);
    text.replace("0003FF:", "0003FF;");
    prompts.QueueFile(WriteRom(text));
    prompts.QueueAnswer(vbCancel);
    EXPECT_EQ(RunFlashLoader(), FlashLoadOutcome::Abandoned);
    EXPECT_EQ(Texts(), QStringList{"File specified is the wrong format\n\r" + choose});
    // The dialog's own Cancel ends the load as well.
    EXPECT_EQ(RunFlashLoader(), FlashLoadOutcome::Abandoned);

    EXPECT_EQ(sim.ReceivedCount(), 0);
    EXPECT_FALSE(sim.InBootLoader());
    EXPECT_FALSE(CommPort().IsOpen());
    ExpectAddressingKept();
}

TEST_F(FlashLoaderTest, ModulesTheFirmwareIsNotForAreRefused) {
    const QString tail = "\n\ris not compatible with this application. Please run the correct application.";
    for (const auto& [identity, name] : {std::pair{0x21, "Unknown Product"}, std::pair{0x01, "Nelk Series I"}}) {
        sim.SetIdentity(quint8(identity), 0x31);
        prompts.Clear();
        EXPECT_EQ(Load(0, 0xFE), FlashLoadOutcome::Refused);
        EXPECT_EQ(Texts(), QStringList{QStringLiteral("This application is incorrect for the product type found.The "
                                                      "product found, ") + name + tail});
        EXPECT_FALSE(CommPort().IsOpen());
    }
    EXPECT_EQ(Commands(), (QList<int>{CMD_MODULE_INFO, CMD_MODULE_INFO}));

    // A boot loader older than the file asks for stays as it is, untouched.
    sim.SetIdentity(sim::kIdentity, sim::kKorvelFirmware);
    sim.SetBootLoaderVersion(0x21);
    prompts.Clear();
    EXPECT_EQ(Load(0, 0xFE, "bootver=2.2\r\n"), FlashLoadOutcome::Refused);
    const QString tooOld = "Cannot update firmware. The device contains bootloader version 2.1 but the selected "
                           "firmware file requires bootloader version 2.2 or greater.";
    EXPECT_EQ(Texts(), (QStringList{tooOld, kRestarted})) << "the firmware runs again, and that is said";
    EXPECT_EQ(prompts.Shown().last().icon, vbInformation);
    EXPECT_FALSE(sim.InBootLoader());
    EXPECT_EQ(sim.BootLoaderRestarts(), 1);
    EXPECT_EQ(host->PanelText(4), "DISCONNECTED");
    EXPECT_TRUE(sim.PageWrites().isEmpty());
    EXPECT_EQ(sim.Flash(), originalFlash);
    EXPECT_FALSE(CommPort().IsOpen());
    ExpectAddressingKept();

    // A boot loader that refuses the restart too is said to hold the module.
    sim.SetNackCommand(CMD_RESTART_PROCESSES);
    prompts.Clear();
    EXPECT_EQ(Load(0, 0xFE, "bootver=2.2\r\n"), FlashLoadOutcome::Refused);
    EXPECT_EQ(Texts(), (QStringList{tooOld, kNack + "\n\r" + kStuck})) << "the refusal said with its outcome";
    EXPECT_EQ(prompts.Shown().last().icon, vbExclamation);
    EXPECT_TRUE(sim.InBootLoader());
    EXPECT_EQ(sim.Flash(), originalFlash);
}

TEST_F(FlashLoaderTest, AFlashThatStaysLockedIsNotWritten) {
    sim.SetRefuseUnlock(true);
    EXPECT_EQ(Load(0, 0xFE), FlashLoadOutcome::Stopped);
    EXPECT_EQ(Texts(), (QStringList{"Flash Not Unlocked, cannot continue", kRestarted}));
    EXPECT_EQ(prompts.Shown()[1].title, "OMRU Flash Loader");
    EXPECT_TRUE(sim.PageWrites().isEmpty());
    EXPECT_TRUE(sim.PageReads().isEmpty());
    EXPECT_FALSE(sim.InBootLoader()) << "the firmware it holds runs again";
    EXPECT_EQ(Commands().last(), CMD_RESTART_PROCESSES);
}

TEST_F(FlashLoaderTest, EveryFailedStepIsNamedAndNothingRestartsAPartialImage) {
    // The boot loader refuses to start: nothing was written. That is said once the module
    // runs its firmware again, with the link free: events are acknowledged meanwhile.
    sim.SetNackCommand(CMD_ENTER_BOOT_LOADER);
    QList<bool> linkInUse;
    prompts.WhileShowing([&](const ShownBox&) { linkInUse << LinkInUse(); });
    EXPECT_EQ(Load(0, 0x3FE), FlashLoadOutcome::Stopped);
    prompts.WhileShowing({});
    EXPECT_EQ(Texts(), QStringList{kNack + "\n\rThe firmware load failed while starting the boot loader.\n\r" +
                                   kRestarted});
    EXPECT_EQ(linkInUse, QList<bool>{false});
    EXPECT_FALSE(sim.InBootLoader());

    // The module refuses to say who it is: it was never touched.
    sim.SetNackCommand(CMD_MODULE_INFO);
    prompts.Clear();
    sim.ClearReceived();
    EXPECT_EQ(Load(0, 0x3FE), FlashLoadOutcome::Stopped);
    EXPECT_EQ(Texts(), QStringList{kNack + "\n\rThe firmware load failed while asking the module for its identity.\n\r" +
                                   kNotStarted});
    EXPECT_EQ(Commands(), QList<int>{CMD_MODULE_INFO});

    // The boot loader stops answering before anything is written: the restart is still
    // tried over the link the load had, without a second question, and when it goes
    // unanswered the module is said to wait in its boot loader.
    sim.SetNackCommand(-1);
    OnFrame([&](const QByteArray& f) {
        if (quint8(f[6]) == CMD_FLASH_UNLOCK) sim.GoSilentAfter(0);
    });
    prompts.Clear();
    sim.ClearReceived();
    EXPECT_EQ(Load(0, 0x3FE, {}, {kGiveUp}), FlashLoadOutcome::Stopped);
    EXPECT_EQ(Texts().last(), "The firmware load failed while unlocking the flash.\n\r" + kStuck);
    EXPECT_TRUE(Commands().contains(CMD_RESTART_PROCESSES));
    int questions = 0;
    for (const ShownBox& b : prompts.Shown()) questions += b.title == QStringLiteral("Communication Timer");
    EXPECT_EQ(questions, 1) << "the restart asks nothing";
    QObject::disconnect(&sim, &SimModule::frameReceived, nullptr, nullptr);
    sim.GoSilentAfter(-1);
    sim.SetApplicationComplete(true);
    sim.PowerUp();

    // A page the module refuses.
    int writes = 0;
    OnFrame([&](const QByteArray& f) {
        if (IsPageWrite(f) && ++writes == 5) sim.SetNackCommand(CMD_FLASH_PAGE_LOW);
    });
    prompts.Clear();
    EXPECT_EQ(Load(0, 0x3FE), FlashLoadOutcome::Stopped);
    EXPECT_EQ(Texts(), QStringList{kNack + "\n\rThe firmware load failed while writing page 2 of 4 (flash address "
                                           "0x000200).\n\r" + kNoFirmware});
    EXPECT_EQ(sim.BootLoaderRestarts(), 0);
    EXPECT_TRUE(sim.InBootLoader());
    EXPECT_FALSE(sim.PageWrites().contains(BOARD_PAGE_ADDRESS));
    ExpectAddressingKept();
}

// A refused half was not written: a refusal of the very first one leaves the flash as it
// was, so the module goes back to its firmware. Once a half is in, the flash is partial.
TEST_F(FlashLoaderTest, ARefusedFirstPageWritesNothingAndRestartsTheModule) {
    // The page reads before it are answered: only the write is refused.
    int refuse = CMD_FLASH_PAGE_LOW;
    OnFrame([&](const QByteArray& f) {
        if (IsPageWrite(f) && refuse >= 0) sim.SetNackCommand(std::exchange(refuse, -1), 1);
    });
    EXPECT_EQ(Load(0, 0x3FE), FlashLoadOutcome::Stopped);
    EXPECT_EQ(Texts(), QStringList{kNack + "\n\rThe firmware load failed while writing page 0 of 4 (flash address "
                                           "0x000000).\n\r" + kRestarted});
    EXPECT_EQ(sim.Flash(), originalFlash);
    EXPECT_FALSE(sim.InBootLoader()) << "the firmware it holds runs again";
    EXPECT_EQ(sim.BootLoaderRestarts(), 1);
    EXPECT_EQ(Commands().last(), CMD_RESTART_PROCESSES);

    // The first page's high half refused: its low half erased the page.
    refuse = CMD_FLASH_PAGE_HIGH;
    sim.ClearReceived();
    prompts.Clear();
    const int restarts = sim.BootLoaderRestarts();
    EXPECT_EQ(Load(0, 0x3FE), FlashLoadOutcome::Stopped);
    EXPECT_EQ(Texts(), QStringList{kNack + "\n\rThe firmware load failed while writing page 0 of 4 (flash address "
                                           "0x000080).\n\r" + kNoFirmware});
    EXPECT_EQ(sim.BootLoaderRestarts(), restarts);
    EXPECT_TRUE(sim.InBootLoader());
}

TEST_F(FlashLoaderTest, ALostPageIsSentAgainAndOneNeverAnsweredStopsTheLoad) {
    sim.LosePageWrite(0x100, 1);
    ASSERT_EQ(Load(0, 0x3FE, {}, {kBoardPageOk}), FlashLoadOutcome::Loaded);
    EXPECT_EQ(sim.Flash().left(0x400), image.left(0x400));

    sim.ClearReceived();
    sim.LosePageWrite(0x280, -1);
    prompts.Clear();
    EXPECT_EQ(Load(0, 0x3FE, {}, {kGiveUp}), FlashLoadOutcome::Stopped);
    EXPECT_EQ(Texts().last(),
              "The firmware load failed while writing page 2 of 4 (flash address 0x000280).\n\r" + kNoFirmware);
    EXPECT_EQ(sim.BootLoaderRestarts(), 1);  // the first load's only

    // The board page's high half never answered: every firmware page is in, and the
    // board's identity is given for the technician to keep.
    sim.LosePageWrite(0x280, 0);
    sim.LosePageWrite(BOARD_PAGE_ADDRESS + 128, -1);
    prompts.Clear();
    EXPECT_EQ(Load(0, 0x3FE, {}, {kBoardPageOk, kGiveUp}), FlashLoadOutcome::Stopped);
    EXPECT_EQ(Texts().last(), "The firmware load failed while writing the board information page.\n\rEvery firmware "
                              "page was written, but the board information page may not have been written whole, and "
                              "the module waits in its boot loader. Note the board's serial number 10293847, type A1 "
                              "and revision 03, which the page may have lost, then repeat the firmware load.");
}

TEST_F(FlashLoaderTest, ABoardPageReadFromElsewhereStopsTheLoadBeforeAnyWrite) {
    sim.SetFlash(BOARD_PAGE_ADDRESS + 256, QByteArray(256, char(0x5A)));
    sim.SetPageReadAddressShift(256);
    EXPECT_EQ(Load(0, 0x3FE), FlashLoadOutcome::Stopped);
    // Said plainly, once, after the restart: no range error of the storer.
    EXPECT_EQ(Texts(), QStringList{"The module answered the read of flash address 0x01DF00 with the bytes of flash "
                                   "address 0x01E000.\n\rThe firmware load failed while reading the board information "
                                   "page.\n\r" + kRestarted});
    EXPECT_TRUE(sim.PageWrites().isEmpty());
    EXPECT_FALSE(sim.InBootLoader());
    // The other page's bytes went nowhere.
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(FlashImage().data()) + BOARD_PAGE_ADDRESS + 256, 256),
              QByteArray(256, char(0xFF)));
}

TEST_F(FlashLoaderTest, CancelStopsAfterThePageInHandWithoutARestart) {
    // Pressed while a page's low half waits for its acknowledgement: the page is
    // finished, then the load stops.
    int writes = 0;
    OnFrame([&](const QByteArray& f) {
        if (IsPageWrite(f) && ++writes == 3) ProgressCancelClicked();
    });
    EXPECT_EQ(Load(0, 0x7FE), FlashLoadOutcome::Stopped);
    EXPECT_EQ(Texts(), QStringList{"The firmware load was cancelled after page 1 of 8.\n\r" + kNoFirmware});
    EXPECT_EQ(prompts.Shown().last().icon, vbExclamation);
    EXPECT_EQ(sim.PageWrites(), (QList<int>{0, 128, 256, 384}));
    EXPECT_EQ(sim.Flash().left(0x200), image.left(0x200));
    EXPECT_EQ(sim.BootLoaderRestarts(), 0);
    ExpectAddressingKept();
}

// A cancel at every step: no page goes out half, the board page keeps the board's
// identity, and the module either runs a firmware or the message says it waits in its
// boot loader. Steps are named by the frame the module is handling when it comes.
TEST_F(FlashLoaderTest, ACancelAtAnyStepLeavesNoHalfPageAndTheModuleAccountedFor) {
    struct Step {
        const char* name;
        int command, type, occurrence;
        FlashLoadOutcome outcome;
        QStringList texts;
        bool inBootLoader;
        int restarts;
    };
    const QString cancelled = "The firmware load was cancelled ";
    const QString count = "Date/time of last Flash Load: 03-Feb-25, 10:20:30\n\rFlash count: 8\n\rClick OK to continue";
    const std::vector<Step> steps{
        {"identity", CMD_MODULE_INFO, PKT_GET, 1, FlashLoadOutcome::Stopped,
         {cancelled + "while asking the module for its identity.\n\r" + kNotStarted}, false, 0},
        {"boot loader called", CMD_ENTER_BOOT_LOADER, PKT_SET, 1, FlashLoadOutcome::Stopped,
         {cancelled + "while the boot loader started.\n\r" + kRestarted}, false, 1},
        {"boot loader version", CMD_MODULE_INFO, PKT_GET, 2, FlashLoadOutcome::Stopped,
         {cancelled + "while asking the boot loader for its version.\n\r" + kRestarted}, false, 1},
        {"unlock", CMD_FLASH_UNLOCK, PKT_SET, 1, FlashLoadOutcome::Stopped,
         {cancelled + "while unlocking the flash.\n\r" + kRestarted}, false, 1},
        {"board page read", CMD_FLASH_PAGE_HIGH, PKT_GET, 1, FlashLoadOutcome::Stopped,
         {cancelled + "while reading the board information page.\n\r" + kRestarted}, false, 1},
        {"page 0", CMD_FLASH_PAGE_LOW, PKT_SET, 1, FlashLoadOutcome::Stopped,
         {cancelled + "after page 0 of 8.\n\r" + kNoFirmware}, true, 0},
        {"mid-page", CMD_FLASH_PAGE_HIGH, PKT_SET, 2, FlashLoadOutcome::Stopped,
         {cancelled + "after page 1 of 8.\n\r" + kNoFirmware}, true, 0},
        {"last page", CMD_FLASH_PAGE_LOW, PKT_SET, 8, FlashLoadOutcome::Loaded, {count, kFinished}, false, 1},
        {"board page", CMD_FLASH_PAGE_LOW, PKT_SET, 9, FlashLoadOutcome::Loaded, {count, kFinished}, false, 1},
        {"board page high", CMD_FLASH_PAGE_HIGH, PKT_SET, 9, FlashLoadOutcome::Loaded, {count, kFinished}, false, 1},
        {"restart", CMD_RESTART_PROCESSES, PKT_SET, 1, FlashLoadOutcome::Loaded, {count, kFinished}, false, 1},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        sim.SetFlash(0, originalFlash);
        sim.SetApplicationComplete(true);
        sim.PowerUp();
        sim.ClearReceived();
        prompts.Clear();
        int seen = 0;
        OnFrame([&](const QByteArray& f) {
            if (quint8(f[5]) == step.type && quint8(f[6]) == step.command && ++seen == step.occurrence)
                ProgressCancelClicked();
        });
        const int restarts = sim.BootLoaderRestarts();
        EXPECT_EQ(Load(0, 0x7FE, {}, {kBoardPageOk}), step.outcome);
        QObject::disconnect(&sim, &SimModule::frameReceived, nullptr, nullptr);
        EXPECT_GE(seen, step.occurrence) << "the step was reached";
        EXPECT_EQ(Texts(), step.texts);
        ExpectWholePages();
        ExpectBoardPageIntact();
        EXPECT_EQ(sim.InBootLoader(), step.inBootLoader);
        EXPECT_EQ(sim.BootLoaderRestarts() - restarts, step.restarts);
        if (step.outcome == FlashLoadOutcome::Loaded) {
            EXPECT_EQ(sim.Flash().left(0x800), image.left(0x800));
            EXPECT_EQ(quint8(sim.BoardPage()[0xF8]), 8) << "the page stamped";
        }
        ExpectAddressingKept();
    }
}

TEST_F(FlashLoaderTest, ASecondLoadAfterPowerLostMidLoadSucceeds) {
    sim.CutPowerAfterPageWrites(6);
    EXPECT_EQ(Load(0, 0x7FE, {}, {kGiveUp}), FlashLoadOutcome::Stopped);
    EXPECT_TRUE(Texts().last().endsWith(kNoFirmware));
    EXPECT_EQ(sim.BootLoaderRestarts(), 0);

    sim.PowerUp();
    EXPECT_TRUE(sim.InBootLoader());
    sim.ClearReceived();
    prompts.Clear();
    ASSERT_EQ(Load(0, 0x7FE, {}, {kBoardPageOk}), FlashLoadOutcome::Loaded);
    EXPECT_EQ(sim.Flash().left(0x800), image.left(0x800));
    EXPECT_TRUE(sim.ApplicationComplete());
    EXPECT_FALSE(sim.InBootLoader());
    // The interrupted load never reached the board page: one load counted.
    EXPECT_TRUE(Texts().last().contains("Flash count: 8\n\r"));
}

} // namespace
} // namespace korvel::test
