#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace kelm::platform {

// A file opened "without sharing": open(2) plus an exclusive flock(2) held until close. The two
// programs open KELM.conf and the trace log this way; waiting for the other one is bounded.
class ExclusiveFile {
public:
    static constexpr std::chrono::milliseconds kDefaultLockWait{1000};

    enum class Mode {
        ReadWriteCreate, // read and write, create when missing, never truncate
        ReadOnly,        // read only, never create
    };

    // Nothing when the file cannot be opened or the lock is not granted within lockWait.
    // createMode applies only when the file is created (before the umask).
    static std::optional<ExclusiveFile> open(const std::string& path, Mode mode,
                                             mode_t createMode = 0644,
                                             std::chrono::milliseconds lockWait = kDefaultLockWait);

    ExclusiveFile(ExclusiveFile&& other) noexcept;
    ExclusiveFile& operator=(ExclusiveFile&& other) noexcept;
    ExclusiveFile(const ExclusiveFile&) = delete;
    ExclusiveFile& operator=(const ExclusiveFile&) = delete;
    ~ExclusiveFile();

    std::optional<std::uint64_t> size() const;
    // The whole content from the beginning.
    std::optional<std::string> readAll() const;
    // Writes at the end of the file; true when every byte was written.
    bool append(std::string_view data);
    // Makes the file hold exactly data.
    bool replaceContent(std::string_view data);
    void close();

private:
    explicit ExclusiveFile(int fd) : fd_(fd) {}
    bool writeAll(std::string_view data);
    int fd_ = -1;
};

} // namespace kelm::platform
