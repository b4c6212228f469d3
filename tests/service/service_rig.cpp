#include "tests/service/service_rig.h"

#include "configurator/dialog_configuration_load.h"
#include "platform/message_box.h"
#include "tests/support/file_text.h"
#include "tests/support/fresh_program_dir.h"
#include "tests/support/wait_until.h"

#include <algorithm>
#include <csignal>

namespace kelm::test {

namespace {

using namespace std::chrono_literals;

class NoMessageBox final : public platform::MessageBox {
public:
    void showError(std::string_view caption, std::string_view text) override
    {
        ADD_FAILURE() << caption << ": " << text;
    }
};

} // namespace

ServiceRig::ServiceRig() : programDir_(root_ / "kelm")
{
    freshProgramDirectory(programDir_, {KELM_PATH_tallysvc});
}

ServiceRig::~ServiceRig()
{
    if (listener_ && listener_->running())
        stop();
}

void ServiceRig::configure(const ServiceSettings& settings)
{
    NoMessageBox box;
    const std::string dir = programDir_.string() + "/";
    CKelmDebugLog log(dir);
    CKelmService record(dir, log, box);
    loadDialogConfiguration(record);
    record.zeb.hostName = settings.host;
    record.zeb.adminPassword = settings.password;
    record.zeb.zebTimeout = settings.zebTimeout;
    record.callLogUpdateTimer = settings.callLogTimer;
    record.metering.maxTicket = settings.maxTicket;
    const auto level = static_cast<std::uint8_t>(settings.level);
    log.globalLogLevel = log.zebLogLevel = log.calllogLevel = log.networkLogLevel = level;
    ASSERT_TRUE(record.OpenConfigurationFile());
    ASSERT_TRUE(record.WriteConfiguration());
}

void ServiceRig::start(bool waitForRunning)
{
    ++runs_;
    const auto run = root_ / ("run" + std::to_string(runs_));
    listener_.emplace(ProcessSpec({KELM_PATH_notify_listener, "--log", (run.string() + ".notify"), "--forward-signals",
                                   "--timeout", "600", "--", (programDir_ / "tallysvc").string()})
                          .outputTo(run.string() + ".output"));
    if (!waitForRunning)
        return;
    const bool ready = waitUntil([&] {
        const auto messages = notifications();
        return std::any_of(messages.begin(), messages.end(),
                           [](const std::string& m) { return m.find("READY=1") != std::string::npos; });
    }, 30s);
    ASSERT_TRUE(ready) << readFile(run.string() + ".output");
}

ExitStatus ServiceRig::stop()
{
    listener_->signal(SIGTERM); // forwarded to tallysvc: the stop control
    const auto status = listener_->waitFor(60s);
    if (!status)
        return listener_->kill();
    return *status;
}

pid_t ServiceRig::servicePid() const
{
    for (const auto& line : readNotifyLog(root_ / ("run" + std::to_string(runs_) + ".notify")))
        if (line.kind == "notify" && line.senderPid > 0)
            return line.senderPid;
    return -1;
}

void ServiceRig::crash()
{
    if (const pid_t pid = servicePid(); pid > 0)
        ::kill(pid, SIGKILL);
    listener_->waitFor(10s);
}

void ServiceRig::interrogate()
{
    if (const pid_t pid = servicePid(); pid > 0)
        ::kill(pid, SIGUSR1);
}

bool ServiceRig::running()
{
    return listener_ && listener_->running();
}

std::vector<std::string> ServiceRig::notifications() const
{
    return notifyMessages(readNotifyLog(root_ / ("run" + std::to_string(runs_) + ".notify")));
}

std::string ServiceRig::trace() const
{
    return readFile(programDir_ / "LOG.txt");
}

::testing::AssertionResult ServiceRig::traced(const std::string& text, std::chrono::milliseconds timeout,
                                              std::size_t from) const
{
    if (waitUntil([&] { return trace().find(text, from) != std::string::npos; }, timeout, 50ms))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "no \"" << text << "\" in the trace log:\n" << trace();
}

std::size_t ServiceRig::traceCount(const std::string& text) const
{
    const std::string log = trace();
    std::size_t n = 0;
    for (auto p = log.find(text); p != std::string::npos; p = log.find(text, p + 1))
        ++n;
    return n;
}

tools::Audit ServiceRig::audit(const RunningPbx& pbx) const
{
    return tools::audit(tools::readJournal(pbx.file("journal")), tools::readTickets(programDir_));
}

std::size_t ServiceRig::tickets() const
{
    return tools::readTickets(programDir_).size();
}

} // namespace kelm::test
