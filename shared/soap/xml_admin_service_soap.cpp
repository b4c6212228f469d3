#include "shared/soap/xml_admin_service_soap.h"

#include "shared/soap/namespace_tables.h"
#include "shared/soap/request_exchange.h"
#include "shared/soap/wire_profile.h"

#include <algorithm>
#include <utility>

namespace kelm {

XmlAdminServiceSoap::XmlAdminServiceSoap()
    : soap(soap_new())
    , soap_endpoint(kDefaultEndpoint)
{
    if (soap == nullptr)
        return;
    if (pbx_soap::applyWireProfile(soap) != SOAP_OK) {
        soap_free(soap);
        soap = nullptr;
        return;
    }
    soap_set_namespaces(soap, pbx_soap::xmlAdminNamespaces());
    setTimeouts(kDefaultTimeoutSeconds, kDefaultTimeoutSeconds, kDefaultTimeoutSeconds);
}

XmlAdminServiceSoap::~XmlAdminServiceSoap()
{
    if (soap == nullptr)
        return;
    soap_destroy(soap);
    soap_end(soap);
    soap_free(soap); // also ends the context
}

void XmlAdminServiceSoap::setTimeouts(int connectSeconds, int sendSeconds, int receiveSeconds)
{
    if (soap == nullptr)
        return;
    // The run time reads 0 as "wait forever" and negative values as microseconds.
    const auto bounded = [](int seconds) { return std::clamp(seconds, kMinTimeoutSeconds, kMaxTimeoutSeconds); };
    soap->connect_timeout = bounded(connectSeconds);
    soap->send_timeout = bounded(sendSeconds);
    soap->recv_timeout = bounded(receiveSeconds);
    // A peer that trickles bytes defeats the stall time-outs; this bounds the whole message.
    soap->transfer_timeout = std::max(soap->send_timeout, soap->recv_timeout);
}

template <class Request, class Response, class Part>
int XmlAdminServiceSoap::call(const char* action, void (*mark)(struct soap*, const Request*),
                              int (*put)(struct soap*, const Request*, const char*, const char*),
                              const Request& request, const char* requestTag,
                              Response* (*get)(struct soap*, Response*, const char*, const char*),
                              const char* responseTag, Part* Response::*part, Part*& slot)
{
    if (soap == nullptr)
        return kNoContext;
    const char* endpoint = soap_endpoint != nullptr ? soap_endpoint : kDefaultEndpoint;
    if (const int error = pbx_soap::sendRequest(soap, endpoint, action, mark, put, request, requestTag))
        return error;
    return pbx_soap::receiveResponse(soap, get, responseTag, part, slot);
}

int XmlAdminServiceSoap::loginAdmin(kelm2__AdminLogin* invoke, kelm2__VroLogonAdminResult*& loginResult)
{
    struct kelm1__loginAdmin request;
    request.invoke = invoke;
    return call("loginAdmin", soap_serialize_kelm1__loginAdmin, soap_put_kelm1__loginAdmin, request,
                "kelm1:loginAdmin", soap_get_kelm1__loginAdminResponse, "kelm1:loginAdminResponse",
                &kelm1__loginAdminResponse::loginResult, loginResult);
}

int XmlAdminServiceSoap::logoutAdmin(std::string sessionId, kelm2__VroStatus*& status)
{
    struct kelm1__logoutAdmin request;
    request.sessionId = std::move(sessionId);
    return call("logoutAdmin", soap_serialize_kelm1__logoutAdmin, soap_put_kelm1__logoutAdmin, request,
                "kelm1:logoutAdmin", soap_get_kelm1__logoutAdminResponse, "kelm1:logoutAdminResponse",
                &kelm1__logoutAdminResponse::status, status);
}

int XmlAdminServiceSoap::getUsers(kelm2__GetUsersInvoke* invoke, kelm2__UsersResult*& result)
{
    struct kelm1__getUsers request;
    request.invoke = invoke;
    return call("getUsers", soap_serialize_kelm1__getUsers, soap_put_kelm1__getUsers, request, "kelm1:getUsers",
                soap_get_kelm1__getUsersResponse, "kelm1:getUsersResponse", &kelm1__getUsersResponse::result,
                result);
}

int XmlAdminServiceSoap::getUserByNumber(kelm2__GetUserByNumberInvoke* invoke, kelm2__UsersResult*& result)
{
    struct kelm1__getUserByNumber request;
    request.invoke = invoke;
    return call("getUserByNumber", soap_serialize_kelm1__getUserByNumber, soap_put_kelm1__getUserByNumber,
                request, "kelm1:getUserByNumber", soap_get_kelm1__getUserByNumberResponse,
                "kelm1:getUserByNumberResponse", &kelm1__getUserByNumberResponse::result, result);
}

int XmlAdminServiceSoap::setUsers(kelm2__SetUsersInvoke* invoke, kelm2__AdminStatus*& result)
{
    struct kelm1__setUsers request;
    request.invoke = invoke;
    return call("setUsers", soap_serialize_kelm1__setUsers, soap_put_kelm1__setUsers, request, "kelm1:setUsers",
                soap_get_kelm1__setUsersResponse, "kelm1:setUsersResponse", &kelm1__setUsersResponse::result,
                result);
}

int XmlAdminServiceSoap::deleteUsers(kelm2__DeleteUsersInvoke* invoke, kelm2__AdminStatus*& result)
{
    struct kelm1__deleteUsers request;
    request.invoke = invoke;
    return call("deleteUsers", soap_serialize_kelm1__deleteUsers, soap_put_kelm1__deleteUsers, request,
                "kelm1:deleteUsers", soap_get_kelm1__deleteUsersResponse, "kelm1:deleteUsersResponse",
                &kelm1__deleteUsersResponse::result, result);
}

int XmlAdminServiceSoap::getPbxLines(kelm2__GetPbxLinesInvoke* invoke, kelm2__PbxLinesResult*& result)
{
    struct kelm1__getPbxLines request;
    request.invoke = invoke;
    return call("getPbxLines", soap_serialize_kelm1__getPbxLines, soap_put_kelm1__getPbxLines, request,
                "kelm1:getPbxLines", soap_get_kelm1__getPbxLinesResponse, "kelm1:getPbxLinesResponse",
                &kelm1__getPbxLinesResponse::result, result);
}

int XmlAdminServiceSoap::getLine(kelm2__GetLineInvoke* invoke, kelm2__PbxLinesResult*& result)
{
    struct kelm1__getLine request;
    request.invoke = invoke;
    return call("getLine", soap_serialize_kelm1__getLine, soap_put_kelm1__getLine, request, "kelm1:getLine",
                soap_get_kelm1__getLineResponse, "kelm1:getLineResponse", &kelm1__getLineResponse::result, result);
}

int XmlAdminServiceSoap::getLocalCallLog(kelm2__GetLocalCallLogInvoke* invoke, kelm2__LocalCallLogResult*& result)
{
    struct kelm1__getLocalCallLog request;
    request.invoke = invoke;
    return call("getLocalCallLog", soap_serialize_kelm1__getLocalCallLog, soap_put_kelm1__getLocalCallLog,
                request, "kelm1:getLocalCallLog", soap_get_kelm1__getLocalCallLogResponse,
                "kelm1:getLocalCallLogResponse", &kelm1__getLocalCallLogResponse::result, result);
}

int XmlAdminServiceSoap::getZEBGlobalProperties(std::string sessionId, kelm2__ZEBGlobalPropertiesResult*& result)
{
    struct kelm1__getZEBGlobalProperties request;
    request.sessionId = std::move(sessionId);
    return call("privateZeb", soap_serialize_kelm1__getZEBGlobalProperties,
                soap_put_kelm1__getZEBGlobalProperties, request, "kelm1:getZEBGlobalProperties",
                soap_get_kelm1__getZEBGlobalPropertiesResponse, "kelm1:getZEBGlobalPropertiesResponse",
                &kelm1__getZEBGlobalPropertiesResponse::result, result);
}

} // namespace kelm
