#include "tools/notify_listener/notify_socket.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace kelm::tools {
namespace {

constexpr size_t kMaxMessage = 64 * 1024;

} // namespace

std::optional<NotifySocket> NotifySocket::create(std::string& error)
{
    const char* tmp = std::getenv("TMPDIR");
    std::string dirTemplate = std::string(tmp && *tmp ? tmp : "/tmp") + "/kelm-notify.XXXXXX";
    if (!::mkdtemp(dirTemplate.data())) {
        error = "cannot create a directory from " + dirTemplate + ": " + std::strerror(errno);
        return std::nullopt;
    }
    std::string path = dirTemplate + "/notify";
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) {
        error = "socket path too long: " + path;
        ::rmdir(dirTemplate.c_str());
        return std::nullopt;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);

    const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    const int on = 1;
    if (fd < 0 || ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::setsockopt(fd, SOL_SOCKET, SO_PASSCRED, &on, sizeof on) != 0) {
        error = "cannot set up the notify socket " + path + ": " + std::strerror(errno);
        if (fd >= 0)
            ::close(fd);
        ::unlink(path.c_str());
        ::rmdir(dirTemplate.c_str());
        return std::nullopt;
    }
    return NotifySocket(fd, dirTemplate, path);
}

NotifySocket::NotifySocket(NotifySocket&& other) noexcept
    : fd_(other.fd_), dir_(std::move(other.dir_)), path_(std::move(other.path_))
{
    other.fd_ = -1;
    other.dir_.clear();
    other.path_.clear();
}

NotifySocket::~NotifySocket()
{
    if (fd_ >= 0)
        ::close(fd_);
    if (!path_.empty())
        ::unlink(path_.c_str());
    if (!dir_.empty())
        ::rmdir(dir_.c_str());
}

std::optional<NotifySocket::Message> NotifySocket::receive()
{
    std::vector<char> buffer(kMaxMessage);
    // Room for the credentials and for descriptors someone might pass (closed unused).
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(ucred)) + CMSG_SPACE(sizeof(int) * 16)];
    iovec iov{buffer.data(), buffer.size()};
    msghdr header{};
    header.msg_iov = &iov;
    header.msg_iovlen = 1;
    header.msg_control = control;
    header.msg_controllen = sizeof control;
    ssize_t n;
    do {
        n = ::recvmsg(fd_, &header, MSG_CMSG_CLOEXEC);
    } while (n < 0 && errno == EINTR);
    if (n < 0)
        return std::nullopt;

    Message message;
    message.text.assign(buffer.data(), static_cast<size_t>(n));
    message.truncated = (header.msg_flags & MSG_TRUNC) != 0;
    for (cmsghdr* c = CMSG_FIRSTHDR(&header); c; c = CMSG_NXTHDR(&header, c)) {
        if (c->cmsg_level != SOL_SOCKET)
            continue;
        if (c->cmsg_type == SCM_CREDENTIALS && c->cmsg_len >= CMSG_LEN(sizeof(ucred))) {
            ucred credentials{};
            std::memcpy(&credentials, CMSG_DATA(c), sizeof credentials);
            message.senderPid = credentials.pid;
        } else if (c->cmsg_type == SCM_RIGHTS) {
            const size_t count = (c->cmsg_len - CMSG_LEN(0)) / sizeof(int);
            for (size_t i = 0; i < count; ++i) {
                int passed = -1;
                std::memcpy(&passed, CMSG_DATA(c) + i * sizeof(int), sizeof passed);
                ::close(passed);
            }
        }
    }
    return message;
}

} // namespace kelm::tools
