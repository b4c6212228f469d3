#include "shared/soap/lenient_number.h"

namespace kelm::pbx_soap {

namespace {

bool isXmlBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

} // namespace

std::optional<std::int64_t> parseLenientInteger(const char* text, std::int64_t min, std::int64_t max)
{
    if (text == nullptr)
        return std::nullopt;
    const char* p = text;
    while (isXmlBlank(*p))
        ++p;
    if (*p == '\0')
        return 0;
    const bool negative = *p == '-';
    if (*p == '-' || *p == '+')
        ++p;
    if (*p < '0' || *p > '9')
        return std::nullopt;
    // Accumulate the magnitude unsigned so that the most negative value has no overflow.
    std::uint64_t limit = 0;
    if (negative && min < 0)
        limit = static_cast<std::uint64_t>(-(min + 1)) + 1;
    else if (!negative && max > 0)
        limit = static_cast<std::uint64_t>(max);
    std::uint64_t magnitude = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        const auto digit = static_cast<std::uint64_t>(*p - '0');
        if (magnitude > limit / 10 || (magnitude == limit / 10 && digit > limit % 10))
            return std::nullopt;
        magnitude = magnitude * 10 + digit;
    }
    while (isXmlBlank(*p))
        ++p;
    if (*p != '\0')
        return std::nullopt;
    if (!negative || magnitude == 0)
        return static_cast<std::int64_t>(magnitude);
    return -static_cast<std::int64_t>(magnitude - 1) - 1;
}

} // namespace kelm::pbx_soap
