#pragma once

#include "tools/pbxsim/call_text.h"

#include <chrono>
#include <cstdint>

namespace kelm::pbxsim {

// Makes up calls: numbers from the call's sequence number, a transfer every fourth call, local
// date texts, and item IDs that always increase, also after calls read from a start log.
class CallMaker {
public:
    CallMaker(std::int64_t firstDiffId, bool nonAscii) : nextDiffId_(firstDiffId), nonAscii_(nonAscii) {}

    // Item IDs of later calls go above this call's.
    void follow(const CallRecord& earlier);
    CallRecord make(std::chrono::system_clock::time_point end);

private:
    std::int64_t lastTimeId_ = 0;
    std::int64_t nextDiffId_;
    std::int64_t sequence_ = 0;
    bool nonAscii_;
};

} // namespace kelm::pbxsim
