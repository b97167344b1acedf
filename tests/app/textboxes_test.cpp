// Every text box of every window shows the longest text it takes whole: as many of the
// widest characters as it accepts, or the longest text it shows, without scrolling.
#include "app/frmAbout.h"
#include "app/frmCancelSend.h"
#include "app/frmLocalComSetUp.h"
#include "app/frmOMRUPref.h"
#include "app/frmOfflineDeviceSelection.h"
#include "editors/channels/frmAnalogs.h"
#include "editors/channels/frmInputs.h"
#include "editors/channels/frmOutputs.h"
#include "editors/channels/frmShowConfiguration.h"
#include "editors/station/frmFFSK.h"
#include "editors/station/frmKenwood.h"
#include "editors/station/frmLevel.h"
#include "editors/station/frmModemProperty.h"
#include "editors/station/frmNMEAProperty.h"
#include "editors/station/frmSport.h"
#include "editors/station/frmSysDiag.h"
#include "editors/station/frmSystem.h"
#include "monitor/frmDateTime.h"
#include "monitor/frmLogger.h"
#include "monitor/frmPollerTask.h"
#include "monitor/frmStatus.h"
#include "monitor/frmTaskManager.h"
#include "control/session.h"
#include "support/appfixture.h"
#include "support/dialoghelpers.h"

#include <QAbstractSpinBox>
#include <QComboBox>
#include <QLineEdit>
#include <QStackedWidget>

#include <functional>
#include <memory>

using namespace korvel;
using namespace korvel::test;

namespace {

// The pixel column where box's text starts once it holds text with the cursor at its
// end; a text wider than the box is scrolled, and so starts left of where text starts.
int TextStart(QLineEdit* box, const QString& text) {
    box->setText(text);
    box->end(false);
    box->grab();  // the box scrolls its text as it paints it
    return box->inputMethodQuery(Qt::ImCursorRectangle).toRect().center().x() -
           box->fontMetrics().horizontalAdvance(text);
}

bool ShowsWhole(QLineEdit* box, const QString& text) {
    const Qt::Alignment alignment = box->alignment();
    box->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    const int left = TextStart(box, QString());
    box->setAlignment(alignment);
    // A pixel for rounding between the text's width and its laid-out characters.
    return TextStart(box, text) >= left - 1;
}

// The box on screen: every page it lies on made the current one, and laid out.
void BringForward(QLineEdit* box) {
    for (QWidget* w = box; w && !w->isWindow(); w = w->parentWidget())
        if (auto* pages = qobject_cast<QStackedWidget*>(w->parentWidget())) pages->setCurrentWidget(w);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
}

// What the box takes when typed into: the widest letters, or digits only.
QStringList LongestEntries(QLineEdit* box) {
    const int n = box->maxLength();
    const QString kept = box->text();
    box->setFocus(Qt::TabFocusReason);
    box->selectAll();
    TypeKey(box, Qt::Key_W, QStringLiteral("W"));
    const bool letters = box->text() == QStringLiteral("W");
    box->selectAll();
    TypeKey(box, Qt::Key_0, QStringLiteral("0"));
    const bool digits = box->text() == QStringLiteral("0");
    box->setText(kept);
    if (letters) return {QString(n, u'W'), QString(n, u'M'), QString(n, u'@')};
    if (digits) return {QString(n, u'0'), QString(n, u'8')};
    return {};
}

class TextBoxesTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        LoadKorvel(1);
        ConnectOverTcp();
        session().Online = 1;
    }

    // Checks every box of window; the names of those checked.
    QStringList CheckBoxes(QWidget* window) {
        window->show();
        EXPECT_TRUE(ActiveAsShown(window));
        QStringList checked;
        for (QLineEdit* box : window->findChildren<QLineEdit*>()) {
            // The lists' and up-downs' own boxes are sized by their controls, save the
            // bounded fields', which take typed numbers of a set length.
            if (qobject_cast<QComboBox*>(box->parentWidget())) continue;
            auto* upDown = qobject_cast<QAbstractSpinBox*>(box->parentWidget());
            if (upDown && !qobject_cast<BoundedField*>(upDown)) continue;
            BringForward(box);
            if (!box->isVisible()) continue;
            QStringList texts;
            if (box->isReadOnly()) texts << box->text();
            else if (box->maxLength() < 32767 && box->isEnabled()) texts = LongestEntries(box);
            const QString kept = box->text();
            for (const QString& text : texts) {
                if (text.isEmpty()) continue;
                EXPECT_TRUE(ShowsWhole(box, text)) << window->objectName().toStdString() << "."
                                                  << box->objectName().toStdString() << " cuts \""
                                                  << text.toStdString() << "\" (" << box->width() << " px)";
            }
            box->setText(kept);
            if (!texts.isEmpty()) checked << box->objectName();
        }
        return checked;
    }
    template <typename Window, typename... Args>
    QStringList Check(Args... args) {
        Window window(nullptr, args...);
        return CheckBoxes(&window);
    }
};

TEST_F(TextBoxesTest, EveryWindowsBoxesShowTheLongestTextTheyTakeWhole) {
    QStringList checked;
    checked << Check<frmSystem>() << Check<frmFFSK>() << Check<frmKenwood>(FleetSyncView{})
            << Check<frmNMEAProperty>() << Check<frmModemProperty>() << Check<frmSysDiag>() << Check<frmLevel>()
            << Check<frmInputs>() << Check<frmOutputs>() << Check<frmAnalogs>() << Check<frmShowConfiguration>()
            << Check<frmDateTime>() << Check<frmLogger>() << Check<frmTaskManager>() << Check<frmStatus>()
            << Check<frmCancelSend>() << Check<frmLocalComSetUp>() << Check<frmOMRUPref>() << Check<frmAbout>()
            << Check<frmOfflineDeviceSelection>();
    for (int port : {1, 2}) {
        session().SerialPortSelector = static_cast<int16_t>(port);
        checked << Check<frmSport>();
    }
    frmPollerTask::Start(nullptr);
    ASSERT_NE(frmPollerTask::Instance(), nullptr);
    checked << CheckBoxes(frmPollerTask::Instance());
    frmPollerTask::Instance()->close();

    // The boxes this is about are among those checked, on every page.
    for (const char* name : {"txtIChanOn0", "txtIChanOff7", "txtFleetNumber0", "txtIDNumber2", "txtCustom",
                             "txtNMEAInit", "txtPhoneNum", "txtATInitial", "txtMyAddress", "txtLevel",
                             "txtNWAddress", "txtHeader", "txtNumOfSamples", "txtSamples", "txtRams0",
                             "txtHighThresholdDBM", "txtSampleInterval", "txtRedOn"})
        EXPECT_TRUE(checked.contains(QString::fromLatin1(name))) << name;
}

} // namespace
