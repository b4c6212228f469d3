#pragma once

#include <optional>
#include <string>
#include <sys/types.h>

namespace kelm::tools {

// The service manager's end of the notify protocol: an AF_UNIX datagram socket at a fresh path in
// a private temporary directory, removed again on destruction.
class NotifySocket {
public:
    struct Message {
        std::string text;
        pid_t senderPid = 0; // from the sender's credentials, as the service manager sees it
        bool truncated = false;
    };

    static std::optional<NotifySocket> create(std::string& error);
    NotifySocket(NotifySocket&& other) noexcept;
    NotifySocket& operator=(NotifySocket&&) = delete;
    NotifySocket(const NotifySocket&) = delete;
    ~NotifySocket();

    int fd() const { return fd_; }
    const std::string& path() const { return path_; }
    // The next queued datagram; nothing when none is waiting.
    std::optional<Message> receive();

private:
    NotifySocket(int fd, std::string dir, std::string path)
        : fd_(fd), dir_(std::move(dir)), path_(std::move(path)) {}
    int fd_ = -1;
    std::string dir_;
    std::string path_;
};

} // namespace kelm::tools
