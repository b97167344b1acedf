// The Task Setup dialog driven offscreen: the task block read from and written to the
// simulated module byte for byte, the 32-station limit, blocks and files it refuses,
// task files saved and loaded, the schedule fields and Start Task with its question.
#include "app/boundedfield.h"
#include "link/frame.h"
#include "monitor/frmPollerTask.h"
#include "monitor/frmTaskManager.h"
#include "control/session.h"
#include "support/appfixture.h"
#include "support/dialoghelpers.h"

#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

using namespace korvel;
using namespace korvel::test;

namespace {

const QString kMaximum = QStringLiteral("The maximum number of stations for the Poller task has now been allocated");

QStringList Lines(const QListWidget* list) {
    QStringList items;
    for (int i = 0; i < list->count(); ++i) items << list->item(i)->text();
    return items;
}

// The simulated module's fresh block with stations (station, output) in its records
// from the first, and the poll period in record 0.
QByteArray Block(const QByteArray& fresh, QList<std::pair<int, int>> stations, int minutes) {
    QByteArray b = fresh;
    for (int e = 0; e < stations.size(); ++e) {
        b[6 * e + 1] = char(stations[e].first);
        b[6 * e + 5] = char(stations[e].second);
    }
    b[3] = char(minutes);
    return b;
}

class TaskManagerTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        LoadKorvel(1);
    }
    void TearDown() override {
        if (frmPollerTask* p = frmPollerTask::Instance()) p->close();
        AppFixture::TearDown();
    }
    void GoOnline() {
        ConnectOverTcp();
        session().Online = 1;
    }
    frmTaskManager& Show() {
        dialog = std::make_unique<frmTaskManager>(nullptr);
        dialog->show();
        EXPECT_TRUE(ActiveAsShown(dialog.get()));
        return *dialog;
    }
    // A station and output as the user chooses them.
    void Choose(frmTaskManager& d, int station, int output) {
        d.cboStations()->setCurrentIndex(station - 1);
        d.cboStations_Click();
        d.cboTAChannel()->setCurrentIndex(output);
        d.cboTAChannel_Click();
    }
    void LoadFromModule(frmTaskManager& d) {
        prompts.QueueAnswer(vbYes);
        d.cmdLoadTask()->click();
    }
    void SaveToModule(frmTaskManager& d) {
        prompts.QueueAnswer(vbYes);
        d.cmdSaveTask()->click();
    }
    std::unique_ptr<frmTaskManager> dialog;
};

TEST_F(TaskManagerTest, OpensFromTheTasksMenuWithItsHintAndEmptyTask) {
    frmMain& w = Open();
    w.SetMenuEnabled(MenuItem::mnuTasks, true);
    QString hint;
    int stations = 0, manual = 0;
    WhenModal<frmTaskManager>([&](frmTaskManager& d) {
        hint = d.findChild<QPlainTextEdit*>(QStringLiteral("txtHintPoller"))->toPlainText();
        stations = d.cboStations()->count();
        manual = d.cboManual()->count();
        EXPECT_EQ(d.updMinutes()->Text(), "0");
        EXPECT_EQ(d.lstCurrent()->count(), 0);
        EXPECT_EQ(SharedAccessKeys(&d), QStringList());
        d.cmdCancel()->click();
    });
    Trigger(MenuItem::mnuTasks);
    EXPECT_EQ(modalDialogs, 1);
    EXPECT_TRUE(hint.startsWith("The poller is a task that runs on a MASTER module only. A maximum of 32 stations\n"));
    EXPECT_TRUE(hint.contains("target of the \npoll."));
    EXPECT_EQ(stations, 254);
    EXPECT_EQ(manual, 17);  // NONE and the inputs of the station and its child
}

TEST_F(TaskManagerTest, ReadFromTheModuleAndWrittenBackKeepsEveryByteItDoesNotOwn) {
    GoOnline();
    const QByteArray fresh = sim.TaskBlock();
    sim.SetTaskBlock(Block(fresh, {{200, 8}, {5, 1}, {255, 2}, {0, 9}}, 7));
    frmTaskManager& d = Show();
    LoadFromModule(d);
    EXPECT_EQ(prompts.Shown().value(0).text,
              "Load Task from module or from file?\n\r(Yes will load from module. No will prompt for filename)");
    ASSERT_TRUE(d.isVisible());
    EXPECT_EQ(Lines(d.lstCurrent()), (QStringList{"005      01", "200      08", "255      02"}));
    EXPECT_EQ(d.lstCurrent()->currentRow(), 0);
    EXPECT_EQ(d.cboStations()->currentIndex(), 4);
    EXPECT_EQ(d.cboTAChannel()->currentIndex(), 1);
    EXPECT_EQ(d.updMinutes()->Value(), 7);
    EXPECT_EQ(sim.Received().last(), WithChecksum({7, 0, 0, 0, 0, PKT_GET, CMD_TASK_BLOCK}));

    // A message box and a cancelled file dialog in between cost the dialog nothing.
    prompts.QueueAnswer(vbNo);
    prompts.QueueFile(QString());
    d.cmdLoadTask()->click();
    SaveToModule(d);
    EXPECT_TRUE(d.isVisible());
    EXPECT_EQ(sim.TaskBlock(), Block(fresh, {{5, 1}, {200, 8}, {255, 2}}, 7));

    // One station added and one changed: only their bytes move.
    Choose(d, 12, 64);
    Choose(d, 200, 3);
    d.updMinutes()->SetValue(255);
    SaveToModule(d);
    EXPECT_EQ(sim.TaskBlock(), Block(fresh, {{5, 1}, {12, 64}, {200, 3}, {255, 2}}, 255));
    EXPECT_EQ(sim.TaskBlockWrites(), 2);
    // A changed station's entry moves to the end of the list.
    EXPECT_EQ(Lines(d.lstCurrent()), (QStringList{"005      01", "255      02", "012      64", "200      03"}));
}

TEST_F(TaskManagerTest, ThirtyTwoStationsAreAnnouncedAndAThirtyThirdRefused) {
    frmTaskManager& d = Show();
    for (int s = 1; s <= 31; ++s) Choose(d, s, s);
    EXPECT_TRUE(prompts.Shown().isEmpty());
    Choose(d, 100, 4);
    EXPECT_EQ(ShownTexts(prompts), QStringList{kMaximum});
    Choose(d, 3, 9);  // a change among the 32 announces it again
    EXPECT_EQ(prompts.Shown().size(), 2);

    Choose(d, 101, 5);
    EXPECT_EQ(prompts.Shown().size(), 3);
    EXPECT_EQ(d.Outputs()[100], 0);
    EXPECT_EQ(d.cboTAChannel()->currentIndex(), 0);
    EXPECT_EQ(d.lstCurrent()->count(), 32);

    Choose(d, 100, 0);  // down to 31: no word, and the entry goes
    Choose(d, 77, 0);   // NONE for a station without an entry changes nothing
    EXPECT_EQ(prompts.Shown().size(), 3);
    EXPECT_EQ(d.lstCurrent()->count(), 31);
    d.lstCurrent()->setCurrentRow(30);  // station 3, moved to the end by its change
    d.lstCurrent_DblClick();
    EXPECT_EQ(d.cboStations()->currentIndex(), 2);
    EXPECT_EQ(d.cboTAChannel()->currentIndex(), 9);
}

TEST_F(TaskManagerTest, EveryChoiceThatLeavesThirtyTwoStationsAnnouncesItEvenOneThatChangesNothing) {
    frmTaskManager& d = Show();
    for (int s = 1; s <= 32; ++s) Choose(d, s, s);
    EXPECT_EQ(prompts.Shown().size(), 1);
    Choose(d, 7, 7);  // the output it already has
    EXPECT_EQ(prompts.Shown().size(), 2);
    Choose(d, 200, 0);  // NONE for a station without an entry
    EXPECT_EQ(ShownTexts(prompts), (QStringList{kMaximum, kMaximum, kMaximum}));
    EXPECT_EQ(d.lstCurrent()->count(), 32);
    EXPECT_EQ(Lines(d.lstCurrent()).value(6), QStringLiteral("007      07")) << "an unchanged station keeps its place";
    for (const ShownBox& b : prompts.Shown()) EXPECT_EQ(b.buttons + b.icon, vbOKOnly);
}

TEST_F(TaskManagerTest, AccessKeysTakeTheTypedMinutesOrStopAtAnEmptyBox) {
    GoOnline();
    frmTaskManager& d = Show();
    Choose(d, 5, 3);
    Enter(d.updMinutes(), "300");
    prompts.QueueAnswer(vbYes);
    PressAccessKey(d.cmdSaveTask());
    EXPECT_EQ(d.updMinutes()->Text(), "255");
    EXPECT_EQ(sim.TaskBlockWrites(), 1);
    EXPECT_EQ(uint8_t(sim.TaskBlock()[3]), 255) << "the module polls at the period shown";
    EXPECT_EQ(ControlName(QApplication::focusWidget()), "updMinutes");

    for (QPushButton* b : {d.cmdLoadTask(), d.cmdSaveTask(), d.cmdStartTask()}) {
        prompts.Clear();
        sim.ClearReceived();
        Enter(d.updMinutes(), "");
        TypeKey(d.updMinutes(), Qt::Key_Backspace);
        PressAccessKey(b);
        EXPECT_EQ(ShownTexts(prompts), QStringList{"Nothing was entered in the field, please enter valid data!"})
            << b->objectName().toStdString();
        EXPECT_TRUE(sim.Received().isEmpty());
        EXPECT_EQ(frmPollerTask::Instance(), nullptr);
        EXPECT_EQ(d.updMinutes()->Text(), "0");
    }
    Enter(d.updMinutes(), "9");
    prompts.QueueAnswer(vbNo);  // edited: not saved first
    PressAccessKey(d.cmdStartTask());
    ASSERT_NE(frmPollerTask::Instance(), nullptr);
    EXPECT_EQ(taskState().PollerInterval[POLL_MINUTES], 9);
}

TEST_F(TaskManagerTest, ABlockWithAnOutputBeyondSixtyFourIsRefusedAndTheTaskKept) {
    GoOnline();
    frmTaskManager& d = Show();
    Choose(d, 9, 2);
    d.updMinutes()->SetValue(30);
    sim.SetTaskBlock(Block(sim.TaskBlock(), {{4, 1}, {6, 65}}, 99));
    LoadFromModule(d);
    EXPECT_EQ(prompts.Shown().last().text,
              "The module's task gives station 006 output 65; outputs are 0 to 64. The task was not loaded.");
    EXPECT_EQ(Lines(d.lstCurrent()), QStringList{"009      02"});
    EXPECT_EQ(d.updMinutes()->Value(), 30);
}

TEST_F(TaskManagerTest, AFailedRequestOrWriteClosesTheDialog) {
    GoOnline();
    sim.SetNackCommand(CMD_TASK_BLOCK);
    frmTaskManager& d = Show();
    LoadFromModule(d);
    EXPECT_FALSE(d.isVisible());
    frmTaskManager& again = Show();
    Choose(again, 1, 1);
    SaveToModule(again);
    EXPECT_FALSE(again.isVisible());
    EXPECT_EQ(sim.TaskBlockWrites(), 0);
}

TEST_F(TaskManagerTest, OffLineTheTaskGoesToAFileAndComesBack) {
    frmTaskManager& d = Show();
    Choose(d, 12, 5);
    Choose(d, 3, 1);
    d.updMinutes()->SetValue(10);
    const QString path = dir.filePath(QStringLiteral("poll.JTF"));
    prompts.QueueFile(path);
    d.cmdSaveTask()->click();
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.readAll().endsWith("[task_poller]\r\n0=010\r\n003=01\r\n012=05\r\n[end_task_poller]\r\n"));

    frmTaskManager& fresh = Show();
    Choose(fresh, 40, 40);
    prompts.QueueFile(path);
    fresh.cmdLoadTask()->click();
    EXPECT_EQ(Lines(fresh.lstCurrent()), (QStringList{"003      01", "012      05"}));
    EXPECT_EQ(fresh.updMinutes()->Value(), 10);
    EXPECT_EQ(fresh.cboStations()->currentIndex(), 2);
    for (const ShownBox& b : prompts.Shown()) EXPECT_NE(b.kind, ShownBox::Message) << b.text.toStdString();
}

TEST_F(TaskManagerTest, MinutesAreHeldToTheirRangeQuietlyAndAnEmptyBoxRefused) {
    frmTaskManager& d = Show();
    EXPECT_TRUE(d.optPeriod(POLL_MINUTES)->isChecked());
    EXPECT_FALSE(d.updSeconds()->isEnabled());
    d.updMinutes()->setFocus();
    d.updMinutes()->SetText(QStringLiteral("300"));
    d.cboStations()->setFocus();
    EXPECT_EQ(d.updMinutes()->Value(), 255);
    EXPECT_EQ(d.updMinutes()->Text(), "255");
    EXPECT_TRUE(prompts.Shown().isEmpty());

    d.updMinutes()->setFocus();
    d.updMinutes()->SetText(QString());
    d.cboStations()->setFocus();
    EXPECT_EQ(ShownTexts(prompts), QStringList{"Nothing was entered in the field, please enter valid data!"});
    EXPECT_EQ(d.updMinutes()->Text(), "0");
    EXPECT_TRUE(d.updMinutes()->hasFocus());

    d.optManual()->click();
    EXPECT_FALSE(d.updMinutes()->isEnabled());
    EXPECT_TRUE(d.cboManual()->isEnabled());
}

TEST_F(TaskManagerTest, StartTaskAsksToSaveAnEditedTaskThenStartsThePoller) {
    frmTaskManager& d = Show();
    d.cmdStartTask()->click();  // nothing edited: no question
    EXPECT_TRUE(prompts.Shown().isEmpty());
    ASSERT_NE(frmPollerTask::Instance(), nullptr);
    frmPollerTask::Instance()->close();
    QApplication::processEvents();

    d.optPeriod(POLL_SECONDS)->click();
    d.updSeconds()->SetValue(30);
    d.updMinutes()->SetValue(2);
    prompts.QueueAnswer(vbCancel);
    d.cmdStartTask()->click();
    EXPECT_EQ(prompts.Shown().last().text, "The task was edited. Save the current task before running?");
    EXPECT_EQ(frmPollerTask::Instance(), nullptr);

    prompts.QueueAnswer(vbYes);
    prompts.QueueFile(QString());  // the save is cancelled: the poller does not start
    d.cmdStartTask()->click();
    EXPECT_EQ(frmPollerTask::Instance(), nullptr);

    prompts.QueueAnswer(vbNo);
    d.cmdStartTask()->click();
    ASSERT_NE(frmPollerTask::Instance(), nullptr);
    EXPECT_EQ(QList<int>(std::begin(taskState().PollerInterval), std::end(taskState().PollerInterval)),
              (QList<int>{30, 2, 0, 0}));
}

} // namespace
