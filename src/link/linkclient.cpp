#include "link/linkclient.h"
#include "link/switchthrough.h"

namespace korvel {

namespace {
LinkClient* installed = nullptr;
} // namespace

LinkClient& linkClient() {
    static LinkClient silent;
    return installed ? *installed : silent;
}

void LinkClient::SwitchThroughFailed(const QString& text) {
    (void)text;
    switchThrough().EndLink();
}

void SetLinkClient(LinkClient* c) { installed = c; }

bool RadioProtocol() { return linkClient().Settings().Radio; }

} // namespace korvel
