#pragma once

#include <chrono>
#include <string>
#include <string_view>

namespace kelm::pbxsim {

// One line per event, "SECONDS EVENT DETAILS", on standard output in one write each, so that a
// reader polling the output never sees half a line and a person sees it at once.
class EventOutput {
public:
    void line(std::string_view event, std::string_view details = {});

private:
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

// A text for a "key=value" detail: escaped as call texts are, with space as \x20, so that nothing a
// client sends can break a line or a field.
std::string printable(std::string_view text);

} // namespace kelm::pbxsim
