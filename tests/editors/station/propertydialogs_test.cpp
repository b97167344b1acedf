// The serial port editor's two property dialogs offscreen: the NMEA GPS settings (bit
// layouts loaded and stored, the record kept by Cancel and by a refused entry, texts kept
// byte for byte) and the modem settings (the phone number's keys, the IS-99 command, and
// nothing kept between openings).
#include "app/boundedfield.h"
#include "editors/station/frmModemProperty.h"
#include "editors/station/frmNMEAProperty.h"
#include "support/appfixture.h"
#include "support/dialoghelpers.h"
#include "support/configdiff.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

#include <array>
#include <functional>
#include <memory>

using namespace korvel;
using namespace korvel::test;

namespace {

// The controls Tab visits from the focused one, back to where it started.
QStringList TabRound(int stops) {
    QStringList names;
    for (int i = 0; i <= stops; ++i) {
        QWidget* f = QApplication::focusWidget();
        names << ControlName(f);
        if (f) TypeKey(f, Qt::Key_Tab);
    }
    return names;
}

// Label text (without '&') -> the name of its buddy, for every label of d.
QMap<QString, QString> Buddies(const QWidget& d) {
    QMap<QString, QString> m;
    for (const QLabel* l : d.findChildren<QLabel*>())
        if (l->text().contains('&')) m[Shown(l->text())] = l->buddy() ? l->buddy()->objectName() : QString();
    return m;
}

// Access keys used more than once among the labels and buttons of d.
QString RepeatedAccessKeys(const QWidget& d) {
    QStringList texts;
    for (const QLabel* l : d.findChildren<QLabel*>()) texts << l->text();
    for (const QAbstractButton* b : d.findChildren<QAbstractButton*>()) texts << b->text();
    QString seen, repeated;
    for (const QString& t : texts) {
        const qsizetype at = t.indexOf('&');
        if (at < 0 || at + 1 >= t.size()) continue;
        const QChar key = t.at(at + 1).toLower();
        (seen.contains(key) ? repeated : seen) += key;
    }
    return repeated;
}

class PropertyDialogFixture : public AppFixture {
protected:
    // Focus events, and so the fields' leave checks, reach only the active window; the
    // window system makes a new dialog active a little after it is shown.
    static void Activate(QWidget& d) { EXPECT_TRUE(ActiveAsShown(&d)); }
    // Opens Dialog through its entry point and runs act on it once it is up and active.
    template <typename Dialog>
    void With(std::function<void(Dialog&)> act) {
        WhenModal<Dialog>([act](Dialog& d) {
            Activate(d);
            act(d);
        });
        Dialog::Run(nullptr);
    }
};

class NmeaPropertyTest : public PropertyDialogFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        // Events reported; $GPGGA, $GPRMC and $GPGSA passed on; reports every 127 miles.
        config().NmeaConfig = NmeaSettings{0x81, 0x15, 0xFF, 0, 59, "$PINIT,1", "second", "$PABCD"};
    }
    void WithNmea(std::function<void(frmNMEAProperty&)> act) { With<frmNMEAProperty>(std::move(act)); }
    // Opens the dialog, runs act and presses OK; the configuration's changes since.
    QStringList ChangesAfterOk(std::function<void(frmNMEAProperty&)> act = {}) {
        const auto before = std::make_unique<StationConfig>(config());
        WithNmea([act](frmNMEAProperty& d) {
            if (act) act(d);
            d.cmdOK()->click();
        });
        return ConfigDifferences(*before, config());
    }
};

TEST_F(NmeaPropertyTest, ShowsItsControlsUnderTheirNamesInKeyboardOrder) {
    WithNmea([](frmNMEAProperty& d) {
        EXPECT_EQ(d.windowTitle(), "NMEA GPS Properties");
        EXPECT_TRUE(d.isModal());
        EXPECT_EQ(TabRound(16), QStringList({"chkMode", "ckbGPGGA", "ckbGPGLL", "ckbGPRMC", "ckbGPVTG", "ckbGPGSA",
                                             "ckbGPGSV", "ckbCustom", "txtCustom", "updDistance", "cboDistanceUnit",
                                             "updUpdateTime", "updTimeMark", "txtNMEAInit", "cmdOK", "cmdCancel",
                                             "chkMode"}));
        const QMap<QString, QString> buddies{{"Distance reporting:", "updDistance"},
                                             {"Update time:", "updUpdateTime"},
                                             {"GPS time mark:", "updTimeMark"},
                                             {"Init string 1:", "txtNMEAInit"}};
        EXPECT_EQ(Buddies(d), buddies);
        EXPECT_EQ(RepeatedAccessKeys(d), "");
        EXPECT_EQ(d.cboDistanceUnit()->itemText(0), "kilometers");
        d.cmdCancel()->click();
    });
    EXPECT_EQ(modalDialogs, 1);
}

TEST_F(NmeaPropertyTest, LoadsEachBitIntoItsControlAndStoresTheControlsBack) {
    WithNmea([](frmNMEAProperty& d) {
        EXPECT_TRUE(d.chkMode()->isChecked());
        const QCheckBox* boxes[] = {d.ckbGPGGA(), d.ckbGPGLL(), d.ckbGPRMC(), d.ckbGPVTG(),
                                    d.ckbGPGSA(), d.ckbGPGSV(), d.ckbCustom()};
        QString ticks;
        for (const QCheckBox* b : boxes) ticks += b->isChecked() ? '1' : '0';
        EXPECT_EQ(ticks, "1010100");
        EXPECT_EQ(d.cboDistanceUnit()->currentText(), "miles");
        EXPECT_EQ(d.txtDistance()->text(), "127");
        EXPECT_EQ(d.txtUpdateTime()->text(), "0");
        EXPECT_EQ(d.txtTimeMark()->text(), "59");
        EXPECT_EQ(d.txtNMEAInit()->text(), "$PINIT,1");
        EXPECT_EQ(d.txtCustom()->text(), "$PABCD");
        d.cmdCancel()->click();
    });
    // Untouched, only the unused low bits of the mode byte go.
    EXPECT_EQ(ChangesAfterOk(), QStringList{"NmeaConfig.Ccb1: 129 -> 128"});

    // Every box the other way round, and each number typed.
    const QStringList changes = ChangesAfterOk([](frmNMEAProperty& d) {
        for (QCheckBox* b : {d.chkMode(), d.ckbGPGGA(), d.ckbGPGLL(), d.ckbGPRMC(), d.ckbGPVTG(), d.ckbGPGSA(),
                             d.ckbGPGSV(), d.ckbCustom()})
            b->click();
        Enter(d.updDistance(), "5");
        d.cboDistanceUnit()->setCurrentIndex(0);
        Enter(d.updUpdateTime(), "255");
        Enter(d.updTimeMark(), "0");
    });
    EXPECT_EQ(changes, QStringList({"NmeaConfig.Ccb1: 128 -> 0", "NmeaConfig.Ccb2: 21 -> 170",
                                    "NmeaConfig.Ccb3: 255 -> 5", "NmeaConfig.ReportTime: 0 -> 255",
                                    "NmeaConfig.TimeMark: 59 -> 0"}));

    // The largest distance in miles fills the byte.
    ChangesAfterOk([](frmNMEAProperty& d) {
        Enter(d.updDistance(), "127");
        d.cboDistanceUnit()->setCurrentIndex(1);
    });
    EXPECT_EQ(config().NmeaConfig.Ccb3, 255);
    EXPECT_TRUE(prompts.Shown().isEmpty());
}

TEST_F(NmeaPropertyTest, UnusedBitsAreDroppedAndUsedOnesRoundTrip) {
    // {Ccb1, Ccb2, Ccb3 loaded}, {Ccb1, Ccb2 stored}: only unused bits set, then every used one.
    const std::pair<std::array<uint8_t, 3>, std::array<uint8_t, 2>> cases[] = {{{0x7F, 0x40, 0x80}, {0x00, 0x00}},
                                                                              {{0x80, 0xBF, 0x00}, {0x80, 0xBF}}};
    for (const auto& [loaded, stored] : cases) {
        NmeaSettings& n = config().NmeaConfig;
        n.Ccb1 = loaded[0];
        n.Ccb2 = loaded[1];
        n.Ccb3 = loaded[2];
        int ticked = 0;
        ChangesAfterOk([&ticked](frmNMEAProperty& d) {
            for (const QCheckBox* b : d.findChildren<QCheckBox*>()) ticked += b->isChecked();
        });
        EXPECT_EQ(n.Ccb1, stored[0]);
        EXPECT_EQ(n.Ccb2, stored[1]);
        EXPECT_EQ(n.Ccb3, loaded[2]) << "unit and distance kept";
        EXPECT_EQ(ticked, stored[0] ? 8 : 0) << "every box shows its bit";
    }
}

TEST_F(NmeaPropertyTest, CancelAndARefusedEntryLeaveTheRecordAsItWas) {
    const auto before = std::make_unique<StationConfig>(config());
    WithNmea([](frmNMEAProperty& d) {
        for (QCheckBox* b : d.findChildren<QCheckBox*>()) b->click();
        d.cboDistanceUnit()->setCurrentIndex(0);
        Enter(d.txtNMEAInit(), "changed");
        Enter(d.txtCustom(), "$X");
        Enter(d.updTimeMark(), "7");
        Enter(d.updUpdateTime(), "300");
        // Leaving a field for Cancel checks nothing.
        d.cmdCancel()->setFocus(Qt::MouseFocusReason);
        d.cmdCancel()->click();
    });
    EXPECT_EQ(ConfigDifferences(*before, config()), QStringList());
    EXPECT_TRUE(prompts.Shown().isEmpty());

    WithNmea([](frmNMEAProperty& d) {
        d.ckbGPGLL()->click();
        Enter(d.updUpdateTime(), "256");
        d.cmdOK()->click();
        EXPECT_TRUE(d.isVisible()) << "OK stops at the refused value";
        EXPECT_EQ(d.txtUpdateTime()->text(), "255");
        EXPECT_EQ(ControlName(QApplication::focusWidget()), "updUpdateTime");
        TypeKey(&d, Qt::Key_Escape);
    });
    EXPECT_EQ(modalDialogs, 2);
    ASSERT_EQ(prompts.Shown().size(), 1);
    EXPECT_EQ(prompts.Shown()[0].text, "Value greater than maximum, value is reset to maximum");
    EXPECT_EQ(ConfigDifferences(*before, config()), QStringList());
}

TEST_F(NmeaPropertyTest, OkByItsAccessKeyChecksTheFocusedFieldAndCancelChecksNothing) {
    const auto before = std::make_unique<StationConfig>(config());
    WithNmea([](frmNMEAProperty& d) {
        Enter(d.updUpdateTime(), "256");
        PressAccessKey(d.cmdCancel());
        EXPECT_FALSE(d.isVisible());
    });
    EXPECT_TRUE(prompts.Shown().isEmpty());
    EXPECT_EQ(ConfigDifferences(*before, config()), QStringList());

    WithNmea([](frmNMEAProperty& d) {
        Enter(d.updUpdateTime(), "256");
        PressAccessKey(d.cmdOK());
        EXPECT_TRUE(d.isVisible()) << "OK stops at the refused value";
        EXPECT_EQ(d.txtUpdateTime()->text(), "255");
        Enter(d.updUpdateTime(), "200");
        PressAccessKey(d.cmdOK());
        EXPECT_FALSE(d.isVisible());
    });
    EXPECT_EQ(ShownTexts(prompts), QStringList{"Value greater than maximum, value is reset to maximum"});
    // The unused bit goes with any OK.
    EXPECT_EQ(ConfigDifferences(*before, config()),
              (QStringList{"NmeaConfig.Ccb1: 129 -> 128", "NmeaConfig.ReportTime: 0 -> 200"}));
}

TEST_F(NmeaPropertyTest, TextsAreStoredByteForByteAndLongStoredOnesKeptWhole) {
    // A custom header longer than one can type, as a module or a file may hold.
    config().NmeaConfig.Ccb1 = 0x80;
    config().NmeaConfig.Custom = "$PABCDEFGHIJ";
    config().NmeaConfig.Init1 = "A\tB";
    const QStringList changes = ChangesAfterOk([](frmNMEAProperty& d) {
        EXPECT_EQ(d.txtCustom()->text(), "$PABCDEFGHIJ");
        // A control character the text holds does not lock the box.
        d.txtNMEAInit()->setFocus();
        d.txtNMEAInit()->end(false);
        TypeText(d.txtNMEAInit(), QStringLiteral("\u00E9\u20AC"));
    });
    EXPECT_EQ(changes, QStringList{QString::fromLatin1("NmeaConfig.Init1: \"A\tB\" -> \"A\tB\xE9\"")})
        << "the euro sign is not a single-byte character";
    EXPECT_EQ(config().NmeaConfig.Init1, QByteArray("A\tB\xE9"));

    config().NmeaConfig.Custom.clear();
    ChangesAfterOk([](frmNMEAProperty& d) {
        Enter(d.txtCustom(), QStringLiteral("$PQRSTUV\u00E9XYZ"));
        Enter(d.txtNMEAInit(), QString(45, u'x'));
    });
    EXPECT_EQ(config().NmeaConfig.Custom, QByteArray("$PQRSTUV"));
    EXPECT_EQ(config().NmeaConfig.Init1, QByteArray(40, 'x'));
    EXPECT_EQ(config().NmeaConfig.Init2, QByteArray("second")) << "not shown, not changed";
}

class ModemPropertyTest : public PropertyDialogFixture {
protected:
    void WithModem(std::function<void(frmModemProperty&)> act) { With<frmModemProperty>(std::move(act)); }
    static void ExpectStartingValues(const frmModemProperty& d) {
        EXPECT_EQ(d.txtPhoneNum()->text(), "");
        EXPECT_FALSE(d.ckbIS99()->isChecked());
        EXPECT_FALSE(d.txtIS99BaudCmd()->isEnabled());
        EXPECT_EQ(d.txtIS99BaudCmd()->text(), "AT+IPR=");
        EXPECT_EQ(d.txtATInitial()->text(), "ATE0&D1&C1S0=1");
        EXPECT_EQ(d.txtRingsUntilAnswer()->text(), "2");
        EXPECT_EQ(d.txtOKRetries()->text(), "5");
        EXPECT_EQ(d.txtOKTimeOut()->text(), "400");
        EXPECT_EQ(d.txtATHeartBeat()->text(), "1");
    }
};

TEST_F(ModemPropertyTest, ShowsTheStartingValuesUnderTheirNamesAndSwitchesTheBaudCommand) {
    WithModem([](frmModemProperty& d) {
        EXPECT_EQ(d.windowTitle(), "Modem Properties");
        EXPECT_TRUE(d.isModal());
        ExpectStartingValues(d);
        EXPECT_TRUE(d.lblNotKept()->isVisible());
        // Before any field is left (which accepts its text), the arrows go on from their
        // own starting value, not from the text shown.
        for (BoundedField* f : {d.updRingsUntilAnswer(), d.updOKRetries(), d.updOkTimeOut(), d.updATHeartBeat()})
            f->stepUp();
        EXPECT_EQ(d.txtRingsUntilAnswer()->text(), "2");
        EXPECT_EQ(d.txtOKRetries()->text(), "2");
        EXPECT_EQ(d.txtOKTimeOut()->text(), "200");
        EXPECT_EQ(d.txtATHeartBeat()->text(), "4");
        d.ckbIS99()->click();
        EXPECT_TRUE(d.txtIS99BaudCmd()->isEnabled());
        EXPECT_EQ(TabRound(10), QStringList({"txtPhoneNum", "ckbIS99", "txtIS99BaudCmd", "txtATInitial",
                                             "updRingsUntilAnswer", "updOKRetries", "updOkTimeOut", "updATHeartBeat",
                                             "cmdOK", "cmdCancel", "txtPhoneNum"}));
        const QMap<QString, QString> buddies{
            {"Phone number:", "txtPhoneNum"},         {"Baud Rate cmd:", "txtIS99BaudCmd"},
            {"AT Initial String:", "txtATInitial"},   {"Rings:", "updRingsUntilAnswer"},
            {"Retry:", "updOKRetries"},               {"Timeout (mSec) :", "updOkTimeOut"},
            {"Heartbeat (mins) :", "updATHeartBeat"},
        };
        EXPECT_EQ(Buddies(d), buddies);
        EXPECT_EQ(RepeatedAccessKeys(d), "");
        d.ckbIS99()->click();
        EXPECT_FALSE(d.txtIS99BaudCmd()->isEnabled());
        d.cmdCancel()->click();
    });
    EXPECT_EQ(modalDialogs, 1);
}

TEST_F(ModemPropertyTest, ThePhoneNumberTakesDigitsBlanksAndCommasOnly) {
    const std::pair<int, int> keys[] = {{'0', '0'}, {'9', '9'}, {' ', ' '}, {',', ','}, {8, 8},  {'/', 0},
                                        {':', 0},   {'-', 0},   {'a', 0},   {'+', 0},   {0, 0},  {0xE9, 0}};
    for (const auto& [key, result] : keys)
        EXPECT_EQ(frmModemProperty::ParsePhoneNumberEntry(int16_t(key)), result) << key;

    frmModemProperty d(nullptr);
    QLineEdit* phone = d.txtPhoneNum();
    TypeText(phone, "555 12,3");
    EXPECT_EQ(phone->text(), "555 12,3");
    TypeText(phone, "a-x");
    EXPECT_EQ(phone->text(), "555 12,3");
    TypeKey(phone, Qt::Key_Backspace, "\b");
    EXPECT_EQ(phone->text(), "555 12,");
    QGuiApplication::clipboard()->setText("12-34");
    phone->paste();
    EXPECT_EQ(phone->text(), "555 12,");
    QGuiApplication::clipboard()->setText("4 5,6");
    phone->paste();
    EXPECT_EQ(phone->text(), "555 12,4 5,6");
    TypeText(phone, "7890123");
    EXPECT_EQ(phone->text(), "555 12,4 5,67890") << "sixteen characters at most";
}

TEST_F(ModemPropertyTest, ItsAccessKeysCloseItWithoutCheckingWhatItDoesNotKeep) {
    const auto before = std::make_unique<StationConfig>(config());
    for (const bool ok : {true, false}) {
        WithModem([ok](frmModemProperty& d) {
            Enter(d.updRingsUntilAnswer(), "500");
            PressAccessKey(ok ? d.cmdOK() : d.cmdCancel());
            EXPECT_FALSE(d.isVisible());
        });
    }
    EXPECT_EQ(modalDialogs, 2);
    EXPECT_TRUE(prompts.Shown().isEmpty());
    EXPECT_EQ(ConfigDifferences(*before, config()), QStringList());
}

TEST_F(ModemPropertyTest, OkKeepsNothingAndTheNextOpeningStartsAfresh) {
    const auto before = std::make_unique<StationConfig>(config());
    QPointer<frmModemProperty> first;
    WithModem([&first](frmModemProperty& d) {
        first = &d;
        Enter(d.txtPhoneNum(), "5551234");
        d.ckbIS99()->click();
        Enter(d.txtIS99BaudCmd(), "AT+X=");
        Enter(d.txtATInitial(), "ATZ");
        Enter(d.updOKRetries(), "9");
        Enter(d.updOkTimeOut(), "800");
        Enter(d.updATHeartBeat(), "10");
        Enter(d.updRingsUntilAnswer(), "50");
        // A value beyond the limits is no reason to keep the window open.
        d.cmdOK()->setFocus(Qt::MouseFocusReason);
        d.cmdOK()->click();
    });
    EXPECT_EQ(modalDialogs, 1);
    EXPECT_TRUE(first.isNull()) << "released when closed";
    EXPECT_TRUE(prompts.Shown().isEmpty());
    EXPECT_EQ(ConfigDifferences(*before, config()), QStringList());

    WithModem([](frmModemProperty& d) {
        ExpectStartingValues(d);
        d.cmdOK()->click();
    });
    EXPECT_EQ(modalDialogs, 2);
}

} // namespace
