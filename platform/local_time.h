#pragma once

#include <ctime>
#include <optional>
#include <string>

namespace kelm::platform {

// Formats t as local time with strftime in the C locale, so that day and month names are English
// whatever LANG says. Returns nothing when the time cannot be converted.
std::optional<std::string> formatLocalTime(std::time_t t, const char* format);

// The C library's date text without its line feed, day zero-padded: "Tue Dec 09 18:31:02 2008".
std::string traceTimeStamp(std::time_t t);

} // namespace kelm::platform
