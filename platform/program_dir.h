#pragma once

#include <string>

namespace kelm::platform {

// Directory of the running executable, ending in '/'. Both programs keep KELM.conf, the trace log
// and the default collector file there.
std::string programDirectory();

} // namespace kelm::platform
