#pragma once

// Client proxy of the PBX's admin SOAP services: one gSOAP context, the endpoint of the next
// request, and one virtual operation per service operation. Results belong to the context and
// stay valid until the caller releases its storage (soap_destroy, then soap_end).

#include "soapH.h"

#include <string>

namespace kelm {

class XmlAdminServiceSoap {
public:
    // Status of an operation called on a proxy whose context could not be allocated.
    static constexpr int kNoContext = 16;
    static constexpr const char* kDefaultEndpoint = "http://localhost:8080/services/XmlAdmin";
    // Time-outs of a new proxy, in seconds, until the caller sets its own.
    static constexpr int kDefaultTimeoutSeconds = 30;
    static constexpr int kMinTimeoutSeconds = 1;
    static constexpr int kMaxTimeoutSeconds = 300;

    // Owned; null only if its allocation failed. Its proxy_host, proxy_port, proxy_userid and
    // proxy_passwd route requests through an HTTP proxy.
    struct soap* soap;
    // Not owned; the URL of the next request (kDefaultEndpoint when null).
    const char* soap_endpoint;

    XmlAdminServiceSoap();
    XmlAdminServiceSoap(const XmlAdminServiceSoap&) = delete;
    XmlAdminServiceSoap& operator=(const XmlAdminServiceSoap&) = delete;
    virtual ~XmlAdminServiceSoap();

    // Each operation sends the request part (an absent `invoke` leaves the part out) and returns 0
    // when the whole exchange succeeded, else the run time's error code (transport, HTTP status,
    // SOAP fault, parsing) or kNoContext. Once the request has been sent the slot is cleared; it
    // receives the response part only on success (null when the answer carries no part).
    virtual int loginAdmin(kelm2__AdminLogin* invoke, kelm2__VroLogonAdminResult*& loginResult);
    virtual int logoutAdmin(std::string sessionId, kelm2__VroStatus*& status);
    virtual int getUsers(kelm2__GetUsersInvoke* invoke, kelm2__UsersResult*& result);
    virtual int getUserByNumber(kelm2__GetUserByNumberInvoke* invoke, kelm2__UsersResult*& result);
    virtual int setUsers(kelm2__SetUsersInvoke* invoke, kelm2__AdminStatus*& result);
    virtual int deleteUsers(kelm2__DeleteUsersInvoke* invoke, kelm2__AdminStatus*& result);
    virtual int getPbxLines(kelm2__GetPbxLinesInvoke* invoke, kelm2__PbxLinesResult*& result);
    virtual int getLine(kelm2__GetLineInvoke* invoke, kelm2__PbxLinesResult*& result);
    virtual int getLocalCallLog(kelm2__GetLocalCallLogInvoke* invoke, kelm2__LocalCallLogResult*& result);
    // Service XmlZeb: the caller gives the context the XmlZeb namespace table and endpoint first.
    virtual int getZEBGlobalProperties(std::string sessionId, kelm2__ZEBGlobalPropertiesResult*& result);

    // No request waits without end: connecting, every send and receive stall and the transfer of
    // each message are bounded. Values are clamped to kMinTimeoutSeconds..kMaxTimeoutSeconds.
    void setTimeouts(int connectSeconds, int sendSeconds, int receiveSeconds);

private:
    template <class Request, class Response, class Part>
    int call(const char* action, void (*mark)(struct soap*, const Request*),
             int (*put)(struct soap*, const Request*, const char*, const char*), const Request& request,
             const char* requestTag, Response* (*get)(struct soap*, Response*, const char*, const char*),
             const char* responseTag, Part* Response::*part, Part*& slot);
};

} // namespace kelm
