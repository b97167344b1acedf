// The connect dialog and the off-line device choice, offscreen: what the boxes offer,
// what each choice leaves in the link's globals, the TCP start text against the
// simulated module, and input the dialog refuses while it stays open.
#include "link/transaction.h"
#include "control/connectchoice.h"
#include "app/frmCancelSend.h"
#include "app/frmOfflineDeviceSelection.h"
#include "control/localsettings.h"
#include "control/session.h"
#include "support/simfixture.h"
#include "platform/tcpclient.h"
#include "support/dialoghelpers.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <array>

using namespace korvel;
using namespace korvel::test;

namespace {

using Station = std::array<int16_t, 3>;

Station StationNow() {
    const auto& a = linkState().StationAddress;
    return {a[0], a[1], a[2]};
}

void SetStation(Station s) {
    for (int i = 0; i < 3; ++i) linkState().StationAddress[i] = s[i];
}

QByteArray StartText() { return QByteArray(TCP_START_TEXT, TCP_START_TEXT_LENGTH); }

// A loopback port on which nothing listens.
quint16 ClosedPort() {
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost)) return 0;
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

const char* const kBadEndpoints[] = {
    "",       "192.168.1.100", ":10001",  "  :10001", "host:",        "host:0",    "host:65536",
    "host:12a", "host:-5",     "host:+80", "a:1:2",   "[::1]:10001",  "host:1 2",
};

class ConnectDialogTest : public SimLinkFixture {
protected:
    void SetUp() override {
        SimLinkFixture::SetUp();
        settings().PacketTimeout = 20;
        SetConnectionReplyTimeout(7);
        session().SelectedInputChannel = 4;
        session().SelectedOutputChannel = 5;
        session().SelectedAnalogChannel = 6;
    }
    void TearDown() override {
        dialog.reset();
        SimLinkFixture::TearDown();
    }
    frmCancelSend& Open() {
        dialog = std::make_unique<frmCancelSend>(nullptr);
        dialog->show();
        return *dialog;
    }
    void ExpectFirstChannels(bool selected) {
        EXPECT_EQ(session().SelectedInputChannel == 1, selected);
        EXPECT_EQ(session().SelectedOutputChannel == 1, selected);
        EXPECT_EQ(session().SelectedAnalogChannel == 1, selected);
    }
    void ExpectTimeout(int ticks) {
        EXPECT_EQ(linkState().PacketTimeoutReload, ticks);
        EXPECT_EQ(linkState().PacketTimeoutCount, ticks);
    }
    std::unique_ptr<frmCancelSend> dialog;
};

TEST_F(ConnectDialogTest, ControlsCarryTheirTextsNamesBuddiesAndTabOrder) {
    frmCancelSend& d = Open();
    EXPECT_EQ(d.windowTitle(), "OMRU");
    EXPECT_TRUE(d.isModal());
    const QStringList lines = d.txtHint()->toPlainText().split('\n');
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(lines[0], "To connect via local serial port, click the CONNECT ");
    EXPECT_EQ(lines[3], "REMOTE  button. ");
    EXPECT_TRUE(d.txtHint()->isReadOnly());

    const auto shown = [](const QString& t) { return QString(t).remove('&'); };
    EXPECT_EQ(shown(d.cmdConnectLocal()->text()), "CONNECT LOCAL");
    EXPECT_EQ(shown(d.cmdConnectNet()->text()), "CONNECT REMOTE");
    EXPECT_EQ(shown(d.cmdIP()->text()), "IP CONNECT");
    EXPECT_EQ(shown(d.lblNetAddress()->text()), "Remote Address:");
    EXPECT_EQ(shown(d.Label1()->text()), "TCP/IP Address:");
    EXPECT_EQ(d.lblNetAddress()->buddy(), d.txtNWAddress());
    EXPECT_EQ(d.Label1()->buddy(), d.txtIP());
    for (const char* name : {"txtHint", "cmdConnectLocal", "lblNetAddress", "txtNWAddress", "cmdConnectNet",
                             "Label1", "txtIP", "cmdIP"})
        EXPECT_NE(d.findChild<QWidget*>(name), nullptr) << name;

    // Tab walks local, remote box, remote button, TCP box, TCP button.
    QWidget* w = d.cmdConnectLocal();
    for (QWidget* next : {static_cast<QWidget*>(d.txtNWAddress()), static_cast<QWidget*>(d.cmdConnectNet()),
                          static_cast<QWidget*>(d.txtIP()), static_cast<QWidget*>(d.cmdIP())}) {
        do w = w->nextInFocusChain();
        while (!(w->focusPolicy() & Qt::TabFocus));
        EXPECT_EQ(w, next) << next->objectName().toStdString();
    }
}

TEST_F(ConnectDialogTest, RemoteBoxOffersTheLastStationWithoutChangingTheAddress) {
    Open();
    EXPECT_EQ(dialog->txtNWAddress()->text(), "1");  // after the local module
    EXPECT_EQ(dialog->txtIP()->text(), DEFAULT_TCP_ENDPOINT);
    EXPECT_EQ(StationNow(), (Station{0, 0, 0}));
    EXPECT_FALSE(dialog->Chosen());

    SetStation({12, 0, 3});
    linkState().TcpAddress = "10.1.2.3:4001";
    Open();
    EXPECT_EQ(dialog->txtNWAddress()->text(), "12");
    EXPECT_EQ(dialog->txtIP()->text(), "10.1.2.3:4001");

    SetStation({999, 0, 0});
    Open();
    EXPECT_EQ(dialog->txtNWAddress()->text(), "");
    EXPECT_EQ(StationNow(), (Station{999, 0, 0}));
}

TEST_F(ConnectDialogTest, ClosingWithoutAChoiceLeavesEverythingAsItWas) {
    for (Station before : {Station{0, 0, 0}, Station{7, 2, 1}}) {
        SetStation(before);
        linkState().TcpLinkActive = true;
        Open();
        dialog->close();
        EXPECT_FALSE(dialog->isVisible());
        EXPECT_EQ(StationNow(), before);
        EXPECT_FALSE(dialog->Chosen());
        EXPECT_TRUE(linkState().TcpLinkActive);
        ExpectTimeout(7);
        ExpectFirstChannels(false);
    }
    Open();
    dialog->reject();  // Escape
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_FALSE(dialog->Chosen());
}

TEST_F(ConnectDialogTest, RemoteStationGetsRouteThreeAndThreeTimesTheTimeOut) {
    linkState().TcpLinkActive = true;
    Open();
    dialog->txtNWAddress()->setText("5");
    dialog->cmdConnectNet()->click();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(StationNow(), (Station{5, 0, 3}));
    ExpectTimeout(60);
    EXPECT_TRUE(dialog->Chosen());
    EXPECT_FALSE(linkState().TcpLinkActive);
    EXPECT_EQ(connectState().ConnectType, CONNECT_REMOTE);
    ExpectFirstChannels(true);
    EXPECT_TRUE(prompts.Shown().isEmpty());

    // The highest station a frame's destination byte holds.
    Open();
    dialog->txtNWAddress()->setText("255");
    dialog->cmdConnectNet()->click();
    EXPECT_EQ(StationNow(), (Station{255, 0, 3}));
}

TEST_F(ConnectDialogTest, LocalModuleGetsTheConfiguredTimeOut) {
    SetStation({12, 0, 3});
    connectState().ConnectType = CONNECT_REMOTE;
    linkState().TcpLinkActive = true;
    Open();
    dialog->cmdConnectLocal()->click();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(StationNow(), (Station{0, 0, 0}));
    ExpectTimeout(20);
    EXPECT_TRUE(dialog->Chosen());
    EXPECT_FALSE(linkState().TcpLinkActive);
    EXPECT_EQ(connectState().ConnectType, CONNECT_LOCAL_OR_TCP);
    ExpectFirstChannels(true);
}

TEST_F(ConnectDialogTest, EmptyRemoteBoxAsksForAnAddressAndOffersStationOne) {
    SetStation({12, 0, 3});
    Open();
    dialog->txtNWAddress()->clear();
    dialog->cmdConnectNet()->click();
    ASSERT_EQ(prompts.Shown().size(), 1);
    const ShownBox& box = prompts.Shown()[0];
    EXPECT_EQ(box.text, "Invalid Network Address, Please enter a valid address!");
    EXPECT_EQ(box.buttons, vbOKOnly);
    EXPECT_EQ(box.icon, vbNoIcon);
    EXPECT_EQ(box.title, AppTitle());
    EXPECT_EQ(dialog->txtNWAddress()->text(), "1");
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(StationNow(), (Station{12, 0, 3}));
    EXPECT_FALSE(dialog->Chosen());
}

TEST_F(ConnectDialogTest, RemoteStationZeroKeepsTheDialogOpenSilently) {
    Open();
    dialog->txtNWAddress()->setText("0");
    dialog->cmdConnectNet()->click();
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_TRUE(prompts.Shown().isEmpty());
    EXPECT_FALSE(dialog->Chosen());
    EXPECT_EQ(StationNow(), (Station{0, 0, 0}));
    ExpectTimeout(7);
}

TEST_F(ConnectDialogTest, StationsBeyondTheDestinationByteAreRefused) {
    for (const char* number : {"256", "999"}) {
        prompts.Clear();
        SetStation({12, 0, 3});
        Open();
        dialog->txtNWAddress()->setText(number);
        dialog->cmdConnectNet()->click();
        ASSERT_EQ(prompts.Shown().size(), 1) << number;
        EXPECT_EQ(prompts.Shown()[0].icon, vbCritical);
        EXPECT_EQ(prompts.Shown()[0].title, AppTitle());
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_EQ(dialog->focusWidget(), dialog->txtNWAddress());
        EXPECT_EQ(StationNow(), (Station{12, 0, 3}));
        EXPECT_FALSE(dialog->Chosen());
        ExpectTimeout(7);
        ExpectFirstChannels(false);
    }
}

TEST_F(ConnectDialogTest, RemoteBoxTakesThreeDigitsAndEnterPressesConnectRemoteOnce) {
    Open();
    QLineEdit* box = dialog->txtNWAddress();
    box->clear();
    box->setFocus();
    TypeKey(box, Qt::Key_A, "a");
    for (const char* digit : {"4", "2", "7", "9"}) TypeKey(box, Qt::Key_0 + (digit[0] - '0'), digit);
    EXPECT_EQ(box->text(), "427");
    TypeKey(box, Qt::Key_Backspace);
    TypeKey(box, Qt::Key_Backspace);
    EXPECT_EQ(box->text(), "4");

    int presses = 0;
    QObject::connect(dialog->cmdConnectNet(), &QPushButton::clicked, [&presses] { ++presses; });
    TypeKey(box, Qt::Key_Return, "\r");
    EXPECT_EQ(presses, 1);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(StationNow(), (Station{4, 0, 3}));

    // After a remote read, Return and the keypad's Enter alike connect to the station
    // typed, never to the IP address that the dialog's default button would.
    for (const auto& [key, modifier] : {std::pair{Qt::Key_Return, Qt::NoModifier},
                                        std::pair{Qt::Key_Enter, Qt::KeypadModifier}}) {
        SCOPED_TRACE(key == Qt::Key_Return ? "Return" : "keypad Enter");
        connectState().ConnectType = CONNECT_REMOTE;
        SetStation({0, 0, 0});
        Open();
        EXPECT_TRUE(ActiveAsShown(dialog.get()));
        int remote = 0, ip = 0;
        QObject::connect(dialog->cmdConnectNet(), &QPushButton::clicked, [&remote] { ++remote; });
        QObject::connect(dialog->cmdIP(), &QPushButton::clicked, [&ip] { ++ip; });
        Enter(dialog->txtNWAddress(), QStringLiteral("17"));
        QTest::keyClick(dialog->txtNWAddress(), key, modifier);
        EXPECT_EQ(remote, 1);
        EXPECT_EQ(ip, 0);
        EXPECT_FALSE(dialog->isVisible());
        EXPECT_EQ(StationNow(), (Station{17, 0, 3}));
        EXPECT_EQ(linkState().TcpAddress, QString()) << "no IP connection was made";
    }
}

TEST_F(ConnectDialogTest, FocusGoesToTheButtonOfTheLastPath) {
    connectState().ConnectType = CONNECT_REMOTE;
    Open();
    EXPECT_EQ(dialog->focusWidget(), dialog->cmdConnectNet());

    connectState().ConnectType = CONNECT_LOCAL_OR_TCP;
    Open();
    EXPECT_EQ(dialog->focusWidget(), dialog->cmdConnectLocal());

    settings().PortProtocol = LOCALPORT_MODULE_8N1;
    EXPECT_EQ(ConnectFocusOnActivate(), ConnectFocus::Unchanged);
}

TEST_F(ConnectDialogTest, IpConnectSendsTheStartTextOnceConnectedAndNothingElse) {
    const quint16 port = sim.ListenTcp(0);
    ASSERT_NE(port, 0);
    SetStation({12, 0, 3});
    linkState().TcpStartPauseMs = 150;
    Open();
    const QString endpoint = QStringLiteral("127.0.0.1:%1").arg(port);
    dialog->txtIP()->setText(endpoint);
    QElapsedTimer clock;
    clock.start();
    dialog->cmdIP()->click();
    EXPECT_GE(clock.elapsed(), 150);  // the module's network side is given its pause
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_TRUE(dialog->Chosen());
    EXPECT_TRUE(linkState().TcpLinkActive);
    EXPECT_EQ(linkState().TcpAddress, endpoint);
    EXPECT_EQ(StationNow(), (Station{0, 0, 0}));
    ExpectTimeout(20);
    EXPECT_EQ(connectState().ConnectType, CONNECT_LOCAL_OR_TCP);
    ExpectFirstChannels(true);
    EXPECT_TRUE(prompts.Shown().isEmpty());
    // The start text is no request: no reply countdown, no transaction left behind.
    EXPECT_FALSE(host->TimerEnabled(LinkTimer::CommIn));
    EXPECT_FALSE(OpenTransactionNow());

    ASSERT_TRUE(WaitUntil([this] { return sim.ReceivedRaw().size() >= TCP_START_TEXT_LENGTH; }));
    EXPECT_EQ(sim.ReceivedRaw(), StartText());
}

TEST_F(ConnectDialogTest, IpConnectAgainOpensANewConnectionThatStartsWithTheStartText) {
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    const QString endpoint = QStringLiteral("127.0.0.1:%1").arg(server.serverPort());
    QList<QTcpSocket*> connections;
    QObject::connect(&server, &QTcpServer::newConnection, [&] {
        while (QTcpSocket* c = server.nextPendingConnection()) connections.append(c);
    });
    for (int round = 0; round < 2; ++round) {
        Open();
        dialog->txtIP()->setText(endpoint);
        dialog->cmdIP()->click();
        ASSERT_TRUE(dialog->Chosen());
    }
    ASSERT_TRUE(WaitUntil([&] {
        return connections.size() == 2 && connections[1]->bytesAvailable() >= TCP_START_TEXT_LENGTH;
    }));
    EXPECT_EQ(connections[0]->readAll(), StartText());
    EXPECT_EQ(connections[1]->readAll(), StartText());
}

TEST_F(ConnectDialogTest, IpConnectToAnEndpointThatDoesNotAnswerClosesCancelled) {
    const quint16 port = ClosedPort();
    ASSERT_NE(port, 0);
    SetStation({12, 0, 3});
    Open();
    dialog->txtIP()->setText(QStringLiteral("127.0.0.1:%1").arg(port));
    dialog->cmdIP()->click();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_FALSE(dialog->Chosen());
    EXPECT_FALSE(linkState().TcpLinkActive);
    EXPECT_EQ(StationNow(), (Station{0, 0, 0}));
    ExpectTimeout(20);
    ASSERT_EQ(prompts.Shown().size(), 1);
    EXPECT_TRUE(prompts.Shown()[0].text.startsWith(QStringLiteral("Failed to connect to Korvel") + kLineBreak +
                                                   QStringLiteral("Winsock Error: 10061")));
}

TEST_F(ConnectDialogTest, BadEndpointsAreRefusedWithNothingSent) {
    const quint16 port = sim.ListenTcp(0);
    ASSERT_NE(port, 0);
    const QString good = QStringLiteral("127.0.0.1:%1").arg(port);
    for (const char* bad : kBadEndpoints) {
        prompts.Clear();
        SetStation({12, 0, 3});
        linkState().TcpAddress = good;
        Open();
        dialog->txtIP()->setText(bad);
        dialog->cmdIP()->click();
        ASSERT_EQ(prompts.Shown().size(), 1) << bad;
        EXPECT_EQ(prompts.Shown()[0].icon, vbCritical) << bad;
        EXPECT_EQ(prompts.Shown()[0].buttons, vbOKOnly) << bad;
        EXPECT_EQ(prompts.Shown()[0].title, AppTitle()) << bad;
        EXPECT_TRUE(dialog->isVisible()) << bad;
        EXPECT_EQ(dialog->focusWidget(), dialog->txtIP()) << bad;
        EXPECT_EQ(linkState().TcpAddress, good) << bad;
        EXPECT_EQ(StationNow(), (Station{12, 0, 3})) << bad;
        EXPECT_FALSE(dialog->Chosen()) << bad;
        ExpectTimeout(7);
        EXPECT_EQ(TcpClientSocket().State(), sckClosed) << bad;
    }
    QCoreApplication::processEvents();
    EXPECT_FALSE(sim.ClientConnected());
    EXPECT_TRUE(sim.ReceivedRaw().isEmpty());
}

TEST(TcpEndpoint, SplitsHostAndPortAndRefusesAnythingElse) {
    QString host;
    quint16 port = 0;
    ASSERT_TRUE(ParseTcpEndpoint(" module.local : 65535 ", &host, &port));
    EXPECT_EQ(host, "module.local");
    EXPECT_EQ(port, 65535);
    ASSERT_TRUE(ParseTcpEndpoint(DEFAULT_TCP_ENDPOINT, &host, &port));
    EXPECT_EQ(host, "192.168.1.100");
    EXPECT_EQ(port, 10001);
    EXPECT_TRUE(ParseTcpEndpoint("h:1", nullptr, nullptr));
    for (const char* bad : kBadEndpoints) {
        host = "kept";
        port = 9;
        EXPECT_FALSE(ParseTcpEndpoint(bad, &host, &port)) << bad;
        EXPECT_EQ(host, "kept");
        EXPECT_EQ(port, 9);
    }
}

// Closes whatever modal dialog is still up after a long while, so a dialog that never
// ends fails its test instead of hanging the run; gone with the test that made it.
class HangGuard {
public:
    HangGuard() {
        timer_.setSingleShot(true);
        QObject::connect(&timer_, &QTimer::timeout, [] {
            if (QWidget* w = QApplication::activeModalWidget()) w->close();
        });
        timer_.start(20000);
    }

private:
    QTimer timer_;
};

TEST_F(ConnectDialogTest, RunShowsTheDialogModalUntilAChoiceCompletes) {
    bool sawModal = false;
    QTimer::singleShot(0, [&sawModal] {
        auto* d = qobject_cast<frmCancelSend*>(QApplication::activeModalWidget());
        if (!d) return;
        sawModal = true;
        d->cmdConnectLocal()->click();
    });
    HangGuard guard;
    EXPECT_TRUE(frmCancelSend::Run(nullptr)) << "the local module was chosen";
    EXPECT_TRUE(sawModal);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

class OfflineDeviceTest : public ::testing::Test {};

TEST_F(OfflineDeviceTest, OffersBothKindsUnderAPrompt) {
    frmOfflineDeviceSelection d(nullptr);
    EXPECT_EQ(d.windowTitle(), "Offline Device Selection");
    EXPECT_EQ(QString(d.Label1()->text()).remove('&'), "Offline Device Type:");
    EXPECT_EQ(d.Label1()->buddy(), d.Combo1());
    EXPECT_EQ(d.Combo1()->objectName(), "Combo1");
    EXPECT_EQ(d.Combo1()->placeholderText(), "select a device...");
    EXPECT_EQ(d.Combo1()->currentIndex(), -1);
    ASSERT_EQ(d.Combo1()->count(), 2);
    EXPECT_EQ(d.Combo1()->itemText(0), "Korvel");
    EXPECT_EQ(d.Combo1()->itemText(1), "Pellar");
    EXPECT_EQ(d.GetDeviceType(), 0);
}

TEST_F(OfflineDeviceTest, ChoosingAnItemStoresItAndEndsTheWait) {
    frmOfflineDeviceSelection d(nullptr);
    d.show();
    d.Combo1()->setFocus();
    TypeKey(d.Combo1(), Qt::Key_Down);  // the first item, picked from the keyboard
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(d.GetDeviceType(), 0);
    EXPECT_EQ(d.result(), QDialog::Accepted);

    frmOfflineDeviceSelection pellar(nullptr);
    pellar.show();
    pellar.Combo1()->setCurrentIndex(1);
    emit pellar.Combo1()->activated(1);
    EXPECT_FALSE(pellar.isVisible());
    EXPECT_EQ(pellar.GetDeviceType(), 1);
}

TEST_F(OfflineDeviceTest, ClosingWithoutAChoiceGivesKorvel) {
    QTimer::singleShot(0, [] {
        if (QWidget* w = QApplication::activeModalWidget()) w->close();
    });
    HangGuard guard;
    EXPECT_EQ(frmOfflineDeviceSelection::Choose(nullptr), 0);

    QTimer::singleShot(0, [] {
        auto* d = qobject_cast<frmOfflineDeviceSelection*>(QApplication::activeModalWidget());
        if (!d) return;
        d->Combo1()->setCurrentIndex(1);
        emit d->Combo1()->activated(1);
    });
    EXPECT_EQ(frmOfflineDeviceSelection::Choose(nullptr), 1);
}

} // namespace
