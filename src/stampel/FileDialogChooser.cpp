#include "FileDialogChooser.h"

#include <QFileDialog>

namespace kelm {

QString FileDialogChooser::chooseRecording(QWidget* parent, const QString& currentPath) {
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilter(QStringLiteral("Video fájl (*.wmv)"));
    dialog.setDefaultSuffix(QStringLiteral("wmv"));
    if (!currentPath.isEmpty()) dialog.selectFile(currentPath);
    if (dialog.exec() != QDialog::Accepted) return QString();
    return dialog.selectedFiles().value(0);
}

}  // namespace kelm
