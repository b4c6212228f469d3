#pragma once

#include "shared/fixed_text.h"

#include <cstdint>
#include <string>

namespace kelm {

// The session client: everything needed to reach the PBX's administration interface, and the
// session held there.
class CKelmZebObject {
public:
    // Forgets the session and resolves hostName into hostAddress (the name itself when it does
    // not resolve, so that the SOAP run time looks it up again at each connection).
    void Initialization();

    FixedText<20> hostName;       // ZEB_IP_HOSTNAME
    FixedText<20> hostAddress;    // endpoint host and probe target
    FixedText<16> adminPassword;  // ZEB_PASSWORD, decoded
    std::int32_t zebTimeout = 0;  // ZEB_TIMEOUT, seconds
    FixedText<128> zebVersion;    // "Corvane Version"
    std::string sessionId;
    FixedText<22> proxyHost;      // PROXY_IP_HOST_NAME; "" or "unknown": no proxy
    std::int32_t proxyPort = 0;   // PROXY_PORT_NUMBER
    FixedText<20> proxyUser;      // PROXY_USER_NAME
    FixedText<16> proxyPassword;  // PROXY_USER_PASSWORD, plain text
};

} // namespace kelm
