// The frames that carry program flash over the link: a half page of FlashImage written
// to the module, or read from it into FlashImage.
#pragma once

#include <cstdint>

namespace korvel {

class LinkHold;

// A flash page is 256 bytes at a multiple of 256; it travels as two halves.
constexpr int32_t FLASH_PAGE_BYTES = 256;
// Length byte of a half-page write (address and 128 data bytes) and of a read.
constexpr int FLASH_WRITE_LENGTH = 137;
constexpr int FLASH_READ_LENGTH = 9;
// Frame bytes of a half-page frame, either way: the word address, then the data.
constexpr int FLASH_REPLY_ADDRESS_HIGH = 7;
constexpr int FLASH_REPLY_ADDRESS_LOW = 8;
constexpr int FLASH_REPLY_DATA = 9;

// Writes the 128 bytes of FlashImage from byteAddress (even) with command
// CMD_FLASH_PAGE_LOW or CMD_FLASH_PAGE_HIGH to the station StationAddress names; the
// frame carries the word address. Returns SendPacket's result; an address whose half
// page lies outside the image sends nothing and fails.
int16_t SendFlashPage(const LinkHold& hold, int16_t command, int32_t byteAddress);
// Asks for the 128 bytes from byteAddress; the reply reaches FlashImage before this
// returns SEND_OK.
int16_t RequestFlashPage(const LinkHold& hold, int16_t command, int32_t byteAddress);


// Keeps the station address a flash operation changes (the boot loader is the local
// module), and puts it back when it ends, however it ends.
class KeepLinkAddressing {
public:
    KeepLinkAddressing();
    ~KeepLinkAddressing();
    KeepLinkAddressing(const KeepLinkAddressing&) = delete;
    KeepLinkAddressing& operator=(const KeepLinkAddressing&) = delete;

private:
    int16_t address_[3];
};

} // namespace korvel
