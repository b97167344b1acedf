#include "control/configfiles.h"
#include "model/datafile.h"
#include "model/taskfile.h"
#include "platform/scriptedprompts.h"
#include "support/basefixture.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using namespace korvel;

namespace {

const QByteArray kTooMany = "The file contains more stations then the task manager can allocate.\n\r"
                            "The rest of the entries will be ignored.";
const QByteArray kPastEnd = "Attempt to read past end-of-file marker:\n\r"
                            "possible database file corruption, or previous version file";

QByteArray WithHeader(const QByteArray& body, const QByteArray& version = "Version 01.00.00") {
    return "Korvel\r\n" + version + "\r\n" + body;
}

// A section naming stations 1 .. count, station n driving output n % 64 + 1.
QByteArray Stations(int count) {
    QByteArray s = "[task_poller]\r\n0=005\r\n";
    for (int n = 1; n <= count; ++n) s += QByteArray::number(n) + '=' + QByteArray::number(n % 64 + 1) + "\r\n";
    return s + "[end_task_poller]\r\n";
}

StationOutputs Outputs(std::initializer_list<std::pair<int, int>> stationOutput) {
    StationOutputs o{};
    for (const auto& [station, output] : stationOutput) o[size_t(station - 1)] = int16_t(output);
    return o;
}

TEST(TaskFileText, WritesTheHeaderSectionAndOneLinePerStationInOrder) {
    EXPECT_EQ(TaskFileText(10, Outputs({{12, 5}, {3, 1}})),
              DataFileHeader() + "[task_poller]\r\n0=010\r\n003=01\r\n012=05\r\n[end_task_poller]\r\n");
    EXPECT_EQ(TaskFileText(0, {}), DataFileHeader() + "[task_poller]\r\n0=000\r\n[end_task_poller]\r\n");
    EXPECT_EQ(TaskFileText(255, Outputs({{255, 64}, {1, 9}})),
              DataFileHeader() + "[task_poller]\r\n0=255\r\n001=09\r\n255=64\r\n[end_task_poller]\r\n");
}

TEST(ParseTaskFile, ReadsBackWhatWasWritten) {
    const StationOutputs o = Outputs({{1, 64}, {2, 1}, {128, 33}, {255, 7}});
    const TaskFileContent c = ParseTaskFile(TaskFileText(255, o));
    EXPECT_EQ(c.header, ConfigFileStatus::Ok);
    EXPECT_EQ(c.minutes, std::optional<int16_t>(255));
    EXPECT_EQ(c.outputs, o);
    EXPECT_EQ(c.taken, 4);
    EXPECT_TRUE(c.outOfRange.isEmpty());
}

TEST(ParseTaskFile, TakesThirtyTwoStationLinesAndStopsAtTheNext) {
    TaskFileContent c = ParseTaskFile(WithHeader(Stations(32)));
    EXPECT_EQ(c.taken, 32);
    EXPECT_FALSE(c.tooManyStations);
    c = ParseTaskFile(WithHeader(Stations(33)));
    EXPECT_EQ(c.taken, 32);
    EXPECT_TRUE(c.tooManyStations);
    EXPECT_EQ(c.outputs[31], 33);
    EXPECT_EQ(c.outputs[32], 0);
    // A station named again counts again.
    c = ParseTaskFile(WithHeader("[task_poller]\r\n" + QByteArray("7=1\r\n").repeated(32) + "8=2\r\n"));
    EXPECT_TRUE(c.tooManyStations);
    EXPECT_EQ(c.outputs[7], 0);
}

TEST(ParseTaskFile, ChecksTheHeaderLines) {
    const struct {
        QByteArray text;
        ConfigFileStatus status;
        bool pastEnd;
    } cases[] = {
        {"korvel\r\nVersion 01.00.00\r\n", ConfigFileStatus::BadProduct, false},
        {WithHeader("", "Version 00.00.17"), ConfigFileStatus::OldVersion, false},
        {WithHeader("", "Version 00.00.18"), ConfigFileStatus::Ok, false},
        {WithHeader("", "Version 00.01.00"), ConfigFileStatus::Ok, false},
        {WithHeader("", "Version 01.00.00"), ConfigFileStatus::Ok, false},
        {WithHeader("", "Version 1.4"), ConfigFileStatus::ShortVersion, false},
        {"Korvel\r\nVersion xx.00.00", ConfigFileStatus::Corrupt, false},
        {"Korvel\r\n", ConfigFileStatus::Corrupt, true},
        {"", ConfigFileStatus::Corrupt, true},
        {QByteArray("\0\xff\x80,\"\r\n\n,,\xfe", 11), ConfigFileStatus::BadProduct, false},
    };
    for (const auto& k : cases) {
        const TaskFileContent c = ParseTaskFile(k.text);
        EXPECT_EQ(c.header, k.status) << k.text.toStdString();
        EXPECT_EQ(c.pastEnd, k.pastEnd) << k.text.toStdString();
        EXPECT_EQ(c.taken, 0);
    }
}

TEST(ParseTaskFile, ReadsOnlyTheSectionAndKeepsWhatACutFileHeld) {
    TaskFileContent c = ParseTaskFile(WithHeader("004=01\r\n[task_poller]\r\n003=01\r\n012=05"));
    EXPECT_EQ(c.outputs, Outputs({{3, 1}, {12, 5}}));
    EXPECT_EQ(c.minutes, std::nullopt);
    c = ParseTaskFile(WithHeader("[task_poller]\r\n003=01\r\n[end_task_poller]\r\n004=01\r\n0=9\r\n"));
    EXPECT_EQ(c.outputs, Outputs({{3, 1}}));
    EXPECT_EQ(c.minutes, std::nullopt);
    c = ParseTaskFile(WithHeader("003=01\r\n"));
    EXPECT_EQ(c.header, ConfigFileStatus::Ok);
    EXPECT_EQ(c.taken, 0);
}

TEST(ParseTaskFile, ReadsKeyLinesLoosely) {
    const TaskFileContent c = ParseTaskFile(WithHeader(
        "[task_poller]\r\nabc=7\r\n\"012=05\",   003 = 2.5 V\r\nno key here\r\n5=3.5\r\n3=9\r\n2.5=1\r\n"));
    EXPECT_EQ(c.minutes, std::optional<int16_t>(7));
    EXPECT_EQ(c.outputs, Outputs({{12, 5}, {3, 9}, {5, 4}, {2, 1}}));
    EXPECT_EQ(c.taken, 5);
}

TEST(ParseTaskFile, AnUnreadableLineEndsTheReadingKeepingEarlierStations) {
    for (const char* bad : {"256=1", "-1=1", "012=40000", "012=-32769", "012=x", "0="}) {
        const TaskFileContent c =
            ParseTaskFile(WithHeader("[task_poller]\r\n003=01\r\n" + QByteArray(bad) + "\r\n004=01\r\n0=5\r\n"));
        EXPECT_EQ(c.outputs, Outputs({{3, 1}})) << bad;
        EXPECT_EQ(c.minutes, std::nullopt) << bad;
    }
    EXPECT_EQ(ParseTaskFile(WithHeader("[task_poller]\r\n255=-0.5\r\n0=32767\r\n")).minutes,
              std::optional<int16_t>(32767));
}

TEST(ParseTaskFile, DescribesValuesTheTaskCannotHold) {
    EXPECT_TRUE(ParseTaskFile(WithHeader("[task_poller]\r\n0=255\r\n1=64\r\n2=0\r\n")).outOfRange.isEmpty());
    EXPECT_EQ(ParseTaskFile(WithHeader("[task_poller]\r\n0=10\r\n3=1\r\n12=65\r\n")).outOfRange,
              QStringLiteral("Station 012 has output 65 in this file; outputs are 0 to 64. The task was not loaded."));
    EXPECT_EQ(ParseTaskFile(WithHeader("[task_poller]\r\n0=256\r\n")).outOfRange,
              QStringLiteral("The poll period in this file is 256 minutes; it must be 0 to 255. The task was not "
                             "loaded."));
    EXPECT_FALSE(ParseTaskFile(WithHeader("[task_poller]\r\n255=-1\r\n")).outOfRange.isEmpty());
    EXPECT_FALSE(ParseTaskFile(WithHeader("[task_poller]\r\n0=-1\r\n")).outOfRange.isEmpty());
}

class TaskFileDialogsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        SetPrompts(&prompts);
    }
    void TearDown() override { SetPrompts(nullptr); }

    QString Put(const QByteArray& text) {
        const QString path = dir.filePath(QStringLiteral("put.JTF"));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
        return path;
    }
    QByteArray Get(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    // Opens the file holding text; the messages shown after the open dialog land in prompts.
    TaskFileOpened Open(const QByteArray& text) {
        prompts.QueueFile(Put(text));
        const TaskFileOpened o = OpenTaskFile();
        EXPECT_EQ(prompts.Shown().value(0).title, QStringLiteral("Open"));
        return o;
    }
    QStringList Messages() const {
        QStringList m;
        for (const ShownBox& b : prompts.Shown())
            if (b.kind == ShownBox::Message) m << b.text + QStringLiteral(" /%1").arg(b.buttons + b.icon);
        return m;
    }

    QTemporaryDir dir;
    ScriptedPrompts prompts;
};

TEST_F(TaskFileDialogsTest, SaveReplacesTheWholeFileAndOpenReadsItBack) {
    const QString path = Put(QByteArray(2000, 'x'));
    prompts.QueueFile(path);
    const StationOutputs o = Outputs({{3, 1}, {12, 5}});
    EXPECT_EQ(SaveTaskFileAs(10, o), vbYes);
    EXPECT_EQ(prompts.Shown().value(0).title, QStringLiteral("Save As"));
    EXPECT_EQ(Get(path), TaskFileText(10, o));
    prompts.Clear();
    prompts.QueueFile(path);
    const TaskFileOpened opened = OpenTaskFile();
    EXPECT_EQ(opened.outcome, TaskFileOpened::Outcome::Read);
    EXPECT_EQ(opened.minutes, std::optional<int16_t>(10));
    EXPECT_EQ(opened.outputs, o);
    EXPECT_EQ(Messages(), QStringList());
}

TEST_F(TaskFileDialogsTest, CancelledDialogsDoNothing) {
    EXPECT_EQ(SaveTaskFileAs(10, Outputs({{3, 1}})), vbCancel);
    EXPECT_EQ(OpenTaskFile().outcome, TaskFileOpened::Outcome::Cancelled);
    EXPECT_EQ(prompts.Shown().size(), 2);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList());
}

// Reading and writing a file only report what went wrong; no box comes from them.
TEST_F(TaskFileDialogsTest, ReadingAndWritingReportFailuresWithoutABox) {
    EXPECT_FALSE(WriteFileText(dir.filePath(QStringLiteral("missing/a.JTF")), "x").isEmpty());
    const TaskFileRead missing = ReadTaskFile(dir.filePath(QStringLiteral("missing.JTF")));
    EXPECT_FALSE(missing.fileError.isEmpty());
    EXPECT_EQ(missing.content.taken, 0);
    const TaskFileRead refused = ReadTaskFile(Put("korvel\r\nVersion 01.00.00\r\n"));
    EXPECT_TRUE(refused.fileError.isEmpty());
    EXPECT_EQ(refused.content.header, ConfigFileStatus::BadProduct);
    EXPECT_TRUE(prompts.Shown().isEmpty());
}

TEST_F(TaskFileDialogsTest, AFailedSaveShowsTheErrorAndKeepsTheOldFile) {
    prompts.QueueFile(dir.filePath(QStringLiteral("missing/a.JTF")));
    EXPECT_EQ(SaveTaskFileAs(10, Outputs({{3, 1}})), vbCancel);
    ASSERT_EQ(Messages().size(), 1);
    EXPECT_TRUE(Messages()[0].startsWith(QStringLiteral("File error: ")));

    const QString path = Put("the previous file\r\n");
    // Files may grow to 100 bytes only, so the write fails part way through.
    int16_t result = 0;
    ASSERT_TRUE(test::WithFileSizeLimit(100, [&] {
        prompts.Clear();
        prompts.QueueFile(path);
        result = SaveTaskFileAs(10, Outputs({{1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 5}, {6, 6}, {7, 7}}));
    }));
    EXPECT_EQ(result, vbCancel);
    EXPECT_EQ(Get(path), QByteArray("the previous file\r\n"));
    ASSERT_EQ(Messages().size(), 1);
    EXPECT_TRUE(Messages()[0].endsWith(QStringLiteral(", please select another filename /0")));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("put.JTF")});
}

TEST_F(TaskFileDialogsTest, RefusedFilesShowWhyAndLoadNothing) {
    const struct {
        QByteArray text;
        QString message;  // with the box's buttons + icon
    } cases[] = {
        {"korvel\r\nVersion 01.00.00\r\n", FileHeaderMessage(ConfigFileStatus::BadProduct) + " /0"},
        {WithHeader("", "Version 00.00.17"), FileHeaderMessage(ConfigFileStatus::OldVersion) + " /0"},
        {WithHeader("", "Version 1.4"), FileHeaderMessage(ConfigFileStatus::ShortVersion) + " /0"},
        {"Korvel\r\n", QString::fromLatin1(kPastEnd) + " /0"},
        {"Korvel\r\nVersion xx.00.00\r\n", QString()},
        {WithHeader("[task_poller]\r\n3=1\r\n12=70\r\n"),
         "Station 012 has output 70 in this file; outputs are 0 to 64. The task was not loaded. /48"},
    };
    for (const auto& k : cases) {
        prompts.Clear();
        EXPECT_EQ(Open(k.text).outcome, TaskFileOpened::Outcome::Refused) << k.text.toStdString();
        EXPECT_EQ(Messages(), k.message.isEmpty() ? QStringList() : QStringList{k.message});
    }
    prompts.Clear();
    prompts.QueueFile(dir.filePath(QStringLiteral("none.JTF")));
    EXPECT_EQ(OpenTaskFile().outcome, TaskFileOpened::Outcome::Refused);
    ASSERT_EQ(Messages().size(), 1);
    EXPECT_TRUE(Messages()[0].startsWith(QStringLiteral("File error: ")));
}

TEST_F(TaskFileDialogsTest, TooManyOrNoStationsAreToldButStillRead) {
    TaskFileOpened o = Open(WithHeader(Stations(40)));
    EXPECT_EQ(o.outcome, TaskFileOpened::Outcome::Read);
    EXPECT_EQ(o.outputs[31], 33);
    EXPECT_EQ(o.outputs[32], 0);
    EXPECT_EQ(Messages(), QStringList{QString::fromLatin1(kTooMany) + " /32"});

    prompts.Clear();
    o = Open(WithHeader("[task_poller]\r\n0=005\r\n[end_task_poller]\r\n"));
    EXPECT_EQ(o.outcome, TaskFileOpened::Outcome::Read);
    EXPECT_EQ(o.minutes, std::optional<int16_t>(5));
    EXPECT_EQ(o.outputs, StationOutputs{});
    EXPECT_EQ(Messages(), QStringList{QStringLiteral("valid task not found /0")});
}

} // namespace
