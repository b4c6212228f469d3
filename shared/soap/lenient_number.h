#pragma once

#include <cstdint>
#include <optional>

namespace kelm::pbx_soap {

// Reads the text of a number, enumeration or boolean element the way the PBX's peers do: white
// space around the text is ignored, an empty text is 0, otherwise an optional sign and decimal
// digits only, within [min, max]. Anything else (another character, out of range) is no value.
std::optional<std::int64_t> parseLenientInteger(const char* text, std::int64_t min, std::int64_t max);

} // namespace kelm::pbx_soap
