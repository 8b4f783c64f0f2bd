#pragma once

#include "FormParts.h"

#include <QString>
#include <functional>

namespace kelm {

// The event log's panel under the controls: the box that shows the log's
// lines, and the button that shows or hides it. Whether it is shown lives
// here; the button's picture and tip only show it.
class LogPanel final {
public:
    // `setWindowHeight` fits the window to the panel: taller while it is shown.
    LogPanel(const LogPanelWidgets& widgets, std::function<void(int)> setWindowHeight)
        : m_widgets(widgets), m_setWindowHeight(std::move(setWindowHeight)) {}

    // Window heights with the log panel shown and hidden, from 6255 and 4315 twips.
    static constexpr int kHeightShown = 6255 / 15;
    static constexpr int kHeightHidden = 4315 / 15;

    bool isShown() const { return m_shown; }
    // Shows the panel's state on its button (and the pointing hand over it).
    void showButton();
    // The button: shows a hidden panel, hides a shown one.
    void toggle();

    // The log's box: a line appended at its end, kept in view; or all cleared.
    void append(const QString& text);
    void clear();

private:
    LogPanelWidgets m_widgets;
    std::function<void(int)> m_setWindowHeight;
    bool m_shown = true;
};

}  // namespace kelm
