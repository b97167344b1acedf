// The configuration file (*.ZPF): its text written from the model, and a file's text
// checked and read back into a model.
#pragma once

#include "model/model.h"

#include <QByteArray>
#include <QString>

namespace korvel {

class ItemReader;

// The whole file, header included, for config(), target().ChildCount and the target's
// kind (Korvel or Pellar with its expansion boards decide the group ranges written).
QByteArray ConfigurationFileText();

// Reads the sections that follow the child line into `into`, up to the end of the
// reader's text. False on a read failure; whatever was stored before it stays in `into`.
// The reader should keep trailing blanks (ItemReader::TrailingBlanks::Keep), or texts
// that end in blanks lose them.
bool ReadConfigurationFile(ItemReader& r, StationConfig& into);

// How a whole file's text fared.
enum class ConfigFileStatus {
    Ok,
    BadProduct,      // first line is not "Korvel"
    ShortVersion,    // version line shorter than 16 characters
    OldVersion,      // older than 00.00.18
    BadChildLine,    // the child count is not a whole number from 0 to 7
    Corrupt,         // anything else: unreadable numbers, a value its field cannot carry
                     // to the module, a failed section, a cut file
};

// The two lines every data file of the program begins with: the product line and the
// version line with this program's version.
QByteArray DataFileHeader();
// Reads and checks those two lines from r; Ok when both pass (BadProduct, ShortVersion,
// OldVersion or Corrupt otherwise).
ConfigFileStatus CheckDataFileHeader(ItemReader& r);

// Checks the three header lines of text and reads the rest into `into` (which the
// caller has prepared, normally with the factory defaults). childCount receives the
// file's child count once the header passed.
ConfigFileStatus ParseConfigurationFile(const QByteArray& text, StationConfig& into, int* childCount);

} // namespace korvel
