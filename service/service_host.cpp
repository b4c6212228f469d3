#include "service/service_host.h"

#include "platform/service_dispatcher.h"

namespace kelm {

void ServiceHost::ServiceMain()
{
    status_.report(platform::ServiceState::StartPending);
    service_.StartKelmService();
    // Refused when the stop was reported meanwhile: a stopped service never shows as running.
    if (status_.report(platform::ServiceState::Running))
        service_.setHealthObserver([this](const std::string& health) { status_.setStatusText(health); });

    std::unique_lock lock(mutex_);
    stoppedChanged_.wait(lock, [this] { return stopped_; });
}

void ServiceHost::ServiceCtrlHandler(std::uint32_t control)
{
    switch (control) {
    case platform::ServiceDispatcher::kControlStop:
        service_.UnInitialization(); // waits for a start or a tick in progress
        status_.report(platform::ServiceState::Stopped);
        {
            std::lock_guard lock(mutex_);
            stopped_ = true;
        }
        stoppedChanged_.notify_all();
        break;
    case platform::ServiceDispatcher::kControlInterrogate:
        status_.reportAgain();
        break;
    default:
        break;
    }
}

} // namespace kelm
