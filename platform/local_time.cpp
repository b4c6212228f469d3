#include "platform/local_time.h"

#include <clocale>
#include <locale.h>

namespace kelm::platform {

namespace {

locale_t cLocale()
{
    static const locale_t locale = ::newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return locale;
}

} // namespace

std::optional<std::string> formatLocalTime(std::time_t t, const char* format)
{
    std::tm tm{};
    if (::localtime_r(&t, &tm) == nullptr)
        return std::nullopt;
    char buffer[128];
    const size_t n = ::strftime_l(buffer, sizeof buffer, format, &tm, cLocale());
    if (n == 0)
        return std::nullopt;
    return std::string(buffer, n);
}

std::string traceTimeStamp(std::time_t t)
{
    // A time that localtime cannot convert still gets a stamp of the right width.
    return formatLocalTime(t, "%a %b %d %H:%M:%S %Y").value_or("??? ??? ?? ??:??:?? ????");
}

} // namespace kelm::platform
