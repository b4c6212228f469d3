#include "platform/clock.h"

namespace kelm::platform {

std::time_t SystemClock::now() const
{
    return std::time(nullptr);
}

const Clock& systemClock()
{
    static const SystemClock clock;
    return clock;
}

} // namespace kelm::platform
