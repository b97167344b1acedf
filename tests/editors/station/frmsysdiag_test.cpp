// The diagnostic settings dialog driven offscreen against the simulated module: the
// debug flags on the wire and in the module, what OK, ClearAll and Cancel keep, the LED
// values on their way to the module, the address allocation and its failures, the
// controls while a command runs, and the keyboard.
#include "app/boundedfield.h"
#include "model/target.h"
#include "editors/station/frmSysDiag.h"
#include "editors/station/frmSystem.h"
#include "link/frame.h"
#include "control/session.h"
#include "support/appfixture.h"
#include "support/configdiff.h"
#include "support/dialoghelpers.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

using namespace korvel;
using namespace korvel::test;

namespace {

const QString kAllocatedTwo =
    QStringLiteral("Address allocation done. 2 Child modules found. Download configuration to update OMRU.");

double& Element(int e) { return config().SystemConfig[e]; }

QStringList Lines(const QListWidget* list) {
    QStringList items;
    for (int i = 0; i < list->count(); ++i) items << list->item(i)->text();
    return items;
}


class SysDiagDialogTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        LoadKorvel(2);
        ConnectOverTcp();
    }
    frmSysDiag& Show() {
        dialog = std::make_unique<frmSysDiag>(nullptr);
        dialog->show();
        EXPECT_TRUE(ActiveAsShown(dialog.get()));
        return *dialog;
    }
    QList<BoundedField*> Leds(const frmSysDiag& d) const {
        return {d.updRedOn(), d.updRedOff(), d.updRedFlash(), d.updGreenOn(), d.updGreenOff(), d.updGreenFlash()};
    }
    QList<int> Commands() const {
        QList<int> codes;
        for (const QByteArray& f : sim.Received()) codes << quint8(f[6]);
        return codes;
    }
    std::unique_ptr<frmSysDiag> dialog;
};

TEST_F(SysDiagDialogTest, OkStoresTheLedValuesAndSendsTheTickedFlags) {
    target().ModuleDebugFlags = 0xA2;
    const double loaded[] = {3, 10, 4, 3, 10, 4};
    for (int i = 0; i < 6; ++i) ASSERT_EQ(Element(26 + i), loaded[i]);
    const auto before = std::make_unique<StationConfig>(config());
    frmSysDiag& d = Show();
    QList<bool> ticked;
    for (int n = 0; n < 8; ++n) ticked << d.ckbL(n)->isChecked();
    EXPECT_EQ(ticked, QList<bool>({false, true, false, false, false, true, false, true}));
    for (int i = 0; i < 6; ++i) EXPECT_EQ(Leds(d)[i]->Text(), QString::number(loaded[i]));

    for (int n = 0; n < 8; ++n) d.ckbL(n)->setChecked(n == 0 || n == 3);
    const long entered[] = {1, 100, 7, 8, 9, 55};
    for (int i = 0; i < 6; ++i) Leds(d)[i]->SetValue(entered[i]);
    d.cmdOK()->click();

    EXPECT_FALSE(d.isVisible());
    ASSERT_EQ(sim.Received().size(), 1);
    EXPECT_EQ(sim.Received()[0], WithChecksum({9, 0, 0, 0, 0, PKT_SET, CMD_SET_DEBUG_FLAGS, 0x09, 0}));
    EXPECT_EQ(sim.DebugFlags(), 0x09);
    EXPECT_EQ(target().ModuleDebugFlags, 0x09);
    EXPECT_EQ(ConfigDifferences(*before, config()).size(), 6);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(Element(26 + i), entered[i]) << 26 + i;
}

TEST_F(SysDiagDialogTest, ALedValueBeyondItsRangeIsRefusedBeforeOkStoresAnything) {
    const auto before = std::make_unique<StationConfig>(config());
    frmSysDiag& d = Show();
    Enter(d.updGreenFlash(), "101");
    d.cmdOK()->click();
    EXPECT_EQ(ShownTexts(prompts), QStringList{"Value greater than maximum, value is reset to maximum"});
    EXPECT_TRUE(d.isVisible());
    EXPECT_TRUE(sim.Received().isEmpty());
    EXPECT_EQ(ConfigDifferences(*before, config()), QStringList{});
    d.cmdOK()->click();
    EXPECT_EQ(Element(31), 100);
}

TEST_F(SysDiagDialogTest, AddressAllocateByItsAccessKeyChecksTheTypedLedValueFirstAndClearAllChecksNothing) {
    sim.SetChildrenAfterAllocate(2);
    frmSysDiag& d = Show();
    Enter(d.updRedOn(), "101");
    PressAccessKey(d.cmdAllocate());
    EXPECT_EQ(ShownTexts(prompts), QStringList{"Value greater than maximum, value is reset to maximum"});
    EXPECT_TRUE(sim.Received().isEmpty()) << "a refused value allocates nothing";
    EXPECT_EQ(d.updRedOn()->Text(), "100");
    EXPECT_EQ(ControlName(QApplication::focusWidget()), "updRedOn");

    prompts.Clear();
    Enter(d.updRedOn(), "42");
    PressAccessKey(d.cmdAllocate());
    EXPECT_EQ(sim.AddressAllocations(), 1);
    EXPECT_EQ(ShownTexts(prompts), QStringList{kAllocatedTwo});
    EXPECT_EQ(d.updRedOn()->Value(), 42);

    // ClearAll stores no LED value: a typed one is neither checked nor kept.
    sim.ClearReceived();
    prompts.Clear();
    Enter(d.updRedOn(), "500");
    PressAccessKey(d.cmdClearAll());
    EXPECT_TRUE(prompts.Shown().isEmpty());
    EXPECT_EQ(sim.Received(), QList<QByteArray>{WithChecksum({9, 0, 0, 0, 0, PKT_SET, CMD_SET_DEBUG_FLAGS, 0, 0})});
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(Element(26), 3) << "the red on time as loaded";
}

TEST_F(SysDiagDialogTest, ClearAllSendsZeroEvenWithNothingTickedAndKeepsTheLedValues) {
    target().ModuleDebugFlags = 0;
    const auto before = std::make_unique<StationConfig>(config());
    frmSysDiag& d = Show();
    d.updRedOn()->SetValue(50);
    ASSERT_NE(sim.DebugFlags(), 0);
    d.cmdClearAll()->click();
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(sim.Received(), QList<QByteArray>{WithChecksum({9, 0, 0, 0, 0, PKT_SET, CMD_SET_DEBUG_FLAGS, 0, 0})});
    EXPECT_EQ(sim.DebugFlags(), 0);
    EXPECT_EQ(ConfigDifferences(*before, config()), QStringList{});
}

TEST_F(SysDiagDialogTest, CancelKeepsAndSendsNothing) {
    target().ModuleDebugFlags = 0x05;
    const auto before = std::make_unique<StationConfig>(config());
    frmSysDiag& d = Show();
    d.updGreenOn()->SetValue(77);
    d.ckbL(7)->setChecked(true);
    d.cmdCancel()->click();
    EXPECT_FALSE(d.isVisible());
    EXPECT_TRUE(sim.Received().isEmpty());
    EXPECT_EQ(target().ModuleDebugFlags, 0x05);
    EXPECT_EQ(ConfigDifferences(*before, config()), QStringList{});
}

TEST_F(SysDiagDialogTest, FlagsTheModuleDidNotTakeAreNotRemembered) {
    target().ModuleDebugFlags = 0x05;
    frmSysDiag& d = Show();
    d.ckbL(6)->setChecked(true);
    d.updRedOff()->SetValue(20);
    sim.SetFault(sim::Fault::Silent);
    d.cmdOK()->click();
    EXPECT_FALSE(d.isVisible()) << "the dialog closes whatever the module did";
    EXPECT_EQ(target().ModuleDebugFlags, 0x05);
    EXPECT_EQ(Element(27), 20) << "the LED values travel with the configuration";
}

TEST_F(SysDiagDialogTest, AllocationWithNoChildrenLeftAsksForNoChildAndSaysSo) {
    sim.SetChildrenAfterAllocate(0);
    frmSysDiag& d = Show();
    d.cmdAllocate()->click();
    EXPECT_EQ(sim.AddressAllocations(), 1);
    ASSERT_EQ(sim.Received().size(), 2);
    EXPECT_EQ(sim.Received()[0], WithChecksum({7, 0, 0, 0, 0, PKT_SET, CMD_ADDRESS_ALLOCATE}));
    EXPECT_EQ(sim.Received()[1], WithChecksum({8, 0, 0, 0, 0, PKT_GET, CMD_MODULE_INFO, 2}));
    EXPECT_EQ(target().ChildCount, 0);
    EXPECT_EQ(ShownTexts(prompts), QStringList{"Address allocation done. 0 Child modules found. Download "
                                               "configuration to update OMRU."});
    EXPECT_TRUE(d.isVisible()) << "the dialog stays";
    EXPECT_TRUE(d.cmdAllocate()->isEnabled());
}

TEST_F(SysDiagDialogTest, AllocationFromTheSystemDialogRefreshesItsStationList) {
    sim.SetKorvel(0);
    target().ChildCount = 0;
    sim.SetChildrenAfterAllocate(2);
    session().Online = 1;
    Open();
    QStringList listAfter;
    WhenModal<frmSystem>([&](frmSystem& s) {
        // Comes after the password's box, whose close gives the system dialog its turn.
        WhenShown<frmSysDiag>([&](frmSysDiag& d) {
            d.cmdAllocate()->click();
            listAfter = Lines(s.lsbStationConfiguration());
            d.cmdCancel()->click();
        });
        prompts.QueueInput(QStringLiteral("WRPX5068"));
        s.Form_DblClick();
        s.cmdCancel()->click();
    });
    OpenWindow(WindowId::frmSystem, window.get());
    ASSERT_EQ(modalDialogs, 2);
    EXPECT_EQ(Commands(), QList<int>({CMD_ADDRESS_ALLOCATE, CMD_MODULE_INFO, CMD_CHILD_INFO, CMD_CHILD_INFO}));
    EXPECT_EQ(quint8(sim.Received()[2][7]), 1);
    EXPECT_EQ(quint8(sim.Received()[3][7]), 2);
    EXPECT_TRUE(listAfter.contains("CHILD 2 FIRMWARE VERSION: 3.2")) << listAfter.join(" | ").toStdString();
    EXPECT_EQ(ShownTexts(prompts).last(), kAllocatedTwo);
}

TEST_F(SysDiagDialogTest, AFailedStepStopsTheAllocation) {
    // The allocation itself refused: nothing more is asked and the dialog stays.
    frmSysDiag& d = Show();
    sim.SetNackCommand(CMD_ADDRESS_ALLOCATE);
    d.cmdAllocate()->click();
    EXPECT_EQ(Commands(), QList<int>{CMD_ADDRESS_ALLOCATE});
    EXPECT_TRUE(d.isVisible());

    // The identity read refused: no child is asked for, the dialog stays.
    sim.ClearReceived();
    sim.SetChildrenAfterAllocate(2);
    sim.SetNackCommand(CMD_MODULE_INFO);
    d.cmdAllocate()->click();
    EXPECT_EQ(Commands(), QList<int>({CMD_ADDRESS_ALLOCATE, CMD_MODULE_INFO}));
    EXPECT_TRUE(d.isVisible());

    // A child's information refused: the dialog closes, and nothing says it was done.
    sim.ClearReceived();
    sim.SetNackCommand(CMD_CHILD_INFO);
    d.cmdAllocate()->click();
    EXPECT_EQ(Commands(), QList<int>({CMD_ADDRESS_ALLOCATE, CMD_MODULE_INFO, CMD_CHILD_INFO}));
    EXPECT_FALSE(d.isVisible());
    EXPECT_FALSE(ShownTexts(prompts).join("").contains("Address allocation done"));
}

TEST_F(SysDiagDialogTest, NothingCanBePressedOrCloseTheDialogWhileACommandRuns) {
    frmSysDiag& d = Show();
    QList<bool> enabled;
    bool stayed = false;
    QObject::connect(&sim, &sim::SimModule::frameReceived, &d, [&] {
        for (QWidget* w : {static_cast<QWidget*>(d.cmdOK()), static_cast<QWidget*>(d.cmdCancel()),
                           static_cast<QWidget*>(d.cmdAllocate()), static_cast<QWidget*>(d.ckbL(0)),
                           static_cast<QWidget*>(d.updRedOn())})
            enabled << w->isEnabled();
        d.reject();
        stayed = stayed || d.isVisible();
    });
    sim.SetChildrenAfterAllocate(0);
    d.cmdAllocate()->click();
    EXPECT_TRUE(stayed);
    ASSERT_EQ(enabled.size(), 10);
    EXPECT_FALSE(enabled.contains(true));
    EXPECT_TRUE(d.isVisible());
    EXPECT_TRUE(d.cmdOK()->isEnabled());
    EXPECT_TRUE(d.updRedOn()->isEnabled());
}

TEST_F(SysDiagDialogTest, EveryControlIsLabelledAndVisitedInOrder) {
    frmSysDiag& d = Show();
    d.updRedOn()->setFocus(Qt::TabFocusReason);
    QStringList visited;
    for (int i = 0; i < 19; ++i) {
        visited << ControlName(QApplication::focusWidget());
        TypeKey(QApplication::focusWidget(), Qt::Key_Tab);
    }
    EXPECT_EQ(visited, QStringList({"updRedOn", "updRedOff", "updRedFlash", "updGreenOn", "updGreenOff",
                                    "updGreenFlash", "ckbL0", "ckbL1", "ckbL2", "ckbL3", "ckbL4", "ckbL5", "ckbL6",
                                    "ckbL7", "cmdClearAll", "cmdAllocate", "cmdOK", "cmdCancel", "updRedOn"}));
    QStringList buddies;
    QString keys;
    for (const QLabel* l : d.findChildren<QLabel*>()) {
        if (l->buddy()) buddies << Shown(l->text()) + "=" + l->buddy()->objectName();
        if (l->text().contains('&')) keys += l->text().at(l->text().indexOf('&') + 1).toLower();
    }
    for (const QAbstractButton* b : d.findChildren<QAbstractButton*>())
        if (b->text().contains('&')) keys += b->text().at(b->text().indexOf('&') + 1).toLower();
    buddies.sort();
    EXPECT_EQ(buddies, QStringList({"GREEN Flash=updGreenFlash", "GREEN Off=updGreenOff", "GREEN On=updGreenOn",
                                    "RED Flash=updRedFlash", "RED Off=updRedOff", "RED On=updRedOn"}));
    for (const QChar k : keys) EXPECT_EQ(keys.count(k), 1) << QString(k).toStdString();
    EXPECT_EQ(d.updRedOn()->Box()->objectName(), "txtRedOn");
}

TEST_F(SysDiagDialogTest, TheSystemDialogsLedEditReachesTheModuleWithTheNextWrite) {
    ServeKorvel(0);
    auto expected = sim.Blocks();
    QByteArray& system = expected[{sim::kBlockSystem, 0}];
    const int values[] = {5, 6, 7, 8, 9, 99};
    for (int i = 0; i < 6; ++i) system[1 + 26 + i] = char(values[i]);
    ASSERT_TRUE(ReadConfiguration());

    bool edited = false;
    WhenModal<frmSysDiag>([&](frmSysDiag& d) {
        for (int i = 0; i < 6; ++i) Leds(d)[i]->SetValue(values[i]);
        d.cmdOK()->click();
        edited = true;
    });
    OpenWindow(WindowId::frmSysDiag, window.get());
    ASSERT_TRUE(edited);
    ASSERT_TRUE(WriteConfiguration());
    ExpectSimBlocks(expected);
}

} // namespace
