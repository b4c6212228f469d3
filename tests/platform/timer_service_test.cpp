#include "platform/timer_service.h"

#include <algorithm>
#include <atomic>
#include <future>
#include <gtest/gtest.h>
#include <mutex>
#include <vector>

namespace {

using kelm::platform::TimerService;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Start times of one timer's callbacks, recorded from the timer thread.
struct Ticks {
    std::mutex mutex;
    std::vector<Clock::time_point> at;
    std::vector<TimerService::TimerId> ids;

    void record(TimerService::TimerId id)
    {
        std::lock_guard lock(mutex);
        at.push_back(Clock::now());
        ids.push_back(id);
    }
    size_t count()
    {
        std::lock_guard lock(mutex);
        return at.size();
    }
    // Waits (bounded) until n ticks have been seen.
    bool waitFor(size_t n, std::chrono::milliseconds limit = 5s)
    {
        const auto deadline = Clock::now() + limit;
        while (count() < n) {
            if (Clock::now() > deadline)
                return false;
            std::this_thread::sleep_for(1ms);
        }
        return true;
    }
};

TEST(TimerServiceTest, RefusesPeriodsOfZeroOrLess)
{
    TimerService timers;
    std::atomic<int> calls{0};
    for (auto period : {0ms, -1ms, -1000ms})
        EXPECT_EQ(timers.create(period, [&](TimerService::TimerId) { ++calls; }), 0u)
            << period.count();
    EXPECT_EQ(timers.create(10ms, {}), 0u);
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(calls, 0);
}

TEST(TimerServiceTest, TicksEveryPeriodWithItsOwnNonZeroId)
{
    TimerService timers;
    Ticks a, b;
    const auto start = Clock::now();
    const auto idA = timers.create(20ms, [&](TimerService::TimerId id) { a.record(id); });
    const auto idB = timers.create(30ms, [&](TimerService::TimerId id) { b.record(id); });
    ASSERT_NE(idA, 0u);
    ASSERT_NE(idB, 0u);
    ASSERT_NE(idA, idB);
    ASSERT_TRUE(a.waitFor(5));
    ASSERT_TRUE(b.waitFor(3));
    timers.cancel(idA);
    timers.cancel(idB);

    std::lock_guard lockA(a.mutex), lockB(b.mutex);
    for (size_t k = 0; k < a.at.size(); ++k) // the k-th tick never comes early
        EXPECT_GE(a.at[k] - start, 20ms * static_cast<int>(k + 1)) << k;
    for (auto id : a.ids)
        EXPECT_EQ(id, idA);
    for (auto id : b.ids)
        EXPECT_EQ(id, idB);
}

TEST(TimerServiceTest, CancelledTimerNeverFiresAgainAndOthersGoOn)
{
    TimerService timers;
    Ticks cancelled, kept;
    const auto id = timers.create(5ms, [&](TimerService::TimerId t) { cancelled.record(t); });
    timers.create(5ms, [&](TimerService::TimerId t) { kept.record(t); });
    ASSERT_TRUE(cancelled.waitFor(2));
    EXPECT_TRUE(timers.cancel(id));
    const size_t seen = cancelled.count();
    const size_t keptBefore = kept.count();
    ASSERT_TRUE(kept.waitFor(keptBefore + 10));
    EXPECT_EQ(cancelled.count(), seen);
    EXPECT_FALSE(timers.cancel(id));
    EXPECT_FALSE(timers.cancel(0));
}

// The service's stop cancels its timers while holding the lock a running tick may wait for.
TEST(TimerServiceTest, CancelDoesNotWaitForARunningCallback)
{
    TimerService timers;
    std::promise<void> entered, release;
    auto released = release.get_future().share();
    std::atomic<int> calls{0};
    const auto id = timers.create(5ms, [&, released](TimerService::TimerId) {
        if (calls++ == 0) {
            entered.set_value();
            released.wait();
        }
    });
    entered.get_future().wait();
    auto cancelled = std::async(std::launch::async, [&] { return timers.cancel(id); });
    const bool returned = cancelled.wait_for(2s) == std::future_status::ready;
    release.set_value();
    ASSERT_TRUE(returned);
    EXPECT_TRUE(cancelled.get());
    std::this_thread::sleep_for(30ms);
    EXPECT_EQ(calls, 1);
}

TEST(TimerServiceTest, CallbackMayCancelItsOwnTimer)
{
    TimerService timers;
    std::atomic<int> calls{0};
    timers.create(5ms, [&](TimerService::TimerId id) {
        ++calls;
        timers.cancel(id);
    });
    std::this_thread::sleep_for(60ms);
    EXPECT_EQ(calls, 1);
}

TEST(TimerServiceTest, OverrunningCallbackCausesNoBurstOfCatchUpTicks)
{
    TimerService timers;
    Ticks ticks;
    constexpr auto kPeriod = 10ms;
    std::atomic<bool> first{true};
    Clock::time_point longEnd;
    timers.create(kPeriod, [&](TimerService::TimerId id) {
        ticks.record(id);
        if (first.exchange(false)) {
            std::this_thread::sleep_for(kPeriod * 6);
            longEnd = Clock::now();
        }
    });
    ASSERT_TRUE(ticks.waitFor(4));
    std::this_thread::sleep_for(kPeriod * 3);
    std::lock_guard lock(ticks.mutex);
    // Five deadlines passed during the long call; catching up would start them all at once.
    // Without catch-up, one late tick comes at once and then only the deadlines of the window.
    const auto inWindow = std::count_if(ticks.at.begin() + 1, ticks.at.end(), [&](auto t) {
        return t >= longEnd && t < longEnd + kPeriod * 2;
    });
    EXPECT_LE(inWindow, 3);
}

// The thread waits for the nearest deadline; a new, nearer one must wake it.
TEST(TimerServiceTest, NearerNewTimerIsNotHeldUpByAFarDeadline)
{
    TimerService timers;
    timers.create(60s, [](TimerService::TimerId) {});
    std::this_thread::sleep_for(20ms); // the thread is now waiting for the 60 s deadline
    Ticks near;
    timers.create(10ms, [&](TimerService::TimerId id) { near.record(id); });
    EXPECT_TRUE(near.waitFor(1, 2s));
}

TEST(TimerServiceTest, DestructionStopsTicksAndJoinsARunningCallback)
{
    std::atomic<int> calls{0};
    std::atomic<bool> inside{false};
    {
        TimerService timers;
        timers.create(1ms, [&](TimerService::TimerId) {
            inside = true;
            std::this_thread::sleep_for(20ms);
            ++calls;
            inside = false;
        });
        while (!inside)
            std::this_thread::sleep_for(1ms);
    }
    EXPECT_FALSE(inside);
    const int seen = calls;
    EXPECT_GE(seen, 1);
    std::this_thread::sleep_for(30ms);
    EXPECT_EQ(calls, seen);
}

} // namespace
