#pragma once

#include "ShellPorts.h"
#include "SplashWindow.h"

#include <QPointer>

namespace kelm {

// The splash window while start-up runs. The window closes itself on a key or
// a click; unloading after that does nothing.
class SplashControl final : public SplashPort {
public:
    explicit SplashControl(QString version) : m_version(std::move(version)) {}
    ~SplashControl() override { unloadSplash(); }

    void showSplash() override {
        if (!m_window) {
            m_window = new SplashWindow(m_version);
            m_window->setAttribute(Qt::WA_DeleteOnClose);  // a key or click closes it for good
        }
        m_window->show();
        m_window->raise();
    }
    void unloadSplash() override {
        if (m_window) m_window->close();  // deletes it
    }
    SplashWindow* window() const { return m_window; }

private:
    QString m_version;
    QPointer<SplashWindow> m_window;
};

}  // namespace kelm
