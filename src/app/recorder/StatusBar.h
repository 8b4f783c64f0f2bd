#pragma once

#include "FormParts.h"

#include <QString>

class QDateTime;
class QIcon;
class QWidget;

namespace kelm {

struct EncoderStatistics;

// The status bar as the recorder uses it: a recording's size, time and bit
// rates with its progress, the clock, and the status icon with its tip. It
// only shows what it is given; nothing reads the recorder's state back from it.
class StatusBar final {
public:
    explicit StatusBar(const StatusBarWidgets& widgets) : m_widgets(widgets) {}

    // A new recording: its figures are cleared and its progress is at 0.
    void clearRecording();
    // The planned length of the recording the progress bar measures.
    void setPlannedSeconds(int seconds);
    // The running recording's figures, and its progress against the plan.
    void showStatistics(const EncoderStatistics& statistics);
    void showClock(const QDateTime& now);
    // The status icon `icon` (a picture number) with its tip.
    void showStatus(int icon, const QString& tip);
    // How many hours of recording the media folder's free space holds, as the
    // status bar's own tip.
    void showSpaceForecast(const QString& text);
    // The signal alarms running, as "Jelhiba: csend, állókép", with a tip
    // telling since when; an empty text hides the panel.
    void showSignalAlarms(const QString& text, const QString& tip);

    // The progress shown, in tens of seconds, and its maximum.
    double progressValue() const;
    double progressMaximum() const { return m_progressMaximum; }

    const StatusBarWidgets& widgets() const { return m_widgets; }

private:
    void setProgressValue(double value);

    StatusBarWidgets m_widgets;
    // The bar's maximum is a tenth of the planned seconds: kept here as
    // given, shown scaled.
    double m_progressMaximum = 0;
    int m_icon = 0;  // the picture shown, so an unchanged one is not set again
};

}  // namespace kelm
