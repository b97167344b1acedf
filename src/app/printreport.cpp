#include "app/printreport.h"

#include "model/target.h"
#include "model/version.h"

#include <QFile>
#include <QFont>
#include <QFontMetricsF>
#include <QMarginsF>
#include <QPageLayout>
#include <QPainter>
#include <QPrinter>
#include <algorithm>

namespace korvel {

namespace {

// The report's 92 columns at 10 pt take 195 mm and A4 is 210 mm wide: a quarter of an
// inch at the sides, a printer's usual least margin, lets them fit on A4 and Letter.
constexpr double SIDE_MARGIN_MM = 6.35;
constexpr double TOP_BOTTOM_MARGIN_MM = 12.7;

// Fixed pitch, so that a character position is a column. Where Courier New is not
// installed, the hints pick the system's typewriter face (Liberation Mono has its
// metrics).
QFont ReportFont() {
    QFont font(QStringLiteral("Courier New"));
    font.setPointSizeF(10);
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    return font;
}

QString PrinterLabel(const QPrinter& printer) {
    return printer.outputFileName().isEmpty() ? QStringLiteral("Printer: ") + printer.printerName()
                                              : QStringLiteral("File: ") + printer.outputFileName();
}

void ReportFailure(const QPrinter& printer) {
    MsgBox(kReportNotPrinted + QStringLiteral("\r\n") + PrinterLabel(printer), vbOKOnly + vbExclamation);
}

} // namespace

void SetUpReportPrinter(QPrinter& printer, const PrintChoice& choice) {
    if (choice.outputFile.isEmpty()) {
        printer.setOutputFormat(QPrinter::NativeFormat);
        printer.setPrinterName(choice.printerName);
    } else {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(choice.outputFile);
    }
    const QPageSize paper = choice.paperMillimetres.isEmpty()
                                ? printer.pageLayout().pageSize()
                                : QPageSize(choice.paperMillimetres, QPageSize::Millimeter);
    printer.setPageLayout(QPageLayout(paper, choice.landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
                                      QMarginsF(SIDE_MARGIN_MM, TOP_BOTTOM_MARGIN_MM, SIDE_MARGIN_MM,
                                                TOP_BOTTOM_MARGIN_MM),
                                      QPageLayout::Millimeter));
}

bool PrintReportPages(QPrinter& printer, const ReportPages& pages) {
    QPainter painter;
    if (!painter.begin(&printer)) {
        ReportFailure(printer);
        return false;
    }
    painter.setFont(ReportFont());
    const QFontMetricsF metrics(painter.font(), &printer);
    const double lineHeight = metrics.lineSpacing();
    const int linesPerSheet = std::max(1, int(printer.height() / lineHeight));

    // A sheet that cannot be turned ends the job: nothing half-printed is left queued,
    // nor a PDF file that stops short.
    auto fail = [&] {
        printer.abort();
        painter.end();
        if (!printer.outputFileName().isEmpty()) QFile::remove(printer.outputFileName());
        ReportFailure(printer);
        return false;
    };
    int row = 0;
    for (qsizetype p = 0; p < pages.size(); ++p) {
        if (p > 0) {
            if (!printer.newPage()) return fail();
            row = 0;
        }
        for (const QString& line : pages[p]) {
            if (row == linesPerSheet) {
                if (!printer.newPage()) return fail();
                row = 0;
            }
            painter.drawText(QPointF(0, row * lineHeight + metrics.ascent()), line);
            ++row;
        }
    }
    // The document is handed over here: a spooler or a file system can still refuse it.
    if (!painter.end()) {
        ReportFailure(printer);
        return false;
    }
    return true;
}

void PrintConfigurationReport(const ReportStamp& stamp) {
    const std::optional<PrintChoice> choice = prompts().ChoosePrinter(QStringLiteral("Print"));
    if (!choice) return;
    QPrinter printer(QPrinter::HighResolution);
    SetUpReportPrinter(printer, *choice);
    PrintReportPages(printer, ConfigurationReport(config(), target().ChildCount, stamp));
}

void PrintConfigurationReport() {
    PrintConfigurationReport(ReportStamp{QDateTime::currentDateTime(), ProgramVersionMajor, ProgramVersionMinor,
                                         ProgramVersionRevision});
}

} // namespace korvel
