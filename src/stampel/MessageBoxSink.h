#pragma once

#include "MessageSink.h"

namespace kelm {

// The program's messages: a modal QMessageBox each.
class MessageBoxSink final : public MessageSink {
public:
    void showMessage(QWidget* parent, QMessageBox::Icon icon, const QString& caption,
                     const QString& text) override;
};

}  // namespace kelm
