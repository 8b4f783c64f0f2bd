#pragma once

#include "capture/Xtimer.h"

#include <map>

namespace kelm::test {

// System timers that tick only when the test says so.
class ManualTimerService final : public TimerService {
public:
    void setCallback(Callback callback) override { m_callback = std::move(callback); }
    std::uint32_t startTimer(int intervalMs) override {
        if (exhausted) return 0;
        const std::uint32_t id = m_nextId++;
        running[id] = intervalMs;
        return id;
    }
    void killTimer(std::uint32_t id) override {
        running.erase(id);
        killed.push_back(id);
    }
    // One period of timer `id`, as the system delivers it.
    void tick(std::uint32_t id) {
        if (m_callback) m_callback(id);
    }

    std::map<std::uint32_t, int> running;  // id -> interval
    std::vector<std::uint32_t> killed;
    bool exhausted = false;

private:
    Callback m_callback;
    std::uint32_t m_nextId = 100;
};

}  // namespace kelm::test
