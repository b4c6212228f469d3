#include "tools/pbxsim/call_maker.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <string>

namespace kelm::pbxsim {
namespace {

std::string localDateTime(std::chrono::system_clock::time_point when)
{
    const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

std::string extension(std::int64_t n)
{
    return std::to_string(200 + n % 20);
}

} // namespace

void CallMaker::follow(const CallRecord& earlier)
{
    if (!earlier.itemId)
        return;
    lastTimeId_ = std::max(lastTimeId_, earlier.itemId->timeId);
    if (earlier.itemId->diffId >= nextDiffId_)
        nextDiffId_ = earlier.itemId->diffId + 1;
}

CallRecord CallMaker::make(std::chrono::system_clock::time_point end)
{
    const std::int64_t n = ++sequence_;
    const auto endMs = std::chrono::duration_cast<std::chrono::milliseconds>(end.time_since_epoch()).count();
    lastTimeId_ = std::max<std::int64_t>(lastTimeId_ + 1, endMs);
    const auto duration = std::chrono::seconds(5 + (n * 37) % 600);

    char corr[16];
    std::snprintf(corr, sizeof corr, "06%08lld", static_cast<long long>((n * 7919 + 1234567) % 100000000));
    const bool transfer = n % 4 == 0;
    const std::string mark = nonAscii_ ? "\xE9" : "";

    CallRecord call;
    call.itemId = CallItemId{lastTimeId_, nextDiffId_++};
    call.dirNumber = extension(n) + mark;
    call.corrNumber = corr;
    call.initialDest = transfer ? extension(n + 7) : std::string(corr);
    call.dateOfBegin = localDateTime(end - duration) + mark;
    call.dateOfEnd = localDateTime(end) + mark;
    return call;
}

} // namespace kelm::pbxsim
