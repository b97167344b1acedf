// The main road through the real main window offscreen: Read, choose the module in the
// connect dialog, download its configuration, then Write it back; and off-line editing.
#include "app/frmCancelSend.h"
#include "app/frmMain.h"
#include "app/frmOfflineDeviceSelection.h"
#include "session/session.h"
#include "config/model.h"
#include "config/target.h"
#include "link/frame.h"
#include "link/linkstate.h"
#include "link/simfixture.h"
#include "platform/serialport.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>

using namespace korvel;
using namespace korvel::test;

namespace {

class MainRoadTest : public SimLinkFixture {
protected:
    void SetUp() override {
        SimLinkFixture::SetUp();
        ASSERT_TRUE(dir.isValid());
        session().DataFolder = dir.path();
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.filePath("registry"));
        settings().PacketTimeout = 20;
        window = std::make_unique<frmMain>();
        window->Load();
        window->show();
        // A dialog left open by a failing step must not hang the run.
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, [] {
            while (QWidget* w = QApplication::activeModalWidget()) w->close();
        });
        guard.start(30000);
    }
    void TearDown() override {
        guard.stop();
        window.reset();
        SimLinkFixture::TearDown();
    }

    // Acts on the connect dialog once it is up, modal, in front of the window.
    void InConnectDialog(std::function<void(frmCancelSend&)> act) {
        QTimer::singleShot(0, [this, act] {
            auto* d = qobject_cast<frmCancelSend*>(QApplication::activeModalWidget());
            if (!d) return;
            ++connectDialogs;
            act(*d);
        });
    }
    void ConnectOverIp(frmCancelSend& d) {
        d.txtIP()->setText(QStringLiteral("127.0.0.1:%1").arg(sim.TcpPort()));
        d.cmdIP()->click();
    }
    void Press(const char* key) { window->ToolbarButton(QString::fromLatin1(key))->trigger(); }
    QString Panel(int n) const { return window->Panel(n)->text(); }

    QTemporaryDir dir;
    std::unique_ptr<frmMain> window;
    QTimer guard;
    int connectDialogs = 0;
};

TEST_F(MainRoadTest, ReadAStationThenWriteItBackUnchanged) {
    ASSERT_NE(sim.ListenTcp(0), 0);
    sim.SetKorvel(3);
    const auto before = sim.Blocks();

    InConnectDialog([this](frmCancelSend& d) { ConnectOverIp(d); });
    Press("Read");
    EXPECT_EQ(connectDialogs, 1);
    EXPECT_TRUE(sim.TcpStartTextReceived());
    EXPECT_EQ(Panel(2), QStringLiteral("Configuration Downloaded"));
    EXPECT_TRUE(Panel(1).startsWith(QStringLiteral("Station: ")));
    EXPECT_EQ(target().ChildCount, 3);
    EXPECT_EQ(session().Online, 1);
    for (const char* key : {"Save", "Write", "Read"})
        EXPECT_TRUE(window->ToolbarButton(QString::fromLatin1(key))->isEnabled()) << key;
    // Printing and the summary have no window yet, so they stay unusable.
    for (const char* key : {"Print", "Config"})
        EXPECT_FALSE(window->ToolbarButton(QString::fromLatin1(key))->isEnabled()) << key;
    EXPECT_TRUE(window->MenuItemEnabled(QStringLiteral("mnuConfigSystem")));
    EXPECT_TRUE(prompts.Shown().isEmpty());

    sim.ClearReceived();
    prompts.QueueAnswer(vbYes);  // "Do you want to overwrite module configuration. Continue ?"
    InConnectDialog([this](frmCancelSend& d) { ConnectOverIp(d); });
    Press("Write");
    EXPECT_EQ(connectDialogs, 2);
    ASSERT_EQ(prompts.Shown().size(), 1);
    EXPECT_EQ(prompts.Shown()[0].text, QStringLiteral("Do you want to overwrite module configuration. Continue ?"));
    EXPECT_EQ(Panel(2), QStringLiteral("Configuration Uploaded"));
    EXPECT_EQ(sim.Blocks(), before);
    EXPECT_FALSE(sim.BlockWrites().isEmpty());
    EXPECT_FALSE(sim.ProcessesStopped());
    EXPECT_FALSE(CommPort().IsOpen()) << "TCP needs no serial port";
}

TEST_F(MainRoadTest, ReadTheLocalModuleOverTheSerialPortAndWriteItToARemoteStation) {
    settings().CommPortDevice = sim.OpenPty();
    ASSERT_FALSE(settings().CommPortDevice.isEmpty());
    sim.SetKorvel(1);
    sim.AddRemoteStation(5);
    sim.SetKorvel(1, 5);

    InConnectDialog([](frmCancelSend& d) { d.cmdConnectLocal()->click(); });
    Press("Read");
    EXPECT_TRUE(CommPort().IsOpen());
    EXPECT_EQ(Panel(2), QStringLiteral("Configuration Downloaded"));
    const auto local = sim.Blocks();

    prompts.QueueAnswer(vbYes);  // overwrite the module's configuration
    prompts.QueueAnswer(vbYes);  // although its address differs from the configuration's
    InConnectDialog([](frmCancelSend& d) {
        d.txtNWAddress()->setText(QStringLiteral("5"));
        d.cmdConnectNet()->click();
    });
    Press("Write");
    ASSERT_EQ(prompts.Shown().size(), 2);
    EXPECT_TRUE(prompts.Shown()[1].text.startsWith(QStringLiteral("Warning - the network address specified ( 5)")));
    EXPECT_EQ(Panel(2), QStringLiteral("Configuration Uploaded"));
    EXPECT_EQ(linkState().StationAddress[0], 5);
    EXPECT_EQ(linkState().PacketTimeoutReload, 60) << "a remote station keeps its longer time-out";
    // The station now holds the local module's configuration, block for block.
    for (auto it = local.begin(); it != local.end(); ++it)
        EXPECT_EQ(sim.Blocks(5).value(it.key()), it.value()) << it.key().first << "/" << it.key().second;
    EXPECT_FALSE(sim.ProcessesStopped(5));
    EXPECT_FALSE(sim.ProcessesStopped(0));
}

TEST_F(MainRoadTest, AReadOverAnotherLoadedConfigurationAsksFirst) {
    session().ConfigLoaded = true;
    prompts.QueueAnswer(vbNo);
    Press("Read");
    ASSERT_EQ(prompts.Shown().size(), 1);
    EXPECT_EQ(prompts.Shown()[0].text, QStringLiteral("Warning, downloading will overwrite any previously "
                                                      "loaded/edited data in OMRU. Continue ?"));
    EXPECT_EQ(connectDialogs, 0);
}

TEST_F(MainRoadTest, WriteAnsweredNoSendsNothing) {
    ASSERT_NE(sim.ListenTcp(0), 0);
    prompts.QueueAnswer(vbNo);
    Press("Write");
    EXPECT_EQ(connectDialogs, 0);
    EXPECT_EQ(sim.ReceivedCount(), 0);
}

TEST_F(MainRoadTest, OffLineEditChoosesTheDeviceKind) {
    QTimer::singleShot(0, [] {
        auto* d = qobject_cast<frmOfflineDeviceSelection*>(QApplication::activeModalWidget());
        if (d) d->Combo1()->activated(1);
    });
    Press("OffLine");
    EXPECT_TRUE(target().PellarDevice);
    EXPECT_EQ(Panel(2), QStringLiteral("Off Line Edit Mode"));
    EXPECT_TRUE(window->ToolbarButton(QStringLiteral("Write"))->isEnabled());
    EXPECT_FALSE(window->MenuItemEnabled(QStringLiteral("mnuTasks")));

    linkState().LinkMode = LINK_SWITCH_THROUGH;
    Press("OffLine");
    ASSERT_EQ(prompts.Shown().size(), 1);
    EXPECT_EQ(prompts.Shown()[0].text,
              QStringLiteral("Cannot switch to offline mode when connected via switch-through"));
}

} // namespace
