#include "shared/kelm_zeb_object.h"

#include "platform/host_lookup.h"
#include "shared/text_format.h"

#include <algorithm>

namespace kelm {

namespace {

constexpr const char* kAdminPath = "/services/XmlAdmin";

// A request waits at most ZEB_TIMEOUT seconds at each step, bounded so that neither 0 nor a huge
// value means waiting for ever.
int requestTimeout(std::int32_t zebTimeout)
{
    return std::clamp<std::int32_t>(zebTimeout, XmlAdminServiceSoap::kMinTimeoutSeconds,
                                    XmlAdminServiceSoap::kMaxTimeoutSeconds);
}

const std::string& orEmpty(const std::string* text)
{
    static const std::string empty;
    return text ? *text : empty;
}

} // namespace

void CKelmZebObject::Initialization()
{
    sessionId.clear();
    hostAddress = "";
    const auto resolved = platform::resolveIPv4(std::string(hostName.view()));
    hostAddress = resolved ? std::string_view(*resolved) : hostName.view();
}

void CKelmZebObject::prepare(const char* servicePath)
{
    endpoint_ = std::string("http://") + hostAddress.c_str() + ":8894" + servicePath;
    adminService.soap_endpoint = endpoint_.c_str();
    ZebSetProxy();
    const int timeout = requestTimeout(zebTimeout);
    adminService.setTimeouts(timeout, timeout, timeout);
}

void CKelmZebObject::ZebSetProxy()
{
    struct soap* soap = adminService.soap;
    if (soap == nullptr)
        return;
    // Cleared when none is configured, so that a saved "no proxy" takes effect at the next load.
    const bool configured = !proxyHost.empty() && proxyHost.view() != "unknown";
    soap->proxy_host = configured ? proxyHost.c_str() : nullptr;
    soap->proxy_port = configured ? proxyPort : 0;
    soap->proxy_userid = configured ? proxyUser.c_str() : nullptr;
    soap->proxy_passwd = configured ? proxyPassword.c_str() : nullptr;
}

void CKelmZebObject::ReleaseMessageStorage()
{
    if (adminService.soap != nullptr) {
        soap_destroy(adminService.soap);
        soap_end(adminService.soap);
    }
}

int CKelmZebObject::ZebLogin()
{
    prepare(kAdminPath);
    kelm2__AdminLogin login;
    login.loginName = "administrator";
    login.password = adminPassword.c_str();
    kelm2__VroLogonAdminResult* result = nullptr;
    const int status = adminService.loginAdmin(&login, result);
    const bool granted = status == 0 && result != nullptr && result->status != nullptr && result->status->code == 0;
    if (granted) {
        sessionId = result->sessionId;
        log_.WriteLog(kLevelDebug, kCategoryZeb, "CKelmZebObject::ZebLogin : OK.");
    } else {
        log_.WriteLog(kLevelWarning, kCategoryZeb, "CKelmZebObject::ZebLogin : ERROR.");
    }
    ReleaseMessageStorage();
    return granted ? 1 : 0;
}

void CKelmZebObject::ZebLogout()
{
    prepare(kAdminPath);
    kelm2__VroStatus* status = nullptr;
    adminService.logoutAdmin(sessionId, status); // whatever comes back is not looked at
    sessionId.clear();
    log_.WriteLog(kLevelDebug, kCategoryZeb, "CKelmZebObject::ZebLogout.");
    ReleaseMessageStorage();
}

int CKelmZebObject::ZebGetCalllog(kelm2__LocalCallLogResult*& callLogResult)
{
    callLogResult = nullptr;
    prepare(kAdminPath);
    std::string session = sessionId;
    kelm2__GetLocalCallLogInvoke invoke;
    invoke.sessionId = &session;
    invoke.nbItemFromEnd = kCallLogItems;
    kelm2__LocalCallLogResult* result = nullptr;
    const int status = adminService.getLocalCallLog(&invoke, result);

    auto fail = [&](const char* message) {
        if (message != nullptr)
            log_.WriteLog(kLevelError, kCategoryCalllog, message);
        ReleaseMessageStorage();
        return -1;
    };
    if (status != 0 || result == nullptr)
        return fail(nullptr);
    if (result->status == nullptr)
        return fail("CKelmZebObject::ZebGetCalllog : answer without status");
    if (result->status->code != 0)
        return fail(result->status->code == 55 ? "CKelmZebObject::ZebGetCalllog : Bad session ID" : nullptr);

    const int total = result->total;
    if (total <= 0) {
        ReleaseMessageStorage();
        return total;
    }
    // An answer that is not whole must never reach the collector as if it were: the calls it
    // lacks would be skipped for good. The PBX lists them again at the next fetch.
    if (total > kCallLogItems)
        return fail(formatText("CKelmZebObject::ZebGetCalllog : total:%d, more calls than asked for, answer "
                               "not used", total).c_str());
    const kelm2ArrayOfLocalCallLogElt* content = result->content;
    bool whole = content != nullptr && content->__ptr != nullptr && content->__size >= total;
    for (int i = 0; whole && i < total; ++i)
        whole = content->__ptr[i] != nullptr;
    if (!whole)
        return fail(formatText("CKelmZebObject::ZebGetCalllog : total:%d, but fewer calls in the answer, answer "
                               "not used", total).c_str());

    log_.WriteLog(kLevelInfo, kCategoryCalllog, formatText("CKelmZebObject::ZebGetCalllog total:%d", total));
    for (int i = 0; i < total; ++i) {
        const kelm2__LocalCallLogElt& entry = *content->__ptr[i];
        const std::int64_t diffId = entry.itemId ? entry.itemId->diffId : 0;
        const std::string& initialDest = orEmpty(entry.initialDest);
        const std::string& corrNumber = orEmpty(entry.corrNumber);
        std::string line = formatText("%d %s %s %s->%s->%s", static_cast<std::int32_t>(static_cast<std::uint32_t>(diffId)),
                                      orEmpty(entry.dateOfBegin).c_str(), orEmpty(entry.dateOfEnd).c_str(),
                                      orEmpty(entry.dirNumber).c_str(), initialDest.c_str(), corrNumber.c_str());
        line += initialDest != corrNumber ? " transfer" : " normal";
        log_.WriteLog(kLevelInfo, kCategoryCalllog, line);
    }
    log_.WriteLog(kLevelDebug, kCategoryCalllog, "CKelmZebObject::ZebGetCalllog.");
    callLogResult = result;
    return total;
}

} // namespace kelm
