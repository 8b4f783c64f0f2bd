#pragma once

#include "ShellPorts.h"
#include "encoder/Encoder.h"

#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>

class QMainWindow;

namespace kelm {

class MonitorWindow;
class Toolbar;
struct ZoomWidgets;
struct RecorderState;

// The monitor window's operations: on/off, auto-align with its 20 ms follow
// timer, stay on top, zoom, dragging, and which picture it shows. The window
// is created on first use. Its check marks live in the View menu and are
// copied to the popup twins by every operation that changes them.
class MonitorControl final : public QObject, public MonitorPort {
    Q_OBJECT
public:
    static constexpr int kFollowIntervalMs = 20;

    MonitorControl(QMainWindow& main, Toolbar& toolbar, const ZoomWidgets& zoom,
                   RecorderState& state, std::function<Encoder*()> encoder);
    ~MonitorControl() override;

    // MonitorPort
    bool isVisible() const override;
    void sendToBack() override;
    void reapplyOnTop() override;
    void attachSourceView() override;
    void applyMonitorButton(bool pressed) override;
    void stopFollowTimer() override;
    void setEncoderViewRunning(bool running) override;
    void unload() override;

    // The commands of the toolbar and the menus.
    void monitorMenuCommand(const std::function<void()>& runMonitorButtonClick);
    void autoAlignCommand();
    void onTopCommand();
    void zoomCommand(int index);

    void alignMonitor();
    MonitorWindow* window() const { return m_window.get(); }
    bool followTimerActive() const { return m_follow.isActive(); }

private:
    MonitorWindow& ensureWindow();
    void applyZoom(double zoom);
    void applyOnTop();
    void updateFeed();
    void focusMain();
    void onFrame(const kelm::PreviewFrame& frame);

    QMainWindow& m_main;
    Toolbar& m_toolbar;
    const ZoomWidgets& m_zoomWidgets;
    RecorderState& m_state;
    std::function<Encoder*()> m_encoder;
    std::unique_ptr<MonitorWindow> m_window;
    QTimer m_follow;
    bool m_feedWanted = false;  // the live picture should reach the window
    double m_zoom = 1;
    Encoder* m_connected = nullptr;
};

}  // namespace kelm
