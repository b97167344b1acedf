#include "control/flashpages.h"

#include "model/flashimage.h"
#include "link/builders.h"
#include "link/linkstate.h"

#include <cstring>

namespace korvel {

namespace {

bool HalfPageInImage(int32_t byteAddress) {
    return byteAddress >= 0 && byteAddress % 2 == 0 && byteAddress + FLASH_HALF_PAGE_BYTES <= FLASH_IMAGE_SIZE;
}

QByteArray PageFrame(int length, int type, int16_t command, int32_t byteAddress) {
    const int16_t* a = linkState().StationAddress;
    QByteArray frame = TxFrame(length, a[0], a[1], a[2], type, command);
    uint8_t* t = FrameBytes(frame);
    const int32_t word = byteAddress / 2;
    t[FLASH_REPLY_ADDRESS_HIGH] = uint8_t((word & 0xFF00) / 256);
    t[FLASH_REPLY_ADDRESS_LOW] = uint8_t(word & 0xFF);
    return frame;
}

} // namespace

int16_t SendFlashPage(const LinkHold& hold, int16_t command, int32_t byteAddress) {
    if (!HalfPageInImage(byteAddress)) return SEND_REFUSED;
    QByteArray frame = PageFrame(FLASH_WRITE_LENGTH, PKT_SET, command, byteAddress);
    std::memcpy(FrameBytes(frame) + FLASH_REPLY_DATA, FlashImage().data() + byteAddress, FLASH_HALF_PAGE_BYTES);
    return SendTxFrame(hold, frame, TX_WAIT_ACK, true);
}

int16_t RequestFlashPage(const LinkHold& hold, int16_t command, int32_t byteAddress) {
    if (!HalfPageInImage(byteAddress)) return SEND_REFUSED;
    return SendTxFrame(hold, PageFrame(FLASH_READ_LENGTH, PKT_GET, command, byteAddress), TX_WAIT_REPLY, true);
}


KeepLinkAddressing::KeepLinkAddressing() {
    const LinkState& s = linkState();
    std::memcpy(address_, s.StationAddress, sizeof address_);
}

KeepLinkAddressing::~KeepLinkAddressing() {
    LinkState& s = linkState();
    std::memcpy(s.StationAddress, address_, sizeof address_);
}

} // namespace korvel
