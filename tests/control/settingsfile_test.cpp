#include "control/programstate.h"
#include "control/localsettings.h"
#include "control/session.h"
#include "control/settingsfile.h"
#include "platform/scriptedprompts.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

using namespace korvel;

namespace {

const QByteArray kDefaultFile = "1\r\n5\r\n15\r\n0\r\n8\r\n3\r\n#FALSE#\r\n0\r\n";
const char* const kDefaultValues = "1 5 15 0 8 3 0 0";

// The eight file values in file order, for one-line comparisons.
std::string Values() {
    const auto& s = settings();
    return QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8")
        .arg(s.CommPortNumber).arg(s.RetryCount).arg(s.PacketTimeout).arg(s.LinkDebugDisplay)
        .arg(s.InterByteTimeout).arg(s.SpareSetting).arg(int(s.DegreesF)).arg(s.PortProtocol)
        .toStdString();
}

class SettingsFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetProgramState();
        ASSERT_TRUE(dir.isValid());
        session().DataFolder = dir.path();
        SetPrompts(&prompts);
    }
    void TearDown() override {
        SetPrompts(nullptr);
        ResetProgramState();
    }

    void PutFile(const QByteArray& bytes) {
        QFile f(SettingsFilePath());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }
    QByteArray FileBytes() {
        QFile f(SettingsFilePath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

    QTemporaryDir dir;
    ScriptedPrompts prompts;
};

TEST_F(SettingsFileTest, WritesEightCrLfLinesAndReadsThemBack) {
    ASSERT_TRUE(WriteSettingsFile());
    EXPECT_EQ(FileBytes(), kDefaultFile);

    auto& s = settings();
    s = {4, "/dev/pts/3", -1, 30, 1, 12, 32767, true, LOCALPORT_MODULE_8N1};
    ASSERT_TRUE(WriteSettingsFile());
    EXPECT_EQ(FileBytes(), QByteArray("4\r\n-1\r\n30\r\n1\r\n12\r\n32767\r\n#TRUE#\r\n2\r\n"));
    ResetLocalSettings();
    s.CommPortDevice = "/dev/pts/3";
    ASSERT_TRUE(ReadSettingsFile());
    EXPECT_EQ(Values(), "4 -1 30 1 12 32767 1 2");
    EXPECT_EQ(s.CommPortDevice, QStringLiteral("/dev/pts/3")) << "not a file value";
}

TEST_F(SettingsFileTest, AnyBadFileGivesAllDefaultsAndIsRewritten) {
    // Every bad file starts with good non-default values, so a value kept shows.
    const char* const cases[] = {
        nullptr,  // no file
        "",
        "4\r\n-1\r\n30\r\n1\r\n12\r\n7\r\n#TRUE#\r\n",        // seven lines
        "4\r\n-1\r\nabc\r\n1\r\n12\r\n7\r\n#TRUE#\r\n2\r\n",
        "4\r\n-1\r\n30x\r\n1\r\n12\r\n7\r\n#TRUE#\r\n2\r\n",
        "4\r\n\r\n30\r\n1\r\n12\r\n7\r\n#TRUE#\r\n2\r\n",      // blank line: an empty item
        "4\r\n-1\r\n30\r\n1\r\n12\r\n7\r\n#MAYBE#\r\n2\r\n",
        "4\r\n-1\r\n30\r\n1\r\n12\r\n40000\r\n#TRUE#\r\n2\r\n",
        "-32769\r\n-1\r\n30\r\n1\r\n12\r\n7\r\n#TRUE#\r\n2\r\n",
        "4\r\n-1\r\n0\r\n1\r\n12\r\n7\r\n#TRUE#\r\n2\r\n",      // zero reply time-out
        "4\r\n-1\r\n30\r\n1\r\n-5\r\n7\r\n#TRUE#\r\n2\r\n",    // negative inter-byte time-out
        "\"1,2\"\r\n5\r\n15\r\n0\r\n8\r\n3\r\n#FALSE#\r\n0\r\n", // quotes keep the comma
    };
    for (const char* bytes : cases) {
        const char* name = bytes ? bytes : "no file";
        QFile::remove(SettingsFilePath());
        if (bytes) PutFile(bytes);
        settings() = {9, {}, 2, 40, 1, 20, 11, true, 1};
        EXPECT_FALSE(ReadSettingsFile()) << name;
        EXPECT_EQ(Values(), kDefaultValues) << name;
        EXPECT_EQ(FileBytes(), kDefaultFile) << name;
    }
    EXPECT_TRUE(prompts.Shown().isEmpty()) << "a bad settings file is replaced silently";
}

// A settings file is a few hundred bytes: one longer than 16 KiB, or an endless one, is
// a bad file, found so without reading it whole.
TEST_F(SettingsFileTest, OversizedOrEndlessFileGivesDefaults) {
    const QByteArray good = "4\r\n-1\r\n30\r\n1\r\n12\r\n7\r\n#TRUE#\r\n2\r\n";
    const QByteArray atLimit = good + QByteArray(16 * 1024 - good.size(), ' ');
    PutFile(atLimit);
    ASSERT_TRUE(ReadSettingsFile());
    EXPECT_EQ(Values(), "4 -1 30 1 12 7 1 2");

    PutFile(atLimit + ' ');
    EXPECT_FALSE(ReadSettingsFile());
    EXPECT_EQ(Values(), kDefaultValues);
    EXPECT_EQ(FileBytes(), kDefaultFile) << "replaced like any bad file";

    const QString path = SettingsFilePath();
    ASSERT_TRUE(QFile::remove(path));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), path));
    settings() = {9, {}, 2, 40, 1, 20, 11, true, 1};
    QElapsedTimer timer;
    timer.start();
    EXPECT_FALSE(ReadSettingsFile());
    EXPECT_LT(timer.elapsed(), 2000);
    EXPECT_EQ(Values(), kDefaultValues);
    // The replacement is not renamed over the device the link leads to.
    EXPECT_EQ(QFileInfo(path).symLinkTarget(), QStringLiteral("/dev/zero"));
    EXPECT_FALSE(QFileInfo(QStringLiteral("/dev/zero")).isFile());
    EXPECT_TRUE(prompts.Shown().isEmpty());
}

TEST_F(SettingsFileTest, CommaLayoutQuotesBlanksAndBareLineFeedsAreRead) {
    const QByteArray text = "  2, -1  ,\"20\"\r\n0,9\n  3 ,\"#TRUE#\" ,  1\r\nignored,too\r\n";
    PutFile(text);
    ASSERT_TRUE(ReadSettingsFile());
    EXPECT_EQ(Values(), "2 -1 20 0 9 3 1 1");
    EXPECT_EQ(FileBytes(), text) << "a good file is not rewritten";

    // The last line needs no line end; the ends of the range are accepted.
    PutFile("-32768\r\n32767\r\n1\r\n0\r\n1\r\n0\r\n#FALSE#\r\n0");
    ASSERT_TRUE(ReadSettingsFile());
    EXPECT_EQ(Values(), "-32768 32767 1 0 1 0 0 0");
}

TEST_F(SettingsFileTest, DataFolderFallsBackAndWriteFailsWhereNoFolderCanBe) {
    PutFile(kDefaultFile);
    const QString file = SettingsFilePath();
    EXPECT_EQ(ChooseDataFolder(dir.path(), "/prog"), dir.path());
    EXPECT_EQ(ChooseDataFolder(dir.path() + "/a/b", "/prog"), dir.path() + "/a/b");
    EXPECT_TRUE(QDir(dir.path() + "/a/b").exists());
    EXPECT_EQ(ChooseDataFolder(file + "/sub", "/prog"), QStringLiteral("/prog"));
    EXPECT_EQ(ChooseDataFolder(file, "/prog"), QStringLiteral("/prog"));

    session().DataFolder = file;
    EXPECT_FALSE(WriteSettingsFile());
}

} // namespace
