#include "shared/kelm_debug_log.h"

#include "platform/exclusive_file.h"
#include "platform/local_time.h"

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace kelm {

namespace {

const char* categoryTag(int category)
{
    switch (category) {
    case kCategoryDebug: return "DEBUG";
    case kCategoryZeb: return "ZEB";
    case kCategoryCalllog: return "CALLLOG";
    case kCategoryNetwork: return "NETWORK";
    default: return nullptr;
    }
}

constexpr platform::ExclusiveFile::Mode kReadWrite = platform::ExclusiveFile::Mode::ReadWriteCreate;

} // namespace

CKelmDebugLog::CKelmDebugLog(std::string programDirectory, const platform::Clock& clock)
    : programDirectory_(std::move(programDirectory)), clock_(clock)
{
}

std::string CKelmDebugLog::logPath() const
{
    return programDirectory_ + fileName.c_str();
}

std::string CKelmDebugLog::backupPath() const
{
    return logPath() + ".1";
}

void CKelmDebugLog::WriteLog(std::uint8_t level, int category, std::string_view message)
{
    const char* tag = categoryTag(category);
    if (tag == nullptr)
        return;
    const std::string stamp = platform::traceTimeStamp(clock_.now());

    // The file is opened, and so created, before the threshold is looked at.
    auto file = platform::ExclusiveFile::open(logPath(), kReadWrite);
    if (!file)
        return;
    const std::uint8_t thresholds[] = {globalLogLevel, zebLogLevel, calllogLevel, networkLogLevel};
    if (level > thresholds[category])
        return;

    std::string line;
    line.reserve(stamp.size() + message.size() + 20);
    line.append(stamp).append(" ").append(tag).append("[").append(std::to_string(level)).append("] ");
    line.append(message).append("\r\n");
    if (file->append(line))
        sizeCounter_ += static_cast<std::uint32_t>(line.size());
}

void CKelmDebugLog::OpenLog()
{
    auto file = platform::ExclusiveFile::open(logPath(), kReadWrite);
    const auto size = file ? file->size() : std::nullopt;
    sizeCounter_ = size ? static_cast<std::uint32_t>(*size) : 0;
}

void CKelmDebugLog::FileBackup()
{
    if (sizeCounter_ < static_cast<std::uint32_t>(maxSize))
        return;

    const std::string backup = backupPath();
    const int existing = ::open(backup.c_str(), O_RDONLY | O_CLOEXEC);
    if (existing >= 0) {
        // The message names the default file whatever the configured name is.
        WriteLog(kLevelDebug, kCategoryDebug, "CKelmDebugLog::FileBackup : delete old LOG.txt.1 file.");
        ::close(existing);
        ::unlink(backup.c_str());
    }
    if (std::rename(logPath().c_str(), backup.c_str()) != 0) {
        // Keep writing to the current file and its counter; the next check tries again. Say so
        // once per run of failures rather than on every tick.
        if (!rotationFailing_)
            WriteLog(kLevelError, kCategoryDebug, "CKelmDebugLog::FileBackup : rename log file unsuccessfully.");
        rotationFailing_ = true;
        return;
    }
    rotationFailing_ = false;
    sizeCounter_ = 0;
    WriteLog(kLevelDebug, kCategoryDebug, "CKelmDebugLog::FileBackup : get log file.");
}

} // namespace kelm
