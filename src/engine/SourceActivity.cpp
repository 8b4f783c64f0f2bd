#include "SourceActivity.h"

#include <chrono>

namespace kelm {

qint64 SourceActivity::nowNs() {
    using namespace std::chrono;
    return duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count();
}

void SourceActivity::noteDelivered(Source source) {
    const auto i = static_cast<std::size_t>(source);
    m_lastNs[i].store(nowNs(), std::memory_order_relaxed);
    m_count[i].fetch_add(1, std::memory_order_release);
}

quint64 SourceActivity::deliveries(Source source) const {
    return m_count[static_cast<std::size_t>(source)].load(std::memory_order_acquire);
}

qint64 SourceActivity::silentForMs(Source source) const {
    const qint64 last = m_lastNs[static_cast<std::size_t>(source)].load(std::memory_order_relaxed);
    if (last < 0) return -1;
    return (nowNs() - last) / 1'000'000;
}

QString SourceActivity::silenceCause(const QString& sourceName, qint64 silentMs) {
    if (silentMs < 0) return QStringLiteral("%1 has delivered nothing").arg(sourceName);
    return QStringLiteral("%1 has delivered nothing for %2 s")
        .arg(sourceName, QString::number(double(silentMs) / 1000.0, 'f', 1));
}

}  // namespace kelm
