// Configuration blocks: the byte layout of each block the module keeps, written from the
// model and read back into it. Every position here is the module's wire format, counted
// from the block's first data byte (the byte after the frame's command code; frame byte
// 7 + k carries block byte k). Framing, sending and receiving are the link's.
#pragma once

#include <QByteArray>
#include <cstdint>

namespace korvel {

// Data bytes of each block, from its index byte (or, for NMEA, its first setting) up to
// the frame's checksum.
constexpr int SYSTEM_BLOCK_BYTES = 64;
constexpr int INPUT_BLOCK_BYTES = 107;
constexpr int OUTPUT_BLOCK_BYTES = 19;
constexpr int ANALOG_BLOCK_BYTES = 171;
constexpr int TEMP_BLOCK_BYTES = 171;
constexpr int FLEETSYNC_SETTINGS_BYTES = 99;
constexpr int FLEETSYNC_TAGS_BYTES = 171;
constexpr int NMEA_BLOCK_BYTES = 100;
// A system reply may carry more elements than the standard block, up to element 161.
constexpr int SYSTEM_REPLY_MAX_BYTES = 165;
constexpr int NAME_FIELD_WIDTH = 21;  // 20 characters and the NUL
// The largest block: room enough for any builder below.
constexpr int CONFIG_BLOCK_MAX_BYTES = 171;

// Why a reply could not be stored. Nothing of it is stored unless the result is Ok.
enum class ParseResult { Ok, TooShort, BadIndex };

// ---- Builders --------------------------------------------------------------------------
// Each writes its block from the model into data[0 .. its _BYTES - 1], every byte the
// model does not carry as 0. False, with data left as it was, when size is smaller than
// the block, for a group outside 0 .. GROUPS - 1 or a FleetSync part outside 0 .. 4, and
// for a system value that does not fit its byte.

// index is the block's first byte, sent as given.
bool BuildSystemBlock(uint8_t index, uint8_t* data, int size);
bool BuildInputBlock(int group, uint8_t* data, int size);
bool BuildOutputBlock(int group, uint8_t* data, int size);
bool BuildAnalogBlock(int group, uint8_t* data, int size);
bool BuildTemperatureBlock(uint8_t index, uint8_t* data, int size);
// part 0: the settings (FLEETSYNC_SETTINGS_BYTES); 1 .. 4: a tag list (FLEETSYNC_TAGS_BYTES).
bool BuildFleetSyncBlock(int part, uint8_t* data, int size);
bool BuildNmeaBlock(uint8_t* data, int size);
// The data bytes of FleetSync part 0 .. 4; 0 for any other part.
int FleetSyncBlockBytes(int part);

// Writes text (cut to width characters, trailing spaces dropped) and its NUL into data
// at position; returns the 21-byte width of a name field.
int PutBlockString(uint8_t* data, const QByteArray& text, int position, int width);
// Reads the text at position of data up to its NUL, the end of its field (fieldWidth
// bytes) or the end of the count bytes, whichever comes first.
QByteArray GetBlockString(const uint8_t* data, int count, int position, int fieldWidth);
// Stores the name at position of data (count bytes) as tag number tag (0 to 31) of the
// four FleetSync tag lists, cut to 20 characters; returns the 21-byte width of a name field.
int StoreTagName(int tag, const uint8_t* data, int count, int position);

// ---- Parsers ---------------------------------------------------------------------------
// Each reads the count data bytes of a received block (data[0] is the index byte) into
// the model. A count below the block's layout is TooShort; a group outside the tables
// (or a system reply longer than SYSTEM_REPLY_MAX_BYTES) is BadIndex.
ParseResult ParseSystemBlock(const uint8_t* data, int count);
ParseResult ParseInputBlock(const uint8_t* data, int count);
ParseResult ParseOutputBlock(const uint8_t* data, int count);
ParseResult ParseAnalogBlock(const uint8_t* data, int count);
ParseResult ParseTemperatureBlock(const uint8_t* data, int count);
// Part data[0]: 0 the settings, 1 .. 4 a tag list; any other part stores nothing (Ok).
ParseResult ParseFleetSyncBlock(const uint8_t* data, int count);
ParseResult ParseNmeaBlock(const uint8_t* data, int count);

// The offset code that carries an analog calibration offset (-31 to +32) in six bits.
int OffsetToCode(int offset);
int CodeToOffset(int code);

} // namespace korvel
