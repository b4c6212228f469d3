#pragma once

#include "tools/pbxsim/call_text.h"

#include <string>

namespace kelm::pbxsim {

// Appends every call the PBX makes to a file, one line each in one write, so that a test can
// check that each call reached the collector exactly once.
class CallJournal {
public:
    CallJournal() = default; // no journal: append does nothing
    CallJournal(const CallJournal&) = delete;
    CallJournal& operator=(const CallJournal&) = delete;
    ~CallJournal();

    bool open(const std::string& path, std::string& error);
    // False when the line could not be written whole.
    bool append(const CallRecord& call);

private:
    int fd_ = -1;
};

} // namespace kelm::pbxsim
