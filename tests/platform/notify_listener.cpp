#include "notify_listener.h"

#include <atomic>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace kelm::test {

NotifyListener::NotifyListener()
{
    static std::atomic<int> counter{0};
    path_ = "/tmp/kelm_notify_" + std::to_string(::getpid()) + "_" + std::to_string(counter++);
    ::unlink(path_.c_str());
    fd_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (fd_ < 0 || path_.size() >= sizeof address.sun_path)
        throw std::runtime_error("notify socket");
    path_.copy(address.sun_path, path_.size());
    if (::bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        throw std::runtime_error("bind " + path_);
}

NotifyListener::~NotifyListener()
{
    ::close(fd_);
    ::unlink(path_.c_str());
}

std::optional<std::string> NotifyListener::next(std::chrono::milliseconds wait)
{
    pollfd fd{fd_, POLLIN, 0};
    if (::poll(&fd, 1, static_cast<int>(wait.count())) != 1)
        return std::nullopt;
    char buffer[4096];
    const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
    if (n < 0)
        return std::nullopt;
    return std::string(buffer, static_cast<size_t>(n));
}

} // namespace kelm::test
