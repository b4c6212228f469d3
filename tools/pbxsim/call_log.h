#pragma once

#include "tools/pbxsim/call_text.h"

#include <cstddef>
#include <deque>
#include <vector>

namespace kelm::pbxsim {

// The PBX's local call log: the newest `capacity` calls, older ones forgotten as a real PBX's
// bounded log forgets them.
class CallLog {
public:
    explicit CallLog(std::size_t capacity) : capacity_(capacity) {}

    void add(CallRecord call);
    std::size_t size() const { return calls_.size(); }
    // The newest min(count, size()) calls, newest first: the answer to "the last N calls".
    std::vector<const CallRecord*> newest(std::size_t count) const;

private:
    std::size_t capacity_;
    std::deque<CallRecord> calls_; // oldest first
};

} // namespace kelm::pbxsim
