#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kelm {

// Numbers of KELM.conf: leading white space, an optional sign, then decimal digits up to the first
// other character. No digits read as 0; values beyond 32 bits become the nearest 32-bit limit.
std::int32_t parseConfigNumber(std::string_view text);

// Level thresholds keep the low 8 bits of the number, so -1 becomes 255.
std::uint8_t parseConfigLevel(std::string_view text);

std::string formatConfigNumber(std::int32_t value);
std::string formatConfigLevel(std::uint8_t value);

} // namespace kelm
