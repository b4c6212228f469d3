// One call-log tick of the service, in milliseconds: 200 new calls fetched and decoded, appended to
// a collector file of 2000 tickets, and the file saved durably (temporary file, fsync, rename).
// The answer comes from memory; the save goes to a real file system.

#include "bench/call_log_answer.h"
#include "shared/kelm_service.h"
#include "tests/soap/in_memory_transport.h"
#include "tests/support/file_text.h"
#include "tests/support/temp_dir.h"

#include <benchmark/benchmark.h>

namespace {

class NoMessageBox final : public kelm::platform::MessageBox {
public:
    void showError(std::string_view, std::string_view) override {}
};

// What the scheduler does with one call-log tick's answer.
int tick(kelm::CKelmService& service, kelm::test::InMemoryTransport& transport, const std::string& answer)
{
    transport.setAnswer(answer.data(), answer.size());
    kelm2__LocalCallLogResult* result = nullptr;
    const int total = service.zeb.ZebGetCalllog(result);
    if (total > 0)
        service.metering.OutputXML(&result);
    service.zeb.ReleaseMessageStorage();
    return total;
}

void tickWith200NewCallsInto2000Tickets(benchmark::State& state)
{
    kelm::test::TempDir dir("kelm_tick_bench");
    const std::string programDir = dir.path().string() + "/";
    NoMessageBox box;
    kelm::CKelmDebugLog log(programDir);
    kelm::CKelmService service(programDir, log, box);
    service.SetDefaults();
    service.zeb.hostAddress = "127.0.0.1";
    service.zeb.sessionId = "S";
    service.metering.maxTicket = 100000; // no roll-over inside the measurement
    kelm::test::InMemoryTransport transport(service.zeb.adminService.soap);

    service.metering.Initialization();
    for (long batch = 0; batch < 10; ++batch)
        tick(service, transport, kelm::bench::callLogAnswer(200, batch * 200));
    const std::string collector = programDir + "TicketCollector.xml";
    const std::string filled = kelm::test::readFile(collector);
    const std::string next = kelm::bench::callLogAnswer(200, 2000);

    for (auto _ : state) {
        state.PauseTiming();
        kelm::test::writeFile(collector, filled);
        service.metering.Initialization();
        service.metering.hasLastTicket = 0; // every call of the answer is new
        state.ResumeTiming();

        const int total = tick(service, transport, next);

        if (total != 200 || service.metering.ticketCount != 2200) {
            state.SkipWithError("the tick did not write 200 tickets after 2000");
            break;
        }
    }
}

BENCHMARK(tickWith200NewCallsInto2000Tickets)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

} // namespace

BENCHMARK_MAIN();
