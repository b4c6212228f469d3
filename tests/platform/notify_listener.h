#pragma once

#include <chrono>
#include <optional>
#include <string>

namespace kelm::test {

// The service manager's end of the notify protocol: a unix datagram socket at a fresh path, for
// use as NOTIFY_SOCKET.
class NotifyListener {
public:
    NotifyListener();
    ~NotifyListener();
    NotifyListener(const NotifyListener&) = delete;
    NotifyListener& operator=(const NotifyListener&) = delete;

    const std::string& path() const { return path_; }
    // The next datagram, or nothing when none comes within the wait.
    std::optional<std::string> next(std::chrono::milliseconds wait = std::chrono::seconds(5));

private:
    std::string path_;
    int fd_ = -1;
};

} // namespace kelm::test
