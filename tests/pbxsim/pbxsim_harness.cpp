#include "tests/pbxsim/pbxsim_harness.h"

#include "shared/soap/namespace_tables.h"
#include "tests/support/file_text.h"
#include "tests/support/wait_until.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <csignal>
#include <netinet/in.h>
#include <poll.h>
#include <sstream>
#include <sys/socket.h>
#include <unistd.h>

namespace kelm::test {
namespace {

sockaddr_in endpoint(const std::string& address, std::uint16_t port)
{
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    ::inet_pton(AF_INET, address.c_str(), &sa.sin_addr);
    return sa;
}

std::optional<std::string> textOf(const std::string* text)
{
    return text != nullptr ? std::optional<std::string>(*text) : std::nullopt;
}

CallRecord recordOf(const kelm2__LocalCallLogElt& entry)
{
    CallRecord call;
    if (entry.itemId != nullptr)
        call.itemId = pbxsim::CallItemId{entry.itemId->timeId, entry.itemId->diffId};
    call.dirNumber = textOf(entry.dirNumber);
    call.corrNumber = textOf(entry.corrNumber);
    call.initialDest = textOf(entry.initialDest);
    call.dateOfBegin = textOf(entry.dateOfBegin);
    call.dateOfEnd = textOf(entry.dateOfEnd);
    return call;
}

} // namespace

RunningPbx::RunningPbx(std::vector<std::string> options, std::string address) : address_(std::move(address))
{
    std::vector<std::string> argv{KELM_PATH_pbxsim, "--address", address_, "--journal", file("journal").string()};
    argv.insert(argv.end(), options.begin(), options.end());
    process_.emplace(ProcessSpec(argv).stdoutTo(file("output")).stderrTo(file("errors")));
    EXPECT_TRUE(saw(" start address=")) << readFile(file("errors"));
}

RunningPbx::~RunningPbx()
{
    process_->signal(SIGTERM);
    const auto status = process_->waitFor(5s);
    EXPECT_EQ(status, std::optional(exitedWith(0))) << output();
}

std::string RunningPbx::output() const
{
    return readFile(file("output"));
}

::testing::AssertionResult RunningPbx::saw(const std::string& text, std::chrono::milliseconds timeout) const
{
    return fileContainsWithin(file("output"), text, timeout);
}

void RunningPbx::control(int sig, const std::string& effect)
{
    const auto before = output().size();
    ASSERT_TRUE(process_->signal(sig));
    ASSERT_TRUE(waitUntil([&] { return output().find(effect, before) != std::string::npos; }, 5s))
        << "no \"" << effect << "\" after signal " << sig << ":\n" << output();
}

std::vector<CallRecord> RunningPbx::journal() const
{
    std::vector<CallRecord> calls;
    std::istringstream lines(readFile(file("journal")));
    std::string line;
    while (std::getline(lines, line)) {
        std::string error;
        auto call = pbxsim::parseCallLine(line, error);
        EXPECT_TRUE(call.has_value()) << error << ": " << line;
        if (call)
            calls.push_back(std::move(*call));
    }
    return calls;
}

PbxClient::PbxClient(const std::string& address, int timeoutSeconds)
    : admin_("http://" + address + ":8894/services/XmlAdmin"), zeb_("http://" + address + ":8894/services/XmlZeb")
{
    proxy_.soap_endpoint = admin_.c_str();
    proxy_.setTimeouts(timeoutSeconds, timeoutSeconds, timeoutSeconds);
}

void PbxClient::releaseStorage()
{
    soap_destroy(proxy_.soap);
    soap_end(proxy_.soap);
}

PbxClient::Login PbxClient::login(const std::string& password, const std::string& loginName)
{
    kelm2__AdminLogin invoke;
    invoke.loginName = loginName;
    invoke.password = password;
    kelm2__VroLogonAdminResult* result = nullptr;
    Login login;
    login.rc = proxy_.loginAdmin(&invoke, result);
    if (login.rc == 0 && result != nullptr) {
        login.code = result->status != nullptr ? result->status->code : -1;
        login.sessionId = result->sessionId;
    }
    releaseStorage();
    return login;
}

PbxClient::CallLog PbxClient::fetch(const std::string& sessionId, long long nbItemFromEnd)
{
    std::string session = sessionId;
    kelm2__GetLocalCallLogInvoke invoke;
    invoke.sessionId = &session;
    invoke.nbItemFromEnd = nbItemFromEnd;
    kelm2__LocalCallLogResult* result = nullptr;
    CallLog log;
    log.rc = proxy_.getLocalCallLog(&invoke, result);
    if (log.rc == 0 && result != nullptr) {
        log.code = result->status != nullptr ? result->status->code : -1;
        log.total = result->total;
        if (result->content != nullptr)
            for (int i = 0; i < result->content->__size; ++i)
                if (result->content->__ptr[i] != nullptr)
                    log.entries.push_back(recordOf(*result->content->__ptr[i]));
    }
    releaseStorage();
    return log;
}

PbxClient::Users PbxClient::users(const std::string& sessionId, int index, int nbItems)
{
    kelm2__GetUsersInvoke invoke;
    invoke.sessionId = sessionId;
    invoke.index = index;
    invoke.nbItems = nbItems;
    kelm2__UsersResult* result = nullptr;
    Users users;
    users.rc = proxy_.getUsers(&invoke, result);
    if (users.rc == 0 && result != nullptr) {
        users.code = result->status != nullptr ? result->status->code : -1;
        users.total = result->total;
        users.count = result->users != nullptr ? result->users->__size : -1;
        users.firstHasLines = users.count > 0 && result->users->__ptr[0] != nullptr &&
                              result->users->__ptr[0]->lines != nullptr;
    }
    releaseStorage();
    return users;
}

PbxClient::Release PbxClient::release(const std::string& sessionId, bool onXmlAdmin)
{
    if (!onXmlAdmin) {
        soap_set_namespaces(proxy_.soap, pbx_soap::xmlZebNamespaces());
        proxy_.soap_endpoint = zeb_.c_str();
    }
    kelm2__ZEBGlobalPropertiesResult* result = nullptr;
    Release release;
    release.rc = proxy_.getZEBGlobalProperties(sessionId, result);
    if (release.rc == 0 && result != nullptr) {
        release.code = result->status != nullptr ? result->status->code : -1;
        if (result->zebGlobalProperties != nullptr)
            release.text = result->zebGlobalProperties->zeb_USCORErelease;
    }
    releaseStorage();
    soap_set_namespaces(proxy_.soap, pbx_soap::xmlAdminNamespaces());
    proxy_.soap_endpoint = admin_.c_str();
    return release;
}

int PbxClient::logout(const std::string& sessionId)
{
    kelm2__VroStatus* status = nullptr;
    const int rc = proxy_.logoutAdmin(sessionId, status);
    const int code = rc == 0 && status != nullptr ? status->code : -1;
    releaseStorage();
    return code;
}

std::string sessionOf(PbxClient& client, const std::string& password)
{
    const auto login = client.login(password);
    EXPECT_EQ(login.rc, 0);
    EXPECT_EQ(login.code, 0);
    EXPECT_FALSE(login.sessionId.empty());
    return login.sessionId;
}

UdpProber::UdpProber(std::uint16_t localPort) : fd_(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0))
{
    const sockaddr_in local = endpoint("127.0.0.1", localPort);
    EXPECT_EQ(::bind(fd_, reinterpret_cast<const sockaddr*>(&local), sizeof local), 0) << std::strerror(errno);
}

UdpProber::~UdpProber()
{
    ::close(fd_);
}

void UdpProber::send(const std::string& address, std::uint16_t port)
{
    static constexpr char kProbe[] = "@@%%**##CSTA_SERVER##**%%@@";
    const sockaddr_in to = endpoint(address, port);
    EXPECT_EQ(::sendto(fd_, kProbe, sizeof kProbe - 1, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to),
              static_cast<ssize_t>(sizeof kProbe - 1))
        << std::strerror(errno);
}

std::vector<std::string> UdpProber::answers(std::chrono::milliseconds quiet)
{
    std::vector<std::string> senders;
    pollfd pfd{fd_, POLLIN, 0};
    while (::poll(&pfd, 1, static_cast<int>(quiet.count())) == 1) {
        char buffer[256];
        sockaddr_in from{};
        socklen_t length = sizeof from;
        if (::recvfrom(fd_, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &length) < 0)
            break;
        char text[INET_ADDRSTRLEN] = "?";
        ::inet_ntop(AF_INET, &from.sin_addr, text, sizeof text);
        senders.push_back(std::string(text) + ":" + std::to_string(ntohs(from.sin_port)));
    }
    return senders;
}

int connectError(const std::string& address)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in to = endpoint(address, 8894);
    const int error = ::connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0 ? 0 : errno;
    ::close(fd);
    return error;
}

} // namespace kelm::test
