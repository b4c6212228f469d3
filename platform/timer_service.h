#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

namespace kelm::platform {

// The periodic timers of the service (call-log and probe): one thread runs every callback, on the
// monotonic clock, so a tick never overlaps another tick of the same service.
class TimerService {
public:
    using TimerId = std::uint32_t;
    using Callback = std::function<void(TimerId)>;

    TimerService();
    // Stops the thread and joins it, waiting for a callback that is running. Never call it from a
    // callback.
    ~TimerService();
    TimerService(const TimerService&) = delete;
    TimerService& operator=(const TimerService&) = delete;

    // First tick one period from now. A callback that overruns its period is followed by one
    // late tick at once; the deadlines missed meanwhile are skipped and the phase is kept. A period of zero or less (or an empty callback) is refused:
    // result 0, no timer. Ids are never 0.
    TimerId create(std::chrono::milliseconds period, Callback callback);

    // Once this returns, the timer's callback never starts again. An invocation that is already
    // running is not waited for: it may be blocked on a lock the caller holds. False for an
    // unknown id.
    bool cancel(TimerId id);

private:
    using Clock = std::chrono::steady_clock;
    struct Timer {
        Clock::duration period;
        Clock::time_point due;
        std::shared_ptr<const Callback> callback;
    };

    void run();
    TimerId nextFreeId();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::map<TimerId, Timer> timers_;
    TimerId lastId_ = 0;
    bool stopping_ = false;
    std::thread thread_; // last: starts after the members it uses exist
};

} // namespace kelm::platform
