#include "link/linkclient.h"

namespace korvel {

namespace {
LinkClient* installed = nullptr;
} // namespace

LinkClient& linkClient() {
    static LinkClient silent;
    return installed ? *installed : silent;
}

void SetLinkClient(LinkClient* c) { installed = c; }

bool RadioProtocol() { return linkClient().Settings().Radio; }

} // namespace korvel
