#include "recorder/ServiceHeartbeat.h"

#include <algorithm>

namespace kelm {

QString ServiceHeartbeat::statusLine(const ServiceView& view) {
    if (!view.recording) return view.statusText;
    // Hours are not wrapped: a long recording shows all of them.
    const qint64 seconds = std::max<qint64>(0, view.elapsedMs / 1000);
    return QStringLiteral("Felvétel: %1, %2:%3:%4")
        .arg(view.fileName)
        .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

QList<QByteArray> ServiceHeartbeat::tick(const ServiceView& view, qint64 monotonicMs) {
    QList<QByteArray> messages;
    const QString status = statusLine(view);
    if (status != m_lastStatus &&
        (!m_statusSent || monotonicMs - m_lastStatusAt >= kMinimumGapMs)) {
        messages.append("STATUS=" + status.toUtf8());
        m_lastStatus = status;
        m_lastStatusAt = monotonicMs;
        m_statusSent = true;
    }

    // A new file starts from its own size: the last file's bytes say nothing.
    if (view.fileName != m_fileAtLastPing) m_bytesAtLastPing = -1;
    const bool grew = view.fileBytes > m_bytesAtLastPing;
    const bool due = !m_pinged || monotonicMs - m_lastPingAt >= kMinimumGapMs;
    if (due && (!view.recording || grew)) {
        messages.append(QByteArrayLiteral("WATCHDOG=1"));
        m_lastPingAt = monotonicMs;
        m_pinged = true;
        m_bytesAtLastPing = view.recording ? view.fileBytes : -1;
        m_fileAtLastPing = view.recording ? view.fileName : QString();
    }
    return messages;
}

}  // namespace kelm
