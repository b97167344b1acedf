// The configuration report on paper: printed to a PDF file through the scripted print
// dialog and read back with pdftotext, page by page, against reviewed printouts of a
// Korvel with two child modules and of a Pellar; Cancel, a file that cannot be written
// and a printer that cannot turn a page; the toolbar button that prints it, and the
// real print dialog's answers. Set KORVEL_UPDATE_GOLDEN=1 to rewrite the printouts after
// a deliberate change, and review the difference.
#include "app/printreport.h"
#include "model/systemvalues.h"
#include "platform/qtprompts.h"
#include "support/appfixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>

using namespace korvel;
using namespace korvel::test;

namespace {

const ReportStamp kStamp{QDateTime(QDate(2024, 3, 4), QTime(14, 7)), 1, 4, 1};

class PrintReportTest : public AppFixture {
protected:
    // A PDF file on A4, so that sheets break where the printouts do.
    PrintChoice ToFile(const QString& name) const {
        PrintChoice choice;
        choice.outputFile = dir.filePath(name);
        choice.paperMillimetres = QSizeF(210, 297);
        return choice;
    }
    // The text of each sheet of a PDF, as pdftotext lays it out, without trailing blanks.
    // Laid out in 6 pt columns, the width of a 10 pt fixed-pitch character, so that the
    // text keeps the report's columns rather than pdftotext's guess at them.
    static QStringList SheetsOf(const QString& pdf) {
        QProcess p;
        p.start(QStringLiteral("pdftotext"),
                {QStringLiteral("-layout"), QStringLiteral("-fixed"), QStringLiteral("6"), pdf, QStringLiteral("-")});
        if (!p.waitForFinished(20000) || p.exitCode() != 0) {
            ADD_FAILURE() << "pdftotext (poppler-utils) could not read " << qPrintable(pdf);
            return {};
        }
        return SplitSheets(QString::fromUtf8(p.readAllStandardOutput()));
    }
    static QStringList SplitSheets(const QString& text) {
        QStringList sheets = text.split(QLatin1Char('\f'));
        if (!sheets.isEmpty() && sheets.last().trimmed().isEmpty()) sheets.removeLast();
        static const QRegularExpression trailing(QStringLiteral("[ \\t]+(?=\\n|$)"));
        for (QString& s : sheets) s.replace(trailing, QString());
        return sheets;
    }
    static QString GoldenPath(const char* name) {
        return QFileInfo(QStringLiteral(__FILE__)).dir().filePath(QStringLiteral("golden/") + QLatin1String(name));
    }
    void ExpectPrintout(const QString& pdf, const char* golden) {
        const QStringList sheets = SheetsOf(pdf);
        ASSERT_FALSE(sheets.isEmpty());
        if (qEnvironmentVariableIsSet("KORVEL_UPDATE_GOLDEN")) {
            QFile out(GoldenPath(golden));
            ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
            out.write(sheets.join(QLatin1Char('\f')).toUtf8() + '\f');
        }
        QFile in(GoldenPath(golden));
        ASSERT_TRUE(in.open(QIODevice::ReadOnly)) << golden;
        const QStringList expected = SplitSheets(QString::fromUtf8(in.readAll()));
        ASSERT_EQ(sheets.size(), expected.size()) << golden;
        for (qsizetype i = 0; i < sheets.size(); ++i)
            EXPECT_EQ(sheets[i].toStdString(), expected[i].toStdString()) << golden << ", sheet " << i + 1;
    }
    int MessagesShown() const {
        return int(std::count_if(prompts.Shown().begin(), prompts.Shown().end(),
                                 [](const ShownBox& b) { return b.kind == ShownBox::Message; }));
    }
};

// A Korvel whose every section shows something other than factory defaults.
void VaryKorvel() {
    StationConfig& c = config();
    c.SystemConfig[MY_ADDRESS] = 17;
    c.SystemConfig[MODULE_MODE] = 0x22;
    c.SystemConfig[START_UP_DELAY] = 5;
    c.SystemConfig[SPORT1_CCB2] = 0x12;
    c.SystemConfig[SPORT1_CCB3] = 0x10;
    c.SystemConfig[SPORT2_CCB2] = 0x29;
    c.SystemConfig[SPORT2_DUMP_TIME] = 4;
    c.SystemConfig[FFSK_CCB2] = 0xD4;
    c.SystemConfig[FFSK_CD_DELAY_TIME] = 15;
    ContactInputGroupRecord& in = c.ContactInputTable[0];
    in.Flags[0] = 0xC0;
    in.Hold[0] = 5;
    in.LocalOutput[0] = 1;
    in.LocalOutputDelay[0] = 10;
    in.DestStation[0][0] = 2;
    in.DestStation[1][0] = 105;
    in.DestChannel[0][0] = 1;
    in.DestChannel[1][0] = 12;
    c.ContactInputTable[1].Flags[1] = 0xA0;
    AnalogGroupRecord& a = c.AnalogConfigTable[0];
    a.Flags[0] = 0x81;
    a.HighThreshold[0] = 1023;
    a.LowThreshold[0] = 205;
    a.HighDestStation[0][0] = 3;
    a.HighDestChannel[0][0] = 4;
    a.Flags[1] = 0x94;  // USER 10 X
    a.HighThreshold[1] = 800;
    a.LowThreshold[1] = 100;
    c.AnalogConfigTable[1].Flags[0] = 0x82;
    c.AnalogConfigTable[1].HighThreshold[0] = 600;
    c.AnalogConfigTable[2].Flags[7] = 0x83;
    c.AnalogConfigTable[2].HighThreshold[7] = 900;
    c.AnalogConfigTable[2].LowThreshold[7] = 205;
    c.OutputConfigTable[0].Flags[0] = 0xC0;
    c.OutputConfigTable[0].PulseWidth[0] = 50;
    c.OutputConfigTable[2].Flags[3] = 0x80;
}

TEST_F(PrintReportTest, KorvelWithTwoChildrenPrintsAsReviewed) {
    LoadKorvel(2);
    VaryKorvel();
    prompts.QueuePrinter(ToFile("korvel.pdf"));
    PrintConfigurationReport(kStamp);
    ASSERT_EQ(prompts.Shown().size(), 1);
    EXPECT_EQ(prompts.Shown()[0].kind, ShownBox::Print);
    // Sheet 1 runs on to sheet 2 without a header; the analog sections start sheet 3.
    ExpectPrintout(dir.filePath("korvel.pdf"), "korvel-children-2.txt");
    // Every line on paper is a line of the report, in its columns: the text starts three
    // 6 pt cells in, at the quarter-inch margin.
    QStringList printed, report;
    for (const QString& sheet : SheetsOf(dir.filePath("korvel.pdf")))
        for (const QString& line : sheet.split(QLatin1Char('\n')))
            if (!line.isEmpty()) printed << line.mid(3);
    for (const QStringList& page : ConfigurationReport(config(), 2, kStamp))
        for (QString line : page) {
            while (line.endsWith(QLatin1Char(' '))) line.chop(1);
            if (!line.isEmpty()) report << line;
        }
    EXPECT_EQ(printed, report);
}

TEST_F(PrintReportTest, PellarPrintsItsOneModule) {
    LoadPellar(0x05);
    config().SystemConfig[MY_ADDRESS] = 42;
    config().ContactInputTable[0].Flags[3] = 0x80;
    config().AnalogConfigTable[0].Flags[2] = 0x9C;  // USER 20 X
    config().AnalogConfigTable[0].HighThreshold[2] = 512;
    config().OutputConfigTable[0].Flags[7] = 0x40;
    config().OutputConfigTable[0].PulseWidth[7] = 255;
    prompts.QueuePrinter(ToFile("pellar.pdf"));
    PrintConfigurationReport(kStamp);
    ExpectPrintout(dir.filePath("pellar.pdf"), "pellar.txt");
}

TEST_F(PrintReportTest, CancelPrintsNothingAndSaysNothing) {
    LoadKorvel(0);
    prompts.QueuePrinter(std::nullopt);
    PrintConfigurationReport(kStamp);
    ASSERT_EQ(prompts.Shown().size(), 1);
    EXPECT_EQ(prompts.Shown()[0].kind, ShownBox::Print);
    EXPECT_TRUE(QDir(dir.path()).entryList({QStringLiteral("*.pdf")}).isEmpty());
}

TEST_F(PrintReportTest, AFileThatCannotBeWrittenIsReported) {
    LoadKorvel(0);
    PrintChoice choice = ToFile("no-such-folder/report.pdf");
    prompts.QueuePrinter(choice);
    PrintConfigurationReport(kStamp);
    ASSERT_EQ(MessagesShown(), 1);
    const ShownBox& box = prompts.Shown().last();
    EXPECT_EQ(box.text, kReportNotPrinted + "\r\nFile: " + choice.outputFile);
    EXPECT_EQ(box.icon, vbExclamation);
    EXPECT_FALSE(QFileInfo::exists(choice.outputFile));
}

// A printer that takes the first sheet and then refuses to feed another.
class JammedPrinter : public QPrinter {
public:
    bool newPage() override {
        ++turns;
        return false;
    }
    int turns = 0;
};

TEST_F(PrintReportTest, APrinterThatCannotTurnAPageEndsTheJobWithAMessage) {
    LoadKorvel(0);
    JammedPrinter printer;
    SetUpReportPrinter(printer, ToFile("jammed.pdf"));
    EXPECT_FALSE(PrintReportPages(printer, ConfigurationReport(config(), 0, kStamp)));
    EXPECT_EQ(printer.turns, 1) << "no further sheet is tried";
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("jammed.pdf"))) << "no file that stops short";
    ASSERT_EQ(MessagesShown(), 1);
    EXPECT_TRUE(prompts.Shown().last().text.startsWith(kReportNotPrinted + "\r\nFile: "));
}

TEST_F(PrintReportTest, ALongPageRunsOnToFurtherSheets) {
    // One report page of 200 lines: 67 lines of 10 pt fit on an A4 sheet.
    QStringList page;
    for (int i = 1; i <= 200; ++i) page << QStringLiteral(" line %1").arg(i);
    QPrinter printer(QPrinter::HighResolution);
    SetUpReportPrinter(printer, ToFile("long.pdf"));
    ASSERT_TRUE(PrintReportPages(printer, {page, {QStringLiteral(" next page")}}));
    const QStringList sheets = SheetsOf(dir.filePath("long.pdf"));
    ASSERT_EQ(sheets.size(), 4);
    EXPECT_TRUE(sheets[1].trimmed().startsWith("line 68")) << qPrintable(sheets[1].left(40));
    EXPECT_EQ(sheets[3].trimmed(), "next page") << "the report's own break starts a new sheet";
    EXPECT_EQ(MessagesShown(), 0);
}

// The File menu's Print item is hidden by the main window's design; the toolbar's Print
// button runs the same command.
TEST_F(PrintReportTest, TheToolbarButtonPrintsTheConfigurationInMemory) {
    frmMain& w = Open();
    LoadKorvel(0);
    w.SetToolbarButtonEnabled(ToolButton::Print, true);
    prompts.QueuePrinter(ToFile("toolbar.pdf"));
    Press(ToolButton::Print);
    const QStringList sheets = SheetsOf(dir.filePath("toolbar.pdf"));
    ASSERT_EQ(sheets.size(), 2);
    EXPECT_TRUE(sheets[0].contains(QStringLiteral("Korvel Configurator: Version %1.%2.%3")
                                       .arg(KORVEL_VERSION_MAJOR)
                                       .arg(KORVEL_VERSION_MINOR)
                                       .arg(KORVEL_VERSION_PATCH)));
    Press(ToolButton::Print);  // unscripted: the dialog is cancelled
    EXPECT_EQ(prompts.Unanswered(), 1);
    ASSERT_EQ(prompts.Shown().size(), 2);
    EXPECT_EQ(prompts.Shown()[1].kind, ShownBox::Print);
    EXPECT_EQ(MessagesShown(), 0);
}

// The real print dialog: its Cancel is no choice; OK gives a printer or a file, with
// the paper chosen, and nothing else is offered than printing the whole report.
TEST_F(PrintReportTest, ThePrintDialogGivesAPrinterOrAFileAndNothingOnCancel) {
    QtPrompts real;
    QString title;
    bool offersRanges = true;
    WhenModal<QPrintDialog>([&](QPrintDialog& d) {
        title = d.windowTitle();
        offersRanges = d.testOption(QAbstractPrintDialog::PrintPageRange) ||
                       d.testOption(QAbstractPrintDialog::PrintSelection) ||
                       d.testOption(QAbstractPrintDialog::PrintCurrentPage);
        d.reject();
    });
    EXPECT_EQ(real.ChoosePrinter(QStringLiteral("Print")), std::nullopt);
    EXPECT_EQ(modalDialogs, 1);
    EXPECT_EQ(title, "Print");
    EXPECT_FALSE(offersRanges);
    WhenModal<QPrintDialog>([](QPrintDialog& d) { d.accept(); });
    const std::optional<PrintChoice> choice = real.ChoosePrinter(QStringLiteral("Print"));
    ASSERT_TRUE(choice.has_value());
    EXPECT_TRUE(!choice->printerName.isEmpty() || !choice->outputFile.isEmpty());
    EXPECT_FALSE(choice->paperMillimetres.isEmpty());
}

} // namespace
