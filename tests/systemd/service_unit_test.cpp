// tallysvc as the unit KELM.Service.service of a real systemd, from the unit file the project
// ships, against the simulated PBX inside the same container.
#include "configurator/dialog_configuration_load.h"
#include "platform/message_box.h"
#include "tests/support/file_text.h"
#include "tests/support/systemd_container.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait_until.h"

#include <gtest/gtest.h>

namespace {

using namespace kelm::test;
using namespace std::chrono_literals;

class NoMessageBox final : public kelm::platform::MessageBox {
public:
    void showError(std::string_view, std::string_view text) override { ADD_FAILURE() << text; }
};

// KELM.conf as tallyconf would save it: the PBX on loopback, short periods, every trace line.
void writeConfiguration(const std::filesystem::path& dir)
{
    NoMessageBox box;
    kelm::CKelmDebugLog log(dir.string() + "/");
    kelm::CKelmService record(dir.string() + "/", log, box);
    kelm::loadDialogConfiguration(record);
    record.zeb.hostName = "127.0.0.1";
    record.zeb.adminPassword = "secret";
    record.zeb.zebTimeout = 3;
    record.callLogUpdateTimer = 1;
    log.globalLogLevel = log.zebLogLevel = log.calllogLevel = log.networkLogLevel = 4;
    ASSERT_TRUE(record.OpenConfigurationFile() && record.WriteConfiguration());
}

TEST(ServiceUnitTest, SystemdStartsTallysvcFromTheShippedUnitAndStopsItCleanly)
{
    TempDir bound;
    for (const char* program : {KELM_PATH_tallysvc, KELM_PATH_pbxsim})
        std::filesystem::copy_file(program, bound / std::filesystem::path(program).filename());
    std::filesystem::copy_file(KELM_UNIT_FILE, bound / "KELM.Service.service");
    writeConfiguration(bound.path());

    SystemdContainer container(bound.path());
    const auto sh = [&](const std::string& script) {
        const auto result = container.shell(script);
        EXPECT_EQ(result.status, exitedWith(0)) << script << "\n" << result.output;
        return result.output;
    };
    // The service writes into its program directory: the read-only bind gives way to a copy.
    sh("mkdir /root/stage && cp -a /opt/kelm/. /root/stage/ && umount /opt/kelm && cp -a /root/stage/. /opt/kelm/");
    sh("cp /opt/kelm/KELM.Service.service /etc/systemd/system/ && systemctl daemon-reload && "
       "systemctl enable KELM.Service.service");
    EXPECT_EQ(sh("systemctl is-enabled KELM.Service.service"), "enabled\n");
    EXPECT_EQ(sh("systemctl show -P Description KELM.Service.service"), "Tessaline Service\n");

    // A PBX that holds the first login for its whole time-out: the start work takes that long.
    sh("systemd-run --unit=pbx-hang -p StandardOutput=file:/root/hang.out /opt/kelm/pbxsim --http-hang");
    ASSERT_TRUE(waitUntil([&] { return container.shell("grep -q ' start ' /root/hang.out").status.success(); }, 10s));
    sh("systemctl start --no-block KELM.Service.service");
    const auto state = [&] { return container.run({"systemctl", "is-active", "KELM.Service.service"}).output; };
    EXPECT_TRUE(waitUntil([&] { return container.shell("grep -q ' hold peer=' /root/hang.out").status.success(); }, 10s));
    EXPECT_EQ(state(), "activating\n") << "running reported before the start work ended";
    ASSERT_TRUE(waitUntil([&] { return state() == "active\n"; }, 15s)) << state();
    EXPECT_NE(sh("cat /opt/kelm/LOG.txt").find("CKelmService::StartKelmService : Login target ZEB unsuccessfully"),
              std::string::npos);

    // Now a PBX that answers: the service finds it by its probe, logs in and meters.
    sh("systemctl stop pbx-hang && systemd-run --unit=pbx -p StandardOutput=file:/root/pbx.out "
       "/opt/kelm/pbxsim --initial-calls 5 --calls-per-second 5");
    EXPECT_TRUE(waitUntil([&] {
        return container.shell("[ $(grep -c '<CallAccounting ' /opt/kelm/TicketCollector.xml) -ge 1 ] && "
                               "grep -q '</CallAccounting><CallAccounting' /opt/kelm/TicketCollector.xml").status.success();
    }, 30s)) << sh("cat /opt/kelm/LOG.txt");
    EXPECT_NE(sh("systemctl show -P StatusText KELM.Service.service").find("PBX answering, logged in, "),
              std::string::npos);

    sh("systemctl stop KELM.Service.service");
    EXPECT_EQ(state(), "inactive\n");
    EXPECT_EQ(sh("systemctl show -P ExecMainStatus KELM.Service.service"), "0\n");
    EXPECT_EQ(sh("systemctl show -P Result KELM.Service.service"), "success\n");
    EXPECT_NE(sh("cat /root/pbx.out").find(" logout session="), std::string::npos);
    EXPECT_NE(sh("cat /opt/kelm/LOG.txt").find("CKelmService::UnInitialization : close......"), std::string::npos);
    EXPECT_TRUE(container.powerOff());
}

} // namespace
