// The data logger window driven offscreen: its settings and run lengths, and against the
// simulated module the log read into files (whole, rolled over, short, refused, cancelled
// or failed), the timers read and cleared, and the logger started and stopped.
#include "app/boundedfield.h"
#include "model/model.h"
#include "model/systemvalues.h"
#include "model/target.h"
#include "link/frame.h"
#include "monitor/frmLogger.h"
#include "model/loggerdata.h"
#include "model/loggerfiles.h"
#include "control/progress.h"
#include "control/session.h"
#include "control/systemcommands.h"
#include "support/appfixture.h"
#include "support/dialoghelpers.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QTimer>

using namespace korvel;
using namespace korvel::test;

namespace {

const QDateTime kFileTime(QDate(2026, 12, 9), QTime(16, 31, 5));
const QByteArray kStart = Bytes({7, 12, 26, 23, 59, 30});  // 7 Dec 2026 23:59:30

QStringList LogFiles(const QString& folder) {
    return QDir(folder).entryList({QStringLiteral("*.slf"), QStringLiteral("*.mlf")}, QDir::Files, QDir::Name);
}

QByteArray ReadAll(const QString& path) {
    if (path.isEmpty()) return {};
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray Header(const char* kind) {
    return QByteArray("OMRU ") + kind + " Log - Version " + LogFileVersion().toLatin1() + "\r\n" +
           LogFileDateLine(kFileTime, QLocale::system()).toLatin1() + "\r\n";
}

// The sample file the module's records must give: each record's time is the start plus
// its serial times the interval, worked out here with the calendar's own arithmetic.
QByteArray ExpectedSampleFile(const QByteArray& records, int intervalSeconds) {
    const QDateTime start(QDate(2000 + kStart[2], kStart[1], kStart[0]), QTime(kStart[3], kStart[4], kStart[5]));
    QByteArray text = Header("Sample");
    for (int i = 0; i + 4 <= records.size(); i += 4) {
        const auto b = [&](int k) { return int(uint8_t(records[i + k])); };
        const QDateTime at = start.addSecs(qint64(b(3) * 256 + b(2)) * intervalSeconds);
        text += QStringLiteral("%1,%2,%3,%4,%5,%6,%7,%8\r\n")
                    .arg(b(1) >> 4)
                    .arg((b(1) & 15) * 256 + b(0))
                    .arg(at.time().hour())
                    .arg(at.time().minute())
                    .arg(at.time().second())
                    .arg(at.date().day())
                    .arg(at.date().month())
                    .arg(at.date().year())
                    .toLatin1();
    }
    return text;
}

QByteArray ExpectedMinMaxFile(const QByteArray& records) {
    QByteArray text = Header("Min Max");
    for (int i = 0; i + 11 <= records.size(); i += 11) {
        const auto b = [&](int k) { return int(uint8_t(records[i + k])); };
        text += QStringLiteral("%1,%2,%3,%4,%5,%6,%7,%8,%9\r\n")
                    .arg(b(0))
                    .arg(b(1) + 256 * b(2))
                    .arg(b(3) + 256 * b(4))
                    .arg(b(5))
                    .arg(b(6))
                    .arg(b(7))
                    .arg(b(8))
                    .arg(b(9))
                    .arg(2000 + b(10))
                    .toLatin1();
    }
    return text;
}

class LoggerWindowTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        LoadKorvel(1);
        frmLogger::SetFileClock([] { return kFileTime; });
    }
    void TearDown() override {
        frmLogger::SetFileClock({});
        delete frmLogger::Instance();
        AppFixture::TearDown();
    }
    void GoOnline() {
        ConnectOverTcp();
        session().Online = 1;
        target().TempSensorInfo = 0x0F;
        target().TempSensorsKnown = true;
    }
    frmLogger& Show() {
        frmLogger::Run(nullptr);
        frmLogger* d = frmLogger::Instance();
        EXPECT_NE(d, nullptr);
        EXPECT_TRUE(ActiveAsShown(d));
        return *d;
    }
    static void Set(int element, double value) { config().SystemConfig[element] = value; }
    // Starts the logger from the window with the split and rollover of the configuration,
    // so the module formats its memory as the window computed it, then logs into it.
    frmLogger& StartedWith(int ratio, bool rollover) {
        Set(LOG_RATIO, ratio);
        Set(LOG_SYSTEM, rollover ? 2 : 0);
        Set(LOG_ANALOGS, 3);
        EXPECT_TRUE(PrepareLoggerWindow());  // as the menu opens it: is the logger running?
        frmLogger& d = Show();
        prompts.QueueAnswer(vbYes);
        d.cmdStartLog()->click();
        EXPECT_TRUE(sim.LoggerRunning()) << ShownTexts(prompts).join('|').toStdString();
        sim.SetLoggerStartTime(kStart);
        sim.ClearReceived();
        prompts.Clear();
        return d;
    }
    // The start indices of the block requests of command, in order.
    QList<int> BlockStarts(int command) const {
        QList<int> starts;
        for (const QByteArray& f : sim.Received())
            if (f.size() > 8 && uint8_t(f[6]) == command && f[5] == PKT_GET)
                starts << uint8_t(f[7]) + 256 * uint8_t(f[8]);
        return starts;
    }
    QString File(const char* extension) const {
        const QStringList files = QDir(dir.path()).entryList({QStringLiteral("*.") + extension}, QDir::Files);
        return files.size() == 1 ? dir.filePath(files[0]) : QString();
    }
    static void ReleaseDeferred() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }
};

TEST_F(LoggerWindowTest, RunLengthsFollowTheSplitTheIntervalsAndTheLoggedInputs) {
    Set(LOG_ANALOGS, 1);
    Set(SAMPLE_TIME, 1);
    Set(ACCUMULATING_TIME, 88);
    Set(LOG_RATIO, 50);
    frmLogger& d = Show();
    EXPECT_EQ(d.txtNumOfSamples()->text(), "00000:00:51:12");
    EXPECT_EQ(d.txtNumOfMinMax()->text(), "01117:00:00:00");
    EXPECT_EQ(QList<QString>({d.txtSamples()->text(), d.txtMinMax()->text()}), QList<QString>({"50%", "50%"}));
    EXPECT_EQ(d.SampleCapacity(), 3072);

    d.chkAnalogChannels(1)->setChecked(true);  // two inputs share the memory
    EXPECT_EQ(d.txtNumOfSamples()->text(), "00000:00:25:36");
    d.chkInputChannels(5)->setChecked(true);  // contact inputs take none of it
    EXPECT_EQ(d.txtNumOfSamples()->text(), "00000:00:25:36");
    d.cboSampleType()->setCurrentIndex(SAMPLE_MINUTES);
    EXPECT_EQ(d.txtNumOfSamples()->text(), "00001:01:36:00");
    d.Slider1()->setValue(100);
    EXPECT_EQ(d.txtNumOfSamples()->text(), "00000:00:00:00");
    EXPECT_EQ(d.txtSamples()->text(), "0%");
    EXPECT_EQ(d.MinMaxCapacity(), 2234);
    d.Slider1()->setValue(0);
    EXPECT_EQ(d.txtNumOfMinMax()->text(), "00000:00:00:00");
    EXPECT_EQ(d.SampleCapacity(), 6144);

    // Off line: the module buttons stay off and no state is shown.
    for (QPushButton* b : {d.cmdGetlog(), d.cmdRams(), d.cmdStartLog()}) EXPECT_FALSE(b->isEnabled());
    EXPECT_FALSE(d.lblWarn()->isVisibleTo(&d));
    EXPECT_TRUE(d.txtHintPoller()->toPlainText().endsWith("Return to this window and start the logger."));
    EXPECT_EQ(SharedAccessKeys(&d), QStringList());
}

TEST_F(LoggerWindowTest, OkStoresTheLoggerValuesAndCancelStoresNothing) {
    Set(START_UP_OPTIONS, 0x41);
    Set(LOG_SYSTEM, 0xFC);
    Set(LOG_TEMPERATURES, 0xA5);  // sensors never seen: the bits stay
    StationConfig before = config();
    frmLogger& d = Show();
    d.chkAutoRun()->setChecked(true);
    d.Slider1()->setValue(30);
    d.cmdCancel()->click();
    ReleaseDeferred();
    EXPECT_EQ(frmLogger::Instance(), nullptr);
    EXPECT_EQ(std::memcmp(config().SystemConfig, before.SystemConfig, sizeof before.SystemConfig), 0);

    frmLogger& e = Show();
    e.chkAutoRun()->setChecked(true);
    e.chkLogRollOver()->setChecked(true);
    e.chkInputChannels(7)->setChecked(true);
    e.Slider1()->setValue(30);
    e.cboAccumType()->setCurrentIndex(ACCUMULATE_MINUTES);
    Enter(e.updAccInterval(), QStringLiteral("15"));
    e.cmdOK()->click();
    EXPECT_EQ(SystemValue(config(), START_UP_OPTIONS), 0x43);
    EXPECT_EQ(SystemValue(config(), LOG_SYSTEM), 2) << "only the airtime and rollover bits are the logger's";
    EXPECT_EQ(SystemValue(config(), LOG_RATIO), 30);
    EXPECT_EQ(SystemValue(config(), LOG_INPUTS), 0x80);
    EXPECT_EQ(SystemValue(config(), ACCUMULATING_TIME), 15);
    EXPECT_EQ(SystemValue(config(), LOG_TEMPERATURES), 0xA5);
}

TEST_F(LoggerWindowTest, KnownSensorsLimitTheTemperatureInputsAndIntervalsAreChecked) {
    GoOnline();
    Set(LOG_TEMPERATURES, 0x81);
    frmLogger& d = Show();
    EXPECT_TRUE(d.chkTemperatureChannels(0)->isChecked());
    EXPECT_FALSE(d.chkTemperatureChannels(7)->isEnabled());
    EXPECT_FALSE(d.chkTemperatureChannels(7)->isChecked());

    d.updSampleInterval()->setFocus();
    Enter(d.updSampleInterval(), QStringLiteral("61"));
    prompts.QueueAnswer(vbOK);
    d.cmdOK()->click();
    EXPECT_EQ(ShownTexts(prompts), QStringList{"Value greater than maximum, value is reset to maximum"});
    EXPECT_EQ(frmLogger::Instance(), &d) << "the field keeps the focus and the window stays";
    d.cmdOK()->click();
    EXPECT_EQ(SystemValue(config(), LOG_TEMPERATURES), 0x01) << "no sensor, no logging";
    EXPECT_EQ(SystemValue(config(), SAMPLE_TIME), 60);
}

TEST_F(LoggerWindowTest, AccessKeysTakeTheTypedIntervalOrRefuseItBeforeTheModuleHearsOfIt) {
    GoOnline();
    Set(LOG_ANALOGS, 3);
    frmLogger& d = Show();
    d.cboSampleType()->setCurrentIndex(SAMPLE_MINUTES);
    Enter(d.updSampleInterval(), QStringLiteral("45"));
    d.chkAutoRun()->setFocus(Qt::TabFocusReason);  // 45 checked and taken
    const auto sentSampleTime = [this] { return int(uint8_t(sim.BlockData(sim::kBlockSystem, 0)[SAMPLE_TIME + 1])); };

    Enter(d.updSampleInterval(), QStringLiteral("30"));
    prompts.QueueAnswer(vbYes);
    PressAccessKey(d.cmdStartLog());
    ASSERT_TRUE(sim.LoggerRunning());
    EXPECT_EQ(d.updSampleInterval()->Text(), QStringLiteral("30"));
    EXPECT_EQ(TakeLoggerSettings(config()).SampleInterval, 30);
    EXPECT_EQ(sentSampleTime(), SystemValue(config(), SAMPLE_TIME)) << "the module logs what the window shows";

    // Past the maximum: its message, the box reset, and no command reaches the module.
    sim.ClearReceived();
    prompts.Clear();
    for (QPushButton* b : {d.cmdStartLog(), d.cmdGetlog(), d.cmdRams()}) {
        Enter(d.updSampleInterval(), QStringLiteral("88"));
        PressAccessKey(b);
        EXPECT_EQ(ShownTexts(prompts).value(0), "Value greater than maximum, value is reset to maximum")
            << b->objectName().toStdString();
        EXPECT_EQ(prompts.Shown().size(), 1) << "nothing is asked after the refusal";
        EXPECT_TRUE(sim.Received().isEmpty());
        EXPECT_EQ(d.updSampleInterval()->Text(), QStringLiteral("60"));
        EXPECT_EQ(ControlName(QApplication::focusWidget()), QStringLiteral("updSampleInterval"));
        prompts.Clear();
    }
    EXPECT_TRUE(sim.LoggerRunning());
    EXPECT_EQ(TakeLoggerSettings(config()).SampleInterval, 30);

    // The reset value passes: the logger stops with 60 stored.
    prompts.QueueAnswer(vbYes);
    PressAccessKey(d.cmdStartLog());
    EXPECT_FALSE(sim.LoggerRunning());
    EXPECT_EQ(TakeLoggerSettings(config()).SampleInterval, 60);
}

TEST_F(LoggerWindowTest, AfterARefusedSampleTimeTheSliderAndTheMinMaxArrowsMoveNothing) {
    Set(LOG_RATIO, 50);
    const StationConfig before = config();
    frmLogger& d = Show();
    const long minMax = d.updAccInterval()->Value();
    std::vector<MousePress> presses = UpDownPresses(d.updAccInterval());
    for (const MousePress& p : SliderPresses(d.Slider1())) presses.push_back(p);
    ExpectEachPressRefused(prompts, d.updSampleInterval(), QStringLiteral("77"),
                           QStringLiteral("Value greater than maximum, value is reset to maximum"), QStringLiteral("60"),
                           presses, [&] {
                               EXPECT_EQ(d.Slider1()->value(), 50);
                               EXPECT_EQ(d.txtSamples()->text(), "50%");
                               EXPECT_EQ(d.updAccInterval()->Value(), minMax);
                               EXPECT_EQ(d.updSampleInterval()->Value(), TakeLoggerSettings(before).SampleInterval);
                           });
    d.cmdCancel()->click();
    EXPECT_EQ(std::memcmp(config().SystemConfig, before.SystemConfig, sizeof before.SystemConfig), 0);
}

TEST_F(LoggerWindowTest, ARefusedSampleTimeKeepsTheFocusInTheWindowAndStartAndOkTakeWhatItShows) {
    GoOnline();
    Set(LOG_ANALOGS, 3);
    frmLogger& d = Show();
    d.cboSampleType()->setCurrentIndex(SAMPLE_MINUTES);
    const int shownBefore = TakeLoggerSettings(config()).SampleInterval;
    QLineEdit* box = d.updSampleInterval()->Box();
    const bool autoRun = d.chkAutoRun()->isChecked();
    // Each way of leaving the box or giving a command from it.
    const std::pair<const char*, std::function<void()>> leaves[] = {
        {"Tab", [&] { QTest::keyClick(box, Qt::Key_Tab); }},
        {"Enter", [&] { QTest::keyClick(box, Qt::Key_Return); }},
        {"keypad Enter", [&] { QTest::keyClick(box, Qt::Key_Enter, Qt::KeypadModifier); }},
        {"Alt+T", [&] { PressAccessKey(d.cmdRams()); }},
        {"a click", [&] { QTest::mouseClick(d.chkAutoRun(), Qt::LeftButton); }},
    };
    for (const auto& [name, leave] : leaves) {
        prompts.Clear();
        Enter(d.updSampleInterval(), QStringLiteral("77"));
        leave();
        ASSERT_EQ(prompts.Shown().size(), 1) << name;
        EXPECT_EQ(prompts.Shown()[0].owner, &d) << name << ": closing the box gives the logger the focus back";
        EXPECT_EQ(ControlName(QApplication::focusWidget()), "updSampleInterval") << name;
        EXPECT_EQ(box->selectedText(), "60") << name;
        EXPECT_EQ(frmLogger::Instance(), &d) << name;
        EXPECT_TRUE(sim.Received().isEmpty()) << name;
        EXPECT_TRUE(d.isActiveWindow()) << name;
        // What is typed next replaces the reset text, which a full box would refuse.
        TypeAtFocus(QStringLiteral("5"));
        EXPECT_EQ(box->text(), "5") << name;
        TypeKey(box, Qt::Key_Backspace);
        TypeAtFocus(QStringLiteral("60"));
    }
    EXPECT_EQ(d.chkAutoRun()->isChecked(), autoRun) << "the refused click changed nothing";
    EXPECT_EQ(TakeLoggerSettings(config()).SampleInterval, shownBefore);

    // Start with the mouse: the box is left, its 60 passes, and 60 is what the module gets.
    prompts.Clear();
    prompts.QueueAnswer(vbYes);
    QTest::mouseClick(d.cmdStartLog(), Qt::LeftButton);
    ASSERT_TRUE(sim.LoggerRunning()) << ShownTexts(prompts).join('|').toStdString();
    EXPECT_EQ(prompts.Shown().last().owner, &d) << "Start's question belongs to the logger";
    EXPECT_TRUE(d.isActiveWindow());
    EXPECT_EQ(TakeLoggerSettings(config()).SampleInterval, 60);
    EXPECT_EQ(int(uint8_t(sim.BlockData(sim::kBlockSystem, 0)[SAMPLE_TIME + 1])), SystemValue(config(), SAMPLE_TIME));

    // OK after another refusal stores the 60 on screen, not the 77 typed nor an older value.
    Enter(d.updSampleInterval(), QStringLiteral("5"));
    QTest::keyClick(box, Qt::Key_Tab);
    Enter(d.updSampleInterval(), QStringLiteral("99"));
    QTest::keyClick(box, Qt::Key_Tab);
    QTest::mouseClick(d.cmdOK(), Qt::LeftButton);
    EXPECT_EQ(TakeLoggerSettings(config()).SampleInterval, 60);
    EXPECT_FALSE(d.isVisible());
}

TEST_F(LoggerWindowTest, ASampleTimeBelowTheSleepTimeIsRaisedAndOkStays) {
    Set(START_UP_OPTIONS, 0x80);
    Set(SLEEP_TIME, 65);
    Set(SAMPLE_TIME, 10);
    frmLogger& d = Show();
    prompts.QueueAnswer(vbOK);
    d.cmdOK()->click();
    ASSERT_EQ(prompts.Shown().size(), 1);
    EXPECT_EQ(prompts.Shown()[0].text,
              "Sample time is less than the value set in the sleep time.\n\rLogger sample time will be increased to "
              "the same value as sleep time.");
    EXPECT_EQ(frmLogger::Instance(), &d);
    EXPECT_EQ(d.cboSampleType()->currentIndex(), SAMPLE_MINUTES);
    EXPECT_EQ(d.updSampleInterval()->Value(), 1);
    EXPECT_EQ(SystemValue(config(), SAMPLE_TIME), 65);
    d.cmdOK()->click();
    ReleaseDeferred();
    EXPECT_EQ(frmLogger::Instance(), nullptr);
}

TEST_F(LoggerWindowTest, TheMenuAsksWhetherTheLoggerRunsAndTheStateShowsForThreeSeconds) {
    GoOnline();
    sim.SetLoggerRunning(true);
    Open();
    window->SetMenuEnabled(MenuItem::mnuLogger, true);
    Trigger(MenuItem::mnuLogger);
    frmLogger* d = frmLogger::Instance();
    ASSERT_NE(d, nullptr);
    ASSERT_EQ(sim.Received().size(), 1);
    EXPECT_EQ(sim.Received()[0].mid(5, 2), Bytes({PKT_GET, CMD_LOGGER_STOP}));
    EXPECT_TRUE(sim.LoggerRunning()) << "asking stops nothing";
    EXPECT_EQ(Shown(d->cmdStartLog()->text()), "Stop Logger");
    EXPECT_EQ(d->lblWarn()->text(), "Logger is running");
    EXPECT_TRUE(d->lblWarn()->isVisibleTo(d));
    EXPECT_EQ(d->tmrFlasher()->interval(), 3000);
    d->tmrFlasher_Timer();
    EXPECT_FALSE(d->lblWarn()->isVisibleTo(d));
    EXPECT_FALSE(d->tmrFlasher()->isActive());
}

TEST_F(LoggerWindowTest, StartAlwaysConfirmsTheWholeMemoryGoesAndStopConfirmsToo) {
    GoOnline();
    Set(LOG_RATIO, 100);  // no sample memory: the min/max records still go
    Set(LOG_ANALOGS, 0);
    Set(LOG_INPUTS, 0);
    Set(LOG_TEMPERATURES, 0);
    frmLogger& d = Show();
    d.chkInputChannels(2)->setChecked(true);  // contact inputs alone may start it
    sim.FillLogger(0, 0, 5);
    prompts.QueueAnswer(vbNo);
    d.cmdStartLog()->click();
    EXPECT_EQ(ShownTexts(prompts), QStringList{"Starting the data logger will clear the sample and min/max buffers. Continue?"});
    EXPECT_TRUE(sim.Received().isEmpty());
    EXPECT_FALSE(d.lblWarn()->isVisibleTo(&d));

    prompts.QueueAnswer(vbYes);
    d.cmdStartLog()->click();
    EXPECT_TRUE(sim.LoggerRunning());
    EXPECT_TRUE(sim.MinMaxRecords().isEmpty());
    // The settings go with the system block before the start.
    ASSERT_EQ(sim.BlockWrites(), QList<sim::BlockKey>{sim::BlockKey(sim::kBlockSystem, 0)});
    EXPECT_EQ(sim.MinMaxCapacity(), 2234);
    EXPECT_EQ(Shown(d.cmdStartLog()->text()), "Stop Logger");
    EXPECT_TRUE(loggerData().LoggerRunning);

    prompts.Clear();
    prompts.QueueAnswer(vbYes);
    d.cmdStartLog()->click();
    EXPECT_EQ(prompts.Shown()[0].title, "Stopping data logger...");
    EXPECT_FALSE(sim.LoggerRunning());
    EXPECT_EQ(Shown(d.cmdStartLog()->text()), "Start Logger");
}

TEST_F(LoggerWindowTest, AWholeReadAtEachSplitGivesTheExactFiles) {
    GoOnline();
    Set(SAMPLE_TIME, 2);  // two seconds
    struct Split {
        int ratio, instants, minMax, samplesHeld, minMaxHeld;
    };
    for (const Split& split : {Split{50, 1536, 1117, 3072, 1117}, Split{0, 3072, 0, 6143, 0},
                               Split{100, 0, 2234, 0, 2234}}) {
        SCOPED_TRACE(split.ratio);
        for (const QString& f : LogFiles(dir.path())) QFile::remove(dir.filePath(f));
        sim.SetLoggerRunning(false);
        frmLogger& d = StartedWith(split.ratio, false);
        sim.FillLogger(split.instants, 2, split.minMax + 5);  // more than the memory holds
        ASSERT_EQ(sim.SampleRecords().size(), split.samplesHeld * 4);
        ASSERT_EQ(sim.MinMaxRecords().size(), split.minMaxHeld * 11);
        d.cmdGetlog()->click();
        EXPECT_TRUE(prompts.Shown().isEmpty()) << ShownTexts(prompts).join('|').toStdString();
        EXPECT_EQ(ReadAll(File("slf")), split.samplesHeld ? ExpectedSampleFile(sim.SampleRecords(), 2) : QByteArray());
        EXPECT_EQ(ReadAll(File("mlf")), split.minMaxHeld ? ExpectedMinMaxFile(sim.MinMaxRecords()) : QByteArray());
        EXPECT_EQ(LogFiles(dir.path()).size(), (split.samplesHeld ? 1 : 0) + (split.minMaxHeld ? 1 : 0));
        // One block past the full ones, also when the count fills its last block.
        if (split.samplesHeld) {
            EXPECT_EQ(BlockStarts(CMD_SAMPLE_BLOCK).size(), split.samplesHeld / 40 + 1);
        }
        if (split.minMaxHeld) {
            EXPECT_EQ(BlockStarts(CMD_MINMAX_BLOCK).last(), split.minMaxHeld / 10 * 10);
        }
        EXPECT_EQ(frmLogger::Instance(), &d) << "the window stays";
        EXPECT_FALSE(progressView().Loaded());
        d.close();
        ReleaseDeferred();
    }
}

TEST_F(LoggerWindowTest, ARolledOverLogKeepsItsTimesAndASecondReadInTheSameSecondKeepsTheFirst) {
    GoOnline();
    Set(SAMPLE_TIME, 65);  // one minute
    frmLogger& d = StartedWith(99, true);  // room for 61 sample records
    sim.SetNextSampleSerial(65500);  // a long run: the serial wraps among the records kept
    sim.FillLogger(80, 1, 0);
    const QByteArray records = sim.SampleRecords();
    ASSERT_EQ(records.size(), 61 * 4);
    d.cmdGetlog()->click();
    const QString first = File("slf");
    const QByteArray text = ReadAll(first);
    const QList<QByteArray> lines = text.split('\n');
    // The oldest record kept is the 20th instant logged, 65519 minutes after the start.
    EXPECT_EQ(uint8_t(records[2]) + 256 * uint8_t(records[3]), 65519);
    const QDateTime start(QDate(2026, 12, 7), QTime(23, 59, 30));
    const QDateTime oldest = start.addSecs(qint64(65519) * 60);
    EXPECT_TRUE(lines[2].endsWith(QStringLiteral(",%1,%2,%3,%4\r")
                                      .arg(oldest.time().second())
                                      .arg(oldest.date().day())
                                      .arg(oldest.date().month())
                                      .arg(oldest.date().year())
                                      .toLatin1()))
        << lines[2].toStdString();
    const QDateTime newest = oldest.addSecs(60 * 60);
    EXPECT_TRUE(lines[62].endsWith(QStringLiteral(",%1,%2,%3\r")
                                       .arg(newest.date().day())
                                       .arg(newest.date().month())
                                       .arg(newest.date().year())
                                       .toLatin1()))
        << lines[62].toStdString();

    d.cmdGetlog()->click();
    EXPECT_EQ(LogFiles(dir.path()), QStringList({"261209163105-2.slf", "261209163105.slf"}));
    EXPECT_EQ(ReadAll(first), text) << "the first read's file is kept";
}

TEST_F(LoggerWindowTest, ShortAndOutOfPlaceBlocksAreReportedNeverFilledFromAnEarlierRead) {
    GoOnline();
    frmLogger& d = StartedWith(50, false);
    sim.FillLogger(60, 2, 0);  // 120 records
    d.cmdGetlog()->click();
    ASSERT_FALSE(File("slf").isEmpty());
    QFile::remove(File("slf"));

    // A count of 32768 or more is a count, not a sign; the module then has only 50.
    sim.SetLoggerRunning(false);
    d.close();
    ReleaseDeferred();
    frmLogger& e = StartedWith(50, false);
    sim.FillLogger(25, 2, 0);
    sim.SetReplyData(CMD_SAMPLE_COUNT, Bytes({0x00, 0x80}));
    e.cmdGetlog()->click();
    EXPECT_EQ(ShownTexts(prompts), QStringList{"The module sent 50 of the 32768 sample records it reported.\r\n"
                                               "Sample log: " + File("slf")});
    EXPECT_EQ(ReadAll(File("slf")).count('\n'), 2 + 50) << "nothing of the earlier 120 records";
    EXPECT_EQ(BlockStarts(CMD_SAMPLE_BLOCK), QList<int>({0, 40})) << "the read stops at the short block";
    QFile::remove(File("slf"));

    // A block from elsewhere in the log is refused and the read fails.
    prompts.Clear();
    sim.ClearReplyData(CMD_SAMPLE_COUNT);
    sim.SetReplyData(CMD_SAMPLE_BLOCK, Bytes({40, 0}) + QByteArray(8, '\1'));
    prompts.QueueAnswer(vbOK);
    prompts.QueueAnswer(vbOK);
    e.cmdGetlog()->click();
    ASSERT_EQ(prompts.Shown().size(), 2);
    EXPECT_TRUE(prompts.Shown()[0].text.startsWith("An unexpected error has occured"));
    EXPECT_EQ(prompts.Shown()[1].text, "Reading the data log failed.\r\nNo log file was written.");
    EXPECT_TRUE(LogFiles(dir.path()).isEmpty());
    ReleaseDeferred();
    EXPECT_EQ(frmLogger::Instance(), nullptr) << "a failed read closes the window";
}

TEST_F(LoggerWindowTest, ACancelledOrFailedReadSaysSoAndLeavesNoFileThatLooksWhole) {
    GoOnline();
    frmLogger& d = StartedWith(50, false);
    sim.FillLogger(400, 2, 300);
    int blocks = 0;
    QObject::connect(&sim, &sim::SimModule::frameReceived, &d, [&](const QByteArray& f) {
        if (f.size() > 6 && uint8_t(f[6]) == CMD_MINMAX_BLOCK && ++blocks == 5) ProgressCancelClicked();
    });
    prompts.QueueAnswer(vbOK);
    d.cmdGetlog()->click();
    ASSERT_FALSE(prompts.Shown().isEmpty());
    EXPECT_EQ(prompts.Shown().last().text, "Reading the data log was cancelled.\r\nOnly the sample log was written: " +
                                               File("slf"));
    EXPECT_EQ(ReadAll(File("slf")).count('\n'), 2 + 800);
    EXPECT_TRUE(File("mlf").isEmpty());
    EXPECT_EQ(blocks, 5) << "nothing asked after the cancel";
    ReleaseDeferred();
    EXPECT_EQ(frmLogger::Instance(), nullptr);
    QFile::remove(File("slf"));

    // The module refuses a block in the middle of the sample log: the refusal is said
    // in the read's one report.
    frmLogger& e = Show();
    prompts.Clear();
    sim.SetNackCommand(CMD_SAMPLE_BLOCK);
    for (int i = 0; i < 4; ++i) prompts.QueueAnswer(vbOK);
    e.cmdGetlog()->click();
    ASSERT_EQ(prompts.Shown().size(), 1);
    EXPECT_EQ(prompts.Shown().last().text, "OMRU received NACK from target - unknown command\r\nReading the data log "
                                           "failed.\r\nNo log file was written.");
    EXPECT_TRUE(LogFiles(dir.path()).isEmpty());
}

TEST_F(LoggerWindowTest, AModuleCountingBeyondTheTablesHasWhatTheyHoldReadWrittenAndSaid) {
    GoOnline();
    Set(SAMPLE_TIME, 2);
    frmLogger& d = StartedWith(50, false);
    sim.FillLogger(1536, 2, 1117);
    const QByteArray samples = sim.SampleRecords(), minMax = sim.MinMaxRecords();
    ASSERT_EQ(samples.size(), 3072 * 4);
    sim.SetLogCountsBeyondMemory(7100 - 3072, 2600 - 1117);
    d.cmdGetlog()->click();

    // Whole blocks up to the tables' ends, and none past them.
    const QList<int> sampleStarts = BlockStarts(CMD_SAMPLE_BLOCK), minMaxStarts = BlockStarts(CMD_MINMAX_BLOCK);
    ASSERT_EQ(sampleStarts.size(), 175);
    EXPECT_EQ(sampleStarts.last(), 6960);
    ASSERT_EQ(minMaxStarts.size(), 254);
    EXPECT_EQ(minMaxStarts.last(), 2530);
    // The module brings its records round again past its memory.
    const auto repeated = [](const QByteArray& records, int bytes) {
        QByteArray out;
        while (out.size() < bytes) out += records;
        return out.left(bytes);
    };
    // Past the memory the serials start again, which the times need not follow: the
    // records the memory holds come first, as they are.
    const QByteArray slf = ReadAll(File("slf"));
    EXPECT_EQ(slf.count('\n'), 2 + 7000);
    EXPECT_TRUE(slf.startsWith(ExpectedSampleFile(samples, 2)));
    EXPECT_EQ(ReadAll(File("mlf")), ExpectedMinMaxFile(repeated(minMax, 2540 * 11)));
    EXPECT_EQ(ShownTexts(prompts),
              QStringList{"The module reported 7100 sample records, more than the 7000 this program can hold: the "
                          "first 7000 were read.\r\nThe module reported 2600 min/max records, more than the 2540 "
                          "this program can hold: the first 2540 were read.\r\nSample log: " + File("slf") +
                          "\r\nMin/max log: " + File("mlf")});
    EXPECT_EQ(prompts.Shown().value(0).icon, vbExclamation);
    EXPECT_EQ(frmLogger::Instance(), &d) << "the window stays";
}

// The window closed while its read runs: the read goes on, and what came of it is told
// over the main window, a clean read included.
TEST_F(LoggerWindowTest, ClosingTheWindowDuringAReadStillReportsWhatCameOfIt) {
    GoOnline();
    Open();
    frmLogger& d = StartedWith(50, false);
    sim.FillLogger(100, 2, 20);
    QObject::connect(&sim, &sim::SimModule::frameReceived, &d, [&d](const QByteArray& f) {
        if (f.size() > 6 && uint8_t(f[6]) == CMD_SAMPLE_BLOCK) d.close();
    });
    const QString lead = "The data logger window was closed while its log was read; the read went on.\r\n";
    session().DataFolder = dir.filePath(QStringLiteral("gone"));
    d.cmdGetlog()->click();
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(BlockStarts(CMD_MINMAX_BLOCK).size(), 3) << "the read went on";
    ASSERT_EQ(prompts.Shown().size(), 1);
    const QStringList lines = prompts.Shown()[0].text.split("\r\n");
    ASSERT_EQ(lines.size(), 3) << prompts.Shown()[0].text.toStdString();
    EXPECT_EQ(lines[0] + "\r\n", lead);
    for (const QString& line : lines.mid(1))
        EXPECT_TRUE(line.startsWith("A log file could not be written: " + dir.filePath("gone/"))) << line.toStdString();
    EXPECT_TRUE(lines[1].contains(".slf: ")) << "each file named";
    EXPECT_TRUE(lines[2].contains(".mlf: "));
    EXPECT_EQ(prompts.Shown()[0].icon, vbExclamation);
    ReleaseDeferred();
    EXPECT_EQ(frmLogger::Instance(), nullptr);

    session().DataFolder = dir.path();
    prompts.Clear();
    frmLogger& e = Show();
    QObject::connect(&sim, &sim::SimModule::frameReceived, &e, [&e](const QByteArray& f) {
        if (f.size() > 6 && uint8_t(f[6]) == CMD_MINMAX_BLOCK) e.close();
    });
    e.cmdGetlog()->click();
    EXPECT_EQ(ShownTexts(prompts), QStringList{lead + "The data log was read.\r\nSample log: " + File("slf") +
                                               "\r\nMin/max log: " + File("mlf")});
    EXPECT_EQ(prompts.Shown().value(0).icon, vbInformation);
    EXPECT_EQ(ReadAll(File("slf")).count('\n'), 2 + 200);
}

// Exit by the menu or the main window's close box during a log read ends the read and
// the program, whether the logger window is still open or was closed first; the read cut
// short leaves no log file behind.
TEST_F(LoggerWindowTest, ExitDuringAReadEndsTheProgram) {
    const auto run = [this](bool loggerClosedFirst, bool byCloseBox) {
        session().DataFolder = dir.path();
        GoOnline();
        Open(true);
        frmLogger& d = StartedWith(50, false);
        sim.FillLogger(100, 2, 20);
        bool asked = false;
        QObject::connect(&sim, &sim::SimModule::frameReceived, &d, [&, loggerClosedFirst, byCloseBox](const QByteArray& f) {
            if (asked || f.size() <= 6 || uint8_t(f[6]) != CMD_SAMPLE_BLOCK) return;
            asked = true;
            if (loggerClosedFirst) d.close();
            QTimer::singleShot(0, window.get(), [this, byCloseBox] {
                if (byCloseBox)
                    window->close();
                else
                    window->Menu(MenuItem::mnuFileExit)->trigger();
            });
        });
        QTimer::singleShot(0, &d, [&d] { d.cmdGetlog()->click(); });
        QTimer giveUp;
        giveUp.setSingleShot(true);
        QObject::connect(&giveUp, &QTimer::timeout, [] { QCoreApplication::exit(99); });
        giveUp.start(20000);
        EXPECT_EQ(QApplication::exec(), 0) << loggerClosedFirst << byCloseBox;
        EXPECT_TRUE(asked);
        EXPECT_FALSE(window->isVisible());
        EXPECT_EQ(File("slf"), QString()) << loggerClosedFirst << byCloseBox;
        EXPECT_EQ(File("mlf"), QString());
    };
    run(false, false);
    for (const auto& [closedFirst, closeBox] : {std::pair{true, false}, std::pair{false, true}, std::pair{true, true}}) {
        delete frmLogger::Instance();
        window.reset();
        sim.Close();
        ResetForTest();
        LoadKorvel(1);
        sim.SetLoggerRunning(false);
        run(closedFirst, closeBox);
    }
}

TEST_F(LoggerWindowTest, BothLogsEmptyIsSaidAndNothingIsRead) {
    GoOnline();
    frmLogger& d = StartedWith(50, false);
    d.cmdGetlog()->click();
    EXPECT_EQ(ShownTexts(prompts), QStringList{"Sample and min/max logs are empty"});
    EXPECT_EQ(prompts.Shown()[0].icon, vbInformation);
    EXPECT_TRUE(BlockStarts(CMD_SAMPLE_BLOCK).isEmpty());
    EXPECT_FALSE(progressView().Loaded());
    EXPECT_TRUE(LogFiles(dir.path()).isEmpty());
}

TEST_F(LoggerWindowTest, AFolderThatTakesNoFileIsReportedAndTheListingShowsABlockReply) {
    GoOnline();
    frmLogger& d = StartedWith(50, false);
    sim.FillLogger(3, 1, 0);
    session().DataFolder = dir.filePath(QStringLiteral("gone"));
    d.cmdGetlog()->click();
    ASSERT_EQ(prompts.Shown().size(), 1);
    EXPECT_TRUE(prompts.Shown()[0].text.startsWith("A log file could not be written: " + dir.filePath("gone/")))
        << prompts.Shown()[0].text.toStdString();
    EXPECT_EQ(frmLogger::Instance(), &d);

    loggerData().LoggerStartTime = {7, 12, 16, 14, 4, 0};
    config().SystemConfig[SAMPLE_TIME] = 65;
    d.ShowSampleLog(WithChecksum({17, 0, 0, 0, 0, PKT_REPLY, CMD_SAMPLE_BLOCK, 0, 0, 0xFF, 0x23, 1, 0, 0x05, 0xF0, 1, 0}));
    ASSERT_EQ(d.lstLogs()->count(), 2);
    EXPECT_EQ(d.lstLogs()->item(0)->text(), "Analog Ch : 03   01023   14:05:00  07-12-16");
    EXPECT_EQ(d.lstLogs()->item(1)->text(), "Temp Ch   : 08   00005   14:05:00  07-12-16");
    EXPECT_FALSE(d.lstLogs()->isVisibleTo(&d));
}

TEST_F(LoggerWindowTest, TimersAreReadAndOneIsClearedWithTheOthersAsTheyAreNow) {
    GoOnline();
    sim.SetLoggerTimer(0, 7);
    sim.SetLoggerTimer(1, 20737);
    sim.SetLoggerTimer(3, 99999);
    frmLogger& d = Show();
    d.cmdRams()->click();
    EXPECT_TRUE(d.fraRams()->isVisibleTo(&d));
    EXPECT_FALSE(d.fraLogger()->isVisibleTo(&d));
    EXPECT_EQ(d.txtHeader()->text(), " Airtimer and Accumulated Contacts");
    EXPECT_EQ(Shown(d.cmdRams()->text()), "Show Config");
    EXPECT_EQ(d.txtRams(1)->text(), "00000:05:45:37");
    EXPECT_EQ(d.txtRams(3)->text(), "00001:03:46:39");

    prompts.QueueAnswer(vbNo);
    d.cmdClear(3)->click();
    EXPECT_EQ(sim.LoggerTimerWrites(), 0);
    // The logger kept counting since the timers were read.
    sim.SetLoggerTimer(0, 8);
    sim.SetLoggerTimer(1, 20800);
    prompts.QueueAnswer(vbYes);
    d.cmdClear(3)->click();
    EXPECT_EQ(prompts.Shown().last().title, "Clear timer");
    ASSERT_EQ(sim.LoggerTimerWrites(), 1);
    EXPECT_EQ(sim.LoggerTimers().mid(0, 4), QList<int>({8, 20800, 0, 0}));
    EXPECT_EQ(sim.LastLoggerTimerWrite().mid(27), sim.LoggerSettingBytes()) << "setting bytes sent back";
    EXPECT_EQ(d.txtRams(3)->text(), "00000:00:00:00");
    EXPECT_EQ(d.txtRams(1)->text(), "00000:05:46:40");

    d.cmdRams()->click();
    EXPECT_TRUE(d.fraLogger()->isVisibleTo(&d));
    EXPECT_EQ(d.txtHeader()->text(), " Logger Configuration");
    EXPECT_EQ(sim.LoggerTimerWrites(), 1) << "going back reads nothing";
}

} // namespace
