// Time to decode a call-log answer of 200 entries and to build and send a request, in
// microseconds, without the network (the context's socket calls read and write memory).

#include "shared/soap/xml_admin_service_soap.h"
#include "tests/soap/in_memory_transport.h"

#include <benchmark/benchmark.h>
#include <string>

namespace {

std::string callLogAnswer(int entries)
{
    std::string items;
    for (int i = 0; i < entries; ++i) {
        const std::string n = std::to_string(i);
        items += "<item><itemId><timeId>12288" + n + "</timeId><diffId>" + n + "</diffId></itemId><dirNumber>2"
                 + n + "</dirNumber><corrNumber>061234" + n + "</corrNumber><initialDest>3" + n
                 + "</initialDest><dateOfBegin>2008-12-09 18:31:02</dateOfBegin><dateOfEnd>2008-12-09 18:33:10"
                   "</dateOfEnd></item>";
    }
    const std::string body =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<SOAP-ENV:Envelope "
        "xmlns:SOAP-ENV=\"http://schemas.xmlsoap.org/soap/envelope/\" "
        "xmlns:SOAP-ENC=\"http://schemas.xmlsoap.org/soap/encoding/\" "
        "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" "
        "xmlns:kelm2=\"http://ws.corvane.example/admin/types\" xmlns:kelm1=\"http://ws.corvane.example/admin\">"
        "<SOAP-ENV:Body><kelm1:getLocalCallLogResponse><result><status><code>0</code><label>OK</label></status>"
        "<total>"
        + std::to_string(entries) + "</total><content xsi:type=\"SOAP-ENC:Array\" SOAP-ENC:arrayType=\"kelm2:LocalCallLogElt["
        + std::to_string(entries) + "]\">" + items
        + "</content></result></kelm1:getLocalCallLogResponse></SOAP-ENV:Body></SOAP-ENV:Envelope>";
    return "HTTP/1.1 200 OK\r\nContent-Type: text/xml; charset=utf-8\r\nContent-Length: " + std::to_string(body.size())
           + "\r\nConnection: close\r\n\r\n" + body;
}

// The whole call: request out, 200-entry answer decoded, storage released.
void decodeCallLogAnswer(benchmark::State& state)
{
    kelm::XmlAdminServiceSoap proxy;
    kelm::test::InMemoryTransport transport(proxy.soap);
    const std::string answer = callLogAnswer(200);
    std::string sessionId = "S";
    kelm2__GetLocalCallLogInvoke invoke;
    invoke.sessionId = &sessionId;
    invoke.nbItemFromEnd = 200;
    for (auto _ : state) {
        transport.setAnswer(answer.data(), answer.size());
        kelm2__LocalCallLogResult* result = nullptr;
        if (proxy.getLocalCallLog(&invoke, result) != SOAP_OK || result == nullptr || result->content == nullptr
            || result->content->__size != 200) {
            state.SkipWithError("answer not decoded");
            break;
        }
        benchmark::DoNotOptimize(result);
        soap_destroy(proxy.soap);
        soap_end(proxy.soap);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * answer.size()));
}
BENCHMARK(decodeCallLogAnswer)->Unit(benchmark::kMicrosecond);

// Request only: counted once, then HTTP header and envelope sent.
void buildAndSendRequest(benchmark::State& state)
{
    kelm::XmlAdminServiceSoap proxy;
    kelm::test::InMemoryTransport transport(proxy.soap);
    std::string sessionId = "S-0123456789";
    kelm2__GetLocalCallLogInvoke invoke;
    invoke.sessionId = &sessionId;
    invoke.nbItemFromEnd = 200;
    for (auto _ : state) {
        kelm2__LocalCallLogResult* result = nullptr;
        transport.setAnswer("", 0); // no answer: the call ends after sending
        benchmark::DoNotOptimize(proxy.getLocalCallLog(&invoke, result));
        soap_destroy(proxy.soap);
        soap_end(proxy.soap);
    }
    benchmark::DoNotOptimize(transport.bytesSent());
}
BENCHMARK(buildAndSendRequest)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
