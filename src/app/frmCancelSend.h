// The connect dialog: which station to talk to, and over which path.
#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace korvel {

// The hint shown at the top of the dialog, one entry per line.
inline constexpr const char* kConnectHintLines[4] = {
    "To connect via local serial port, click the CONNECT ",
    "LOCAL button. To connect to a remote station via FFSK,",
    "enter the station address and click on the CONNECT",
    "REMOTE  button. ",
};

class frmCancelSend : public QDialog {
    Q_OBJECT
public:
    // Modal; loads its boxes from what the link was last set to.
    explicit frmCancelSend(QWidget* owner);

    // Shows the dialog modal over owner until a choice completes or it is closed. True
    // when a choice completed (the station chosen, or the TCP connection made); closing
    // it without one, or a connect that failed, leaves the caller nothing to do.
    static bool Run(QWidget* owner);
    bool Chosen() const { return chosen_; }

    QPlainTextEdit* txtHint() const { return hint_; }
    QPushButton* cmdConnectLocal() const { return local_; }
    QLabel* lblNetAddress() const { return netLabel_; }
    QLineEdit* txtNWAddress() const { return netAddress_; }
    QPushButton* cmdConnectNet() const { return remote_; }
    QLabel* Label1() const { return ipLabel_; }
    QLineEdit* txtIP() const { return ip_; }
    QPushButton* cmdIP() const { return ipConnect_; }

    // Escape and the close box leave without a choice, except while a TCP connect runs:
    // that one closes the dialog itself when it ends.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void ConnectLocalClick();
    void ConnectNetClick();
    void IPClick();
    void FocusBox(QLineEdit* box);

    QPlainTextEdit* hint_ = nullptr;
    QPushButton* local_ = nullptr;
    QLabel* netLabel_ = nullptr;
    QLineEdit* netAddress_ = nullptr;
    QPushButton* remote_ = nullptr;
    QLabel* ipLabel_ = nullptr;
    QLineEdit* ip_ = nullptr;
    QPushButton* ipConnect_ = nullptr;
    // True (and the choice put off until the link is free, when it runs whole) while
    // another job has the link.
    bool WaitsItsTurn(void (frmCancelSend::*choice)());
    bool connecting_ = false;
    bool chosen_ = false;
};

} // namespace korvel
