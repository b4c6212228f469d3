#include "platform/service_dispatcher.h"

#include "platform/unique_fd.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <thread>
#include <unistd.h>

namespace kelm::platform {

namespace {

// Drains the signal descriptor and hands the controls on, in arrival order.
void deliverControls(int signalFd, const ServiceDispatcher::ControlHandler& controlHandler)
{
    signalfd_siginfo info{};
    while (::read(signalFd, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
        if (info.ssi_signo == SIGTERM)
            controlHandler(ServiceDispatcher::kControlStop);
        else if (info.ssi_signo == SIGUSR1)
            controlHandler(ServiceDispatcher::kControlInterrogate);
    }
}

sigset_t controlSignals()
{
    sigset_t controls;
    sigemptyset(&controls);
    sigaddset(&controls, SIGTERM);
    sigaddset(&controls, SIGUSR1);
    return controls;
}

} // namespace

void ServiceDispatcher::holdControls()
{
    const sigset_t controls = controlSignals();
    ::pthread_sigmask(SIG_BLOCK, &controls, nullptr);
}

bool ServiceDispatcher::run(const ServiceMain& serviceMain, const ControlHandler& controlHandler)
{
    const char* notifySocket = std::getenv("NOTIFY_SOCKET");
    if (notifySocket == nullptr || *notifySocket == '\0')
        return false;

    const sigset_t controls = controlSignals();
    sigset_t previous;
    if (::pthread_sigmask(SIG_BLOCK, &controls, &previous) != 0)
        return false;
    const UniqueFd signalFd(::signalfd(-1, &controls, SFD_NONBLOCK | SFD_CLOEXEC));
    const UniqueFd mainDone(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC));
    if (signalFd.get() < 0 || mainDone.get() < 0) {
        ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
        return false;
    }

    std::thread service([&serviceMain, &mainDone] {
        serviceMain();
        const std::uint64_t one = 1;
        while (::write(mainDone.get(), &one, sizeof one) < 0 && errno == EINTR) {
        }
    });

    pollfd fds[2] = {{signalFd.get(), POLLIN, 0}, {mainDone.get(), POLLIN, 0}};
    for (;;) {
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            break; // cannot wait any more: only the service's own end is left to wait for
        }
        if (fds[1].revents != 0)
            break;
        if (fds[0].revents != 0)
            deliverControls(signalFd.get(), controlHandler);
    }
    service.join();
    return true;
}

} // namespace kelm::platform
