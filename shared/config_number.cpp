#include "shared/config_number.h"

#include <limits>

namespace kelm {

std::int32_t parseConfigNumber(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';

    constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    std::int64_t magnitude = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        magnitude = magnitude * 10 + (text[i] - '0');
        if (magnitude > kLimit)
            magnitude = kLimit; // saturate, and keep consuming digits
    }
    const std::int64_t value = negative ? -magnitude : magnitude;
    if (value > std::numeric_limits<std::int32_t>::max())
        return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(value);
}

std::uint8_t parseConfigLevel(std::string_view text)
{
    return static_cast<std::uint8_t>(static_cast<std::uint32_t>(parseConfigNumber(text)) & 0xFFu);
}

std::string formatConfigNumber(std::int32_t value)
{
    return std::to_string(value);
}

std::string formatConfigLevel(std::uint8_t value)
{
    return std::to_string(static_cast<unsigned>(value));
}

} // namespace kelm
