#include "capture/Xtimer.h"

#include <QTimer>
#include <map>

namespace kelm {

// ---- QtTimerService ----

struct QtTimerService::Timers {
    std::map<std::uint32_t, std::unique_ptr<QTimer>> running;
    std::uint32_t nextId = 1;
    Callback callback;
};

QtTimerService::QtTimerService() : m_timers(std::make_unique<Timers>()) {}
QtTimerService::~QtTimerService() = default;

void QtTimerService::setCallback(Callback callback) {
    m_timers->callback = std::move(callback);
}

std::uint32_t QtTimerService::startTimer(int intervalMs) {
    const std::uint32_t id = m_timers->nextId++;
    auto timer = std::make_unique<QTimer>();
    timer->setInterval(intervalMs);
    Timers* timers = m_timers.get();
    QObject::connect(timer.get(), &QTimer::timeout, timer.get(), [timers, id] {
        if (timers->callback) timers->callback(id);
    });
    timer->start();
    m_timers->running.emplace(id, std::move(timer));
    return id;
}

void QtTimerService::killTimer(std::uint32_t timerId) {
    const auto it = m_timers->running.find(timerId);
    if (it == m_timers->running.end()) return;
    // Killed from inside its own tick: the QTimer goes once the tick is over.
    it->second->stop();
    it->second.release()->deleteLater();
    m_timers->running.erase(it);
}

// ---- XtimerTable ----

XtimerTable::XtimerTable(TimerService& service) : m_service(service) {
    m_service.setCallback([this](std::uint32_t id) { timerCallback(id); });
}

XtimerTable::~XtimerTable() {
    for (Entry& e : m_entries) {
        if (e.timerId != 0) {
            m_service.killTimer(e.timerId);
            if (e.timer) e.timer->m_timerId = 0;
        }
    }
    m_service.setCallback(nullptr);
}

int XtimerTable::entryOf(std::uint32_t timerId) const {
    if (timerId == 0) return 0;
    for (size_t i = 0; i < m_entries.size(); ++i) {
        if (m_entries[i].timerId == timerId) return int(i) + 1;
    }
    return 0;
}

XtimerStatus XtimerTable::startSystemTimer(Xtimer& timer, int intervalMs, std::uint32_t* timerId) {
    const std::uint32_t id = m_service.startTimer(intervalMs);
    if (id == 0) return {XtimerStatus::kNoTimers, QStringLiteral("Keine Zeitgeber verfügbar.")};
    size_t slot = m_entries.size();
    for (size_t i = 0; i < m_entries.size(); ++i) {
        if (m_entries[i].timerId == 0) {
            slot = i;
            break;
        }
    }
    if (slot == m_entries.size()) m_entries.resize(m_entries.size() + 5);
    m_entries[slot] = Entry{&timer, id, false};
    *timerId = id;
    return {};
}

void XtimerTable::stopSystemTimer(Xtimer& timer) {
    const int entry = entryOf(timer.m_timerId);
    if (entry == 0) return;
    Entry& e = m_entries[size_t(entry) - 1];
    m_service.killTimer(e.timerId);
    e.timer = nullptr;
    e.timerId = 0;
}

void XtimerTable::forget(Xtimer& timer) {
    for (Entry& e : m_entries) {
        if (e.timer == &timer) {
            m_service.killTimer(e.timerId);
            e.timer = nullptr;
            e.timerId = 0;
        }
    }
}

void XtimerTable::timerCallback(std::uint32_t timerId) {
    const int entry = entryOf(timerId);
    if (entry == 0) {
        m_service.killTimer(timerId);
        return;
    }
    // The table may grow during the tick (a handler starting a timer), so the
    // entry is found again by number afterwards.
    if (m_entries[size_t(entry) - 1].busy) return;
    m_entries[size_t(entry) - 1].busy = true;
    const TickResult result = m_entries[size_t(entry) - 1].timer->raiseTick();
    Entry& e = m_entries[size_t(entry) - 1];
    if (result == TickResult::Failed && e.timerId == timerId) {
        m_service.killTimer(timerId);
        e.timerId = 0;
        e.timer = nullptr;
    }
    e.busy = false;
}

// ---- Xtimer ----

Xtimer::~Xtimer() {
    if (m_timerId != 0) m_table.forget(*this);
}

XtimerStatus Xtimer::setEnabled(bool value) {
    if (value == m_enabled) return {};
    m_enabled = value;
    if (m_intervalMs == 0) return {};
    if (value) return m_table.startSystemTimer(*this, m_intervalMs, &m_timerId);
    if (m_timerId != 0) {
        m_table.stopSystemTimer(*this);
        m_timerId = 0;
    }
    return {};
}

XtimerStatus Xtimer::setInterval(int intervalMs) {
    if (intervalMs == m_intervalMs) return {};
    m_intervalMs = intervalMs;
    if (m_timerId != 0) {
        m_table.stopSystemTimer(*this);
        m_timerId = 0;
    }
    if (intervalMs != 0 && m_enabled)
        return m_table.startSystemTimer(*this, intervalMs, &m_timerId);
    return {};
}

TickResult Xtimer::raiseTick() {
    return Timer ? Timer() : TickResult::Continue;
}

}  // namespace kelm
