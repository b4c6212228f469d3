#include "platform/timer_service.h"

namespace kelm::platform {

TimerService::TimerService() : thread_([this] { run(); }) {}

TimerService::~TimerService()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

TimerService::TimerId TimerService::nextFreeId()
{
    do {
        ++lastId_;
    } while (lastId_ == 0 || timers_.contains(lastId_));
    return lastId_;
}

TimerService::TimerId TimerService::create(std::chrono::milliseconds period, Callback callback)
{
    if (period <= std::chrono::milliseconds::zero() || !callback)
        return 0;
    TimerId id;
    {
        std::lock_guard lock(mutex_);
        id = nextFreeId();
        timers_.emplace(id, Timer{period, Clock::now() + period,
                                  std::make_shared<const Callback>(std::move(callback))});
    }
    // The new deadline may come before the one the thread is waiting for.
    wake_.notify_all();
    return id;
}

bool TimerService::cancel(TimerId id)
{
    std::lock_guard lock(mutex_);
    return timers_.erase(id) == 1;
}

void TimerService::run()
{
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        auto next = timers_.end();
        for (auto it = timers_.begin(); it != timers_.end(); ++it) {
            if (next == timers_.end() || it->second.due < next->second.due)
                next = it;
        }
        if (next == timers_.end()) {
            wake_.wait(lock);
            continue;
        }
        const auto now = Clock::now();
        if (now < next->second.due) {
            // A copy: the timer may be cancelled, and its entry freed, during the wait.
            const auto due = next->second.due;
            wake_.wait_until(lock, due);
            continue; // the set of timers may have changed meanwhile
        }

        Timer& timer = next->second;
        // Ticks missed while a callback overran are skipped, not caught up in a burst; the
        // timer keeps its phase.
        const auto missed = (now - timer.due) / timer.period;
        timer.due += timer.period * (missed + 1);

        const TimerId id = next->first;
        const auto callback = timer.callback; // survives a cancel during the call
        lock.unlock();
        (*callback)(id);
        lock.lock();
    }
}

} // namespace kelm::platform
