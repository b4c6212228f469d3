#pragma once

#include "tools/pbxsim/call_text.h"

#include <optional>
#include <string>
#include <vector>

namespace kelm::pbxsim {

// The calls of a start log, oldest first; nothing, with error naming the line, when a line is not
// in the journal's form (empty lines and lines starting with # are skipped).
std::optional<std::vector<CallRecord>> readStartLog(const std::string& path, std::string& error);

} // namespace kelm::pbxsim
