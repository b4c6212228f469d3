#pragma once

#include "shared/fixed_text.h"

#include <cstdint>

namespace kelm {

// The call-accounting collector: turns call-log entries into tickets in the collector file.
// tallyconf holds only its three settings; the operations belong to the service.
class CKelmMetering {
public:
    FixedText<256> collectorDir;  // METERING_COLLECTOR_DIR
    FixedText<20> collectorFile;  // METERING_COLLECTOR_FILE, base name without ".xml"
    std::int32_t maxTicket = 0;   // METERING_COLLECTOR_MAX_TICKET
};

} // namespace kelm
