#include "MessageBoxSink.h"

namespace kelm {

void MessageBoxSink::showMessage(QWidget* parent, QMessageBox::Icon icon, const QString& caption,
                                 const QString& text) {
    QMessageBox box(icon, caption, text, QMessageBox::Ok, parent);
    box.exec();
}

}  // namespace kelm
