// The PBX's answers to the ten admin operations, built in the serving context by the generated
// code. Operations that no client of this system calls answer a SOAP fault.
#include "tools/pbxsim/pbx.h"

#include "shared/soap/namespace_tables.h"
#include "soapH.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string_view>
#include <thread>

namespace {

using kelm::pbxsim::CallRecord;
using kelm::pbxsim::Pbx;
using kelm::pbxsim::printable;
using kelm::pbxsim::SessionTable;

constexpr int kOk = 0;
constexpr int kRefused = 1;
constexpr int kSessionNotAccepted = 55;
constexpr const char* kAdministrator = "administrator";

Pbx& pbxOf(struct soap* soap)
{
    return *static_cast<Pbx*>(soap->user);
}

const char* serviceUri(const struct Namespace* table)
{
    for (const struct Namespace* entry = table; entry->id != nullptr; ++entry)
        if (std::strcmp(entry->id, "kelm1") == 0)
            return entry->ns;
    return "";
}

// The service namespace the request declared: gSOAP keeps a URI matched by pattern in `out`.
std::string_view requestServiceUri(struct soap* soap)
{
    if (soap->local_namespaces == nullptr)
        return {};
    for (const struct Namespace* entry = soap->local_namespaces; entry->id != nullptr; ++entry)
        if (std::strcmp(entry->id, "kelm1") == 0)
            return entry->out != nullptr ? entry->out : entry->ns;
    return {};
}

// The request path, also when a proxy passed on the absolute URL.
std::string_view requestPath(struct soap* soap)
{
    std::string_view path = soap->path;
    if (const auto scheme = path.find("://"); scheme != std::string_view::npos) {
        const auto slash = path.find('/', scheme + 3);
        path = slash == std::string_view::npos ? std::string_view("/") : path.substr(slash);
    }
    return path.substr(0, path.find('?'));
}

// Each operation belongs to one service: a request that reaches it through the other service's
// path or namespace shows a client that did not switch services, and is refused.
int wrongService(struct soap* soap, const char* operation, bool zeb)
{
    const char* path = zeb ? "/services/XmlZeb" : "/services/XmlAdmin";
    const char* uri = serviceUri(zeb ? kelm::pbx_soap::xmlZebNamespaces() : kelm::pbx_soap::xmlAdminNamespaces());
    if (requestPath(soap) == path && requestServiceUri(soap) == uri)
        return SOAP_OK;
    Pbx& pbx = pbxOf(soap);
    pbx.out.line("fault", std::string("operation=") + operation + " reason=wrong-service path=" +
                              printable(requestPath(soap)) + " service=" + printable(requestServiceUri(soap)) +
                              " peer=" + pbx.peer);
    return soap_sender_fault(soap, "operation of the other service", nullptr);
}

int notSimulated(struct soap* soap, const char* operation)
{
    Pbx& pbx = pbxOf(soap);
    pbx.out.line("fault", std::string("operation=") + operation + " reason=not-simulated peer=" + pbx.peer);
    return soap_receiver_fault(soap, "not simulated", nullptr);
}

kelm2__VroStatus* newStatus(struct soap* soap, int code)
{
    auto* status = soap_new_kelm2__VroStatus(soap);
    status->code = code;
    status->label = code == kOk ? "OK"
                    : code == kSessionNotAccepted ? "session unknown or expired"
                    : code == kRefused ? "login refused"
                                       : "simulated failure";
    return status;
}

template <class T>
T** newItems(struct soap* soap, std::size_t count)
{
    return static_cast<T**>(soap_malloc(soap, std::max<std::size_t>(count, 1) * sizeof(T*)));
}

// The session's state, expired and unknown alike refused with code 55.
bool sessionAccepted(Pbx& pbx, const std::string& id)
{
    return pbx.sessions.check(id, SessionTable::Clock::now()) == SessionTable::State::valid;
}

std::string* optionalText(struct soap* soap, const std::optional<std::string>& text)
{
    if (!text)
        return nullptr;
    std::string* copy = soap_new_xsd__string(soap);
    *copy = *text;
    return copy;
}

kelm2__LocalCallLogElt* newEntry(struct soap* soap, const CallRecord& call)
{
    auto* entry = soap_new_kelm2__LocalCallLogElt(soap);
    if (call.itemId) {
        entry->itemId = soap_new_kelm2__ItemId(soap);
        entry->itemId->timeId = call.itemId->timeId;
        entry->itemId->diffId = call.itemId->diffId;
    }
    entry->dirNumber = optionalText(soap, call.dirNumber);
    entry->corrNumber = optionalText(soap, call.corrNumber);
    entry->initialDest = optionalText(soap, call.initialDest);
    entry->dateOfBegin = optionalText(soap, call.dateOfBegin);
    entry->dateOfEnd = optionalText(soap, call.dateOfEnd);
    return entry;
}

kelm2__User* newUser(struct soap* soap, const kelm::pbxsim::SimUser& user, int tsaId)
{
    auto* answer = soap_new_kelm2__User(soap);
    answer->name = user.name;
    answer->firstName = user.firstName;
    answer->loginName = user.loginName;
    answer->mainNumber = user.mainNumber;
    answer->tsaId = tsaId;
    if (!user.lines.empty()) {
        answer->lines = soap_new_kelm2ArrayOfLine(soap);
        answer->lines->__size = static_cast<int>(user.lines.size());
        answer->lines->__ptr = newItems<kelm2__Line>(soap, user.lines.size());
        for (std::size_t i = 0; i < user.lines.size(); ++i) {
            auto* line = soap_new_kelm2__Line(soap);
            line->dirNumber = user.lines[i];
            line->setType = "IP";
            answer->lines->__ptr[i] = line;
        }
    }
    return answer;
}

} // namespace

int kelm1__loginAdmin(struct soap* soap, kelm2__AdminLogin* invoke, kelm2__VroLogonAdminResult*& loginResult)
{
    if (const int rc = wrongService(soap, "loginAdmin", false))
        return rc;
    Pbx& pbx = pbxOf(soap);
    loginResult = soap_new_kelm2__VroLogonAdminResult(soap);
    const bool granted =
        invoke != nullptr && invoke->loginName == kAdministrator && invoke->password == pbx.options.password;
    if (!granted) {
        loginResult->status = newStatus(soap, kRefused);
        pbx.out.line("login", "refused loginName=" + printable(invoke != nullptr ? invoke->loginName : "") +
                                  " code=" + std::to_string(kRefused) + " peer=" + pbx.peer);
        return SOAP_OK;
    }
    loginResult->status = newStatus(soap, kOk);
    loginResult->sessionId = pbx.sessions.open(SessionTable::Clock::now());
    pbx.out.line("login", "session=" + loginResult->sessionId + " peer=" + pbx.peer);
    return SOAP_OK;
}

int kelm1__logoutAdmin(struct soap* soap, std::string sessionId, kelm2__VroStatus*& status)
{
    if (const int rc = wrongService(soap, "logoutAdmin", false))
        return rc;
    Pbx& pbx = pbxOf(soap);
    const int code = pbx.sessions.close(sessionId, SessionTable::Clock::now()) ? kOk : kSessionNotAccepted;
    status = newStatus(soap, code);
    pbx.out.line("logout", "session=" + printable(sessionId) + " status=" + std::to_string(code) + " peer=" + pbx.peer);
    return SOAP_OK;
}

int kelm1__getLocalCallLog(struct soap* soap, kelm2__GetLocalCallLogInvoke* invoke, kelm2__LocalCallLogResult*& result)
{
    if (const int rc = wrongService(soap, "getLocalCallLog", false))
        return rc;
    Pbx& pbx = pbxOf(soap);
    const std::string sessionId = invoke != nullptr && invoke->sessionId != nullptr ? *invoke->sessionId : "";
    const long long asked = invoke != nullptr ? invoke->nbItemFromEnd : 0;
    result = soap_new_kelm2__LocalCallLogResult(soap);
    std::size_t entries = 0;
    if (!sessionAccepted(pbx, sessionId)) {
        result->status = newStatus(soap, kSessionNotAccepted);
    } else {
        result->status = newStatus(soap, pbx.options.callLogStatus.value_or(kOk));
        const long long wanted = pbx.options.answerCalls.value_or(std::max(asked, 0LL));
        const auto calls = pbx.log.newest(static_cast<std::size_t>(wanted));
        entries = calls.size();
        result->content = soap_new_kelm2ArrayOfLocalCallLogElt(soap);
        result->content->__size = static_cast<int>(entries);
        result->content->__ptr = newItems<kelm2__LocalCallLogElt>(soap, entries);
        for (std::size_t i = 0; i < entries; ++i)
            result->content->__ptr[i] = newEntry(soap, *calls[i]);
        result->total = static_cast<int>(entries + static_cast<std::size_t>(pbx.options.totalExcess));
    }
    if (pbx.options.fetchDelay > 0) {
        pbx.out.line("delay", "seconds=" + std::to_string(pbx.options.fetchDelay) + " peer=" + pbx.peer);
        std::this_thread::sleep_for(std::chrono::duration<double>(pbx.options.fetchDelay));
    }
    pbx.out.line("fetch", "session=" + printable(sessionId) + " nbItemFromEnd=" + std::to_string(asked) +
                              " status=" + std::to_string(result->status->code) + " total=" +
                              std::to_string(result->total) + " entries=" + std::to_string(entries) +
                              " peer=" + pbx.peer);
    return SOAP_OK;
}

int kelm1__getUsers(struct soap* soap, kelm2__GetUsersInvoke* invoke, kelm2__UsersResult*& result)
{
    if (const int rc = wrongService(soap, "getUsers", false))
        return rc;
    Pbx& pbx = pbxOf(soap);
    const std::string sessionId = invoke != nullptr ? invoke->sessionId : "";
    const long long index = invoke != nullptr ? invoke->index : 0;
    const long long nbItems = invoke != nullptr ? invoke->nbItems : 0;
    const auto& users = pbx.options.users;
    result = soap_new_kelm2__UsersResult(soap);
    result->users = soap_new_kelm2ArrayOfUser(soap);
    result->users->__ptr = newItems<kelm2__User>(soap, 0);
    if (!sessionAccepted(pbx, sessionId)) {
        result->status = newStatus(soap, kSessionNotAccepted);
    } else {
        result->status = newStatus(soap, kOk);
        const auto first = static_cast<std::size_t>(std::clamp<long long>(index, 0, static_cast<long long>(users.size())));
        const auto last = static_cast<std::size_t>(
            std::clamp<long long>(index + std::max(nbItems, 0LL), static_cast<long long>(first),
                                  static_cast<long long>(users.size())));
        result->users->__size = static_cast<int>(last - first);
        result->users->__ptr = newItems<kelm2__User>(soap, last - first);
        for (std::size_t i = first; i < last; ++i)
            result->users->__ptr[i - first] = newUser(soap, users[i], static_cast<int>(i + 1));
        result->total = static_cast<int>(pbx.options.usersTotal.value_or(static_cast<long>(users.size())));
    }
    pbx.out.line("users", "session=" + printable(sessionId) + " index=" + std::to_string(index) + " nbItems=" +
                              std::to_string(nbItems) + " status=" + std::to_string(result->status->code) +
                              " total=" + std::to_string(result->total) + " users=" +
                              std::to_string(result->users->__size) + " peer=" + pbx.peer);
    return SOAP_OK;
}

int kelm1__getZEBGlobalProperties(struct soap* soap, std::string sessionId, kelm2__ZEBGlobalPropertiesResult*& result)
{
    if (const int rc = wrongService(soap, "getZEBGlobalProperties", true))
        return rc;
    Pbx& pbx = pbxOf(soap);
    result = soap_new_kelm2__ZEBGlobalPropertiesResult(soap);
    if (!sessionAccepted(pbx, sessionId)) {
        result->status = newStatus(soap, kSessionNotAccepted);
    } else {
        result->status = newStatus(soap, kOk);
        auto* properties = soap_new_kelm2__ZEBGlobalProperties(soap);
        properties->guid = "00000000-0000-0000-0000-00000000c0de";
        properties->name = "pbxsim";
        properties->ipAddress = pbx.options.address;
        properties->httpPort = 8894;
        properties->lastSyncDate = pbx.startTime;
        properties->api_USCOREversion = "1.0";
        properties->zeb_USCORErelease = pbx.options.release;
        properties->availableLanguages = soap_new_kelm2ArrayOfString(soap);
        properties->availableLanguages->__ptr = newItems<std::string>(soap, 0);
        properties->shortZEBUser = soap_new_kelm2ArrayOfShortZEBUser(soap);
        properties->shortZEBUser->__ptr = newItems<kelm2__ShortZEBUser>(soap, 0);
        result->zebGlobalProperties = properties;
    }
    pbx.out.line("properties", "session=" + printable(sessionId) + " status=" +
                                   std::to_string(result->status->code) + " release=" +
                                   (result->zebGlobalProperties != nullptr ? printable(pbx.options.release) : "-") +
                                   " peer=" + pbx.peer);
    return SOAP_OK;
}

int kelm1__getUserByNumber(struct soap* soap, kelm2__GetUserByNumberInvoke*, kelm2__UsersResult*&)
{
    return notSimulated(soap, "getUserByNumber");
}
int kelm1__setUsers(struct soap* soap, kelm2__SetUsersInvoke*, kelm2__AdminStatus*&)
{
    return notSimulated(soap, "setUsers");
}
int kelm1__deleteUsers(struct soap* soap, kelm2__DeleteUsersInvoke*, kelm2__AdminStatus*&)
{
    return notSimulated(soap, "deleteUsers");
}
int kelm1__getPbxLines(struct soap* soap, kelm2__GetPbxLinesInvoke*, kelm2__PbxLinesResult*&)
{
    return notSimulated(soap, "getPbxLines");
}
int kelm1__getLine(struct soap* soap, kelm2__GetLineInvoke*, kelm2__PbxLinesResult*&)
{
    return notSimulated(soap, "getLine");
}
