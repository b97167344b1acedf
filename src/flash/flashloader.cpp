#include "flash/flashloader.h"

#include "config/target.h"
#include "flash/boardpage.h"
#include "flash/flashimage.h"
#include "flash/flashpages.h"
#include "link/builders.h"
#include "link/frame.h"
#include "link/linkhost.h"
#include "link/linkstate.h"
#include "link/transport.h"
#include "platform/eventpump.h"
#include "platform/prompts.h"
#include "platform/serialport.h"
#include "session/localsettings.h"
#include "session/progress.h"
#include "session/targetcheck.h"

namespace korvel {

namespace {

const QString kTitle = QStringLiteral("Flash Loader");
constexpr int kProductKorvel = 3;

FlashLoaderPauses g_pauses;

// Waits one wait-timer period of ms, pumping events, then gives the timer back its
// normal period.
void WaitPeriod(int ms) {
    linkHost().SetTimerInterval(LinkTimer::Wait, ms);
    StartWaitTimer();
    while (linkState().WaitElapsed == 0) WaitForEvents();
    StopWaitTimer();
    linkHost().SetTimerInterval(LinkTimer::Wait, WAIT_TIMER_MS);
}

void ClosePort() {
    SerialPortIo& port = CommPort();
    if (port.IsOpen()) port.Close();
}

QString PageText(int index, int pages) { return QString::number(index) + QStringLiteral(" of ") + QString::number(pages); }

// What the module is left with when a load stops, for the message that says so.
enum class LeftWith {
    FlashUntouched,  // the boot loader was called, nothing written
    PartialFlash,    // pages were written: no complete firmware
    WholeFlash,      // every page and the board page written; the restart did not go
};

// Ends the load at a failed or cancelled step, saying where and what it left behind.
FlashLoadOutcome Stop(const QString& where, bool cancelled, LeftWith left) {
    QString tail;
    switch (left) {
    case LeftWith::FlashUntouched:
        tail = QStringLiteral("Nothing was written to the module's flash, but the module may be waiting in its boot "
                              "loader. Repeat the firmware load to start it again.");
        break;
    case LeftWith::PartialFlash:
        tail = QStringLiteral("The module holds no complete firmware and waits in its boot loader. Repeat the "
                              "firmware load.");
        break;
    case LeftWith::WholeFlash:
        tail = QStringLiteral("Every page was written, but the module may not have restarted. Repeat the firmware "
                              "load if it does not start.");
        break;
    }
    MsgBox((cancelled ? QStringLiteral("The firmware load was cancelled ") : QStringLiteral("The firmware load failed ")) +
               where + QStringLiteral(".") + kLineBreak + tail,
           vbOKOnly + (cancelled ? vbExclamation : vbCritical), kTitle);
    return FlashLoadOutcome::Stopped;
}

bool Cancelled(int16_t result) { return result == SEND_CANCELLED || linkState().UserCancel; }

void ShowReadingProgress() {
    ProgressView& view = progressView();
    view.Load();
    view.SetCaption(kTitle);
    view.SetLabelText(ProgressLabel::Label1, QStringLiteral("Reading rom file..."));
    view.SetLabelText(ProgressLabel::Label2, QStringLiteral("Uploading new flash image..."));
    view.Show();
    int16_t zero = 0;
    ShowProgressPercent(zero);
}

// The file dialog until a file loads whole, or the user gives up.
bool ChooseFirmwareFile(RomFile& file) {
    for (;;) {
        const QString path = prompts().GetOpenFileName(
            QStringLiteral("Open flash 'rom' file"),
            QStringLiteral("Flash File (korvel_*.rom; quimzrl_*.rom)|Korvel_*.rom; QUIMZRL_*.rom"), QString());
        if (path.isEmpty()) return false;
        file = LoadRomFile(path, ShowReadingProgress);
        if (file.result == RomLoadResult::Loaded) return true;
        if (file.result == RomLoadResult::WrongFormat) progressView().Unload();
        if (ShowRomFileRefusal(file) != vbOK) {
            ClosePort();
            return false;
        }
    }
}

bool BootLoaderTooOld(const RomFile& file) {
    const int major = target().BootLoaderVersion / 16;
    const int minor = target().BootLoaderVersion & 0x0F;
    if (major > file.requiredBootMajor || (major == file.requiredBootMajor && minor >= file.requiredBootMinor))
        return false;
    MsgBox(QStringLiteral("Cannot update firmware. The device contains bootloader version %1.%2 but the selected "
                          "firmware file requires bootloader version %3.%4 or greater.")
               .arg(major)
               .arg(minor)
               .arg(file.requiredBootMajor)
               .arg(file.requiredBootMinor),
           vbOKOnly + vbCritical, kTitle);
    return true;
}

// Writes every page from address 0 through the one holding the highest loaded word,
// all but the board information page, which keeps what the module holds until it is
// stamped.
FlashLoadOutcome Program(int pages) {
    ProgressView& view = progressView();
    view.SetCaption(QStringLiteral("Programming ..."));
    view.SetMaximum(pages);
    int32_t address = 0;
    for (int i = 0; i < pages; ++i, address += FLASH_PAGE_BYTES) {
        view.SetLabelText(ProgressLabel::Label1, QStringLiteral("Programming page: ") + PageText(i, pages));
        if (address != BOARD_PAGE_ADDRESS) {
            for (const auto& [command, at] : {std::pair{CMD_FLASH_PAGE_LOW, address},
                                              std::pair{CMD_FLASH_PAGE_HIGH, address + FLASH_HALF_PAGE_BYTES}}) {
                const int16_t r = SendFlashPage(command, at);
                if (r != SEND_OK)
                    return Stop(QStringLiteral("while writing page %1 (flash address 0x%2)")
                                    .arg(PageText(i, pages), QString::number(at, 16).toUpper().rightJustified(6, u'0')),
                                Cancelled(r), LeftWith::PartialFlash);
            }
        }
        int16_t shown = static_cast<int16_t>(i);
        ShowProgressPercent(shown);
        if (linkState().UserCancel && i + 1 < pages)
            return Stop(QStringLiteral("after page ") + PageText(i, pages), true, LeftWith::PartialFlash);
    }
    return FlashLoadOutcome::Loaded;
}

} // namespace

FlashLoaderPauses& flashLoaderPauses() { return g_pauses; }

FlashLoadOutcome RunFlashLoader() {
    const KeepLinkAddressing keep;
    struct CloseProgress {
        ~CloseProgress() { progressView().Unload(); }
    } closeProgress;

    RomFile file;
    if (!ChooseFirmwareFile(file)) return FlashLoadOutcome::Abandoned;

    LinkState& s = linkState();
    TargetState& t = target();
    s.PacketTimeoutReload = settings().PacketTimeout;
    s.PacketTimeoutCount = settings().PacketTimeout;
    // Port and link failures have been reported where they happened.
    if (OpenLinkPort() != 0) return FlashLoadOutcome::Stopped;
    s.StationAddress[0] = 0;
    s.StationAddress[2] = 0;

    if (SendRequestParam(CMD_MODULE_INFO, 0, 0, 0, MODULE_INFO_FULL) != SEND_OK) return FlashLoadOutcome::Stopped;
    if ((t.TargetIdentity & 0x0F) != kProductKorvel) {
        MsgBox(QStringLiteral("This application is incorrect for the product type found.The product found, ") +
                   ProductName(t.TargetIdentity) + kLineBreak +
                   QStringLiteral("is not compatible with this application. Please run the correct application."),
               vbOKOnly + vbCritical, kTitle);
        ClosePort();
        return FlashLoadOutcome::Refused;
    }

    int16_t r = SendCommand(CMD_ENTER_BOOT_LOADER, 0, 0, 0);
    if (r != SEND_OK) return Stop(QStringLiteral("while starting the boot loader"), Cancelled(r), LeftWith::FlashUntouched);
    WaitPeriod(g_pauses.bootLoaderStartMs);
    if (s.UserCancel) return Stop(QStringLiteral("while the boot loader started"), true, LeftWith::FlashUntouched);
    r = SendRequestParam(CMD_MODULE_INFO, 0, 0, 0, MODULE_INFO_FULL);
    if (r != SEND_OK)
        return Stop(QStringLiteral("while asking the boot loader for its version"), Cancelled(r),
                    LeftWith::FlashUntouched);
    if (BootLoaderTooOld(file)) {
        ClosePort();
        return FlashLoadOutcome::Refused;
    }
    WaitPeriod(g_pauses.stepMs);
    WaitPeriod(g_pauses.stepMs);
    if (s.UserCancel) return Stop(QStringLiteral("while the boot loader settled"), true, LeftWith::FlashUntouched);

    t.FlashUnlocked = 0;
    r = SendCommand(CMD_FLASH_UNLOCK, 0, 0, 0);
    if (r == SEND_OK) r = SendRequest(CMD_FLASH_UNLOCK, 0, 0, 0);
    if (r != SEND_OK) return Stop(QStringLiteral("while unlocking the flash"), Cancelled(r), LeftWith::FlashUntouched);
    if (t.FlashUnlocked == 0) {
        MsgBox(QStringLiteral("Flash Not Unlocked, cannot continue"), vbOKOnly + vbCritical,
               QStringLiteral("OMRU Flash Loader"));
        return FlashLoadOutcome::Stopped;
    }

    // The board information page is read before anything is written: it is stamped and
    // written back from what the module holds, never from the file or stale bytes.
    r = ReadBoardPage();
    if (r != SEND_OK)
        return Stop(QStringLiteral("while reading the board information page"), Cancelled(r), LeftWith::FlashUntouched);
    const bool pageValid = BoardPageCrcGood();
    const QString previousLoad = BoardPageFieldsOf().lastLoad;

    if (const FlashLoadOutcome programmed = Program(file.highest / FLASH_PAGE_BYTES + 1);
        programmed != FlashLoadOutcome::Loaded)
        return programmed;
    // Every page is written: finishing the load is safer than leaving it now.
    s.UserCancel = false;

    const uint16_t count = StampBoardPage(pageValid, file.highest, file.fileCrc, QDateTime::currentDateTime());
    if (pageValid)
        MsgBox(QStringLiteral("Date/time of last Flash Load: ") + previousLoad + kLineBreak +
                   QStringLiteral("Flash count: ") + QString::number(count) + kLineBreak +
                   QStringLiteral("Click OK to continue"),
               vbOKOnly + vbInformation, QStringLiteral("Flash Loader - Updating manufacturing page"));
    r = SendFlashPage(CMD_FLASH_PAGE_LOW, BOARD_PAGE_ADDRESS);
    if (r == SEND_OK) r = SendFlashPage(CMD_FLASH_PAGE_HIGH, BOARD_PAGE_ADDRESS + FLASH_HALF_PAGE_BYTES);
    if (r != SEND_OK)
        return Stop(QStringLiteral("while writing the board information page"), Cancelled(r), LeftWith::PartialFlash);

    r = SendCommand(CMD_RESTART_PROCESSES, s.StationAddress[0], s.StationAddress[1], s.StationAddress[2]);
    if (r != SEND_OK) return Stop(QStringLiteral("while restarting the module"), Cancelled(r), LeftWith::WholeFlash);

    ProgressView& view = progressView();
    view.SetLabelText(ProgressLabel::Label1, QStringLiteral("Please wait... restarting"));
    view.SetLabelText(ProgressLabel::lblKen, QString());
    view.SetMaximum(3);
    int16_t step = 0;
    ShowProgressPercent(step);
    for (step = 1; step <= 3; ++step) {
        WaitPeriod(g_pauses.stepMs);
        int16_t shown = step;
        ShowProgressPercent(shown);
    }

    s.LinkMode = LINK_NORMAL;
    t.PellarDevice = false;
    linkHost().SetPanelText(4, QStringLiteral("DISCONNECTED"));
    linkHost().RefreshStatusBar();
    return FlashLoadOutcome::Loaded;
}

} // namespace korvel
