// The generated server dispatch behind a simulated PBX: the proxy's requests are dispatched on
// both paths, and the answers come back through the same custom serializers.

#include "shared/soap/namespace_tables.h"
#include "shared/soap/wire_profile.h"
#include "shared/soap/xml_admin_service_soap.h"

#include <gtest/gtest.h>
#include <mutex>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>

namespace {

// What the stand-in PBX wrote, for the checks on its wire form.
std::mutex sentMutex;
std::string sentBytes;
int (*runTimeSend)(struct soap*, const char*, size_t) = nullptr;

int recordingSend(struct soap* soap, const char* bytes, size_t length)
{
    {
        std::lock_guard lock(sentMutex);
        sentBytes.append(bytes, length);
    }
    return runTimeSend(soap, bytes, length);
}

// Serves `requests` connections on loopback with the generated dispatcher.
class StandInPbx {
public:
    explicit StandInPbx(int requests)
        : soap_(soap_new())
    {
        kelm::pbx_soap::applyWireProfile(soap_);
        soap_set_namespaces(soap_, kelm::pbx_soap::pbxServerNamespaces());
        soap_->bind_flags = SO_REUSEADDR;
        if (!soap_valid_socket(soap_bind(soap_, "127.0.0.1", 0, 4)))
            throw std::runtime_error("bind");
        sockaddr_in address{};
        socklen_t length = sizeof address;
        ::getsockname(soap_->master, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        runTimeSend = soap_->fsend;
        soap_->fsend = recordingSend;
        soap_->accept_timeout = 5;
        thread_ = std::thread([this, requests] {
            for (int i = 0; i < requests && soap_valid_socket(soap_accept(soap_)); ++i) {
                soap_serve(soap_);
                soap_destroy(soap_);
                soap_end(soap_);
            }
        });
    }
    ~StandInPbx()
    {
        thread_.join();
        soap_free(soap_);
    }
    std::string endpoint(const char* path) const
    {
        return "http://127.0.0.1:" + std::to_string(port_) + path;
    }

private:
    struct soap* soap_;
    int port_ = 0;
    std::thread thread_;
};

TEST(ServerDispatch, RoundTripOnBothPaths)
{
    sentBytes.clear();
    StandInPbx pbx(3);
    const std::string admin = pbx.endpoint("/services/XmlAdmin");
    const std::string zeb = pbx.endpoint("/services/XmlZeb");
    kelm::XmlAdminServiceSoap proxy;
    proxy.setTimeouts(5, 5, 5);
    proxy.soap_endpoint = admin.c_str();

    kelm2__AdminLogin login;
    login.loginName = "administrator";
    login.password = "p&\xE9";
    kelm2__VroLogonAdminResult* session = nullptr;
    ASSERT_EQ(proxy.loginAdmin(&login, session), 0);
    ASSERT_NE(session, nullptr);
    ASSERT_NE(session->status, nullptr);
    EXPECT_EQ(session->status->code, 0);
    EXPECT_EQ(session->sessionId, "S-p&\xE9");

    std::string sessionId = session->sessionId;
    kelm2__GetLocalCallLogInvoke invoke;
    invoke.sessionId = &sessionId;
    invoke.nbItemFromEnd = 200;
    kelm2__LocalCallLogResult* log = nullptr;
    ASSERT_EQ(proxy.getLocalCallLog(&invoke, log), 0);
    ASSERT_NE(log, nullptr);
    EXPECT_EQ(log->total, 200);
    ASSERT_NE(log->content, nullptr);
    ASSERT_EQ(log->content->__size, 3);
    EXPECT_EQ(log->content->__ptr[1], nullptr);
    ASSERT_NE(log->content->__ptr[2], nullptr);
    EXPECT_EQ(*log->content->__ptr[2]->dirNumber, "2\n\xE9");
    EXPECT_EQ(log->content->__ptr[2]->initialDest, nullptr);
    EXPECT_EQ(log->content->__ptr[2]->itemId->diffId, (1LL << 32) + 1);
    soap_destroy(proxy.soap);
    soap_end(proxy.soap);

    soap_set_namespaces(proxy.soap, kelm::pbx_soap::xmlZebNamespaces());
    proxy.soap_endpoint = zeb.c_str();
    kelm2__ZEBGlobalPropertiesResult* properties = nullptr;
    ASSERT_EQ(proxy.getZEBGlobalProperties(sessionId, properties), 0);
    ASSERT_NE(properties, nullptr);
    ASSERT_NE(properties->zebGlobalProperties, nullptr);
    EXPECT_EQ(properties->zebGlobalProperties->zeb_USCORErelease, "R-S-p&\xE9");

    std::lock_guard lock(sentMutex);
    // Text goes out 7-bit, arrays as encoded arrays, and the XmlZeb answer in the XmlZeb URIs.
    EXPECT_NE(sentBytes.find("<sessionId>S-p&amp;&#233;</sessionId>"), std::string::npos);
    EXPECT_NE(sentBytes.find("<content SOAP-ENC:arrayType=\"kelm2:LocalCallLogElt[3]\" xsi:type=\"SOAP-ENC:Array\">"),
              std::string::npos);
    EXPECT_NE(sentBytes.find("<item SOAP-ENC:position=\"[2]\">"), std::string::npos);
    EXPECT_NE(sentBytes.find("xmlns:kelm2=\"ws.corvane.example/zeb/types\" xmlns:kelm1=\"http://ws.corvane.example/zeb\""),
              std::string::npos);
}

} // namespace

// ---- the stand-in PBX's operations ------------------------------------------------------------

int kelm1__loginAdmin(struct soap* soap, kelm2__AdminLogin* invoke, kelm2__VroLogonAdminResult*& loginResult)
{
    loginResult = soap_new_kelm2__VroLogonAdminResult(soap);
    loginResult->status = soap_new_kelm2__VroStatus(soap);
    loginResult->sessionId = "S-" + (invoke != nullptr ? invoke->password : std::string());
    return SOAP_OK;
}

int kelm1__getLocalCallLog(struct soap* soap, kelm2__GetLocalCallLogInvoke* invoke, kelm2__LocalCallLogResult*& result)
{
    if (invoke == nullptr || invoke->sessionId == nullptr)
        return soap_sender_fault(soap, "no session", nullptr);
    result = soap_new_kelm2__LocalCallLogResult(soap);
    result->total = static_cast<int>(invoke->nbItemFromEnd);
    result->content = soap_new_kelm2ArrayOfLocalCallLogElt(soap);
    result->content->__size = 3;
    result->content->__ptr = static_cast<kelm2__LocalCallLogElt**>(soap_malloc(soap, 3 * sizeof(kelm2__LocalCallLogElt*)));
    for (int i = 0; i < 3; ++i)
        result->content->__ptr[i] = i == 1 ? nullptr : soap_new_kelm2__LocalCallLogElt(soap);
    kelm2__LocalCallLogElt* last = result->content->__ptr[2];
    last->dirNumber = soap_new_xsd__string(soap);
    *last->dirNumber = "2\n\xE9";
    last->itemId = soap_new_kelm2__ItemId(soap);
    last->itemId->diffId = (1LL << 32) + 1;
    return SOAP_OK;
}

int kelm1__getZEBGlobalProperties(struct soap* soap, std::string sessionId, kelm2__ZEBGlobalPropertiesResult*& result)
{
    result = soap_new_kelm2__ZEBGlobalPropertiesResult(soap);
    result->zebGlobalProperties = soap_new_kelm2__ZEBGlobalProperties(soap);
    result->zebGlobalProperties->zeb_USCORErelease = "R-" + sessionId;
    return SOAP_OK;
}

// Not simulated here.
int kelm1__logoutAdmin(struct soap* soap, std::string, kelm2__VroStatus*&)
{
    return soap_receiver_fault(soap, "not simulated", nullptr);
}
int kelm1__getUsers(struct soap* soap, kelm2__GetUsersInvoke*, kelm2__UsersResult*&)
{
    return soap_receiver_fault(soap, "not simulated", nullptr);
}
int kelm1__getUserByNumber(struct soap* soap, kelm2__GetUserByNumberInvoke*, kelm2__UsersResult*&)
{
    return soap_receiver_fault(soap, "not simulated", nullptr);
}
int kelm1__setUsers(struct soap* soap, kelm2__SetUsersInvoke*, kelm2__AdminStatus*&)
{
    return soap_receiver_fault(soap, "not simulated", nullptr);
}
int kelm1__deleteUsers(struct soap* soap, kelm2__DeleteUsersInvoke*, kelm2__AdminStatus*&)
{
    return soap_receiver_fault(soap, "not simulated", nullptr);
}
int kelm1__getPbxLines(struct soap* soap, kelm2__GetPbxLinesInvoke*, kelm2__PbxLinesResult*&)
{
    return soap_receiver_fault(soap, "not simulated", nullptr);
}
int kelm1__getLine(struct soap* soap, kelm2__GetLineInvoke*, kelm2__PbxLinesResult*&)
{
    return soap_receiver_fault(soap, "not simulated", nullptr);
}
