// What the contact input dialog shows of one input's record and what it stores back,
// and the one change it makes to an output: a set or reset output leaves its pulse mode.
#pragma once

#include "model/model.h"

#include <QString>

namespace korvel {

// The local set/reset function list's items; the flag bits each stands for differ.
enum class SetResetItem { Normal = 0, Reset = 1, Set = 2 };

// A contact input's Flags bits that every view of the inputs reads.
constexpr uint8_t INPUT_ENABLED = 0x80;
constexpr uint8_t INPUT_NORMALLY_OPEN = 0x40;
constexpr uint8_t INPUT_TOGGLE = 0x20;

constexpr int INPUT_DEST_MAPS = 4;
constexpr int SUB_CHANNEL_MAX = 64;
// The element of the system values whose bit s logs the inputs of slot s.
constexpr int LOG_INPUTS_ELEMENT = 36;

inline const QString kSubChannelRefusal =
    QStringLiteral("Destination station must be between 0 and 64, please renter");

struct InputChannelValues {
    bool enabled = false;
    bool normallyOpen = false;
    bool toggle = false;
    SetResetItem setReset = SetResetItem::Normal;
    bool logOnOff = false;
    int hold = 0;
    int localOutput = 0;  // the station's output number, 0 for none
    int delay = 0;
    int destStation[INPUT_DEST_MAPS] = {};
    int destChannel[INPUT_DEST_MAPS] = {};
};

InputChannelValues ViewInputChannel(const ContactInputGroupRecord& group, int slot);
// Stores v into slot. Flag bits 2 and 4 are not the dialog's and stay; bits 0-1 of the
// function "NORMAL" are 0 (a stored 2 shows as "NORMAL" and goes back as 0). Numbers are
// held to a byte, whatever reached v; a Pellar input has no output delay.
void StoreInputChannel(ContactInputGroupRecord& group, int slot, const InputChannelValues& v, bool pellar);

// An output that an input sets or resets directly must latch: when output (1..8) of
// group is in a pulse mode its mode bits are cleared, and only they. True when it was.
bool LatchAssignedOutput(OutputGroupRecord& group, int output);
QString LatchedOutputMessage(int output);

} // namespace korvel
