// The board information page: its fields, the stamp of a load, and showing it from the
// simulated module.
#include "control/boardpage.h"

#include "model/flashimage.h"
#include "link/frame.h"
#include "link/linkstate.h"
#include "support/simfixture.h"
#include "control/localsettings.h"
#include "link/transaction.h"

namespace korvel::test {
namespace {

using BoardInfo = sim::SimModule::BoardInfo;
using sim::SimModule;

void PutPage(const QByteArray& page) {
    std::copy(page.begin(), page.end(), FlashImage().begin() + BOARD_PAGE_ADDRESS);
}

class BoardPageTest : public SimLinkFixture {};

TEST_F(BoardPageTest, FieldsAreReadAsTheModuleCodesThem) {
    BoardInfo info;
    info.serial = "12345678";
    info.flashCount = 40000;
    QByteArray page = SimModule::MakeBoardPage(info);
    EXPECT_EQ(page.mid(0xD8, 8), Bytes({0x49, 0x50, 0x51, 0x52, 0x53, 0x54, 0x55, 0x56}));
    PutPage(page);
    EXPECT_TRUE(BoardPageCrcGood());
    BoardPageFields f = BoardPageFieldsOf();
    EXPECT_EQ(f.serial, "12345678");
    EXPECT_EQ(f.type, "A1");
    EXPECT_EQ(f.revision, "03");
    EXPECT_EQ(f.lastLoad, "03-Feb-25, 10:20:30");
    EXPECT_EQ(f.flashCount, 40000);

    // Bytes that spell no decimal code, or a control code, still show.
    page[0xD8] = char(0x4A);
    page[0xD9] = char(0xA4);
    page[0xDA] = char(0x09);
    PutPage(page);
    EXPECT_FALSE(BoardPageCrcGood());
    EXPECT_EQ(BoardPageFieldsOf().serial, "???45678");

    ClearFlashImage();  // an erased page
    EXPECT_FALSE(BoardPageCrcGood());
}

TEST_F(BoardPageTest, AStampKeepsTheBoardAndRenewsTheRest) {
    const QByteArray before = SimModule::MakeBoardPage(BoardInfo{});
    PutPage(before);
    const QDateTime when(QDate(2026, 12, 9), QTime(17, 5, 3));
    EXPECT_EQ(FlashLoadDateText(when), "09-Dec-26, 17:05:03");
    EXPECT_EQ(StampBoardPage(true, 0x1DE00, 0x12345, when), 8);
    const QByteArray after(reinterpret_cast<const char*>(FlashImage().data()) + BOARD_PAGE_ADDRESS, 256);
    EXPECT_EQ(after.left(0xE4), before.left(0xE4));
    EXPECT_EQ(after.mid(0xE4, 20), QByteArray("09-Dec-26, 17:05:03", 20));  // with its 0
    EXPECT_EQ(GetImageWord(BOARD_HIGHEST_WORD), 0xEF00);
    EXPECT_EQ(GetImageWord(BOARD_FILE_CRC), 0x2345);
    EXPECT_TRUE(SimModule::BoardPageCrcGood(after));
    EXPECT_TRUE(BoardPageCrcGood());

    EXPECT_EQ(StampBoardPage(false, 0, 0, when), 1);
    PutImageWord(BOARD_FLASH_COUNT, 0xFFFF);
    EXPECT_EQ(StampBoardPage(true, 0, 0, when), 0xFFFF);
    EXPECT_EQ(FlashLoadDateText(QDateTime(QDate(2001, 1, 2), QTime(23, 59, 58))), "02-Jan-01, 23:59:58");
}

class ShowBoardPageTest : public SimLinkFixture {
protected:
    void SetUp() override {
        SimLinkFixture::SetUp();
        settings().CommPortDevice = sim.OpenPty();
        ASSERT_FALSE(settings().CommPortDevice.isEmpty());
        SetConnectionReplyTimeout(4);
    }
};

TEST_F(ShowBoardPageTest, AGoodPageIsShownAndABadOneRefused) {
    ShowManufacturingPage();
    ASSERT_EQ(prompts.Shown().size(), 1);
    EXPECT_EQ(prompts.Shown()[0].text, "Board ESN: 10293847\n\rBoard Type: A1\n\rBoard Revision: 03\n\r"
                                       "Date/time of last Flash Load: 03-Feb-25, 10:20:30\n\rFlash count: 7\n\r"
                                       "Click OK to continue");
    EXPECT_EQ(prompts.Shown()[0].title, "Flash Loader - Reading manufacturing page");
    EXPECT_EQ(prompts.Shown()[0].icon, vbInformation);
    QList<QByteArray> frames = sim.Received();
    ASSERT_EQ(frames.size(), 2);
    EXPECT_EQ(frames[0], WithChecksum({9, 0, 0, 0, 0, PKT_GET, CMD_FLASH_PAGE_LOW, 0xEF, 0x80}));
    EXPECT_EQ(frames[1], WithChecksum({9, 0, 0, 0, 0, PKT_GET, CMD_FLASH_PAGE_HIGH, 0xEF, 0xC0}));
    EXPECT_EQ(linkState().PacketTimeoutReload, 4);

    QByteArray page = SimModule::MakeBoardPage(BoardInfo{});
    page[0xFE] = char(page[0xFE] ^ 0x80);
    sim.SetFlash(BOARD_PAGE_ADDRESS, page);
    prompts.Clear();
    ShowManufacturingPage();
    ASSERT_EQ(prompts.Shown().size(), 1);
    EXPECT_EQ(prompts.Shown()[0].text, "The manufacturing page CRC16 does not match that calculated!\n\r");
    EXPECT_EQ(prompts.Shown()[0].icon, vbCritical);
}

TEST_F(ShowBoardPageTest, AReplyForAnotherPageIsNotShown) {
    sim.SetPageReadAddressShift(-256);
    ShowManufacturingPage();
    for (const ShownBox& b : prompts.Shown()) EXPECT_FALSE(b.text.startsWith("Board ESN")) << b.text.toStdString();
    EXPECT_EQ(linkState().PacketTimeoutReload, 4);
}

} // namespace
} // namespace korvel::test
