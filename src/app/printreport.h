// The printed configuration report (File > Print and the toolbar's Print button): the
// print dialog, then the report's pages in a fixed-pitch font on the printer chosen.
#pragma once

#include "editors/channels/reportrules.h"
#include "platform/prompts.h"

class QPrinter;

namespace korvel {

// Prints the configuration held in memory, stamped with the current time and this
// program's version. Cancel in the print dialog prints nothing and says nothing.
void PrintConfigurationReport();
// The same with a given stamp, so that a printout can be compared with a known one.
void PrintConfigurationReport(const ReportStamp& stamp);

// Points printer at the choice: the printer or PDF file, its paper, and margins that fit
// the report's widest line on A4 and Letter.
void SetUpReportPrinter(QPrinter& printer, const PrintChoice& choice);

// Prints pages on printer, each starting on a new sheet and running on to further
// sheets where it is longer than one. A printer that cannot start, turn a page or take
// the finished document is reported in a message box naming it, and false returned; a
// job stopped halfway is aborted (a PDF file removed).
bool PrintReportPages(QPrinter& printer, const ReportPages& pages);

inline const QString kReportNotPrinted = QStringLiteral("The configuration report could not be printed.");

} // namespace korvel
