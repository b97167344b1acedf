// The module's diagnostic actions: its eight debug flags and the address allocation of
// its child modules, each sent to the station at StationAddress; and where the LED
// timing values sit in the system values.
#pragma once

#include <QString>
#include <cstdint>

namespace korvel {

// RedLedOnTime, RedLedOffTime, RedLedFlashTime, GreenLedOnTime, GreenLedOffTime and
// GreenLedFlashTime, in this order from this element on.
constexpr int RED_LED_ON_TIME = 26;
constexpr int LED_TIMER_COUNT = 6;
constexpr long LED_TIMER_MIN = 1;
constexpr long LED_TIMER_MAX = 100;

// Sends the flags (bit n = flag Ln). ModuleDebugFlags takes them only once the module
// has acknowledged them, so it never shows flags the module does not have.
bool SetModuleDebugFlags(uint8_t flags);

enum class AllocationResult {
    Done,            // allocated, identity and every child's information read again
    NotAllocated,    // the allocation or the identity read that follows it failed
    ChildReadFailed  // a child module's information could not be read
};
// Makes the module allocate its child modules' addresses, then reads its identity
// (with the child count) and each child's information again. Stops at the first
// failure; the link layer has told the user.
AllocationResult AllocateChildAddresses();
// What the user is told when the allocation is done.
QString AllocationDoneMessage(int children);

} // namespace korvel
