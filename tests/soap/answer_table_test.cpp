// Reading the PBX's answers: a table of canned answers, each with the status code and what the
// result slot must hold afterwards.

#include "shared/soap/namespace_tables.h"
#include "tests/soap/soap_test_support.h"

#include <gtest/gtest.h>

namespace {

using kelm::test::answerEnvelope;
using kelm::test::httpAnswer;
using kelm::test::ProxyOnLoopback;

std::string optionalText(const std::string* text)
{
    return text == nullptr ? "~" : *text;
}

std::string hexBytes(const std::string& text)
{
    static const char* const kDigits = "0123456789abcdef";
    std::string hex;
    for (const unsigned char c : text) {
        hex += kDigits[c >> 4];
        hex += kDigits[c & 15];
    }
    return hex;
}

// The slot in one line: "absent", or the result's status, total and entries (dirNumber,
// initialDest, corrNumber; "~" for an absent text, "-" for an absent entry).
std::string describe(const kelm2__LocalCallLogResult* result)
{
    if (result == nullptr)
        return "absent";
    std::string text = "status=" + (result->status ? std::to_string(result->status->code) : std::string("~"))
                       + " total=" + std::to_string(result->total) + " content=";
    if (result->content == nullptr)
        return text + "~";
    text += std::to_string(result->content->__size) + "[";
    for (int i = 0; i < result->content->__size; ++i) {
        const kelm2__LocalCallLogElt* entry = result->content->__ptr[i];
        if (i > 0)
            text += ",";
        if (entry == nullptr) {
            text += "-";
            continue;
        }
        text += optionalText(entry->dirNumber) + "/" + optionalText(entry->initialDest) + "/"
                + optionalText(entry->corrNumber);
        if (entry->itemId != nullptr)
            text += "#" + std::to_string(entry->itemId->timeId) + ":" + std::to_string(entry->itemId->diffId);
    }
    return text + "]";
}

std::string callLogAnswer(const std::string& result)
{
    return httpAnswer(answerEnvelope("<kelm1:getLocalCallLogResponse>" + result + "</kelm1:getLocalCallLogResponse>"));
}

const std::string kEntry = "<item><dirNumber>201</dirNumber><initialDest>202</initialDest><corrNumber>203</corrNumber></item>";

std::string contentArray(const std::string& attributes, int entries)
{
    std::string items;
    for (int i = 0; i < entries; ++i)
        items += kEntry;
    return "<content" + attributes + ">" + items + "</content>";
}

struct AnswerCase {
    const char* name;
    std::string answer;
    int status;
    std::string slot;
};

class CallLogAnswers : public ::testing::TestWithParam<AnswerCase> {};

TEST_P(CallLogAnswers, GiveStatusAndSlot)
{
    ProxyOnLoopback peer;
    peer.server.enqueue(GetParam().answer);
    kelm2__GetLocalCallLogInvoke invoke;
    invoke.nbItemFromEnd = 200;
    kelm2__LocalCallLogResult* result = nullptr;
    EXPECT_EQ(peer.proxy.getLocalCallLog(&invoke, result), GetParam().status);
    EXPECT_EQ(describe(result), GetParam().slot);
    peer.release();
}

const std::string kArrayOf3 = " xsi:type=\"SOAP-ENC:Array\" SOAP-ENC:arrayType=\"kelm2:LocalCallLogElt[3]\"";

INSTANTIATE_TEST_SUITE_P(
    Table, CallLogAnswers,
    ::testing::Values(
        AnswerCase{"MembersInTableOrder",
                   callLogAnswer("<result><status><code>0</code><label>ok</label></status><total>2</total>"
                                 + contentArray(" SOAP-ENC:arrayType=\"kelm2:LocalCallLogElt[2]\"", 2)
                                 + "<extension>x</extension></result>"),
                   0, "status=0 total=2 content=2[201/202/203,201/202/203]"},
        AnswerCase{"MembersInAnyOrderAndUnknownOnesSkipped",
                   callLogAnswer("<result><total>2</total><future><a>1</a></future>" + contentArray("", 1)
                                 + "<status><code>55</code></status><total>9</total></result>"),
                   0, "status=55 total=2 content=1[201/202/203]"},
        AnswerCase{"ItemIdAndPrefixedMembers",
                   callLogAnswer("<result><kelm2:content><x><itemId><diffId>-4294967295</diffId>"
                                 "<timeId> 9223372036854775807 </timeId></itemId></x></kelm2:content></result>"),
                   0, "status=~ total=0 content=1[~/~/~#9223372036854775807:-4294967295]"},
        AnswerCase{"ResponseWithoutPartSucceedsWithAbsentSlot", callLogAnswer(""), 0, "absent"},
        AnswerCase{"ResponseInDefaultNamespace",
                   httpAnswer(answerEnvelope("<getLocalCallLogResponse xmlns=\"http://ws.corvane.example/admin\">"
                                             "<result><total>1</total></result></getLocalCallLogResponse>")),
                   0, "status=~ total=1 content=~"},
        AnswerCase{"ResponseBoundToTheXmlZebUriIsATagMismatch",
                   httpAnswer(answerEnvelope("<z:getLocalCallLogResponse xmlns:z=\"http://ws.corvane.example/zeb\">"
                                             "<result><total>1</total></result></z:getLocalCallLogResponse>")),
                   SOAP_TAG_MISMATCH, "absent"},
        AnswerCase{"AnotherOperationsResponseIsATagMismatch",
                   httpAnswer(answerEnvelope("<kelm1:loginAdminResponse/>")), SOAP_TAG_MISMATCH, "absent"},
        AnswerCase{"UndeclaredPrefixIsASyntaxError",
                   httpAnswer(answerEnvelope("<q:getLocalCallLogResponse/>")), SOAP_SYNTAX_ERROR, "absent"},
        AnswerCase{"ServerFaultWithStatus500",
                   httpAnswer(answerEnvelope("<SOAP-ENV:Fault><faultcode>SOAP-ENV:Server</faultcode>"
                                             "<faultstring>down</faultstring></SOAP-ENV:Fault>"),
                              "500 Internal Server Error"),
                   SOAP_SVR_FAULT, "absent"},
        AnswerCase{"ClientFaultWithStatus200",
                   httpAnswer(answerEnvelope("<SOAP-ENV:Fault><faultcode>SOAP-ENV:Client</faultcode>"
                                             "<faultstring>bad</faultstring></SOAP-ENV:Fault>")),
                   SOAP_CLI_FAULT, "absent"},
        AnswerCase{"Http404GivesTheStatus", httpAnswer("<html>gone</html>", "404 Not Found"), 404, "absent"},
        AnswerCase{"Http500WithoutSoapGivesTheStatus", httpAnswer("<html>oops</html>", "500 Internal Server Error"),
                   500, "absent"},
        AnswerCase{"Http202WithoutLengthIsNoSoapAnswer",
                   "HTTP/1.1 202 Accepted\r\nConnection: close\r\n\r\n"
                       + answerEnvelope("<kelm1:getLocalCallLogResponse/>"),
                   202, "absent"},
        AnswerCase{"Http202WithLengthIsRead",
                   httpAnswer(answerEnvelope("<kelm1:getLocalCallLogResponse><result><total>3</total></result>"
                                             "</kelm1:getLocalCallLogResponse>"),
                              "202 Accepted"),
                   0, "status=~ total=3 content=~"},
        AnswerCase{"Http200WithoutLengthRunsToTheEnd",
                   "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nConnection: close\r\n\r\n"
                       + answerEnvelope("<kelm1:getLocalCallLogResponse><result><total>3</total></result>"
                                        "</kelm1:getLocalCallLogResponse>"),
                   0, "status=~ total=3 content=~"},
        AnswerCase{"HeaderEntryThatMustBeUnderstood",
                   httpAnswer("<SOAP-ENV:Envelope" + kelm::test::kXmlAdminDeclarations
                              + "><SOAP-ENV:Header><h:t xmlns:h=\"urn:h\" SOAP-ENV:mustUnderstand=\"1\">1</h:t>"
                                "</SOAP-ENV:Header><SOAP-ENV:Body><kelm1:getLocalCallLogResponse/></SOAP-ENV:Body>"
                                "</SOAP-ENV:Envelope>"),
                   SOAP_MUSTUNDERSTAND, "absent"},
        AnswerCase{"HeaderEntryThatMayBeSkipped",
                   httpAnswer("<SOAP-ENV:Envelope" + kelm::test::kXmlAdminDeclarations
                              + "><SOAP-ENV:Header><h:t xmlns:h=\"urn:h\">1</h:t></SOAP-ENV:Header><SOAP-ENV:Body>"
                                "<kelm1:getLocalCallLogResponse><result><total>4</total></result>"
                                "</kelm1:getLocalCallLogResponse></SOAP-ENV:Body></SOAP-ENV:Envelope>"),
                   0, "status=~ total=4 content=~"},
        AnswerCase{"Soap12EnvelopeAndUtf8ByteOrderMark",
                   httpAnswer("\xEF\xBB\xBF<e:Envelope xmlns:e=\"http://www.w3.org/2003/05/soap-envelope\" "
                              "xmlns:kelm1=\"http://ws.corvane.example/admin\"><e:Body><kelm1:getLocalCallLogResponse>"
                              "<result><total>7</total></result></kelm1:getLocalCallLogResponse></e:Body>"
                              "</e:Envelope>"),
                   0, "status=~ total=7 content=~"},
        AnswerCase{"EmptyTotalReadsAsZero", callLogAnswer("<result><total/><status><code></code></status></result>"),
                   0, "status=0 total=0 content=~"},
        AnswerCase{"TotalFollowedByALetterFails", callLogAnswer("<result><total>12a</total></result>"), SOAP_TYPE,
                   "absent"},
        AnswerCase{"TotalOutOfRangeFails", callLogAnswer("<result><total>2147483648</total></result>"), SOAP_TYPE,
                   "absent"},
        AnswerCase{"TotalWithItsOwnOrASmallerType",
                   callLogAnswer("<result><total xsi:type=\"xsd:short\">5</total></result>"), 0,
                   "status=~ total=5 content=~"},
        AnswerCase{"TotalTypedAsStringFails",
                   callLogAnswer("<result><total xsi:type=\"xsd:string\">5</total></result>"), SOAP_TYPE, "absent"},
        AnswerCase{"TextTypedAsIntFails",
                   callLogAnswer("<result><content><i><dirNumber xsi:type=\"xsd:int\">1</dirNumber></i></content>"
                                 "</result>"),
                   SOAP_TYPE, "absent"},
        AnswerCase{"NilAndMissingTextsStayAbsent",
                   callLogAnswer("<result><content><i><dirNumber xsi:nil=\"true\"/><corrNumber></corrNumber>"
                                 "</i></content></result>"),
                   0, "status=~ total=0 content=1[~/~/]"},
        AnswerCase{"CountAboveItemsLeavesAbsentEntries", callLogAnswer("<result>" + contentArray(kArrayOf3, 2) + "</result>"),
                   0, "status=~ total=0 content=3[201/202/203,201/202/203,-]"},
        AnswerCase{"ItemsBeyondTheCountAreSkipped", callLogAnswer("<result>" + contentArray(kArrayOf3, 4) + "</result>"),
                   0, "status=~ total=0 content=3[201/202/203,201/202/203,201/202/203]"},
        AnswerCase{"ItemTypeOfTheCountIsNotCompared",
                   callLogAnswer("<result>" + contentArray(" SOAP-ENC:arrayType=\"kelm2:User[2]\"", 2) + "</result>"), 0,
                   "status=~ total=0 content=2[201/202/203,201/202/203]"},
        AnswerCase{"OffsetAndPosition",
                   callLogAnswer("<result><content SOAP-ENC:arrayType=\"x:y[5]\" SOAP-ENC:offset=\"[1]\">"
                                 "<a SOAP-ENC:position=\"[3]\"><dirNumber>9</dirNumber></a>" + kEntry + "</content></result>"),
                   0, "status=~ total=0 content=4[-,-,9/~/~,201/202/203]"},
        AnswerCase{"PositionOutOfBoundsFails",
                   callLogAnswer("<result><content SOAP-ENC:arrayType=\"x:y[2]\"><a SOAP-ENC:position=\"[2]\"/>"
                                 "</content></result>"),
                   SOAP_IOB, "absent"},
        AnswerCase{"OffsetBeyondTheCountFails",
                   callLogAnswer("<result><content SOAP-ENC:arrayType=\"x:y[2]\" SOAP-ENC:offset=\"[3]\"/></result>"),
                   SOAP_IOB, "absent"},
        AnswerCase{"CountAbove100000Fails",
                   callLogAnswer("<result><content SOAP-ENC:arrayType=\"x:y[100001]\"/></result>"), SOAP_OCCURS,
                   "absent"},
        AnswerCase{"CountBeyond32BitsFails",
                   callLogAnswer("<result><content SOAP-ENC:arrayType=\"x:y[99999999999999999999]\"/></result>"),
                   SOAP_OCCURS, "absent"},
        AnswerCase{"MultiReferenceValuesAreResolved",
                   httpAnswer(answerEnvelope("<kelm1:getLocalCallLogResponse><result><total href=\"#t\"/>"
                                             "<content href=\"#c\"/></result></kelm1:getLocalCallLogResponse>"
                                             "<v id=\"t\">2</v><v id=\"c\" xsi:type=\"SOAP-ENC:Array\" "
                                             "SOAP-ENC:arrayType=\"kelm2:LocalCallLogElt[1]\"><i href=\"#e\"/></v>"
                                             "<v id=\"e\" xsi:type=\"kelm2:LocalCallLogElt\"><dirNumber>7</dirNumber></v>")),
                   0, "status=~ total=2 content=1[7/~/~]"}),
    [](const ::testing::TestParamInfo<AnswerCase>& param) { return std::string(param.param.name); });

// Texts arrive as UTF-8 or Latin-1 and are held one byte per character.
struct TextCase {
    const char* name;
    std::string declaration;
    std::string text;
    std::string bytes; // hex
};

class TextAnswers : public ::testing::TestWithParam<TextCase> {};

TEST_P(TextAnswers, HoldOneBytePerCharacter)
{
    ProxyOnLoopback peer;
    peer.server.enqueue(httpAnswer(answerEnvelope("<kelm1:loginAdminResponse><loginResult><sessionId>" + GetParam().text
                                                      + "</sessionId></loginResult></kelm1:loginAdminResponse>",
                                                  GetParam().declaration)));
    kelm2__AdminLogin login;
    kelm2__VroLogonAdminResult* result = nullptr;
    ASSERT_EQ(peer.proxy.loginAdmin(&login, result), 0);
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(hexBytes(result->sessionId), GetParam().bytes);
    peer.release();
}

INSTANTIATE_TEST_SUITE_P(
    Table, TextAnswers,
    ::testing::Values(
        TextCase{"Latin1Declared", "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\n", "A\xE9", "41e9"},
        TextCase{"Latin1ByItsOtherName", "<?xml version=\"1.0\" encoding=\"latin1\"?>\n", "A\xE9", "41e9"},
        TextCase{"Utf8", kelm::test::kUtf8Declaration, "A\xC3\xA9", "41e9"},
        TextCase{"NoDeclarationIsUtf8", "", "A\xC3\xA9", "41e9"},
        TextCase{"ReferencesResolved", kelm::test::kUtf8Declaration, "&amp;&lt;&#233;&#xE9;&#10;", "263ce9e90a"},
        TextCase{"AboveLatin1KeepsTheLowByte", kelm::test::kUtf8Declaration, "&#321;\xC5\x81", "4141"}),
    [](const ::testing::TestParamInfo<TextCase>& param) { return std::string(param.param.name); });

// Booleans and enumerations, read leniently: a line's softPhone and a user's pwdStatus.
struct ValueCase {
    const char* name;
    const char* softPhone;
    const char* pwdStatus;
    int status;
    bool softPhoneValue;
    int pwdStatusValue;
};

class SimpleValueAnswers : public ::testing::TestWithParam<ValueCase> {};

TEST_P(SimpleValueAnswers, ReadLeniently)
{
    ProxyOnLoopback peer;
    peer.server.enqueue(httpAnswer(answerEnvelope(
        std::string("<kelm1:getPbxLinesResponse><result><pbxLines><i><softPhone>") + GetParam().softPhone
        + "</softPhone></i></pbxLines></result></kelm1:getPbxLinesResponse>")));
    peer.server.enqueue(httpAnswer(answerEnvelope(
        std::string("<kelm1:getUsersResponse><result><users><i><pwdStatus>") + GetParam().pwdStatus
        + "</pwdStatus><lines><i><license>3141Softphone</license></i></lines></i></users></result>"
          "</kelm1:getUsersResponse>")));
    kelm2__PbxLinesResult* lines = nullptr;
    kelm2__UsersResult* users = nullptr;
    const int linesStatus = peer.proxy.getPbxLines(nullptr, lines);
    const int usersStatus = peer.proxy.getUsers(nullptr, users);
    if (GetParam().status == 0) {
        ASSERT_EQ(linesStatus, 0);
        ASSERT_EQ(usersStatus, 0);
        EXPECT_EQ(lines->pbxLines->__ptr[0]->softPhone, GetParam().softPhoneValue);
        EXPECT_EQ(static_cast<int>(users->users->__ptr[0]->pwdStatus), GetParam().pwdStatusValue);
        EXPECT_EQ(users->users->__ptr[0]->lines->__ptr[0]->license, kelm2__License::_3141Softphone);
    } else {
        EXPECT_EQ(linesStatus, GetParam().status);
        EXPECT_EQ(usersStatus, GetParam().status);
        EXPECT_EQ(lines, nullptr);
        EXPECT_EQ(users, nullptr);
    }
    peer.release();
}

INSTANTIATE_TEST_SUITE_P(
    Table, SimpleValueAnswers,
    ::testing::Values(ValueCase{"Names", "true", "mustBeChanged", 0, true, 2},
                      ValueCase{"Numbers", "1", "7", 0, true, 7},
                      ValueCase{"FalseAndNegative", "false", "-3", 0, false, -3},
                      ValueCase{"ZeroAndBlanks", " 0 ", " blocked ", 0, false, 1},
                      ValueCase{"EmptyIsZero", "", "", 0, false, 0},
                      ValueCase{"NamesAreCaseSensitive", "True", "Blocked", SOAP_TYPE, false, 0},
                      ValueCase{"BooleanBeyondOneFails", "2", "x", SOAP_TYPE, false, 0}),
    [](const ::testing::TestParamInfo<ValueCase>& param) { return std::string(param.param.name); });

TEST(AnswerArrays, UsersWithoutCountReadAsManyAsTheyHold)
{
    ProxyOnLoopback peer;
    peer.server.enqueue(httpAnswer(answerEnvelope(
        "<kelm1:getUsersResponse><result><total>150</total><users><a><name>A</name></a><b><name>B</name></b>"
        "<c><name>C</name></c></users></result></kelm1:getUsersResponse>")));
    kelm2__UsersResult* users = nullptr;
    ASSERT_EQ(peer.proxy.getUsers(nullptr, users), 0);
    ASSERT_NE(users->users, nullptr);
    ASSERT_EQ(users->users->__size, 3);
    EXPECT_EQ(users->total, 150);
    EXPECT_EQ(users->users->__ptr[2]->name, "C");
    peer.release();
}

TEST(AnswerGlobalProperties, UnderscoreMembersAndTheXmlZebTypesUri)
{
    ProxyOnLoopback peer;
    // As the PBX answers on XmlZeb: its own URIs, the types one without a scheme.
    peer.server.enqueue(httpAnswer(
        "<SOAP-ENV:Envelope xmlns:SOAP-ENV=\"http://schemas.xmlsoap.org/soap/envelope/\" "
        "xmlns:SOAP-ENC=\"http://schemas.xmlsoap.org/soap/encoding/\" xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
        "xmlns:ns1=\"http://ws.corvane.example/zeb\" xmlns:ns2=\"ws.corvane.example/zeb/types\"><SOAP-ENV:Body>"
        "<ns1:getZEBGlobalPropertiesResponse><result xsi:type=\"ns2:ZEBGlobalPropertiesResult\">"
        "<zebGlobalProperties><zeb_release>R5.1 &#233;</zeb_release><httpPort xsi:type=\"xsd:int\">80</httpPort>"
        "<shortZEBUser><u><pwdStatus>3</pwdStatus></u></shortZEBUser></zebGlobalProperties></result>"
        "</ns1:getZEBGlobalPropertiesResponse></SOAP-ENV:Body></SOAP-ENV:Envelope>"));
    soap_set_namespaces(peer.proxy.soap, kelm::pbx_soap::xmlZebNamespaces());
    kelm2__ZEBGlobalPropertiesResult* result = nullptr;
    ASSERT_EQ(peer.proxy.getZEBGlobalProperties("S", result), 0);
    ASSERT_NE(result->zebGlobalProperties, nullptr);
    EXPECT_EQ(result->zebGlobalProperties->zeb_USCORErelease, "R5.1 \xE9");
    EXPECT_EQ(result->zebGlobalProperties->httpPort, 80);
    ASSERT_NE(result->zebGlobalProperties->shortZEBUser, nullptr);
    EXPECT_EQ(result->zebGlobalProperties->shortZEBUser->__ptr[0]->pwdStatus, 3);
    peer.release();
}

} // namespace
