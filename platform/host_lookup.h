#pragma once

#include <optional>
#include <string>

namespace kelm::platform {

// Dotted form of the first IPv4 address of a host name (or of a dotted address itself);
// nothing when the name does not resolve.
std::optional<std::string> resolveIPv4(const std::string& hostName);

} // namespace kelm::platform
