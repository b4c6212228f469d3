#include "tools/pbxsim/start_log.h"

#include <fstream>

namespace kelm::pbxsim {

std::optional<std::vector<CallRecord>> readStartLog(const std::string& path, std::string& error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read the start log " + path;
        return std::nullopt;
    }
    std::vector<CallRecord> calls;
    std::string line;
    for (long number = 1; std::getline(in, line); ++number) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line.front() == '#')
            continue;
        std::string why;
        auto call = parseCallLine(line, why);
        if (!call) {
            error = path + " line " + std::to_string(number) + ": " + why;
            return std::nullopt;
        }
        calls.push_back(std::move(*call));
    }
    return calls;
}

} // namespace kelm::pbxsim
