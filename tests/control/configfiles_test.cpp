#include "link/linkhold.h"
#include "control/configfiles.h"
#include "support/configdiff.h"
#include "control/progress.h"
#include "control/session.h"
#include "control/localsettings.h"
#include "model/configfile.h"
#include "model/model.h"
#include "model/target.h"
#include "control/transfer.h"
#include "link/linkstate.h"
#include "support/simfixture.h"
#include "link/transaction.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using namespace korvel;
using namespace korvel::test;

namespace {

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteAll(const QString& path, const QByteArray& text) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text);
}

class ConfigFilesTest : public SimLinkFixture {
protected:
    void SetUp() override {
        SimLinkFixture::SetUp();
        ASSERT_TRUE(dir.isValid());
        target().ChildCount = 1;
        SetDefaultConfiguration();
        session().ConfigLoaded = false;
    }
    QString Path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }

    // A distinctive configuration that passes the check, saved to name.
    QString SaveKnown(const char* name, int children = 1) {
        target().ChildCount = uint8_t(children);
        SetDefaultConfiguration();
        config().SystemConfig[0] = 42;
        config().ContactInputTable[1].Flags[3] = 0x41;
        config().AnalogConfigTable[0].LowThreshold[2] = 777;
        config().OutputConfigTable[children].PulseWidth[7] = 9;
        config().FleetSyncConfig.InputTagOn[3] = "Pump, north";
        config().NmeaConfig.Custom = "\"quoted";
        config().TempConfigTable[2].HighThreshold = 300;
        const QString path = Path(name);
        prompts.QueueFile(path);
        EXPECT_EQ(SaveConfigurationFile(), vbYes);
        return path;
    }
    // Something clearly different from SaveKnown's configuration.
    void Scramble() {
        config().SystemConfig[0] = 7;
        config().ContactInputTable[1].Flags[3] = 0;
        config().FleetSyncConfig.InputTagOn[3] = "other";
        config().NmeaConfig.Custom = "x";
    }
    QString Header(int children, const char* version = "Version 01.00.00") const {
        return QStringLiteral("Korvel\r\n%1\r\nChilds=%2\r\n\r\n").arg(QLatin1String(version)).arg(children);
    }

    QTemporaryDir dir;
};

TEST_F(ConfigFilesTest, SaveWritesTheFileText) {
    const QString path = SaveKnown("a.ZPF");
    EXPECT_EQ(ReadAll(path), ConfigurationFileText());
    ASSERT_EQ(prompts.Shown().size(), 1);
    EXPECT_EQ(prompts.Shown()[0].kind, ShownBox::SaveFile);
    EXPECT_EQ(prompts.Shown()[0].title, QStringLiteral("Save As"));
    // No temporary file is left beside it.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("a.ZPF")});
}

TEST_F(ConfigFilesTest, SaveStopsAtTheCheckOrACancelledDialog) {
    config().ContactInputTable[0].LocalOutput[0] = 20;
    EXPECT_EQ(SaveConfigurationFile(), vbCancel);
    ASSERT_EQ(prompts.Shown().size(), 1);
    EXPECT_EQ(prompts.Shown()[0].title, QStringLiteral("Configuration Check"));  // no file dialog followed

    prompts.Clear();
    config().ContactInputTable[0].LocalOutput[0] = 0;
    prompts.QueueFile(QString());
    EXPECT_EQ(SaveConfigurationFile(), vbCancel);
    EXPECT_EQ(prompts.Shown().size(), 1);
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());
}

TEST_F(ConfigFilesTest, SaveErrorIsReportedAndTheNextSaveWorks) {
    prompts.QueueFile(Path("no-such-folder/a.ZPF"));
    EXPECT_EQ(SaveConfigurationFile(), vbCancel);
    ASSERT_EQ(prompts.Shown().size(), 2);
    const QString text = prompts.Shown()[1].text;
    EXPECT_TRUE(text.startsWith(QStringLiteral("File error: "))) << text.toStdString();
    EXPECT_TRUE(text.endsWith(QStringLiteral(", please select another filename"))) << text.toStdString();
    EXPECT_GT(text.size(), QStringLiteral("File error: , please select another filename").size());
    EXPECT_EQ(prompts.Shown()[1].buttons, vbOKOnly);

    prompts.QueueFile(Path("b.ZPF"));
    EXPECT_EQ(SaveConfigurationFile(), vbYes);
    EXPECT_EQ(ReadAll(Path("b.ZPF")), ConfigurationFileText());
}

TEST_F(ConfigFilesTest, AFailedWriteKeepsThePreviousFile) {
    const QString path = Path("keep.ZPF");
    WriteAll(path, "the previous file\r\n");
    // Files may grow to 1000 bytes only, so the write fails part way through.
    int16_t result = 0;
    ASSERT_TRUE(WithFileSizeLimit(1000, [&] {
        prompts.QueueFile(path);
        result = SaveConfigurationFile();
    }));

    EXPECT_EQ(result, vbCancel);
    EXPECT_EQ(ReadAll(path), QByteArray("the previous file\r\n"));
    ASSERT_EQ(prompts.Shown().size(), 2);
    EXPECT_TRUE(prompts.Shown()[1].text.startsWith(QStringLiteral("File error: ")));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("keep.ZPF")});
}

TEST_F(ConfigFilesTest, OpenReadsTheFileBack) {
    const QString path = SaveKnown("a.ZPF", 3);
    const auto saved = std::make_unique<StationConfig>(config());
    Scramble();
    target().ChildCount = 0;
    prompts.Clear();
    prompts.QueueFile(path);
    EXPECT_EQ(OpenConfigurationFile(), 1);
    EXPECT_EQ(ConfigDifferences(*saved, config()), QStringList());
    EXPECT_EQ(config().FleetSyncConfig.InputTagOn[3], QByteArray("Pump, north"));
    EXPECT_EQ(config().NmeaConfig.Custom, QByteArray("\"quoted"));
    EXPECT_EQ(target().ChildCount, 3);
    EXPECT_EQ(host->PanelText(4), QStringLiteral("File loaded: ") + path);
    ASSERT_EQ(prompts.Shown().size(), 1);
    EXPECT_EQ(prompts.Shown()[0].kind, ShownBox::OpenFile);
    EXPECT_EQ(prompts.Shown()[0].title, QStringLiteral("Open"));
}

TEST_F(ConfigFilesTest, CancelledOpenTouchesNothing) {
    Scramble();
    const auto before = std::make_unique<StationConfig>(config());
    prompts.QueueFile(QString());
    EXPECT_EQ(OpenConfigurationFile(), 0);
    EXPECT_EQ(ConfigDifferences(*before, config()), QStringList());
    EXPECT_EQ(host->PanelText(4), QString());
}

struct HeaderCase {
    const char* name;
    QByteArray text;
    const char* message;  // nullptr: accepted
};

TEST_F(ConfigFilesTest, HeaderChecks) {
    const QByteArray body = [] {
        QByteArray t = ConfigurationFileText();
        // Everything after the child line and its blank line.
        return t.mid(t.indexOf("\r\n\r\n") + 4);
    }();
    const char* invalidProduct = "File header is invalid for this product, please select another file";
    const char* tooShort =
        "This file is either invalid or from a previous version for this product, please select another file";
    const char* old = "The version configuration is invalid for this product, please select another file";
    const char* children = "File header configuration is invalid for this product, please select another file";
    const HeaderCase cases[] = {
        {"product", "Pellar\r\nVersion 01.00.00\r\nChilds=1\r\n\r\n" + body, invalidProduct},
        {"lowercase product", "korvel\r\nVersion 01.00.00\r\nChilds=1\r\n\r\n" + body, invalidProduct},
        {"15 characters", "Korvel\r\nVersion 01.00.0\r\nChilds=1\r\n\r\n" + body, tooShort},
        {"0.0.17", "Korvel\r\nVersion 00.00.17\r\nChilds=1\r\n\r\n" + body, old},
        {"0.0.18", "Korvel\r\nVersion 00.00.18\r\nChilds=1\r\n\r\n" + body, nullptr},
        {"1.0.0", "Korvel\r\nVersion 01.00.00\r\nChilds=1\r\n\r\n" + body, nullptr},
        {"0.1.0", "Korvel\r\nVersion 00.01.00\r\nChilds=1\r\n\r\n" + body, nullptr},
        {"8 children", "Korvel\r\nVersion 01.00.00\r\nChilds=8\r\n\r\n" + body, children},
        {"12 children", "Korvel\r\nVersion 01.00.00\r\nChilds=12\r\n\r\n" + body, children},
    };
    target().ChildCount = 1;
    SetDefaultConfiguration();
    for (const HeaderCase& c : cases) {
        SCOPED_TRACE(c.name);
        Scramble();
        target().ChildCount = 1;
        const auto before = std::make_unique<StationConfig>(config());
        const QString path = Path("h.ZPF");
        WriteAll(path, c.text);
        prompts.Clear();
        prompts.QueueFile(path);
        const int16_t r = OpenConfigurationFile();
        if (c.message) {
            EXPECT_EQ(r, 0);
            ASSERT_EQ(prompts.Shown().size(), 2);
            EXPECT_EQ(prompts.Shown()[1].text, QString::fromLatin1(c.message));
            EXPECT_EQ(prompts.Shown()[1].buttons, vbOKOnly);
            // A rejected file leaves what was in memory, child count included.
            EXPECT_EQ(ConfigDifferences(*before, config()), QStringList());
            EXPECT_EQ(target().ChildCount, 1);
        } else {
            EXPECT_EQ(r, 1);
            EXPECT_EQ(prompts.Shown().size(), 1);
        }
    }
}

TEST_F(ConfigFilesTest, CorruptFileLeavesMemoryAsItWas) {
    SaveKnown("a.ZPF");
    QByteArray text = ReadAll(Path("a.ZPF"));
    Scramble();
    session().ConfigLoaded = true;
    const auto before = std::make_unique<StationConfig>(config());

    const QByteArray cut = text.left(text.size() - 2);  // no final blank line
    ASSERT_TRUE(cut.endsWith("\r\n"));
    const QByteArray badValue = QByteArray(text).replace("MyAddress=42", "MyAddress=abc");
    const QByteArray outOfRange = QByteArray(text).replace("MyAddress=42", "MyAddress=300");
    // Beyond what the blocks carry: ten bits of a set point, 16 of a FleetSync number.
    const QByteArray setPoint = QByteArray(text).replace("low_voltage=777", "low_voltage=9999");
    const QByteArray fleet = QByteArray(text).replace("FS_FleetNumber=100", "FS_FleetNumber=65536");
    ASSERT_NE(setPoint, text);
    ASSERT_NE(fleet, text);
    for (const QByteArray& bad : {cut, badValue, outOfRange, setPoint, fleet}) {
        WriteAll(Path("bad.ZPF"), bad);
        prompts.Clear();
        prompts.QueueFile(Path("bad.ZPF"));
        EXPECT_EQ(OpenConfigurationFile(), 0);
        EXPECT_EQ(prompts.Shown().size(), 1);  // only the dialog: no box
        EXPECT_EQ(host->PanelText(4), QStringLiteral("File Error, File is corrupt"));
        EXPECT_EQ(ConfigDifferences(*before, config()), QStringList());
        EXPECT_TRUE(session().ConfigLoaded) << "what is in memory is still loaded";
    }

    prompts.Clear();
    prompts.QueueFile(Path("missing.ZPF"));
    EXPECT_EQ(OpenConfigurationFile(), 0);
    EXPECT_EQ(host->PanelText(4), QStringLiteral("File Error, File is corrupt"));
}

TEST_F(ConfigFilesTest, DefaultsFollowTheChildCountInForce) {
    // Groups 2 and 3 hold earlier contents; the file has three children but lines only
    // for group 0 and 1 of the contact inputs.
    target().ChildCount = 3;
    SetDefaultConfiguration();
    config().ContactInputTable[2].Flags[0] = 0x11;
    config().ContactInputTable[1].Flags[0] = 0x22;
    target().ChildCount = 1;
    const QByteArray text = Header(3).toLatin1() +
                            "[ichans]\r\ngroup=0\r\nchannel=0\r\nccb=5\r\ngroup=1\r\nchannel=0\r\nccb=6\r\n\r\n";
    WriteAll(Path("c.ZPF"), text);
    prompts.QueueFile(Path("c.ZPF"));
    EXPECT_EQ(OpenConfigurationFile(), 1);
    EXPECT_EQ(target().ChildCount, 3);
    EXPECT_EQ(config().ContactInputTable[0].Flags[0], 5);
    EXPECT_EQ(config().ContactInputTable[1].Flags[0], 6);
    EXPECT_EQ(config().ContactInputTable[1].Flags[1], 0x40) << "group 1 was set to its defaults";
    EXPECT_EQ(config().ContactInputTable[2].Flags[0], 0x11) << "group 2 was beyond the defaults";
}

TEST_F(ConfigFilesTest, TerminatePrompt) {
    auto terminate = [this](int answer) {
        prompts.Clear();
        prompts.QueueAnswer(answer);
        const int16_t r = ConfirmTerminateConnection();
        EXPECT_EQ(prompts.Shown()[0].text, QStringLiteral("Save any changes to disk file before exiting?"));
        EXPECT_EQ(prompts.Shown()[0].title, QStringLiteral("Terminate Connection"));
        EXPECT_EQ(prompts.Shown()[0].buttons, vbYesNoCancel);
        EXPECT_EQ(prompts.Shown()[0].icon, vbQuestion);
        return r;
    };
    EXPECT_EQ(terminate(vbNo), vbNo);
    EXPECT_EQ(terminate(vbCancel), vbCancel);

    // Yes and a save dialog cancelled: the same as Cancel.
    prompts.Clear();
    prompts.QueueAnswer(vbYes);
    prompts.QueueFile(QString());
    EXPECT_EQ(ConfirmTerminateConnection(), vbCancel);

    // Yes while the check fails: its message, no file dialog, Cancel.
    config().TempConfigTable[0].LowLocalOutput = 9;
    prompts.Clear();
    prompts.QueueAnswer(vbYes);
    EXPECT_EQ(ConfirmTerminateConnection(), vbCancel);
    ASSERT_EQ(prompts.Shown().size(), 2);
    EXPECT_EQ(prompts.Shown()[1].title, QStringLiteral("Configuration Check"));
    config().TempConfigTable[0].LowLocalOutput = 0;

    prompts.Clear();
    prompts.QueueAnswer(vbYes);
    prompts.QueueFile(Path("t.ZPF"));
    EXPECT_EQ(ConfirmTerminateConnection(), vbYes);
    EXPECT_TRUE(QFile::exists(Path("t.ZPF")));
}

// A configuration read from the module, saved, opened again after editing and written
// back reaches the module byte for byte unchanged.
struct StationCase {
    const char* name;
    bool pellar;
    int childrenOrMask;
};

class FileRoundTripTest : public ConfigFilesTest, public ::testing::WithParamInterface<StationCase> {
protected:
    void SetUp() override {
        ConfigFilesTest::SetUp();
        settings().PacketTimeout = 20;
        SetConnectionReplyTimeout(20);
        SetProgressView(&view);
    }
    void TearDown() override {
        SetProgressView(nullptr);
        ConfigFilesTest::TearDown();
    }
    MemoryProgressView view;
};

TEST_P(FileRoundTripTest, ModuleEndsUnchanged) {
    const StationCase& c = GetParam();
    if (c.pellar) sim.SetPellar(c.childrenOrMask);
    else sim.SetKorvel(c.childrenOrMask);
    ConnectOverTcp();
    // The target check leaves the Pellar flag behind for the read.
    target().PellarDevice = c.pellar;
    const auto before = sim.Blocks();
    ResetStationConfig();
    ASSERT_EQ(ReadConfiguration(LinkHold()), 0);
    prompts.QueueFile(Path("station.ZPF"));
    ASSERT_EQ(SaveConfigurationFile(), vbYes);

    // Edits after the save, which the file must undo.
    SetDefaultConfiguration();
    config().SystemConfig[3] = 1;
    config().FleetSyncConfig.AnalogTag[0] = "edited";
    config().NmeaConfig.Init1 = "edited";

    prompts.QueueFile(Path("station.ZPF"));
    ASSERT_EQ(OpenConfigurationFile(), 1);
    sim.ClearReceived();
    ASSERT_EQ(WriteConfiguration(LinkHold()), 0);
    const auto after = sim.Blocks();
    ASSERT_EQ(after.size(), before.size());
    for (auto it = before.begin(); it != before.end(); ++it) {
        const QByteArray now = after.value(it.key());
        qsizetype first = 0;
        while (first < now.size() && first < it.value().size() && now[first] == it.value()[first]) ++first;
        EXPECT_EQ(now, it.value()) << "block " << it.key().first << "/" << it.key().second << " differs from frame byte "
                                   << first + 7;
    }
    EXPECT_TRUE(sim.BlockWrites().size() > 0);
    EXPECT_EQ(prompts.Unanswered(), 0);
}

INSTANTIATE_TEST_SUITE_P(Stations, FileRoundTripTest,
                         ::testing::Values(StationCase{"Korvel0", false, 0}, StationCase{"Korvel7", false, 7},
                                           StationCase{"PellarBoards21", true, 0x21},
                                           StationCase{"PellarAllBoards", true, 0xFF}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
