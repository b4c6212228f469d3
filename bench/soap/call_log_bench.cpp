// Time to decode a call-log answer of 200 entries and to build and send a request, in
// microseconds, without the network (the context's socket calls read and write memory).

#include "shared/soap/xml_admin_service_soap.h"
#include "bench/call_log_answer.h"
#include "tests/soap/in_memory_transport.h"

#include <benchmark/benchmark.h>
#include <string>

namespace {

// The whole call: request out, 200-entry answer decoded, storage released.
void decodeCallLogAnswer(benchmark::State& state)
{
    kelm::XmlAdminServiceSoap proxy;
    kelm::test::InMemoryTransport transport(proxy.soap);
    const std::string answer = kelm::bench::callLogAnswer(200);
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
