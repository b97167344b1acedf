// The program's side of the link: the settings it runs by, what a received frame means,
// the progress and event-monitor texts it reports, and the two ticks that act on them
// (the blinking wait text, the acknowledgements owed for events).
#pragma once

#include "link/linkclient.h"

namespace korvel {

class ProgramLinkClient : public LinkClient {
public:
    LinkSettings Settings() const override;
    void FrameReceived(const QByteArray& RxBuffer) override;
    void RadioProgress(ProgressLabel label, const QString& text) override;
    void ReplyProgress(int16_t& value) override;
    bool TrafficShown() const override;
    bool AllTrafficShown() const override;
    void TrafficLine(const QString& text) override;
    void CommunicationLost() override;
    bool GoOnWithoutAnswer(const LinkHold& hold) override;
    void NoAnswerGivenUp() override;
    void PortOpenFailed(const QString& text) override;
    void ConnectFailed(const QString& text) override;
    void LinkError(const QString& text) override;
    void SwitchThroughStarted() override;
    void SwitchThroughFailed(const QString& text) override;
    int AnswerHostQuestion(const QString& prompt, int style, const QString& title) override;
    void MessageTick() override;
    void BackgroundTick() override;
};

// Installs the program's client on the link, and forgets an acknowledging tick in
// progress (program-wide reset).
void InstallProgramLinkClient();

} // namespace korvel
