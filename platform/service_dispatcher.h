#pragma once

#include <cstdint>
#include <functional>

namespace kelm::platform {

// Runs the service under systemd: the service's main function on a thread of its own, the
// controls (SIGTERM = stop, SIGUSR1 = interrogate) on the calling thread.
class ServiceDispatcher {
public:
    static constexpr std::uint32_t kControlStop = 1;
    static constexpr std::uint32_t kControlInterrogate = 4;

    using ServiceMain = std::function<void()>;
    using ControlHandler = std::function<void(std::uint32_t control)>;

    // False at once, having done nothing, when NOTIFY_SOCKET is not set (not started by the
    // service manager), or when the control channel cannot be set up. Otherwise blocks SIGTERM
    // and SIGUSR1 (call it before the process starts any other thread, so every thread inherits
    // the mask), starts serviceMain, hands each control to controlHandler on this thread, and
    // returns true once serviceMain has returned. The two signals stay blocked afterwards, so a
    // late stop cannot kill the exiting process.
    static bool run(const ServiceMain& serviceMain, const ControlHandler& controlHandler);

    // Blocks SIGTERM and SIGUSR1 in the calling thread, so that a stop that arrives before run
    // waits for it instead of ending the process. The first thing main does.
    static void holdControls();
};

} // namespace kelm::platform
