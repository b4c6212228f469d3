#pragma once

#include <optional>
#include <string>

namespace kelm {

// Names of the collector file and of the files it becomes, all in one directory (ending in '/').
std::string collectorFileName(const std::string& directory, const std::string& base);
// base_yyyymmdd_hhmmss.xml, or base_yyyymmdd_hhmmss_N.xml for the N-th one of the same second.
std::string backupFileName(const std::string& directory, const std::string& base,
                           const std::string& dateAndTime, int duplicate);
// A collector file that could not be read is kept under this name, never overwritten.
std::string damagedFileName(const std::string& directory, const std::string& base,
                            const std::string& dateAndTime, int duplicate);

// The most recent backup of base in directory: the last one written, by modification time (a
// rename keeps it), then by the time in its name and its number.
std::optional<std::string> newestBackup(const std::string& directory, const std::string& base);

} // namespace kelm
