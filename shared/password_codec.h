#pragma once

#include <string>
#include <string_view>

namespace kelm {

// The administrator password is kept in KELM.conf as two letters from 'a' to 'p' per byte, high
// half-byte first, each half-byte mapped through a fixed permutation. Both programs must share it.
std::string EncodePassword(std::string_view password);

// The inverse of EncodePassword. Text that EncodePassword cannot have produced decodes to the
// longest prefix made of complete pairs of valid letters: an odd last letter is ignored, and the
// first pair holding a letter outside 'a'..'p', or decoding to a zero byte, ends the password.
std::string DecodePassword(std::string_view text);

} // namespace kelm
