#include "StatusLoop.h"

#include "StallWatch.h"

#include "MainForm.h"
#include "Messenger.h"
#include "Pictures.h"
#include "RecordingControl.h"
#include "ShellPorts.h"
#include "Toolbar.h"
#include "encoder/Encoder.h"
#include "recorder/EventLog.h"
#include "recorder/RegionalFormat.h"
#include "recorder/TimeText.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QWidget>

namespace kelm {

void StatusLoop::tick() {
    const BusyScope busy("status tick");
    if (m_ctx.process.ended()) return;
    MainForm& f = m_ctx.form;
    Toolbar& tb = *f.toolbar;

    // While the sound card's control lists have no choice the rest waits.
    if (m_ctx.mixer.available()) {
        if (!m_ctx.mixer.hasSelection()) return;
        f.Slider1->setValue(m_ctx.mixer.sourceControlValue());
        f.Slider2->setValue(m_ctx.mixer.destinationControlValue());
    }

    const QDateTime now = m_ctx.clock.now();
    f.panel(MainForm::stTime)->setText(TimeText::format(now.time()));
    f.panel(MainForm::stDate)->setText(RegionalFormat::shortDate(now.date()));

    QAction* zoomMenu = tb.menu(Menu::mnuZoom)->menuAction();
    if (tb.isPressed(Button::btnMonitor) && m_ctx.state.previewWanted) {
        if (tb.isEnabled(Button::btnMonitor)) {
            f.txtZoom->setEnabled(true);
            f.VScroll1->setEnabled(true);
            zoomMenu->setEnabled(true);
        }
    } else {
        f.txtZoom->setEnabled(false);
        f.VScroll1->setEnabled(false);
        zoomMenu->setEnabled(false);
    }

    mirrorMenus();
    updateStatusIcon();

    // Daily preparation: resets the flags before each day's recording.
    const auto startSecond = TimeText::secondsOfDay(f.txtStartTime->text());
    QWidget* active = f.txtStartTime->window()->focusWidget();
    if (tb.isPressed(Button::btnNapi) && active == f.txtStartTime && startSecond &&
        m_ctx.state.arm.isArmed() && TimeText::secondsOfDay(now.time()) + 3 == *startSecond)
        m_control.ToggleRecording();

    m_ctx.log.enforceBoxLimit();
}

void StatusLoop::mirrorMenus() {
    Toolbar& tb = *m_ctx.form.toolbar;
    tb.menuItem(MenuItem::mnuStart)->setText(tb.startToolTip());
    const std::array<std::pair<MenuItem, Button>, 3> pairs{{{MenuItem::mnuMost, Button::btnMost},
                                                            {MenuItem::mnu1X, Button::btn1x},
                                                            {MenuItem::mnuNapi, Button::btnNapi}}};
    for (const auto& [item, button] : pairs) {
        QAction* a = tb.menuItem(item);
        a->setEnabled(tb.isEnabled(button));
        a->setChecked(tb.isPressed(button));
    }
}

void StatusLoop::updateStatusIcon() {
    MainForm& f = m_ctx.form;
    Encoder* encoder = m_ctx.encoder();
    const RunState state = encoder ? encoder->runState() : RunState::Stopped;
    const bool armed = f.Timer1->isActive();
    int icon = 0;
    QString tip;
    if (m_ctx.state.nextStartWarning || m_ctx.state.recordingFailed) {
        icon = 103;
        tip = QStringLiteral("Encoder hiba!");
    } else if (state == RunState::Stopped && !armed) {
        icon = 101;
        tip = QStringLiteral("Encoder inaktív");
    } else if (state == RunState::Running) {
        icon = 105;
        tip = QStringLiteral("Felvétel");
    } else if (state == RunState::Stopped && armed) {
        icon = 104;
        tip = QStringLiteral("Nincs felvétel");
    } else {
        return;
    }
    QLabel* panel = f.panel(MainForm::stImage);
    if (icon != m_icon) {
        panel->setPixmap(Pictures::statusIcon(icon).pixmap(16, 16));
        m_icon = icon;
    }
    panel->setToolTip(tip);
    // Only while the window is in the tray: hiding it there has already set
    // the window back to normal, so its minimised state says nothing.
    if (m_ctx.tray.isAdded()) {
        panel->window()->setWindowIcon(Pictures::statusIcon(icon));
        m_ctx.tray.update(
            icon, (m_ctx.caption() + QStringLiteral(" - ") + tip).leftJustified(64, u' ', true));
    }
}

}  // namespace kelm
