// A LinkHost without widgets: real timers driving the link ticks, panel texts and
// item states kept in memory. Used until a main window installs itself, and by tests.
#pragma once

#include "link/linkhost.h"
#include "link/linktimerset.h"

#include <QObject>
#include <QTimer>
#include <array>

namespace korvel {

class BasicLinkHost : public QObject, public LinkHost {
    Q_OBJECT
public:
    explicit BasicLinkHost(QObject* parent = nullptr);
    void SetPanelText(int panel, const QString& text) override;
    QString PanelText(int panel) const override;
    void SetTimerEnabled(LinkTimer t, bool on) override;
    bool TimerEnabled(LinkTimer t) const override;
    void SetTimerInterval(LinkTimer t, int ms) override { timers_.Timer(t).setInterval(ms); }
    int TimerInterval(LinkTimer t) const override { return timers_.Interval(t); }
    void SetMenuEnabled(MenuItem item, bool on) override { menus_[Index(item)] = on; }
    void SetMenuVisible(MenuItem item, bool on) override { menusVisible_[Index(item)] = on; }
    void SetToolbarButtonEnabled(ToolButton button, bool on) override { buttons_[Index(button)] = on; }

    bool MenuEnabled(MenuItem item) const override { return menus_[Index(item)]; }
    bool MenuVisible(MenuItem item) const override { return menusVisible_[Index(item)]; }
    bool ToolbarButtonEnabled(ToolButton button) const override { return buttons_[Index(button)]; }
    QTimer& Timer(LinkTimer t) { return timers_.Timer(t); }

private:
    QString panels_[5];
    LinkTimerSet timers_;
    std::array<bool, kMenuItemCount> menus_, menusVisible_;
    std::array<bool, kToolButtonCount> buttons_;
};

} // namespace korvel
