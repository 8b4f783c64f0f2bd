#include "StatusLoop.h"

#include "StallWatch.h"

#include "FormParts.h"
#include "Messenger.h"
#include "RecordingControl.h"
#include "ServiceStatus.h"
#include "ShellPorts.h"
#include "SignalAlarms.h"
#include "StatusBar.h"
#include "TimeFields.h"
#include "Toolbar.h"
#include "encoder/Encoder.h"
#include "recorder/EventLog.h"
#include "recorder/TimeText.h"

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <QSlider>

namespace kelm {

StatusLoop::StatusLoop(RecorderContext& context, Parts parts)
    : m_ctx(context), m_parts(std::move(parts)) {
    m_tick.setInterval(300);
    QObject::connect(&m_tick, &QTimer::timeout, [this] { tick(); });
}

void StatusLoop::tick() {
    const BusyScope busy("status tick");
    if (m_ctx.process.ended()) return;
    m_parts.serviceStatus.tick();
    m_parts.signalAlarms.tick();
    Toolbar& tb = m_parts.toolbar;

    // While the sound card's control lists have no choice the rest waits.
    if (m_ctx.mixer.available()) {
        if (!m_ctx.mixer.hasSelection()) return;
        m_parts.mixerLines.sourceVolume->setValue(m_ctx.mixer.sourceControlValue());
        m_parts.mixerLines.destinationVolume->setValue(m_ctx.mixer.destinationControlValue());
    }

    const QDateTime now = m_ctx.clock.now();
    m_parts.statusBar.showClock(now);

    QAction* zoomMenu = tb.menu(Menu::mnuZoom)->menuAction();
    const ZoomWidgets& zoom = m_parts.zoom;
    if (tb.isPressed(Button::btnMonitor) && m_ctx.state.previewWanted) {
        if (tb.isEnabled(Button::btnMonitor)) {
            zoom.text->setEnabled(true);
            zoom.bar->setEnabled(true);
            zoomMenu->setEnabled(true);
        }
    } else {
        zoom.text->setEnabled(false);
        zoom.bar->setEnabled(false);
        zoomMenu->setEnabled(false);
    }

    mirrorMenus();
    updateStatusIcon();

    // Daily preparation: resets the flags before each day's recording.
    const auto startSecond = m_parts.timeFields.startSecond();
    if (m_ctx.state.mode.is(RecordingMode::Daily) && m_parts.timeFields.startHasFocus() &&
        startSecond && m_ctx.state.arm.isArmed() &&
        TimeText::secondsOfDay(now.time()) + 3 == *startSecond)
        m_parts.recordingControl.toggleRecording();

    m_ctx.log.enforceBoxLimit();
}

void StatusLoop::mirrorMenus() {
    // The mode's check marks are shown with the mode; the items follow their
    // buttons' lock here.
    Toolbar& tb = m_parts.toolbar;
    tb.menuItem(MenuItem::mnuStart)->setText(tb.startToolTip());
    const std::array<std::pair<MenuItem, Button>, 3> pairs{{{MenuItem::mnuMost, Button::btnMost},
                                                            {MenuItem::mnu1X, Button::btn1x},
                                                            {MenuItem::mnuNapi, Button::btnNapi}}};
    for (const auto& [item, button] : pairs) tb.menuItem(item)->setEnabled(tb.isEnabled(button));
}

void StatusLoop::updateStatusIcon() {
    Encoder* encoder = m_ctx.encoder();
    const RunState state = encoder ? encoder->runState() : RunState::Stopped;
    const bool armed = m_ctx.schedulerTick.isActive();
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
    // Little room left is shown beside a recording, and instead of idleness.
    if (m_ctx.state.lowSpace && icon != 103) {
        if (icon == 105) {
            tip += QStringLiteral(" - kevés a szabad hely");
        } else {
            icon = 103;
            tip = QStringLiteral("Kevés a szabad hely a media mappában!");
        }
    }
    m_icon = icon;
    m_ctx.state.statusText = tip;
    m_parts.statusBar.showStatus(icon, tip);
    // Only while the window is in the tray: hiding it there has already set
    // the window back to normal, so its minimised state says nothing.
    if (m_ctx.tray.isAdded()) {
        if (m_parts.setWindowIcon) m_parts.setWindowIcon(icon);
        m_ctx.tray.update(
            icon, (m_ctx.caption() + QStringLiteral(" - ") + tip).leftJustified(64, u' ', true));
    }
}

}  // namespace kelm
