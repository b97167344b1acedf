#include "control/programstate.h"
#include "control/session.h"
#include "control/tracefile.h"
#include "link/linkstate.h"
#include "link/trace.h"
#include "platform/scriptedprompts.h"

#include <gtest/gtest.h>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>

using namespace korvel;

namespace {

class TraceFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetProgramState();
        ASSERT_TRUE(dir.isValid());
        session().DataFolder = dir.path();
        session().DebugMode = true;
        SetPrompts(&prompts);
    }
    void TearDown() override {
        SetPrompts(nullptr);
        ResetProgramState();
    }

    QByteArray TraceBytes() {
        QFile f(TraceFilePath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    void Click(int answer) {
        prompts.QueueAnswer(answer);
        TraceStatusBarClick();
    }

    QTemporaryDir dir;
    ScriptedPrompts prompts;
};

TEST_F(TraceFileTest, HeaderAndFooterUseEnglishNamesAndTwelveHourTime) {
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const bool opened = OpenTrace(QDateTime(QDate(2026, 12, 8), QTime(21, 5, 3)));
    TraceWriteLine("TX: 00");  // TraceOn is still off: no frame line, but the header is there
    CloseTrace(QDateTime(QDate(2027, 1, 1), QTime(0, 0, 7)));
    QLocale::setDefault(saved);

    ASSERT_TRUE(opened);
    EXPECT_FALSE(TraceFileOpen());
    EXPECT_EQ(TraceBytes(), QByteArray("TOVE Trace - Version 1.0.0\r\n"
                                       "Tuesday, December 08, 2026, 09:05:03 PM\r\n"
                                       "Trace stopped at Friday, January 01, 2027, 12:00:07 AM\r\n"));
    EXPECT_EQ(TraceDateTimeText(QDateTime(QDate(2026, 6, 1), QTime(12, 30, 0))),
              QStringLiteral("Monday, June 01, 2026, 12:30:00 PM"));
}

TEST_F(TraceFileTest, EachEnableStartsANewFileOfHeaderFramesAndFooter) {
    for (const char* frame : {"TX: 01 02", "RX: 03"}) {
        Click(vbYes);
        EXPECT_TRUE(linkState().TraceOn);
        TraceWriteLine(frame);
        Click(vbYes);
        EXPECT_FALSE(linkState().TraceOn);
        EXPECT_FALSE(TraceFileOpen());
        TraceWriteLine("TX: late");  // goes nowhere

        const QList<QByteArray> lines = TraceBytes().split('\n');
        ASSERT_EQ(lines.size(), 5) << TraceBytes().constData();  // four lines and the empty rest
        EXPECT_EQ(lines[0], "TOVE Trace - Version 1.0.0\r");
        EXPECT_EQ(lines[2], QByteArray(frame) + '\r');
        EXPECT_TRUE(lines[3].startsWith("Trace stopped at ")) << lines[3].constData();
    }
    ASSERT_EQ(prompts.Shown().size(), 4);
    const ShownBox& b = prompts.Shown()[1];
    EXPECT_EQ(prompts.Shown()[0].text, QStringLiteral("Enable communications trace ?"));
    EXPECT_EQ(b.text, QStringLiteral("Close communications trace ?"));
    EXPECT_EQ(b.title, QStringLiteral("Debug"));
    EXPECT_EQ(b.buttons + b.icon, vbYesNo + vbQuestion);
}

TEST_F(TraceFileTest, AnswerNoOrNoDebugModeChangesNothing) {
    session().DebugMode = false;
    TraceStatusBarClick();
    EXPECT_TRUE(prompts.Shown().isEmpty());
    session().DebugMode = true;
    Click(vbNo);
    EXPECT_FALSE(linkState().TraceOn);
    EXPECT_FALSE(QFile::exists(TraceFilePath()));

    Click(vbYes);
    Click(vbNo);
    EXPECT_TRUE(linkState().TraceOn);
    EXPECT_TRUE(TraceFileOpen());
    EXPECT_FALSE(TraceBytes().contains("Trace stopped"));
}

TEST_F(TraceFileTest, FileThatCannotBeCreatedIsReportedAndTraceStaysOff) {
    session().DataFolder = dir.path() + "/missing";
    Click(vbYes);
    EXPECT_FALSE(linkState().TraceOn);
    ASSERT_EQ(prompts.Shown().size(), 2);
    EXPECT_EQ(prompts.Shown()[1].buttons, vbOKOnly);
    EXPECT_TRUE(prompts.Shown()[1].text.contains(TraceFilePath()));
}

} // namespace
