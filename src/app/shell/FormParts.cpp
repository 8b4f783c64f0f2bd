#include "FormParts.h"

#include "encoder/OutputFileName.h"

#include <QComboBox>

namespace kelm {

QString SourceLists::videoSourceText() const {
    return videoSource->currentText();
}

QString SourceLists::audioSourceText() const {
    return audioSource->currentText();
}

bool SourceLists::pictureFileChosen() const {
    return videoSource->currentText() == OutputFileName::kVideoFileSource;
}

void SourceLists::setEditable(bool editable) {
    for (QComboBox* list : {audioSource, audioInput, videoSource}) list->setEnabled(editable);
    videoInput->setEnabled(editable && !pictureFileChosen());
}

bool setListText(QComboBox* list, const QString& text, const std::function<void()>& onSelected) {
    const int index = list->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index < 0) return false;
    const QSignalBlocker quiet(list);
    list->setCurrentIndex(index);
    if (onSelected) onSelected();
    return true;
}

}  // namespace kelm
