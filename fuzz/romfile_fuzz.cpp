// Fuzzes the firmware file reader: any bytes, read as a whole file the way the flash
// loader reads one, with the reader's promises checked on what it hands back.
#include "model/flashimage.h"

#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace korvel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const RomFile f = ParseRomFile(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    // Every refusal says why, in the box the user answers.
    if (f.result != RomLoadResult::Loaded && f.message.isEmpty()) std::abort();
    if (f.result == RomLoadResult::Loaded) {
        // What the loader programs lies inside the image, and the CRC it checked is the
        // one the file gave.
        if (f.lowest < 0 || f.highest > FLASH_IMAGE_SIZE - 2 || f.lowest > f.highest || f.lowest % 2 != 0 ||
            f.highest % 2 != 0)
            std::abort();
        if (f.imageCrc != f.fileCrc || CalcCrc16(FlashImage(), f.lowest, f.highest + 1) != f.imageCrc) std::abort();
        if (f.typeValue != QLatin1String("Korvel")) std::abort();
    }
    return 0;
}
