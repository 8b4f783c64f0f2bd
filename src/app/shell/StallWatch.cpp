#include "StallWatch.h"

namespace kelm {

Q_LOGGING_CATEGORY(lcStall, "kelm.stall")

namespace {
constexpr int kBeatMs = 20;
// GUI thread only.
const char* g_running = nullptr;   // the innermost marked work running now
const char* g_lastSlow = nullptr;  // the last marked work that took too long
}  // namespace

StallWatch::StallWatch() {
    m_beat.setInterval(kBeatMs);
    m_beat.setTimerType(Qt::PreciseTimer);
    connect(&m_beat, &QTimer::timeout, this, &StallWatch::beat);
}

void StallWatch::start() {
    m_sinceBeat.start();
    m_beat.start();
}

void StallWatch::beat() {
    const qint64 gapMs = m_sinceBeat.restart() - kBeatMs;
    const char* work = BusyScope::current();
    g_lastSlow = nullptr;
    if (gapMs <= kLimitMs) return;
    const QString what = work ? QString::fromLatin1(work) : QStringLiteral("(unmarked work)");
    qCWarning(lcStall).noquote() << "the event loop stood still for" << gapMs << "ms:" << what;
    if (gapMs > m_longestMs) {
        m_longestMs = gapMs;
        m_longestWork = what;
    }
}

BusyScope::BusyScope(const char* what) : m_what(what), m_outer(g_running) {
    g_running = what;
    m_took.start();
}

BusyScope::~BusyScope() {
    g_running = m_outer;
    const qint64 ms = m_took.elapsed();
    if (ms <= StallWatch::kLimitMs) return;
    g_lastSlow = m_what;
    qCWarning(lcStall).noquote() << m_what << "held the window for" << ms << "ms";
}

const char* BusyScope::current() {
    return g_running ? g_running : g_lastSlow;
}

}  // namespace kelm
