// What reaches the wire, byte for byte: request line, header lines in order, envelope.

#include "shared/soap/namespace_tables.h"
#include "tests/soap/soap_test_support.h"

#include <functional>
#include <gtest/gtest.h>

namespace {

using kelm::XmlAdminServiceSoap;
using kelm::test::ProxyOnLoopback;

using kelm::test::kXmlZebDeclarations;

std::string requestEnvelope(const std::string& operation, const std::string& declarations = kelm::test::kXmlAdminDeclarations)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<SOAP-ENV:Envelope" + declarations
           + "><SOAP-ENV:Body SOAP-ENV:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\">" + operation
           + "</SOAP-ENV:Body></SOAP-ENV:Envelope>";
}

std::string request(const std::string& target, const std::string& host, const std::string& action,
                    const std::string& envelope, const std::string& proxyAuthorization = "")
{
    std::string header = "POST " + target + " HTTP/1.1\r\nHost: " + host
                         + "\r\nUser-Agent: gSOAP/2.7\r\nContent-Type: text/xml; charset=utf-8\r\nContent-Length: "
                         + std::to_string(envelope.size()) + "\r\nConnection: close\r\n";
    if (!proxyAuthorization.empty())
        header += "Proxy-Authorization: " + proxyAuthorization + "\r\n";
    return header + "SOAPAction: \"" + action + "\"\r\n\r\n" + envelope;
}

struct RequestCase {
    const char* name;
    std::function<int(XmlAdminServiceSoap&)> call;
    const char* action;
    std::string operation;
};

class RequestBytes : public ::testing::TestWithParam<RequestCase> {};

TEST_P(RequestBytes, MatchTheProfile)
{
    ProxyOnLoopback peer;
    peer.server.enqueue(kelm::test::httpAnswer(kelm::test::answerEnvelope("")));
    GetParam().call(peer.proxy);
    const auto requests = peer.server.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0], request("/services/XmlAdmin", "127.0.0.1:" + std::to_string(peer.server.port()),
                                   GetParam().action, requestEnvelope(GetParam().operation)));
}

INSTANTIATE_TEST_SUITE_P(
    Operations, RequestBytes,
    ::testing::Values(
        RequestCase{"LoginEscapesAmpersandAndHighBytes",
                    [](XmlAdminServiceSoap& proxy) {
                        kelm2__AdminLogin login;
                        login.loginName = "administrator";
                        login.password = "a&b\xE9<>\r\n\t\"\x01z";
                        kelm2__VroLogonAdminResult* result = nullptr;
                        return proxy.loginAdmin(&login, result);
                    },
                    "loginAdmin",
                    "<kelm1:loginAdmin><invoke><loginName>administrator</loginName>"
                    "<password>a&amp;b&#233;&lt;&gt;&#xD;&#xA;\t\"&#1;z</password></invoke></kelm1:loginAdmin>"},
        RequestCase{"LoginWithEmptyPasswordKeepsTheElement",
                    [](XmlAdminServiceSoap& proxy) {
                        kelm2__AdminLogin login;
                        login.loginName = "administrator";
                        kelm2__VroLogonAdminResult* result = nullptr;
                        return proxy.loginAdmin(&login, result);
                    },
                    "loginAdmin",
                    "<kelm1:loginAdmin><invoke><loginName>administrator</loginName><password></password>"
                    "</invoke></kelm1:loginAdmin>"},
        RequestCase{"LogoutWithEmptySessionId",
                    [](XmlAdminServiceSoap& proxy) {
                        kelm2__VroStatus* status = nullptr;
                        return proxy.logoutAdmin("", status);
                    },
                    "logoutAdmin", "<kelm1:logoutAdmin><sessionId></sessionId></kelm1:logoutAdmin>"},
        RequestCase{"CallLogWithoutSessionIdHasOnlyTheCount",
                    [](XmlAdminServiceSoap& proxy) {
                        kelm2__GetLocalCallLogInvoke invoke;
                        invoke.nbItemFromEnd = 200;
                        kelm2__LocalCallLogResult* result = nullptr;
                        return proxy.getLocalCallLog(&invoke, result);
                    },
                    "getLocalCallLog",
                    "<kelm1:getLocalCallLog><invoke><nbItemFromEnd>200</nbItemFromEnd></invoke></kelm1:getLocalCallLog>"},
        RequestCase{"CallLogWithSessionId",
                    [](XmlAdminServiceSoap& proxy) {
                        std::string session = "S-1";
                        kelm2__GetLocalCallLogInvoke invoke;
                        invoke.sessionId = &session;
                        invoke.nbItemFromEnd = 200;
                        kelm2__LocalCallLogResult* result = nullptr;
                        return proxy.getLocalCallLog(&invoke, result);
                    },
                    "getLocalCallLog",
                    "<kelm1:getLocalCallLog><invoke><sessionId>S-1</sessionId><nbItemFromEnd>200</nbItemFromEnd>"
                    "</invoke></kelm1:getLocalCallLog>"},
        RequestCase{"AbsentInvokeLeavesThePartOut",
                    [](XmlAdminServiceSoap& proxy) {
                        kelm2__UsersResult* result = nullptr;
                        return proxy.getUsers(nullptr, result);
                    },
                    "getUsers", "<kelm1:getUsers></kelm1:getUsers>"},
        RequestCase{"GetUsers",
                    [](XmlAdminServiceSoap& proxy) {
                        kelm2__GetUsersInvoke invoke;
                        invoke.sessionId = "S";
                        invoke.nbItems = 100;
                        invoke.index = -1;
                        kelm2__UsersResult* result = nullptr;
                        return proxy.getUsers(&invoke, result);
                    },
                    "getUsers",
                    "<kelm1:getUsers><invoke><sessionId>S</sessionId><index>-1</index><nbItems>100</nbItems>"
                    "</invoke></kelm1:getUsers>"},
        RequestCase{"ArraysAreEncodedSkippedItemsPositionedAndSharedItemsCopied",
                    [](XmlAdminServiceSoap& proxy) {
                        std::string first = "1001", second = "10\xE9";
                        std::string* numbers[] = {&first, nullptr, nullptr, &second, &second};
                        kelm2ArrayOfString users;
                        users.__ptr = numbers;
                        users.__size = 5;
                        kelm2__DeleteUsersInvoke invoke;
                        invoke.sessionId = "S";
                        invoke.users = &users;
                        kelm2__AdminStatus* result = nullptr;
                        return proxy.deleteUsers(&invoke, result);
                    },
                    "deleteUsers",
                    "<kelm1:deleteUsers><invoke><sessionId>S</sessionId>"
                    "<users SOAP-ENC:arrayType=\"xsd:string[5]\" xsi:type=\"SOAP-ENC:Array\"><item>1001</item>"
                    "<item SOAP-ENC:position=\"[3]\">10&#233;</item><item>10&#233;</item></users>"
                    "</invoke></kelm1:deleteUsers>"},
        RequestCase{"EnumerationsAndBooleansInWireForm",
                    [](XmlAdminServiceSoap& proxy) {
                        kelm2__Line line;
                        line.dirNumber = "200";
                        line.nomadic = true;
                        kelm2__Line* lines[] = {&line};
                        kelm2ArrayOfLine lineArray;
                        lineArray.__ptr = lines;
                        lineArray.__size = 1;
                        kelm2__User named, unnamed;
                        named.pwdStatus = kelm2__PwdStatus::mustBeChanged;
                        named.lines = &lineArray;
                        unnamed.pwdStatus = static_cast<kelm2__PwdStatus>(7);
                        kelm2__User* userItems[] = {&named, &unnamed};
                        kelm2ArrayOfUser users;
                        users.__ptr = userItems;
                        users.__size = 2;
                        kelm2__SetUsersInvoke invoke;
                        invoke.users = &users;
                        kelm2__AdminStatus* result = nullptr;
                        return proxy.setUsers(&invoke, result);
                    },
                    "setUsers",
                    "<kelm1:setUsers><invoke><sessionId></sessionId>"
                    "<users SOAP-ENC:arrayType=\"kelm2:User[2]\" xsi:type=\"SOAP-ENC:Array\">"
                    "<item><name></name><firstName></firstName><loginName></loginName><password></password>"
                    "<mainNumber></mainNumber><tsaId>0</tsaId><pwdStatus>mustBeChanged</pwdStatus>"
                    "<lines SOAP-ENC:arrayType=\"kelm2:Line[1]\" xsi:type=\"SOAP-ENC:Array\"><item>"
                    "<dirNumber>200</dirNumber><license>3141Softphone</license><nomadic>true</nomadic>"
                    "<nomadicOnPersonalSet>false</nomadicOnPersonalSet><nomadicOnVoip>false</nomadicOnVoip>"
                    "<nomadicDynamicCnx>false</nomadicDynamicCnx><nomadicStaticCnx>false</nomadicStaticCnx>"
                    "<autoOrig>false</autoOrig><setType></setType><secretCode></secretCode>"
                    "<facCategory>0</facCategory><pin></pin><withSecCode>false</withSecCode><tandem></tandem>"
                    "<tandemMain>false</tandemMain><vmailNumber></vmailNumber><vmailType></vmailType>"
                    "</item></lines></item>"
                    "<item><name></name><firstName></firstName><loginName></loginName><password></password>"
                    "<mainNumber></mainNumber><tsaId>0</tsaId><pwdStatus>7</pwdStatus></item>"
                    "</users></invoke></kelm1:setUsers>"}),
    [](const ::testing::TestParamInfo<RequestCase>& param) { return std::string(param.param.name); });

TEST(RequestBytes, XmlZebTableAppliesToItsRequestOnly)
{
    ProxyOnLoopback peer;
    peer.server.enqueue(kelm::test::httpAnswer(kelm::test::answerEnvelope("")));
    peer.server.enqueue(kelm::test::httpAnswer(kelm::test::answerEnvelope("")));
    const std::string zebEndpoint = peer.server.endpoint("/services/XmlZeb");
    const std::string host = "127.0.0.1:" + std::to_string(peer.server.port());

    // The session client's sequence: table and endpoint, call, release, table back.
    soap_set_namespaces(peer.proxy.soap, kelm::pbx_soap::xmlZebNamespaces());
    peer.proxy.soap_endpoint = zebEndpoint.c_str();
    kelm2__ZEBGlobalPropertiesResult* properties = nullptr;
    peer.proxy.getZEBGlobalProperties("S-9", properties);
    peer.release();
    soap_set_namespaces(peer.proxy.soap, kelm::pbx_soap::xmlAdminNamespaces());
    peer.proxy.soap_endpoint = peer.endpoint.c_str();
    kelm2__VroStatus* status = nullptr;
    peer.proxy.logoutAdmin("S-9", status);

    const auto requests = peer.server.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0], request("/services/XmlZeb", host, "privateZeb",
                                   requestEnvelope("<kelm1:getZEBGlobalProperties><sessionId>S-9</sessionId>"
                                                   "</kelm1:getZEBGlobalProperties>",
                                                   kXmlZebDeclarations)));
    EXPECT_EQ(requests[1], request("/services/XmlAdmin", host, "logoutAdmin",
                                   requestEnvelope("<kelm1:logoutAdmin><sessionId>S-9</sessionId></kelm1:logoutAdmin>")));
}

TEST(RequestBytes, ThroughAProxyWithEmptyPassword)
{
    ProxyOnLoopback peer;
    peer.server.enqueue(kelm::test::httpAnswer(kelm::test::answerEnvelope("")));
    // The PBX's name is never looked up: the proxy takes the whole URL.
    const std::string pbx = "http://pbx.invalid:8894/services/XmlAdmin";
    peer.proxy.soap_endpoint = pbx.c_str();
    peer.proxy.soap->proxy_host = "127.0.0.1";
    peer.proxy.soap->proxy_port = peer.server.port();
    peer.proxy.soap->proxy_userid = "user";
    peer.proxy.soap->proxy_passwd = "";
    kelm2__VroStatus* status = nullptr;
    peer.proxy.logoutAdmin("S", status);

    const auto requests = peer.server.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0],
              request(pbx, "pbx.invalid:8894", "logoutAdmin",
                      requestEnvelope("<kelm1:logoutAdmin><sessionId>S</sessionId></kelm1:logoutAdmin>"),
                      "Basic dXNlcjo=")); // Base64 of "user:"
}

TEST(RequestBytes, AnswerInSoap12DoesNotLeakIntoTheNextRequest)
{
    ProxyOnLoopback peer;
    const std::string soap12 =
        "<?xml version=\"1.0\"?><e:Envelope xmlns:e=\"http://www.w3.org/2003/05/soap-envelope\" "
        "xmlns:kelm1=\"http://ws.corvane.example/admin\"><e:Body><kelm1:logoutAdminResponse/></e:Body></e:Envelope>";
    peer.server.enqueue(kelm::test::httpAnswer(soap12));
    peer.server.enqueue(kelm::test::httpAnswer(soap12));
    kelm2__VroStatus* status = nullptr;
    EXPECT_EQ(peer.proxy.logoutAdmin("A", status), 0);
    EXPECT_EQ(peer.proxy.logoutAdmin("B", status), 0); // the caller did not even release in between
    const auto requests = peer.server.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_NE(requests[1].find(requestEnvelope("<kelm1:logoutAdmin><sessionId>B</sessionId></kelm1:logoutAdmin>")),
              std::string::npos);
}

} // namespace
