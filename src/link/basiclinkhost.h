// A LinkHost without widgets: real timers driving the link ticks, panel texts and
// item states kept in memory. Used until a main window installs itself, and by tests.
#pragma once

#include "link/linkhost.h"
#include "link/linktimerset.h"

#include <QHash>
#include <QObject>
#include <QTimer>

namespace korvel {

class BasicLinkHost : public QObject, public LinkHost {
    Q_OBJECT
public:
    explicit BasicLinkHost(QObject* parent = nullptr);
    void SetPanelText(int panel, const QString& text) override;
    QString PanelText(int panel) const override;
    void SetTimerEnabled(LinkTimer t, bool on) override;
    bool TimerEnabled(LinkTimer t) const override;
    void SetMenuEnabled(const QString& name, bool on) override { menus_[name] = on; }
    void SetMenuVisible(const QString& name, bool on) override { menusVisible_[name] = on; }
    void SetToolbarButtonEnabled(const QString& key, bool on) override { buttons_[key] = on; }
    void SetRadioCaption(const QString& text) override { radioCaption_ = text; }

    // Items never set report true (enabled as designed).
    bool MenuEnabled(const QString& name) const { return menus_.value(name, true); }
    bool MenuVisible(const QString& name) const { return menusVisible_.value(name, true); }
    bool ToolbarButtonEnabled(const QString& key) const { return buttons_.value(key, true); }
    QString RadioCaption() const { return radioCaption_; }
    QTimer& Timer(LinkTimer t) { return timers_.Timer(t); }

private:
    QString panels_[5];
    LinkTimerSet timers_;
    QHash<QString, bool> menus_, menusVisible_, buttons_;
    QString radioCaption_;
};

} // namespace korvel
