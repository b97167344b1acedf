// Configuration blocks: building them from the model to send, and parsing the module's
// replies into it. Every position here is the module's wire format.
#pragma once

#include <QByteArray>
#include <cstdint>

namespace korvel {

// Length byte (L) of each block; the checksum stands at byte L.
constexpr int SYSTEM_BLOCK_LENGTH = 71;
constexpr int INPUT_BLOCK_LENGTH = 114;
constexpr int OUTPUT_BLOCK_LENGTH = 26;
constexpr int ANALOG_BLOCK_LENGTH = 178;
constexpr int TEMP_BLOCK_LENGTH = 178;
constexpr int FLEETSYNC_SETTINGS_LENGTH = 106;
constexpr int FLEETSYNC_TAGS_LENGTH = 178;
constexpr int NMEA_BLOCK_LENGTH = 107;
// A system reply may carry more elements than the standard block, up to element 161.
constexpr int SYSTEM_REPLY_MAX_LENGTH = 172;
constexpr int NAME_FIELD_WIDTH = 21;  // 20 characters and the NUL

// Why a reply could not be stored. Nothing of it is stored unless the result is Ok.
enum class ParseResult { Ok, TooShort, BadIndex };

// Builds one block of the model into TxBuffer and sends it, waiting for the
// acknowledgement; the SendPacket result. SEND_FAILED without sending for a code it
// does not build or a system value that does not fit its byte.
int16_t SendConfigBlock(int16_t code, int16_t destination, int16_t source, int16_t route, int16_t index);
int16_t SendNmeaConfig(int16_t destination, int16_t source, int16_t route);

// Writes text (cut to width characters, trailing spaces dropped) and its NUL into
// TxBuffer at position; returns the 21-byte width of a name field.
int PutStringInTxBuf(const QByteArray& text, int position, int width);
// Reads the text at position of RxBuffer up to its NUL, the end of its field
// (fieldWidth bytes) or the end of the received frame, whichever comes first.
QByteArray GetRxString(int position, int fieldWidth);
// Stores the name at position as tag number tag (0 to 31) of the four FleetSync tag
// lists, cut to 20 characters; returns the 21-byte width of a name field.
int StoreRxName(int tag, int position);

// Reply parsers: RxBuffer holds a reply of L = count + 8 bytes before its checksum.
ParseResult ParseSystemBlock(int count);
ParseResult ParseInputBlock(int count);
ParseResult ParseOutputBlock(int count);
ParseResult ParseAnalogBlock(int count);
ParseResult ParseTemperatureBlock(int count);
ParseResult ParseFleetSyncBlock(int count);
ParseResult ParseNmeaBlock(int count);

// The offset code that carries an analog calibration offset (-31 to +32) in six bits.
int OffsetToCode(int offset);
int CodeToOffset(int code);

} // namespace korvel
