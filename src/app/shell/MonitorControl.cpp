#include "MonitorControl.h"

#include "FormParts.h"
#include "MonitorWindow.h"
#include "RecorderContext.h"
#include "Toolbar.h"
#include "shell/CommandTable.h"

#include <QAction>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QScrollBar>
#include <QSignalBlocker>

namespace kelm {

namespace {
constexpr int kTopAfterAlignOffPx = 100 / 15;  // 100 twips
}

MonitorControl::MonitorControl(QMainWindow& main, Toolbar& toolbar, const ZoomWidgets& zoom,
                               RecorderState& state, std::function<Encoder*()> encoder)
    : m_main(main),
      m_toolbar(toolbar),
      m_zoomWidgets(zoom),
      m_state(state),
      m_encoder(std::move(encoder)) {
    m_follow.setInterval(kFollowIntervalMs);
    connect(&m_follow, &QTimer::timeout, this, &MonitorControl::alignMonitor);
    connect(m_zoomWidgets.bar, &QScrollBar::valueChanged, this, [this](int value) {
        if (value >= 0 && value < kZoomCount) zoomCommand(value);
    });
}

MonitorControl::~MonitorControl() = default;

MonitorWindow& MonitorControl::ensureWindow() {
    if (!m_window) {
        m_window = std::make_unique<MonitorWindow>(&m_main);
        m_window->setFixedSize(MonitorWindow::sizeForZoom(m_zoom));
        m_window->setDraggable(!m_toolbar.menuItem(MenuItem::mnuAutoGo)->isChecked());
        m_window->setStaysOnTop(m_toolbar.menuItem(MenuItem::mnuOnTop)->isChecked());
        connect(m_window.get(), &MonitorWindow::popupRequested, this,
                [this](QPoint at) { m_toolbar.menu(Menu::mnuPopup)->popup(at); });
        connect(m_window.get(), &MonitorWindow::released, this, [this] { focusMain(); });
    }
    return *m_window;
}

bool MonitorControl::isVisible() const {
    return m_window && m_window->isVisible();
}

void MonitorControl::sendToBack() {
    if (m_window) m_window->lower();
}

// Re-applies the stay-on-top setting as it is; used after a message box and,
// by choice, after the monitor menu command and a zoom change (an inverting
// on-top command there would flip the operator's setting on every zoom).
void MonitorControl::reapplyOnTop() {
    applyOnTop();
}

void MonitorControl::applyOnTop() {
    if (m_window) m_window->setStaysOnTop(m_toolbar.menuItem(MenuItem::mnuOnTop)->isChecked());
    if (m_window && m_window->isVisible()) m_window->raise();
}

void MonitorControl::onTopCommand() {
    Toolbar& tb = m_toolbar;
    QAction* item = tb.menuItem(MenuItem::mnuOnTop);
    item->setChecked(!item->isChecked());
    tb.setPressed(Button::btnEncMonOntop, item->isChecked());
    applyOnTop();
    tb.menuItem(MenuItem::mnuOnTop2)->setChecked(item->isChecked());
    focusMain();
}

void MonitorControl::applyMonitorButton(bool pressed) {
    Toolbar& tb = m_toolbar;
    if (!pressed) {
        tb.menuItem(MenuItem::mnuMonitorWindow)->setChecked(false);
        m_follow.stop();
        if (m_window) m_window->hide();
        focusMain();
    } else {
        if (tb.isPressed(Button::btnEncAutoMove)) {
            ensureWindow();
            alignMonitor();
            m_follow.start();
        }
        tb.menuItem(MenuItem::mnuMonitorWindow)->setChecked(true);
        if (m_state.previewWanted) ensureWindow().show();
        focusMain();
    }
    tb.menuItem(MenuItem::mnuMonitorWindow2)
        ->setChecked(tb.menuItem(MenuItem::mnuMonitorWindow)->isChecked());
    updateFeed();
}

void MonitorControl::monitorMenuCommand(const std::function<void()>& runMonitorButtonClick) {
    Toolbar& tb = m_toolbar;
    QAction* item = tb.menuItem(MenuItem::mnuMonitorWindow);
    item->setChecked(!item->isChecked());
    tb.setPressed(Button::btnMonitor, item->isChecked());
    runMonitorButtonClick();
    reapplyOnTop();
    Encoder* encoder = m_encoder();
    if ((!encoder || encoder->runState() == RunState::Stopped) && m_state.previewWanted)
        attachSourceView();
    tb.menuItem(MenuItem::mnuMonitorWindow2)->setChecked(item->isChecked());
}

void MonitorControl::autoAlignCommand() {
    Toolbar& tb = m_toolbar;
    QAction* item = tb.menuItem(MenuItem::mnuAutoGo);
    if (item->isChecked()) {
        item->setChecked(false);
        tb.setPressed(Button::btnEncAutoMove, false);
        m_follow.stop();
        if (m_window && m_window->y() < 0) m_window->move(m_window->x(), kTopAfterAlignOffPx);
    } else {
        item->setChecked(true);
        tb.setPressed(Button::btnEncAutoMove, true);
        m_follow.start();
    }
    if (m_window) m_window->setDraggable(!item->isChecked());
    tb.menuItem(MenuItem::mnuAutoGo2)->setChecked(item->isChecked());
}

void MonitorControl::zoomCommand(int index) {
    Toolbar& tb = m_toolbar;
    for (int i = 0; i < kZoomCount; ++i) {
        tb.zoomItem(ZoomMenu::Main, i)->setChecked(i == index);
        tb.zoomItem(ZoomMenu::Popup, i)->setChecked(i == index);
    }
    {
        const QSignalBlocker block(m_zoomWidgets.bar);
        m_zoomWidgets.bar->setValue(index);
    }
    m_zoomWidgets.text->setText(zoomCaption(index));
    applyZoom(zoomFactor(index));
    Encoder* encoder = m_encoder();
    if ((!encoder || encoder->runState() == RunState::Stopped) && m_state.previewWanted)
        attachSourceView();
}

void MonitorControl::applyZoom(double zoom) {
    m_zoom = zoom;
    if (!m_window) return;  // the next window is made at this size
    m_window->setFixedSize(MonitorWindow::sizeForZoom(zoom));
    Encoder* encoder = m_encoder();
    if (!encoder || encoder->runState() != RunState::Running) return;
    // While recording, the window is shown again at its new size with the
    // follow timer and the on-top setting as they were.
    if (m_state.previewWanted && m_toolbar.menuItem(MenuItem::mnuMonitorWindow)->isChecked())
        m_window->show();
    if (m_toolbar.menuItem(MenuItem::mnuAutoGo)->isChecked()) {
        alignMonitor();
        m_follow.start();
    }
    reapplyOnTop();
}

void MonitorControl::alignMonitor() {
    if (!m_window) return;
    const QRect main = m_main.frameGeometry();
    m_window->move(main.x() + main.width() / 2 - m_window->width() / 2,
                   main.y() - m_window->height());
}

void MonitorControl::stopFollowTimer() {
    m_follow.stop();
}

void MonitorControl::attachSourceView() {
    m_feedWanted = true;
    updateFeed();
}

void MonitorControl::setEncoderViewRunning(bool running) {
    m_feedWanted = running;
    updateFeed();
}

void MonitorControl::unload() {
    m_follow.stop();
    m_feedWanted = false;
    updateFeed();
    m_window.reset();
}

// The engine converts and hands over frames only while someone looks at them:
// a hidden monitor costs nothing.
void MonitorControl::updateFeed() {
    Encoder* encoder = m_encoder();
    if (!encoder) return;
    if (m_connected != encoder) {
        connect(encoder, &Encoder::previewFrame, this, &MonitorControl::onFrame);
        m_connected = encoder;
    }
    const bool on = m_feedWanted && m_window && m_window->isVisible();
    if (encoder->previewEnabled() != on) encoder->setPreviewEnabled(on);
}

void MonitorControl::onFrame(const PreviewFrame& frame) {
    if (m_window && m_feedWanted) m_window->showFrame(frame);
}

void MonitorControl::focusMain() {
    if (m_main.isVisible()) m_main.activateWindow();
}

}  // namespace kelm
