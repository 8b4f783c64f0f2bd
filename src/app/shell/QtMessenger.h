#pragma once

#include "Messenger.h"

#include <functional>

class QWidget;

namespace kelm {

// Message boxes as QMessageBox. On the offscreen platform (a headless
// recording started from a timer), each box is logged through `logText` and
// answered with its default at once, so a headless run never hangs.
class QtMessenger final : public Messenger {
public:
    QtMessenger(QWidget* parent, std::function<void(const QString&)> logText);
    Answer ask(const QString& text, Buttons buttons, Icon icon, Answer defaultAnswer) override;

    bool canAsk() const override { return !isHeadless(); }
    static bool isHeadless();

private:
    QWidget* m_parent;
    std::function<void(const QString&)> m_logText;
};

}  // namespace kelm
