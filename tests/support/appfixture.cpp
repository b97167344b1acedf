#include "support/appfixture.h"
#include "app/frmCancelSend.h"
#include "model/model.h"
#include "model/target.h"
#include "control/rxdispatch.h"
#include "control/session.h"
#include "control/settingsfile.h"

#include <QAction>
#include <QCoreApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QLabel>
#include <QSettings>

namespace korvel::test {

void AppFixture::SetUp() {
    SimLinkFixture::SetUp();
    // The window's own commands are the jobs here: each takes the link itself.
    jobHold.reset();
    ASSERT_TRUE(dir.isValid());
    session().DataFolder = dir.path();
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.filePath(QStringLiteral("registry")));
    QSettings(AppTitle(), QString()).clear();
    UnregisterAllWindows();
    RegisterProgramWindows();
    hangGuard_.setSingleShot(true);
    QObject::connect(&hangGuard_, &QTimer::timeout, [] {
        while (QWidget* w = QApplication::activeModalWidget()) w->close();
    });
    RearmHangGuard();
}

void AppFixture::RearmHangGuard() { hangGuard_.start(30000); }

void AppFixture::TearDown() {
    hangGuard_.stop();
    window.reset();
    UnregisterAllWindows();
    SimLinkFixture::TearDown();
}

frmMain& AppFixture::Open(bool show) {
    window = std::make_unique<frmMain>();
    window->Load();
    if (show) window->show();
    return *window;
}

void AppFixture::Trigger(MenuItem item) {
    QAction* a = window->Menu(item);
    ASSERT_TRUE(a->isEnabled()) << MenuItemName(item);
    a->trigger();
    // Back in the event loop, as after a real click: what the command left to run
    // once it has ended (the System dialog after a read) runs now.
    QCoreApplication::processEvents();
}

void AppFixture::Press(ToolButton button) {
    QAction* a = window->Button(button);
    ASSERT_TRUE(a->isEnabled()) << ToolButtonKey(button);
    a->trigger();
    // Back in the event loop, as after a real click: what the command left to run
    // once it has ended (the System dialog after a read) runs now.
    QCoreApplication::processEvents();
}

QString AppFixture::Panel(int n) const { return window->Panel(n)->text(); }

QString AppFixture::Registry(const char* key) const {
    QSettings s(AppTitle(), QString());
    return s.value(QStringLiteral("Settings/") + QLatin1String(key)).toString();
}

void AppFixture::LoadKorvel(int children) {
    target().PellarDevice = false;
    target().ChildCount = static_cast<uint8_t>(children);
    target().ExpansionBoardMask = 0;
    SetDefaultConfiguration();
    UpdateContactPresence();
    UpdateAnalogPresence();
    session().ConfigLoaded = true;
}

void AppFixture::LoadPellar(int boardMask) {
    target().PellarDevice = true;
    target().ChildCount = 0;
    target().ExpansionBoardMask = boardMask;
    SetDefaultConfiguration();
    UpdateContactPresence();
    UpdateAnalogPresence();
    config().SystemConfig[1] = 16;  // a Pellar's module mode
    session().ConfigLoaded = true;
}

void AppFixture::Fake(WindowId id, std::function<void()> onOpen) {
    RegisterWindow(id, [this, id, onOpen](QWidget* owner) {
        opened.append(id);
        owners.append(owner);
        if (ownerIsMainWindow) {
            EXPECT_EQ(owner, window.get());
        }
        if (onOpen) onOpen();
    });
}

void AppFixture::ConnectToSimWhenAsked() {
    WhenModal<frmCancelSend>([this](frmCancelSend& c) {
        c.txtIP()->setText(QStringLiteral("127.0.0.1:%1").arg(sim.TcpPort()));
        c.cmdIP()->click();
    });
}

void AppFixture::ReadFromSim() {
    ConnectToSimWhenAsked();
    Press(ToolButton::Read);
}

void AppFixture::WriteToSim() {
    prompts.QueueAnswer(vbYes);
    ConnectToSimWhenAsked();
    Press(ToolButton::Write);
}

void AppFixture::ServeKorvel(int children) {
    EXPECT_NE(sim.ListenTcp(0), 0);
    sim.SetKorvel(children);
    session().ConfigLoaded = false;
    Fake(WindowId::frmSystem);
    settings().PacketTimeout = 20;
}

bool AppFixture::ReadConfiguration() {
    Open(true);
    ReadFromSim();
    return Panel(2) == QStringLiteral("Configuration Downloaded");
}

bool AppFixture::WriteConfiguration() {
    WriteToSim();
    return Panel(2) == QStringLiteral("Configuration Uploaded");
}

void AppFixture::ExpectSimBlocks(const QHash<sim::BlockKey, QByteArray>& expected) const {
    for (auto it = expected.begin(); it != expected.end(); ++it) {
        const QByteArray actual = sim.Blocks().value(it.key());
        // Name the bytes that differ: data index, what the module holds, what was expected.
        QStringList differences;
        for (int i = 0; i < std::max(actual.size(), it.value().size()); ++i) {
            const int a = i < actual.size() ? quint8(actual[i]) : -1, e = i < it.value().size() ? quint8(it.value()[i]) : -1;
            if (a != e) differences << QStringLiteral("[%1] %2 expected %3").arg(i).arg(a).arg(e);
        }
        EXPECT_TRUE(differences.isEmpty()) << "block 0x" << QByteArray::number(it.key().first, 16).toStdString() << "/"
                                           << it.key().second << ": " << differences.join(", ").toStdString();
    }
}

} // namespace korvel::test
