// The session client against canned PBX answers. The canned server stands as the HTTP proxy, so
// every request reaches it whatever the PBX's address, and the proxy path is exercised too.
#include "../config/record_fixture.h"
#include "tests/soap/soap_test_support.h"

#include <chrono>

namespace {

namespace fs = std::filesystem;
using kelm::test::answerEnvelope;
using kelm::test::CannedHttpServer;
using kelm::test::httpAnswer;

std::string response(const std::string& operation, const std::string& part)
{
    return httpAnswer(answerEnvelope("<kelm1:" + operation + "Response>" + part + "</kelm1:" + operation + "Response>"));
}

std::string status(int code)
{
    return "<status><code>" + std::to_string(code) + "</code><label>x</label></status>";
}

std::string loginAnswer(int code, const std::string& session)
{
    return response("loginAdmin", "<loginResult>" + status(code) + "<sessionId>" + session + "</sessionId></loginResult>");
}

struct Call {
    std::string itemId; // the <itemId> content, or "" for none
    std::string dir, initialDest, corr;
};

std::string callLogAnswer(int total, const std::vector<Call>& calls, int code = 0)
{
    std::string items;
    for (const auto& c : calls) {
        items += "<item>" + (c.itemId.empty() ? "" : "<itemId>" + c.itemId + "</itemId>") + "<dirNumber>" + c.dir +
                 "</dirNumber><corrNumber>" + c.corr + "</corrNumber>" +
                 (c.initialDest == "-" ? "" : "<initialDest>" + c.initialDest + "</initialDest>") +
                 "<dateOfBegin>b</dateOfBegin><dateOfEnd>e</dateOfEnd></item>";
    }
    return response("getLocalCallLog", "<result>" + status(code) + "<total>" + std::to_string(total) +
                                           "</total><content xsi:type=\"SOAP-ENC:Array\" SOAP-ENC:arrayType="
                                           "\"kelm2:LocalCallLogElt[" + std::to_string(calls.size()) + "]\">" +
                                           items + "</content></result>");
}

class SessionClientTest : public kelm::testing::RecordFixture {
protected:
    void SetUp() override
    {
        RecordFixture::SetUp();
        log->zebLogLevel = log->calllogLevel = log->globalLogLevel = 4;
        zeb().hostAddress = "10.9.8.7"; // never contacted: the proxy is
        zeb().proxyHost = "127.0.0.1";
        zeb().proxyPort = server.port();
        zeb().proxyUser = "user";
        zeb().proxyPassword = "";
        zeb().adminPassword = "s&cr\xE9t";
        zeb().zebTimeout = 1;
    }
    kelm::CKelmZebObject& zeb() { return record->zeb; }
    std::string trace() const { return readFile("LOG.txt"); }
    bool traced(const std::string& line) const { return trace().find(line + "\r\n") != std::string::npos; }

    CannedHttpServer server;
};

TEST_F(SessionClientTest, LoginSendsTheAdministratorThroughTheProxyAndKeepsTheSession)
{
    server.enqueue(loginAnswer(0, "S-1"));
    EXPECT_EQ(zeb().ZebLogin(), 1);
    EXPECT_EQ(zeb().sessionId, "S-1");
    EXPECT_TRUE(traced("ZEB[4] CKelmZebObject::ZebLogin : OK."));
    const std::string request = server.requests().at(0);
    EXPECT_EQ(request.rfind("POST http://10.9.8.7:8894/services/XmlAdmin HTTP/1.1\r\n", 0), 0u) << request;
    EXPECT_NE(request.find("\r\nProxy-Authorization: Basic dXNlcjo=\r\n"), std::string::npos); // "user:"
    EXPECT_NE(request.find("<loginName>administrator</loginName><password>s&amp;cr&#233;t</password>"),
              std::string::npos);

    // A refusal, a fault and silence keep the earlier session.
    server.enqueue(loginAnswer(1, "S-2"));
    server.enqueue(httpAnswer(answerEnvelope("<SOAP-ENV:Fault><faultcode>SOAP-ENV:Server</faultcode>"
                                             "<faultstring>no</faultstring></SOAP-ENV:Fault>"),
                              "500 Internal Server Error"));
    server.enqueue(CannedHttpServer::kSilence);
    for (int i = 0; i < 3; ++i) {
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(zeb().ZebLogin(), 0) << i;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << "bounded wait";
    }
    EXPECT_EQ(zeb().sessionId, "S-1");
    std::size_t errors = 0;
    for (auto p = trace().find("ZEB[2] CKelmZebObject::ZebLogin : ERROR."); p != std::string::npos;
         p = trace().find("ZEB[2] CKelmZebObject::ZebLogin : ERROR.", p + 1))
        ++errors;
    EXPECT_EQ(errors, 3u);
}

TEST_F(SessionClientTest, LogoutEmptiesTheSessionEvenWithoutAnAnswer)
{
    zeb().sessionId = "S-9";
    server.enqueue(CannedHttpServer::kSilence);
    zeb().ZebLogout();
    EXPECT_TRUE(zeb().sessionId.empty());
    EXPECT_TRUE(traced("ZEB[4] CKelmZebObject::ZebLogout."));
    EXPECT_NE(server.requests().at(0).find("<sessionId>S-9</sessionId>"), std::string::npos);
}

TEST_F(SessionClientTest, EachFetchedCallIsTracedWithItsLow32BitsAndItsKind)
{
    zeb().sessionId = "S-1";
    server.enqueue(callLogAnswer(4, {
        {"<timeId>1</timeId><diffId>4294967297</diffId>", "201", "300", "300"},   // 2^32 + 1
        {"<timeId>2</timeId><diffId>2147483648</diffId>", "202", "", "0612"},    // 2^31
        {"", "203", "-", ""},                                                     // no item ID, no initialDest
        {"<timeId>4</timeId><diffId>-5</diffId>", "20\xC3\xA9", "301", "302"},
    }));
    kelm2__LocalCallLogResult* result = nullptr;
    EXPECT_EQ(zeb().ZebGetCalllog(result), 4);
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(result->content->__ptr[3]->dirNumber->size(), 3u); // é is one byte
    EXPECT_TRUE(traced("CALLLOG[3] CKelmZebObject::ZebGetCalllog total:4"));
    EXPECT_TRUE(traced("CALLLOG[3] 1 b e 201->300->300 normal"));
    EXPECT_TRUE(traced("CALLLOG[3] -2147483648 b e 202->->0612 transfer"));
    EXPECT_TRUE(traced("CALLLOG[3] 0 b e 203->-> normal"));
    EXPECT_TRUE(traced("CALLLOG[3] -5 b e 20\xE9->301->302 transfer"));
    EXPECT_TRUE(traced("CALLLOG[4] CKelmZebObject::ZebGetCalllog."));
    const std::string request = server.requests().at(0);
    EXPECT_NE(request.find("<invoke><sessionId>S-1</sessionId><nbItemFromEnd>200</nbItemFromEnd></invoke>"),
              std::string::npos);
    zeb().ReleaseMessageStorage();
}

TEST_F(SessionClientTest, AnswersThatAreNoUsableCallLog)
{
    struct Case {
        const char* name;
        std::string answer;
        int result;
        const char* line; // traced at CALLLOG level 1, or nothing
    };
    const std::vector<Call> two = {{"<timeId>1</timeId><diffId>1</diffId>", "1", "2", "2"},
                                   {"<timeId>2</timeId><diffId>2</diffId>", "1", "2", "2"}};
    const Case cases[] = {
        {"total 0", callLogAnswer(0, {}), 0, nullptr},
        {"bad session", callLogAnswer(2, two, 55), -1, "CKelmZebObject::ZebGetCalllog : Bad session ID"},
        {"other status", callLogAnswer(2, two, 1), -1, nullptr},
        {"no status", response("getLocalCallLog", "<result><total>1</total></result>"), -1,
         "CKelmZebObject::ZebGetCalllog : answer without status"},
        {"more than asked for", callLogAnswer(201, two), -1,
         "CKelmZebObject::ZebGetCalllog : total:201, more calls than asked for, answer not used"},
        {"fewer than its total", callLogAnswer(3, two), -1,
         "CKelmZebObject::ZebGetCalllog : total:3, but fewer calls in the answer, answer not used"},
        {"no content", response("getLocalCallLog", "<result>" + status(0) + "<total>1</total></result>"), -1,
         "CKelmZebObject::ZebGetCalllog : total:1, but fewer calls in the answer, answer not used"},
        {"HTTP 404", httpAnswer("", "404 Not Found"), -1, nullptr},
    };
    zeb().sessionId = "S-1";
    for (const auto& c : cases) {
        fs::remove(path("LOG.txt"));
        server.enqueue(c.answer);
        kelm2__LocalCallLogResult* result = reinterpret_cast<kelm2__LocalCallLogResult*>(this);
        EXPECT_EQ(zeb().ZebGetCalllog(result), c.result) << c.name;
        EXPECT_EQ(result, nullptr) << c.name;
        EXPECT_EQ(trace(), c.line ? "Tue Dec 09 18:31:02 2008 CALLLOG[1] " + std::string(c.line) + "\r\n" : "") << c.name;
        EXPECT_EQ(zeb().sessionId, "S-1") << c.name;
    }
}

TEST_F(SessionClientTest, UserTraceStopsAtOneHundred)
{
    std::string users;
    for (int i = 0; i < 120; ++i) {
        const std::string n = std::to_string(i);
        users += "<item><name>N" + n + "</name><firstName>F" + n + "</firstName><loginName>L" + n +
                 "</loginName><password/><mainNumber>" + n + "</mainNumber><tsaId>0</tsaId><pwdStatus>ok</pwdStatus>" +
                 (i == 1 ? std::string() : "<lines><item><dirNumber>D" + n + "</dirNumber></item></lines>") + "</item>";
    }
    server.enqueue(response("getUsers", "<result>" + status(0) + "<total>150</total><users>" + users + "</users></result>"));
    EXPECT_EQ(zeb().ZebGetUsers(), 150);
    EXPECT_TRUE(traced("DEBUG[3] CKelmZebObject::ZebGetUsers total:150"));
    EXPECT_TRUE(traced("ZEB[3] FirstName[F0] SurName[N0] Number[0] LoginName[L0] Line[D0]"));
    EXPECT_TRUE(traced("ZEB[3] FirstName[F1] SurName[N1] Number[1] LoginName[L1] Line[]"));
    EXPECT_TRUE(traced("ZEB[3] FirstName[F99] SurName[N99] Number[99] LoginName[L99] Line[D99]"));
    EXPECT_FALSE(traced("ZEB[3] FirstName[F100] SurName[N100] Number[100] LoginName[L100] Line[D100]"));
    EXPECT_TRUE(traced("ZEB[4] CKelmZebObject::ZebGetUsers."));
    EXPECT_NE(server.requests().at(0).find("<index>0</index><nbItems>100</nbItems>"), std::string::npos);
}

TEST_F(SessionClientTest, ReleaseComesThroughTheXmlZebServiceAndTheAdminTableReturns)
{
    const std::string& zebDeclarations = kelm::test::kXmlZebDeclarations;
    server.enqueue(httpAnswer(kelm::test::kUtf8Declaration + "<SOAP-ENV:Envelope" + zebDeclarations +
                              "><SOAP-ENV:Body><kelm1:getZEBGlobalPropertiesResponse><result>" + status(0) +
                              "<zebGlobalProperties><zeb_release>R5.2 build " + std::string(200, '7') +
                              "</zeb_release></zebGlobalProperties></result></kelm1:getZEBGlobalPropertiesResponse>"
                              "</SOAP-ENV:Body></SOAP-ENV:Envelope>"));
    server.enqueue(loginAnswer(0, "S-3"));
    EXPECT_TRUE(zeb().ZebGetZEBGlobal());
    EXPECT_EQ(zeb().zebVersion.size(), 127u);
    EXPECT_EQ(zeb().zebVersion.view().substr(0, 12), "R5.2 build 7");
    EXPECT_TRUE(traced("ZEB[3] ZEB release: " + std::string(zeb().zebVersion.view())));
    EXPECT_TRUE(traced("ZEB[4] CKelmZebObject::ZebGetZEBGlobal."));
    EXPECT_EQ(zeb().ZebLogin(), 1);

    const auto requests = server.requests();
    EXPECT_NE(requests.at(0).find("POST http://10.9.8.7:8894/services/XmlZeb HTTP/1.1"), std::string::npos);
    EXPECT_NE(requests.at(0).find(zebDeclarations), std::string::npos);
    EXPECT_NE(requests.at(0).find("SOAPAction: \"privateZeb\""), std::string::npos);
    EXPECT_NE(requests.at(1).find(kelm::test::kXmlAdminDeclarations), std::string::npos);
}

TEST_F(SessionClientTest, NoProxyWhenNoneIsConfigured)
{
    for (const char* none : {"unknown", ""}) {
        zeb().proxyHost = none;
        zeb().ZebSetProxy();
        EXPECT_EQ(zeb().adminService.soap->proxy_host, nullptr) << none;
    }
    zeb().proxyHost = "UNKNOWN"; // only the exact word means none
    zeb().ZebSetProxy();
    EXPECT_STREQ(zeb().adminService.soap->proxy_host, "UNKNOWN");
}

} // namespace
