#include "platform/exclusive_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace kelm::platform {

namespace {

bool lockWithin(int fd, std::chrono::milliseconds wait)
{
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
            return true;
        if (errno != EWOULDBLOCK && errno != EINTR)
            return false;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

} // namespace

std::optional<ExclusiveFile> ExclusiveFile::open(const std::string& path, Mode mode,
                                                 mode_t createMode,
                                                 std::chrono::milliseconds lockWait)
{
    const int flags = mode == Mode::ReadWriteCreate ? (O_RDWR | O_CREAT) : O_RDONLY;
    int fd;
    do {
        fd = ::open(path.c_str(), flags | O_CLOEXEC, createMode);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return std::nullopt;
    struct stat st{};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || !lockWithin(fd, lockWait)) {
        ::close(fd);
        return std::nullopt;
    }
    return ExclusiveFile(fd);
}

ExclusiveFile::ExclusiveFile(ExclusiveFile&& other) noexcept : fd_(other.fd_)
{
    other.fd_ = -1;
}

ExclusiveFile& ExclusiveFile::operator=(ExclusiveFile&& other) noexcept
{
    if (this != &other) {
        close();
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

ExclusiveFile::~ExclusiveFile()
{
    close();
}

void ExclusiveFile::close()
{
    if (fd_ >= 0) {
        ::close(fd_); // releases the lock
        fd_ = -1;
    }
}

std::optional<std::uint64_t> ExclusiveFile::size() const
{
    struct stat st{};
    if (fd_ < 0 || ::fstat(fd_, &st) != 0)
        return std::nullopt;
    return static_cast<std::uint64_t>(st.st_size);
}

std::optional<std::string> ExclusiveFile::readAll() const
{
    if (fd_ < 0)
        return std::nullopt;
    std::string content;
    char buffer[8192];
    off_t offset = 0;
    for (;;) {
        const ssize_t n = ::pread(fd_, buffer, sizeof buffer, offset);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return std::nullopt;
        }
        if (n == 0)
            return content;
        content.append(buffer, static_cast<size_t>(n));
        offset += n;
    }
}

bool ExclusiveFile::writeAll(std::string_view data)
{
    while (!data.empty()) {
        const ssize_t n = ::write(fd_, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

bool ExclusiveFile::append(std::string_view data)
{
    if (fd_ < 0 || ::lseek(fd_, 0, SEEK_END) < 0)
        return false;
    return writeAll(data);
}

bool ExclusiveFile::replaceContent(std::string_view data)
{
    if (fd_ < 0 || ::lseek(fd_, 0, SEEK_SET) < 0 || !writeAll(data))
        return false;
    return ::ftruncate(fd_, static_cast<off_t>(data.size())) == 0;
}

} // namespace kelm::platform
