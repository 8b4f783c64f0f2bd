#pragma once

#include <QString>
#include <QVariant>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace kelm {

// The operating system's periodic timers as the callback timers use them.
// GUI thread only: ticks arrive through the event loop of the thread that
// started the timer.
class TimerService {
public:
    using Callback = std::function<void(std::uint32_t timerId)>;
    virtual ~TimerService() = default;
    // Every tick of every timer of this service goes to `callback`.
    virtual void setCallback(Callback callback) = 0;
    // A new periodic timer; its identifier, or 0 when no timer is available.
    virtual std::uint32_t startTimer(int intervalMs) = 0;
    // Safe for unknown identifiers and from inside a tick.
    virtual void killTimer(std::uint32_t timerId) = 0;
};

// A TimerService on QTimer.
class QtTimerService final : public TimerService {
public:
    QtTimerService();
    ~QtTimerService() override;
    void setCallback(Callback callback) override;
    std::uint32_t startTimer(int intervalMs) override;
    void killTimer(std::uint32_t timerId) override;

private:
    struct Timers;
    std::unique_ptr<Timers> m_timers;
};

class Xtimer;

// Result of starting a system timer: 0x80047925 "Keine Zeitgeber verfügbar."
// when the system has none left.
struct XtimerStatus {
    static constexpr std::uint32_t kNoTimers = 0x80047925;
    std::uint32_t code = 0;
    QString description;
    bool ok() const { return code == 0; }
};

// The table of running callback timers (one per program, owned by the main
// window): which Xtimer each system timer belongs to. Entries are numbered
// from 1, grow five at a time, and are freed for reuse, never removed. A tick
// is dropped while the previous tick of the same timer still runs; a tick
// handler that fails stops its own timer for good.
class XtimerTable final {
public:
    explicit XtimerTable(TimerService& service);
    ~XtimerTable();
    XtimerTable(const XtimerTable&) = delete;
    XtimerTable& operator=(const XtimerTable&) = delete;

    // Starts a system timer for `timer`; its identifier through `timerId`.
    XtimerStatus startSystemTimer(Xtimer& timer, int intervalMs, std::uint32_t* timerId);
    void stopSystemTimer(Xtimer& timer);
    void timerCallback(std::uint32_t timerId);

    int size() const { return int(m_entries.size()); }
    // 1-based entry of a running timer, 0 when it has none.
    int entryOf(std::uint32_t timerId) const;

private:
    friend class Xtimer;
    struct Entry {
        Xtimer* timer = nullptr;
        std::uint32_t timerId = 0;
        bool busy = false;
    };
    // An Xtimer going away while its timer runs.
    void forget(Xtimer& timer);

    TimerService& m_service;
    std::vector<Entry> m_entries;
};

// What a timer's tick handler reports: Failed stops that timer for good.
enum class TickResult { Continue, Failed };

// A periodic callback timer with an interval in ms and an on/off switch; it
// runs exactly while enabled with a non-zero interval (unless a failed tick
// stopped it: then only writing Enabled off and on, or a new interval,
// restarts it).
class Xtimer final {
public:
    explicit Xtimer(XtimerTable& table) : m_table(table) {}
    ~Xtimer();
    Xtimer(const Xtimer&) = delete;
    Xtimer& operator=(const Xtimer&) = delete;

    std::function<TickResult()> Timer;

    bool enabled() const { return m_enabled; }
    XtimerStatus setEnabled(bool value);
    int interval() const { return m_intervalMs; }
    XtimerStatus setInterval(int intervalMs);
    const QVariant& Tag() const { return m_tag; }
    void setTag(const QVariant& tag) { m_tag = tag; }
    TickResult raiseTick();
    std::uint32_t timerId() const { return m_timerId; }

private:
    friend class XtimerTable;
    XtimerTable& m_table;
    std::uint32_t m_timerId = 0;
    int m_intervalMs = 0;
    bool m_enabled = false;
    QVariant m_tag;
};

}  // namespace kelm
