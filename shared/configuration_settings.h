#pragma once

#include <array>
#include <string>
#include <string_view>

namespace kelm {

class CKelmService;

// One key of KELM.conf, bound to its field of the record. Values are handled in the form they
// have in the file (the password encoded), so defaults, reading and writing share one path.
struct ConfigurationSetting {
    std::string_view key;
    std::string_view defaultValue;
    void (*load)(CKelmService& record, std::string_view fileValue);
    std::string (*save)(const CKelmService& record);
};

// The twenty keys, in the order in which they are read and written.
const std::array<ConfigurationSetting, 20>& configurationSettings();

} // namespace kelm
