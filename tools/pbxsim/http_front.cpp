#include "tools/pbxsim/http_front.h"

#include "shared/soap/namespace_tables.h"
#include "shared/soap/wire_profile.h"
#include "soapH.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <sys/socket.h>
#include <unistd.h>

namespace kelm::pbxsim {
namespace {

// gSOAP takes whole seconds when positive and microseconds when negative.
int soapTimeout(double seconds)
{
    return -static_cast<int>(std::lround(seconds * 1e6));
}

std::string peerText(struct soap* soap)
{
    in_addr address{};
    address.s_addr = htonl(static_cast<std::uint32_t>(soap->ip));
    char text[INET_ADDRSTRLEN] = "?";
    ::inet_ntop(AF_INET, &address, text, sizeof text);
    return std::string(text) + ":" + std::to_string(soap->port);
}

} // namespace

HttpFront::HttpFront(Pbx& pbx) : pbx_(pbx), soap_(soap_new())
{
    if (soap_ == nullptr)
        return;
    kelm::pbx_soap::applyWireProfile(soap_);
    soap_set_namespaces(soap_, kelm::pbx_soap::pbxServerNamespaces());
    soap_->user = &pbx_;
    soap_->bind_flags = SO_REUSEADDR; // reopen at once after a power cycle, TIME_WAIT or not
    soap_->accept_timeout = soapTimeout(0.5);
    soap_->recv_timeout = soapTimeout(pbx.options.ioTimeout);
    soap_->send_timeout = soapTimeout(pbx.options.ioTimeout);
    soap_->transfer_timeout = soapTimeout(2 * pbx.options.ioTimeout);
}

HttpFront::~HttpFront()
{
    close("stop");
    if (soap_ != nullptr) {
        soap_destroy(soap_);
        soap_end(soap_);
        soap_free(soap_);
    }
}

bool HttpFront::listening() const
{
    return soap_ != nullptr && soap_valid_socket(soap_->master);
}

bool HttpFront::open(std::string& error)
{
    if (soap_ == nullptr) {
        error = "no SOAP context";
        return false;
    }
    if (listening())
        return true;
    if (!soap_valid_socket(soap_bind(soap_, pbx_.options.address.c_str(), kPort, 16))) {
        error = "TCP bind " + pbx_.options.address + ":" + std::to_string(kPort) + ": " +
                std::strerror(soap_->errnum != 0 ? soap_->errnum : errno);
        return false;
    }
    return true;
}

void HttpFront::close(const char* reason)
{
    while (!held_.empty())
        release(held_.size() - 1, reason);
    if (listening()) {
        ::close(soap_->master);
        soap_->master = SOAP_INVALID_SOCKET;
    }
}

int HttpFront::listenFd() const
{
    return listening() ? soap_->master : -1;
}

std::vector<int> HttpFront::heldFds() const
{
    std::vector<int> fds;
    for (const auto& h : held_)
        fds.push_back(h.fd);
    return fds;
}

void HttpFront::acceptOne()
{
    if (!listening() || !soap_valid_socket(soap_accept(soap_)))
        return;
    pbx_.peer = peerText(soap_);
    if (pbx_.options.httpHang) {
        // Taken from the context unread: the client waits for an answer that never comes.
        if (held_.size() >= kMaxHeld)
            release(0, "limit");
        const auto hold = std::chrono::duration_cast<Clock::duration>(
            std::chrono::duration<double>(pbx_.options.holdTimeout));
        held_.push_back({soap_->socket, pbx_.peer, Clock::now() + hold});
        soap_->socket = SOAP_INVALID_SOCKET;
        pbx_.out.line("hold", "peer=" + pbx_.peer);
        return;
    }
    const int rc = soap_serve(soap_);
    if (rc != SOAP_OK || soap_->error != SOAP_OK)
        pbx_.out.line("http", "error code=" + std::to_string(rc != SOAP_OK ? rc : soap_->error) + " peer=" + pbx_.peer);
    soap_destroy(soap_);
    soap_end(soap_);
    soap_force_closesock(soap_);
}

void HttpFront::release(std::size_t index, const char* reason)
{
    ::close(held_[index].fd);
    pbx_.out.line("release", "peer=" + held_[index].peer + " reason=" + reason);
    held_.erase(held_.begin() + static_cast<std::ptrdiff_t>(index));
}

void HttpFront::serviceHeld(int fd)
{
    for (std::size_t i = 0; i < held_.size(); ++i) {
        if (held_[i].fd != fd)
            continue;
        char buffer[4096];
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR))
            release(i, "closed");
        return;
    }
}

void HttpFront::expireHeld(Clock::time_point now)
{
    for (std::size_t i = held_.size(); i-- > 0;)
        if (held_[i].deadline <= now)
            release(i, "timeout");
}

bool HttpFront::nextHeldDeadline(Clock::time_point& deadline) const
{
    if (held_.empty())
        return false;
    deadline = held_.front().deadline;
    for (const auto& h : held_)
        deadline = std::min(deadline, h.deadline);
    return true;
}

} // namespace kelm::pbxsim
