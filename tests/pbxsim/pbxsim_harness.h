#pragma once

// What the pbxsim tests stand on: the simulator as a child process whose output can be waited
// on, a plain client over the generated proxy, and a UDP socket that probes and collects answers.

#include "shared/soap/xml_admin_service_soap.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"
#include "tools/pbxsim/call_text.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

namespace kelm::test {

using namespace std::chrono_literals;
using pbxsim::CallRecord;

// pbxsim with the given options (and --address, --journal), started and ready when the constructor returns;
// ended with SIGTERM, which it must obey with exit status 0, on destruction.
class RunningPbx {
public:
    explicit RunningPbx(std::vector<std::string> options, std::string address = "127.0.0.1");
    RunningPbx(const RunningPbx&) = delete;
    RunningPbx& operator=(const RunningPbx&) = delete;
    ~RunningPbx();

    const std::string& address() const { return address_; }
    std::filesystem::path file(const std::string& name) const { return dir_ / name; }
    std::string output() const;
    // Success once the output holds text.
    ::testing::AssertionResult saw(const std::string& text, std::chrono::milliseconds timeout = 5s) const;
    // Sends a control signal and waits for the line that says it took effect.
    void control(int sig, const std::string& effect);
    // The calls of its journal, oldest first.
    std::vector<CallRecord> journal() const;

private:
    TempDir dir_;
    std::string address_;
    std::optional<ChildProcess> process_;
};

// A plain client of the simulated PBX: one proxy, storage released after each call.
class PbxClient {
public:
    explicit PbxClient(const std::string& address = "127.0.0.1", int timeoutSeconds = 2);

    struct Login {
        int rc = -1;
        int code = -1;
        std::string sessionId;
    };
    Login login(const std::string& password, const std::string& loginName = "administrator");

    struct CallLog {
        int rc = -1;
        int code = -1;
        int total = -1;
        std::vector<CallRecord> entries;
    };
    CallLog fetch(const std::string& sessionId, long long nbItemFromEnd = 200);

    struct Users {
        int rc = -1;
        int code = -1;
        int total = -1;
        int count = -1;
        bool firstHasLines = false;
    };
    Users users(const std::string& sessionId, int index, int nbItems);

    struct Release {
        int rc = -1;
        int code = -1;
        std::optional<std::string> text;
    };
    // Through the XmlZeb service as the session client does it, or, with onXmlAdmin, with the
    // XmlAdmin endpoint and table left in place.
    Release release(const std::string& sessionId, bool onXmlAdmin = false);
    int logout(const std::string& sessionId);

private:
    void releaseStorage();
    std::string admin_;
    std::string zeb_;
    XmlAdminServiceSoap proxy_;
};

// A login that must succeed; its session ID.
std::string sessionOf(PbxClient& client, const std::string& password = "secret");

// A UDP socket bound to 127.0.0.1:localPort that sends datagrams and collects the answers.
class UdpProber {
public:
    explicit UdpProber(std::uint16_t localPort = 10000);
    UdpProber(const UdpProber&) = delete;
    UdpProber& operator=(const UdpProber&) = delete;
    ~UdpProber();

    void send(const std::string& address, std::uint16_t port);
    // Every datagram that arrives within `quiet` of the previous one: "ADDRESS:PORT" of each sender.
    std::vector<std::string> answers(std::chrono::milliseconds quiet = 300ms);

private:
    int fd_ = -1;
};

// A TCP connection attempt to address:8894: 0 when it connected, else the errno.
int connectError(const std::string& address);

} // namespace kelm::test
