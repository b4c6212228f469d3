#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace kelm::platform {

enum class ServiceState { StartPending, Running, Stopped };

// The service's state reports to systemd over the notify protocol (sd_notify). The start, the
// stop and the ticks report from different threads, so the reporter serialises them.
class ServiceStatusReporter {
public:
    static constexpr size_t kMaxStatusText = 512;

    // start pending: STATUS=start pending; running: READY=1, STATUS=running;
    // stopped: STOPPING=1, STATUS=stopped. Stopped is final: a later report of any kind is
    // refused, so a start that ends after the stop never shows the service running again.
    // False when refused or not delivered.
    bool report(ServiceState state);

    // The answer to an interrogate: the last state report again, with the current status text.
    bool reportAgain();

    // Replaces only the STATUS= text (the service's health in words). Line breaks and other
    // control characters become blanks, so the text cannot add assignments of its own.
    bool setStatusText(std::string_view text);

private:
    bool send(ServiceState state);

    std::mutex mutex_;
    std::optional<ServiceState> state_;
    std::string text_;
};

} // namespace kelm::platform
