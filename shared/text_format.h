#pragma once

#include <string>

namespace kelm {

// printf-style formatting into a string, for trace messages built from the system's own constant
// formats. The attribute makes the compiler reject a format that is not a literal, so data can
// never become a format.
std::string formatText(const char* format, ...) __attribute__((format(printf, 1, 2)));

} // namespace kelm
