// Puts a frame where the receiver leaves a complete one, for the link's own tests and
// those above it.
#pragma once

#include "link/linkstate.h"

#include <QByteArray>

namespace korvel::test {

inline void PutRx(const QByteArray& frame) {
    for (int i = 0; i < frame.size() && i < LINK_BUFFER_SIZE; ++i)
        linkState().RxBuffer[i] = static_cast<uint8_t>(frame[i]);
}

} // namespace korvel::test
