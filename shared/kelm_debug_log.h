#pragma once

#include "platform/clock.h"
#include "shared/fixed_text.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace kelm {

// Levels of a trace line; a category's threshold admits every level up to and including itself.
inline constexpr std::uint8_t kLevelError = 1;
inline constexpr std::uint8_t kLevelWarning = 2;
inline constexpr std::uint8_t kLevelInfo = 3;
inline constexpr std::uint8_t kLevelDebug = 4;

// Categories of a trace line, each with its own threshold.
inline constexpr int kCategoryDebug = 0;
inline constexpr int kCategoryZeb = 1;
inline constexpr int kCategoryCalllog = 2;
inline constexpr int kCategoryNetwork = 3;

// The trace log: one text file in the program directory, one line per event, opened for each line
// so that both programs can append to it. One per process; it has no lock of its own.
class CKelmDebugLog {
public:
    explicit CKelmDebugLog(std::string programDirectory,
                           const platform::Clock& clock = platform::systemClock());

    void WriteLog(std::uint8_t level, int category, std::string_view message);
    // Takes the size counter from the existing file.
    void OpenLog();
    // Rotates the file into its one backup once the size counter has reached the maximum.
    void FileBackup();

    std::string logPath() const;
    std::string backupPath() const;
    std::uint32_t sizeCounter() const { return sizeCounter_; }

    // Settings, filled by the configuration reader or its defaults.
    std::uint8_t globalLogLevel = kLevelError;  // category DEBUG
    std::uint8_t zebLogLevel = kLevelError;     // category ZEB
    std::uint8_t calllogLevel = kLevelError;    // category CALLLOG
    std::uint8_t networkLogLevel = kLevelError; // category NETWORK
    std::int32_t maxSize = 1000000;             // compared as unsigned
    FixedText<50> fileName{"LOG.txt"};

private:
    std::string programDirectory_;
    const platform::Clock& clock_;
    std::uint32_t sizeCounter_ = 0;
    bool rotationFailing_ = false;
};

} // namespace kelm
