// What the link needs from the program above it and what it tells it: the settings it
// runs by, each frame received, and the texts it reports. The program installs its own;
// without one the link runs on the defaults below and reports nothing.
#pragma once

#include "platform/progressview.h"

#include <QByteArray>
#include <QString>
#include <cstdint>

namespace korvel {

class LinkHold;

struct LinkSettings {
    // The serial device: a full path, or a port number.
    QString Port = QStringLiteral("1");
    // Module frames travel inside a FleetSync radio's text frames.
    bool Radio = false;
    // 9600,N,8,1 on the port instead of 9600,N,8,2.
    bool OneStopBit = false;
    // Tries of one frame before the user is asked whether to go on.
    int RetryCount = 5;
    // 100 ms ticks of silence that drop a half-received frame.
    int InterByteTimeout = 8;
    // The receive and transmit states shown in the status bar.
    bool DebugDisplay = false;
};

class LinkClient {
public:
    virtual ~LinkClient() = default;
    virtual LinkSettings Settings() const { return {}; }
    // A complete module frame came (checksum-good, unless the switch-through host passed
    // it on): act on what it means.
    virtual void FrameReceived(const QByteArray& RxBuffer) { (void)RxBuffer; }
    // A radio caption in the progress window.
    virtual void RadioProgress(ProgressLabel, const QString&) {}
    // The reply countdown's share of the progress bar (may be lowered to the bar's end).
    virtual void ReplyProgress(int16_t&) {}
    // The traffic lines of the event monitor: whether it shows them (and every radio
    // frame, not only messages), and one line to add, without its time stamp.
    virtual bool TrafficShown() const { return false; }
    virtual bool AllTrafficShown() const { return false; }
    virtual void TrafficLine(const QString&) {}
    // The link gave up on the station: what was known of it no longer holds.
    virtual void CommunicationLost() {}
    // No answer came to a request of hold's job after the retries (a job of its own: a
    // borrower gives up without being asked). True to go on sending it; asked with the
    // request's transaction parked, so the job may lend the link while it asks.
    virtual bool GoOnWithoutAnswer(const LinkHold& hold) {
        (void)hold;
        return false;
    }
    // That job gave up on the module, or found the link it had gone when it would go on:
    // what it means for the connection and the commands offered is the program's to say.
    virtual void NoAnswerGivenUp() {}
    // What the link has to say to the person, said by the program: the port would not
    // open (text names why), a TCP connect failed, a socket reported an error.
    virtual void PortOpenFailed(const QString& text) { (void)text; }
    virtual void ConnectFailed(const QString& text) { (void)text; }
    virtual void LinkError(const QString& text) { (void)text; }
    // The switch-through host has connected back and holds the link to the module from
    // now on: what that means for the commands offered is the program's to say.
    virtual void SwitchThroughStarted() {}
    // A switch-through socket failed (text says how), reported once per link and never
    // from inside a socket's handler. The link has closed nothing: the client ends it
    // with SwitchThroughLink::EndLink once it has said what it has to say. Without a
    // client the link just ends, quietly.
    virtual void SwitchThroughFailed(const QString& text);
    // The switch-through host asks the person a question (a message box's text, style
    // and title); the answer (a box's result code) goes back to the host.
    virtual int AnswerHostQuestion(const QString& prompt, int style, const QString& title) {
        (void)prompt;
        (void)style;
        (void)title;
        return 2;  // cancelled: nobody to ask
    }
    // The ticks of the blinking progress text and of the acknowledgements owed.
    virtual void MessageTick() {}
    virtual void BackgroundTick() {}
};

LinkClient& linkClient();
// True when module frames travel inside a FleetSync radio's text frames.
bool RadioProtocol();
// Installs c (not owned); nullptr restores the silent default.
void SetLinkClient(LinkClient* c);

} // namespace korvel
