#include "tools/pbxsim/call_log.h"

#include <algorithm>

namespace kelm::pbxsim {

void CallLog::add(CallRecord call)
{
    calls_.push_back(std::move(call));
    while (calls_.size() > capacity_)
        calls_.pop_front();
}

std::vector<const CallRecord*> CallLog::newest(std::size_t count) const
{
    std::vector<const CallRecord*> out;
    const std::size_t n = std::min(count, calls_.size());
    out.reserve(n);
    for (auto it = calls_.rbegin(); out.size() < n; ++it)
        out.push_back(&*it);
    return out;
}

} // namespace kelm::pbxsim
