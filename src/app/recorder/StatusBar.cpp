#include "StatusBar.h"

#include "Pictures.h"
#include "encoder/Encoder.h"
#include "recorder/RegionalFormat.h"
#include "recorder/TimeText.h"

#include <QLabel>
#include <QProgressBar>
#include <QStatusBar>
#include <cmath>

namespace kelm {

namespace {
constexpr int kProgressScale = 100;

QString kilo(qint64 value, const char* unit) {
    // Half-way values go to the even neighbour, as the status bar always did.
    return QString::number(qint64(std::nearbyint(double(value) / 1000.0))) +
           QString::fromLatin1(unit);
}
}  // namespace

void StatusBar::clearRecording() {
    for (auto p : {StatusBarWidgets::stFile, StatusBarWidgets::stEncodedTime,
                   StatusBarWidgets::stAudioBitrate})
        m_widgets.panel(p)->clear();
    setProgressValue(0);
}

void StatusBar::setPlannedSeconds(int seconds) {
    m_progressMaximum = seconds / 10.0;
    m_widgets.progress->setMaximum(int(std::lround(m_progressMaximum * kProgressScale)));
}

void StatusBar::setProgressValue(double value) {
    m_widgets.progress->setValue(int(std::lround(value * kProgressScale)));
}

double StatusBar::progressValue() const {
    return double(m_widgets.progress->value()) / kProgressScale;
}

void StatusBar::showStatistics(const EncoderStatistics& st) {
    m_widgets.panel(StatusBarWidgets::stFile)->setText(kilo(st.archiveBytes, " Kb"));
    const qint64 seconds = st.archiveDurationMs / 1000;
    m_widgets.panel(StatusBarWidgets::stEncodedTime)
        ->setText(QStringLiteral("%1:%2:%3")
                      .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
                      .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
                      .arg(seconds % 60, 2, 10, QLatin1Char('0')));
    setProgressValue(std::min(double(seconds) / 10.0, m_progressMaximum));
    m_widgets.panel(StatusBarWidgets::stAudioBitrate)->setText(kilo(st.audioBitrate, " Kbps"));
    m_widgets.panel(StatusBarWidgets::stAllBitrate)->setText(kilo(st.overallBitrate, " Kbps"));
}

void StatusBar::showClock(const QDateTime& now) {
    m_widgets.panel(StatusBarWidgets::stTime)->setText(TimeText::format(now.time()));
    m_widgets.panel(StatusBarWidgets::stDate)->setText(RegionalFormat::shortDate(now.date()));
}

void StatusBar::showStatus(int icon, const QString& tip) {
    QLabel* panel = m_widgets.panel(StatusBarWidgets::stImage);
    if (icon != m_icon) {
        panel->setPixmap(Pictures::statusIcon(icon).pixmap(16, 16));
        m_icon = icon;
    }
    panel->setToolTip(tip);
}

void StatusBar::showSpaceForecast(const QString& text) {
    m_widgets.bar->setToolTip(text);
}

void StatusBar::showSignalAlarms(const QString& text, const QString& tip) {
    QLabel* panel = m_widgets.signalAlarm;
    panel->setText(text);
    panel->setToolTip(tip);
    panel->setVisible(!text.isEmpty());
}

}  // namespace kelm
