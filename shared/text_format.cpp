#include "shared/text_format.h"

#include <cstdarg>
#include <cstdio>

namespace kelm {

std::string formatText(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral" // the caller's format is checked at its call
    const int n = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string out;
    if (n > 0) {
        out.resize(static_cast<std::size_t>(n));
        std::vsnprintf(out.data(), out.size() + 1, format, args);
    }
#pragma GCC diagnostic pop
    va_end(args);
    return out;
}

} // namespace kelm
