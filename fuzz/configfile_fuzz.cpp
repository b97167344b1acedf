// Fuzzes the configuration file reader: any bytes, read as a whole file into a model
// prepared with the factory defaults, the way opening a file does.
#include "model/configfile.h"
#include "model/model.h"
#include "model/target.h"

#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

using namespace korvel;

namespace {

// The defaults depend on the target's shape, which stays at program start here.
const StationConfig& defaults() {
    static const std::unique_ptr<StationConfig> d = [] {
        ResetTargetState();
        auto c = std::make_unique<StationConfig>();
        SetDefaultConfiguration(*c);
        return c;
    }();
    return *d;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A fresh copy every time: nothing one input stored may shape the next.
    auto scratch = std::make_unique<StationConfig>(defaults());
    int children = -1;
    const ConfigFileStatus status =
        ParseConfigurationFile(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)), *scratch, &children);
    // The reader's own promise: a file that passed its header names 0 to 7 children.
    if (status == ConfigFileStatus::Ok && (children < 0 || children > MAX_CHILD_MODULES)) std::abort();
    return 0;
}
