#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace kelm {

// What the service manager is told on each status tick, decided from what
// the recorder shows: its status in words, and the recording, if one runs.
struct ServiceView {
    QString statusText;      // the status icon's words
    bool recording = false;  // a recording runs
    QString fileName;        // the running recording's file, without its folder
    qint64 elapsedMs = 0;    // the media time its file holds
    qint64 fileBytes = 0;    // the bytes written to it so far
};

// The messages of systemd's notify protocol a long unattended run needs:
// STATUS= whenever the words change (at most once a second), and WATCHDOG=1
// while KELM is sound. An idle or armed recorder is sound when its status
// tick runs; a recording only while its file grows, so a recorder whose file
// has stopped growing is left for the manager to restart once its watchdog
// time runs out.
class ServiceHeartbeat final {
public:
    static constexpr qint64 kMinimumGapMs = 1000;

    // The messages to send at this tick; `monotonicMs` is the clock's
    // monotonic time.
    QList<QByteArray> tick(const ServiceView& view, qint64 monotonicMs);

    // The words STATUS= carries for `view`.
    static QString statusLine(const ServiceView& view);

private:
    QString m_lastStatus;
    qint64 m_lastStatusAt = 0;
    bool m_statusSent = false;
    qint64 m_lastPingAt = 0;
    bool m_pinged = false;
    qint64 m_bytesAtLastPing = -1;
    QString m_fileAtLastPing;
};

}  // namespace kelm
