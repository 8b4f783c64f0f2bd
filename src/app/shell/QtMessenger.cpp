#include "QtMessenger.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <QWidget>

namespace kelm {

QtMessenger::QtMessenger(QWidget* parent, std::function<void(const QString&)> logText)
    : m_parent(parent), m_logText(std::move(logText)) {}

bool QtMessenger::isHeadless() {
    return QGuiApplication::platformName() == u"offscreen";
}

Messenger::Answer QtMessenger::ask(const QString& text, Buttons buttons, Icon icon,
                                   Answer defaultAnswer) {
    if (isHeadless()) {
        if (m_logText) m_logText(text);
        return defaultAnswer;
    }
    QMessageBox box(m_parent);
    box.setWindowTitle(m_parent ? m_parent->window()->windowTitle() : QString());
    box.setText(text);
    switch (icon) {
        case Icon::Critical:
            box.setIcon(QMessageBox::Critical);
            break;
        case Icon::Warning:
            box.setIcon(QMessageBox::Warning);
            break;
        case Icon::Question:
            box.setIcon(QMessageBox::Question);
            break;
        case Icon::None:
            box.setIcon(QMessageBox::NoIcon);
            break;
    }
    auto toButton = [](Answer a) {
        switch (a) {
            case Answer::Ok:
                return QMessageBox::Ok;
            case Answer::Cancel:
                return QMessageBox::Cancel;
            case Answer::Yes:
                return QMessageBox::Yes;
            case Answer::No:
                return QMessageBox::No;
        }
        return QMessageBox::Ok;
    };
    switch (buttons) {
        case Buttons::Ok:
            box.setStandardButtons(QMessageBox::Ok);
            break;
        case Buttons::OkCancel:
            box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
            break;
        case Buttons::YesNo:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            break;
    }
    box.setDefaultButton(toButton(defaultAnswer));
    switch (box.exec()) {
        case QMessageBox::Ok:
            return Answer::Ok;
        case QMessageBox::Cancel:
            return Answer::Cancel;
        case QMessageBox::Yes:
            return Answer::Yes;
        case QMessageBox::No:
            return Answer::No;
        default:
            return buttons == Buttons::YesNo ? Answer::No : Answer::Cancel;
    }
}

}  // namespace kelm
