#pragma once

// One call of the simulated PBX's log as one line of text: the form of its journal and of its
// start log, so that a journal can be replayed as a start log and a test can read back every call
// the PBX made.
//
//   TIMEID <TAB> DIFFID <TAB> DIRNUMBER <TAB> CORRNUMBER <TAB> INITIALDEST <TAB> DATEOFBEGIN <TAB> DATEOFEND
//
// TIMEID and DIFFID are decimal 64-bit integers, or both "-" for a call without an item ID. A text
// field holds the text's bytes, with backslash written "\\", tab "\t", line feed "\n", carriage
// return "\r" and every other byte below 32 and from 127 up as "\xHH" (so the line is plain ASCII);
// a field of exactly "\-" is an absent text. Reading also takes raw bytes from 128 up and hex
// digits in either case.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kelm::pbxsim {

struct CallItemId {
    std::int64_t timeId = 0;
    std::int64_t diffId = 0;
    bool operator==(const CallItemId&) const = default;
};

struct CallRecord {
    std::optional<CallItemId> itemId;
    std::optional<std::string> dirNumber;
    std::optional<std::string> corrNumber;
    std::optional<std::string> initialDest;
    std::optional<std::string> dateOfBegin;
    std::optional<std::string> dateOfEnd;
    bool operator==(const CallRecord&) const = default;
};

// The line without its line feed.
std::string formatCallLine(const CallRecord& call);
// Nothing, with error set, for a line that is not in the form above.
std::optional<CallRecord> parseCallLine(std::string_view line, std::string& error);

// A text escaped as in a text field (absent texts aside).
std::string escapeCallText(std::string_view text);

} // namespace kelm::pbxsim
