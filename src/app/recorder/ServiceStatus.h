#pragma once

#include "RecorderContext.h"
#include "recorder/ServiceHeartbeat.h"

namespace kelm {

class ServiceNotifier;

// Tells the service manager that started KELM (systemd) that it is up, what
// it records, and, from the status tick, that it is sound: the recording's
// file still grows. Does nothing when no manager listens.
class ServiceStatus final {
public:
    ServiceStatus(RecorderContext& context, ServiceNotifier& notifier)
        : m_ctx(context), m_notifier(notifier) {}

    // Start-up is done: READY=1 with the first status.
    void ready();
    // One status tick: the status when it changed, the watchdog when due.
    void tick();

private:
    ServiceView view() const;

    RecorderContext& m_ctx;
    ServiceNotifier& m_notifier;
    ServiceHeartbeat m_heartbeat;
};

}  // namespace kelm
