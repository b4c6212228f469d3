#pragma once

#include <ctime>

namespace kelm::platform {

// Source of the wall-clock time for trace stamps and backup names; tests substitute a fixed one.
class Clock {
public:
    virtual ~Clock() = default;
    virtual std::time_t now() const = 0;
};

class SystemClock final : public Clock {
public:
    std::time_t now() const override;
};

// The process-wide system clock.
const Clock& systemClock();

} // namespace kelm::platform
