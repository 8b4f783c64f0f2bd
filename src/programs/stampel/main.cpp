#include "FileDialogChooser.h"
#include "MessageBoxSink.h"
#include "StampelWindow.h"
#include "recorder/Clock.h"

#include <QApplication>
#include <QIcon>

// Stampel: writes the timecode subtitle file of an existing recording by hand.
int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Stampel"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/stampel/stampel.svg")));

    kelm::SystemClock clock;
    kelm::MessageBoxSink messages;
    kelm::FileDialogChooser chooser;
    kelm::StampelWindow window(clock, messages, chooser);
    window.show();
    return QApplication::exec();
}
