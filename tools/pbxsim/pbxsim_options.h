#pragma once

#include <optional>
#include <string>
#include <vector>

namespace kelm::pbxsim {

struct SimUser {
    std::string name;
    std::string firstName;
    std::string loginName;
    std::string mainNumber;
    std::vector<std::string> lines; // none: the user is answered without a lines array
};

struct PbxOptions {
    std::string address = "127.0.0.1";
    std::string password = "secret";
    std::string release = "R2.4.1-sim";
    double callsPerSecond = 0;
    long initialCalls = 0;
    std::string startLogPath;
    long maxCalls = 1000;
    std::string journalPath;
    long long firstDiffId = 1;
    double sessionLifetime = 0; // seconds; 0: sessions last until logout or a control
    std::vector<SimUser> users; // --user entries, then the generated ones
    std::optional<long> usersTotal;
    double ioTimeout = 5;
    double holdTimeout = 120;

    // Misbehaviour.
    bool noUdpAnswer = false;
    bool httpDown = false;
    bool httpHang = false;
    std::optional<long> answerCalls;
    long totalExcess = 0;
    bool nonAscii = false;
    std::optional<int> callLogStatus;
    double fetchDelay = 0; // seconds

    bool help = false;
};

// Nothing, with error set, for a command line that does not make sense.
std::optional<PbxOptions> parsePbxOptions(int argc, char** argv, std::string& error);
std::string pbxUsage();

} // namespace kelm::pbxsim
