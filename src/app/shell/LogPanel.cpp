#include "LogPanel.h"

#include "Pictures.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>

namespace kelm {

void LogPanel::showButton() {
    QPushButton* button = m_widgets.toggle;
    if (m_shown) {
        button->setToolTip(QStringLiteral("Eseménynapló bezárása..."));
        button->setIcon(Pictures::icon(QStringLiteral("bitmap103")));
    } else {
        button->setToolTip(QStringLiteral("Eseménynapló lenyítása..."));
        button->setIcon(Pictures::icon(QStringLiteral("bitmap102")));
    }
    button->setCursor(Qt::PointingHandCursor);
}

void LogPanel::toggle() {
    m_shown = !m_shown;
    showButton();
    m_widgets.box->setVisible(m_shown);
    if (m_setWindowHeight) m_setWindowHeight(m_shown ? kHeightShown : kHeightHidden);
}

void LogPanel::append(const QString& text) {
    QPlainTextEdit* box = m_widgets.box;
    QTextCursor c = box->textCursor();
    c.movePosition(QTextCursor::End);
    box->setTextCursor(c);
    box->insertPlainText(QString(text).remove(u'\r'));
    box->ensureCursorVisible();
}

void LogPanel::clear() {
    m_widgets.box->clear();
}

}  // namespace kelm
