#pragma once

#include <QString>
#include <QtGlobal>

#include <array>
#include <atomic>

namespace kelm {

// When each source of the capture graph last delivered, so that a source that
// has gone quiet (a hung sound server, a stalled USB device) is told from one
// that runs. The streaming threads note every buffer, lock-free; any thread
// reads. Times are the system's monotonic clock, so a jump of the wall clock
// never looks like silence.
class SourceActivity final {
public:
    enum class Source { Picture = 0, Sound = 1 };

    // Streaming threads: a buffer of this source has arrived.
    void noteDelivered(Source source);
    // How many buffers have arrived so far.
    quint64 deliveries(Source source) const;
    // Milliseconds since the last buffer; -1 before the first.
    qint64 silentForMs(Source source) const;

    // "sound card default has delivered nothing for 2.4 s": the cause of a
    // failure in the engine's words, with the source as the graph names it.
    static QString silenceCause(const QString& sourceName, qint64 silentMs);

private:
    static qint64 nowNs();

    std::array<std::atomic<qint64>, 2> m_lastNs{{-1, -1}};
    std::array<std::atomic<quint64>, 2> m_count{{0, 0}};
};

}  // namespace kelm
