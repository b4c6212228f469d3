#pragma once

#include "shared/fixed_text.h"
#include "shared/kelm_debug_log.h"
#include "shared/soap/xml_admin_service_soap.h"

#include <cstdint>
#include <string>

namespace kelm {

// The session client: everything needed to reach the PBX's administration interface, the session
// held there, and the SOAP proxy that carries every request. One operation at a time; its owner
// holds the lock.
class CKelmZebObject {
public:
    // A fetch asks for the PBX's last calls, at most this many.
    static constexpr int kCallLogItems = 200;
    // The user trace stops after this many users.
    static constexpr int kUsersItems = 100;

    explicit CKelmZebObject(CKelmDebugLog& log) : log_(log) {}

    // Forgets the session and resolves hostName into hostAddress (the name itself when it does
    // not resolve, so that the SOAP run time looks it up again at each connection).
    void Initialization();

    // 1 when the PBX accepted the administrator login, else 0.
    int ZebLogin();
    // The total of the PBX's answer to a fetch of its last 200 calls, -1 without a usable answer.
    // For a result from 1 to 200 the answer stays in callLogResult until ReleaseMessageStorage.
    int ZebGetCalllog(kelm2__LocalCallLogResult*& callLogResult);
    void ZebLogout();
    // tallyconf only: the PBX's user total (traced, not kept), and its software release.
    int ZebGetUsers();
    bool ZebGetZEBGlobal();
    // Routes requests through the configured HTTP proxy, or straight to the PBX without one.
    void ZebSetProxy();
    // Frees everything the PBX's answers left in the message storage.
    void ReleaseMessageStorage();

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
    XmlAdminServiceSoap adminService;

private:
    // The steps every PBX operation begins with: endpoint, proxy, time-outs.
    void prepare(const char* servicePath);

    CKelmDebugLog& log_;
    std::string endpoint_;
};

} // namespace kelm
