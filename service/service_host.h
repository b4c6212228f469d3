#pragma once

#include "platform/service_status.h"
#include "shared/kelm_service.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace kelm {

// tallysvc as a service: reports its state to the service manager and hands the work to the
// scheduler, the start on the service thread and the stop on the main thread.
class ServiceHost {
public:
    explicit ServiceHost(CKelmService& service) : service_(service) {}

    // The service thread: start pending, the whole start, running, then waits for the stop.
    void ServiceMain();
    // The main thread: stop (1) or interrogate (4); other controls are ignored.
    void ServiceCtrlHandler(std::uint32_t control);

private:
    CKelmService& service_;
    platform::ServiceStatusReporter status_;
    std::mutex mutex_;
    std::condition_variable stoppedChanged_;
    bool stopped_ = false;
};

} // namespace kelm
