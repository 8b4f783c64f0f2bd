#pragma once

#include <QMessageBox>
#include <QString>

class QWidget;

namespace kelm {

// Where Stampel's messages go. The program shows modal message boxes; tests
// record the texts instead, since a modal box would stop an unattended run.
class MessageSink {
public:
    virtual ~MessageSink() = default;
    // Shows `text` titled `caption` with `icon` and an OK button only. Returns
    // once the operator has dismissed it (or at once, for a recorder).
    virtual void showMessage(QWidget* parent, QMessageBox::Icon icon, const QString& caption,
                             const QString& text) = 0;
};

}  // namespace kelm
