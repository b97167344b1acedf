#include "control/flashloader.h"
#include "link/linkhold.h"

#include "model/target.h"
#include "control/boardpage.h"
#include "model/flashimage.h"
#include "control/flashpages.h"
#include "link/builders.h"
#include "link/frame.h"
#include "link/linkhost.h"
#include "link/linkstate.h"
#include "link/transport.h"
#include "platform/eventpump.h"
#include "platform/prompts.h"
#include "platform/serialport.h"
#include "control/connection.h"
#include "control/localsettings.h"
#include "control/progress.h"
#include "control/refusals.h"
#include "control/targetcheck.h"

namespace korvel {

int ShowRomFileRefusal(const RomFile& file) {
    return MsgBox(file.message, vbOKCancel + vbCritical, QStringLiteral("Flash Loader"));
}

namespace {

const QString kTitle = QStringLiteral("Flash Loader");
constexpr int kProductKorvel = 3;

FlashLoaderPauses g_pauses;

// Waits one wait-timer period of ms, pumping events, then gives the timer back its
// normal period.
void WaitPeriod(int ms) {
    linkHost().SetTimerInterval(LinkTimer::Wait, ms);
    StartWaitTimer();
    while (linkState().WaitElapsed == 0 && !ProgramEnding()) WaitForEvents();
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
    NotStarted,       // the boot loader was not called: the module runs its firmware
    FlashUntouched,   // the boot loader may have been called, nothing written
    PartialFlash,     // some firmware pages written: no complete firmware
    BoardPageUnsure,  // every firmware page written, the board page perhaps not whole
    WholeFlash,       // every page and the board page written; the restart did not go
};

// Restarts the module out of its boot loader into the firmware its flash holds and
// waits for it, as the end of a load does; false when the restart was not acknowledged.
// The restart is not cut short by a cancel or a close: those take effect after it.
bool RestartModule(const LinkHold& link) {
    LinkState& s = linkState();
    int16_t r;
    {
        const WholeStep whole(link);
        r = SendCommand(link, CMD_RESTART_PROCESSES, s.StationAddress[0], s.StationAddress[1], s.StationAddress[2]);
    }
    if (r != SEND_OK) return false;

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
    target().PellarDevice = false;
    linkHost().SetPanelText(4, QStringLiteral("DISCONNECTED"));
    linkHost().RefreshStatusBar();
    return true;
}

// Nothing was written: the module goes back to the firmware it holds, unless the link
// has given up on it. The text says what the module holds now and, if it is left in its
// boot loader, what to do.
struct Untouched {
    bool restarted;
    QString text;
};
Untouched RestartUntouched(const LinkHold& link) {
    if (LinkStillUp() && RestartModule(link))
        return {true, QStringLiteral("Nothing was written to the module's flash. The module was restarted and runs its "
                                     "firmware as before.")};
    return {false, QStringLiteral("Nothing was written to the module's flash, but the module may be waiting in its "
                                  "boot loader. Switch the module off and on again, or repeat the firmware load, to "
                                  "start its firmware.")};
}

// What a load has to say once the module is left as it will stay. It is said after the
// hold that kept every other frame from the module has ended, so that events are
// acknowledged while the technician reads it.
struct LoadEnd {
    FlashLoadOutcome outcome = FlashLoadOutcome::Loaded;
    QString text;  // nothing to say when empty
    int style = 0;
    bool closePort = false;  // once it has been said
};

FlashLoadOutcome Say(const LoadEnd& end) {
    if (!end.text.isEmpty()) MsgBox(end.text, end.style, kTitle);
    if (end.closePort) ClosePort();
    return end.outcome;
}

// After a refusal the boot loader's own message has been shown: the module is
// restarted, and the user is to be told how it was left.
LoadEnd EndRefusedUntouched(const LinkHold& link, FlashLoadOutcome outcome, bool closePort) {
    const Untouched left = RestartUntouched(link);
    return {outcome, AfterRefusal(left.text), vbOKOnly + (left.restarted ? vbInformation : vbExclamation), closePort};
}

QString BoardPageNote() {
    const BoardPageFields f = BoardPageFieldsOf();
    return QStringLiteral("Every firmware page was written, but the board information page may not have been "
                          "written whole, and the module waits in its boot loader. Note the board's serial number "
                          "%1, type %2 and revision %3, which the page may have lost, then repeat the firmware load.")
        .arg(f.serial, f.type, f.revision);
}

const QString kNotStarted =
    QStringLiteral("Nothing was written to the module's flash. The module runs its firmware as before.");

// Where the load stopped and what it left behind (tail), after the text of a refusal
// that ended it.
LoadEnd Stopped(const QString& where, bool cancelled, const QString& tail) {
    return {FlashLoadOutcome::Stopped,
            AfterRefusal((cancelled ? QStringLiteral("The firmware load was cancelled ")
                                    : QStringLiteral("The firmware load failed ")) +
                         where + QStringLiteral(".") + kLineBreak + tail),
            vbOKOnly + (cancelled ? vbExclamation : vbCritical)};
}

// Ends the load at a failed or cancelled step, with where and what it left behind to
// say, after the text of a refusal that ended it: the module is put back before that.
LoadEnd Stop(const LinkHold& link, const QString& where, bool cancelled, LeftWith left) {
    QString tail;
    switch (left) {
    case LeftWith::NotStarted: tail = kNotStarted; break;
    case LeftWith::FlashUntouched: tail = RestartUntouched(link).text; break;
    case LeftWith::PartialFlash:
        tail = QStringLiteral("The module holds no complete firmware and waits in its boot loader. Repeat the "
                              "firmware load.");
        break;
    case LeftWith::BoardPageUnsure: tail = BoardPageNote(); break;
    case LeftWith::WholeFlash:
        tail = QStringLiteral("Every page was written, but the module may not have restarted and may still wait in "
                              "its boot loader. Switch the module off and on again to start the new firmware.");
        break;
    }
    return Stopped(where, cancelled, tail);
}

bool Cancelled(const LinkHold& link, int16_t result) { return result == SEND_CANCELLED || link.CancelAsked(); }

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

// Writes both halves of the page at address as one step. The module erases the whole
// page when its low half arrives, so a page cut in two loses what its high half held (on
// the board information page: the serial number, type and revision); a cancel or close
// meanwhile takes effect once the high half is in. failedAt names the half that failed.
int16_t WritePage(const LinkHold& link, int32_t address, int32_t& failedAt) {
    const WholeStep whole(link);
    failedAt = address;
    int16_t r = SendFlashPage(link, CMD_FLASH_PAGE_LOW, address);
    if (r != SEND_OK) return r;
    failedAt = address + FLASH_HALF_PAGE_BYTES;
    return SendFlashPage(link, CMD_FLASH_PAGE_HIGH, failedAt);
}

QString FlashAddressText(int32_t address) {
    return QString::number(address, 16).toUpper().rightJustified(6, u'0');
}

// Writes every page from address 0 through the one holding the highest loaded word,
// all but the board information page, which keeps what the module holds until it is
// stamped. A cancel stops the load after the page under way, but not after the last.
LoadEnd Program(const LinkHold& link, int pages, const RefusalScope& refusals) {
    ProgressView& view = progressView();
    // A refused half was not written: until a half is acknowledged the flash holds what
    // it held, and a refusal then is one before any write.
    bool written = false;
    view.SetCaption(QStringLiteral("Programming ..."));
    view.SetMaximum(pages);
    int32_t address = 0;
    for (int i = 0; i < pages; ++i, address += FLASH_PAGE_BYTES) {
        view.SetLabelText(ProgressLabel::Label1, QStringLiteral("Programming page: ") + PageText(i, pages));
        if (address != BOARD_PAGE_ADDRESS) {
            int32_t failedAt = 0;
            const int refusedBefore = refusals.Count();
            const int16_t r = WritePage(link, address, failedAt);
            if (r != SEND_OK) {
                const bool untouched = !written && failedAt == address && refusals.Count() > refusedBefore;
                return Stop(link, QStringLiteral("while writing page %1 (flash address 0x%2)")
                                .arg(PageText(i, pages), FlashAddressText(failedAt)),
                            r == SEND_CANCELLED, untouched ? LeftWith::FlashUntouched : LeftWith::PartialFlash);
            }
            written = true;
        }
        int16_t shown = static_cast<int16_t>(i);
        ShowProgressPercent(shown);
        if (link.CancelSeen() && i + 1 < pages)
            return Stop(link, QStringLiteral("after page ") + PageText(i, pages), true, LeftWith::PartialFlash);
    }
    return {};
}

// The load from the boot loader's start until the module runs its firmware again (or is
// left in its boot loader): what it ends with is said by the caller, once this part's
// hold has ended.
LoadEnd LoadThroughBootLoader(LinkJob& job, const RomFile& file, const RefusalScope& refusals) {
    // From the boot loader's start until the module runs its firmware again, the module
    // must hear nothing else: this hold is never lent.
    const LinkHold link(job, LinkHold::NeverLent);
    if (!link.Granted()) return {FlashLoadOutcome::Stopped, QString(), 0, false};
    TargetState& t = target();
    int16_t r;

    // From here on a load that writes nothing restarts the module into its firmware. The
    // boot loader's start is waited out whole, so that a cancel meanwhile finds it ready
    // to take the restart.
    bool failed;
    {
        const WholeStep whole(link);
        r = SendCommand(link, CMD_ENTER_BOOT_LOADER, 0, 0, 0);
        failed = r != SEND_OK && r != SEND_CANCELLED;
        if (!failed) WaitPeriod(g_pauses.bootLoaderStartMs);
    }
    if (failed) return Stop(link, QStringLiteral("while starting the boot loader"), false, LeftWith::FlashUntouched);
    if (link.CancelSeen()) return Stop(link, QStringLiteral("while the boot loader started"), true, LeftWith::FlashUntouched);
    r = SendRequestParam(link, CMD_MODULE_INFO, 0, 0, 0, MODULE_INFO_FULL);
    if (r != SEND_OK)
        return Stop(link, QStringLiteral("while asking the boot loader for its version"), Cancelled(link, r),
                    LeftWith::FlashUntouched);
    if (BootLoaderTooOld(file)) return EndRefusedUntouched(link, FlashLoadOutcome::Refused, true);
    WaitPeriod(g_pauses.stepMs);
    WaitPeriod(g_pauses.stepMs);
    if (link.CancelSeen()) return Stop(link, QStringLiteral("while the boot loader settled"), true, LeftWith::FlashUntouched);

    t.FlashUnlocked = 0;
    r = SendCommand(link, CMD_FLASH_UNLOCK, 0, 0, 0);
    if (r == SEND_OK) r = SendRequest(link, CMD_FLASH_UNLOCK, 0, 0, 0);
    if (r != SEND_OK) return Stop(link, QStringLiteral("while unlocking the flash"), Cancelled(link, r), LeftWith::FlashUntouched);
    if (t.FlashUnlocked == 0) {
        MsgBox(QStringLiteral("Flash Not Unlocked, cannot continue"), vbOKOnly + vbCritical,
               QStringLiteral("OMRU Flash Loader"));
        return EndRefusedUntouched(link, FlashLoadOutcome::Stopped, false);
    }

    // The board information page is read before anything is written: it is stamped and
    // written back from what the module holds, never from the file or stale bytes. Its
    // halves are read whole, so no late answer to a cancelled read can arrive unasked.
    {
        const WholeStep whole(link);
        r = ReadBoardPage(link);
    }
    if (r != SEND_OK || link.CancelSeen())
        return Stop(link, QStringLiteral("while reading the board information page"), Cancelled(link, r),
                    LeftWith::FlashUntouched);
    const bool pageValid = BoardPageCrcGood();
    const QString previousLoad = BoardPageFieldsOf().lastLoad;

    if (LoadEnd programmed = Program(link, file.highest / FLASH_PAGE_BYTES + 1, refusals);
        programmed.outcome != FlashLoadOutcome::Loaded)
        return programmed;

    // Every firmware page is written: stopping now would leave the module in its boot
    // loader for nothing, so a cancel from here on lets the load finish and is answered
    // once the module has restarted.
    const WholeStep finish(link);
    const uint16_t count = StampBoardPage(pageValid, file.highest, file.fileCrc, QDateTime::currentDateTime());
    if (pageValid)
        MsgBox(QStringLiteral("Date/time of last Flash Load: ") + previousLoad + kLineBreak +
                   QStringLiteral("Flash count: ") + QString::number(count) + kLineBreak +
                   QStringLiteral("Click OK to continue"),
               vbOKOnly + vbInformation, QStringLiteral("Flash Loader - Updating manufacturing page"));
    int32_t failedAt = 0;
    r = WritePage(link, BOARD_PAGE_ADDRESS, failedAt);
    if (r != SEND_OK)
        return Stop(link, QStringLiteral("while writing the board information page"), r == SEND_CANCELLED,
                    LeftWith::BoardPageUnsure);

    if (!RestartModule(link))
        return Stop(link, QStringLiteral("while restarting the module"), false, LeftWith::WholeFlash);
    if (link.CancelAsked())
        return {FlashLoadOutcome::Loaded,
                QStringLiteral("The firmware load was cancelled after every page was written, so it was finished. The "
                               "module holds the new firmware and was restarted."),
                vbOKOnly + vbInformation};
    return {};
}

} // namespace

FlashLoaderPauses& flashLoaderPauses() { return g_pauses; }

FlashLoadOutcome RunFlashLoader() {
    const KeepLinkAddressing keep;
    struct EndLoad {
        ~EndLoad() { progressView().Unload(); }
    } endLoad;
    // One cancel for the whole load, whichever of its holds is alive when it comes.
    LinkJob job;

    // The file is chosen before the link is taken: events are acknowledged meanwhile.
    RomFile file;
    if (!ChooseFirmwareFile(file)) return FlashLoadOutcome::Abandoned;
    // A refusal is said by the load's own message, once the module is put back.
    const RefusalScope refusals;

    LinkState& s = linkState();
    TargetState& t = target();
    // The boot loader answers as the local module does, whatever station was chosen.
    job.SetReplyTimeout(settings().PacketTimeout);
    // Port and link failures have been reported where they happened.
    if (OpenLinkPort() != 0) return FlashLoadOutcome::Stopped;
    s.StationAddress[0] = 0;
    s.StationAddress[2] = 0;
    int16_t r;

    // Up to here the module runs its firmware, untouched: a failure or cancel just ends,
    // and what is said of it is said with the link free. A link that gave up has said so.
    {
        const LinkHold identity(job);
        r = SendRequestParam(identity, CMD_MODULE_INFO, 0, 0, 0, MODULE_INFO_FULL);
    }
    const bool cancelled = r == SEND_CANCELLED || job.CancelAsked();
    if (r != SEND_OK) {
        if (!cancelled && !refusals.Refused()) return FlashLoadOutcome::Stopped;
        return Say(Stopped(QStringLiteral("while asking the module for its identity"), cancelled, kNotStarted));
    }
    if ((t.TargetIdentity & 0x0F) != kProductKorvel) {
        MsgBox(QStringLiteral("This application is incorrect for the product type found.The product found, ") +
                   ProductName(t.TargetIdentity) + kLineBreak +
                   QStringLiteral("is not compatible with this application. Please run the correct application."),
               vbOKOnly + vbCritical, kTitle);
        ClosePort();
        return FlashLoadOutcome::Refused;
    }

    return Say(LoadThroughBootLoader(job, file, refusals));
}

} // namespace korvel
