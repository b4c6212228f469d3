#pragma once

#include <string_view>

namespace kelm {

// The 64 lines that tallyconf starts from when KELM.conf is empty, joined by CR LF, without a line
// break after the last one. Settings lines carry empty values; the first save fills them in.
std::string_view configurationTemplate();

} // namespace kelm
