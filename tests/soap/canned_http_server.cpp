#include "tests/soap/canned_http_server.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace kelm::test {

CannedHttpServer::CannedHttpServer()
{
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0
        || ::listen(listener_, 8) != 0
        || ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("loopback listener");
    port_ = ntohs(address.sin_port);
    if (::pipe2(wake_, O_CLOEXEC) != 0)
        throw std::runtime_error("wake pipe");
    thread_ = std::thread([this] { serve(); });
}

CannedHttpServer::~CannedHttpServer()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    const char byte = 1;
    (void)!::write(wake_[1], &byte, 1);
    thread_.join();
    ::close(listener_);
    ::close(wake_[0]);
    ::close(wake_[1]);
}

bool CannedHttpServer::waitReadable(int fd)
{
    pollfd entries[] = {{fd, POLLIN, 0}, {wake_[0], POLLIN, 0}};
    for (;;) {
        const int ready = ::poll(entries, 2, -1);
        if (ready < 0 && errno == EINTR)
            continue;
        return ready > 0 && entries[1].revents == 0;
    }
}

std::string CannedHttpServer::endpoint(const std::string& path) const
{
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

void CannedHttpServer::enqueue(std::string answer, std::chrono::milliseconds byteInterval)
{
    std::lock_guard lock(mutex_);
    answers_.push_back({std::move(answer), byteInterval});
}

std::vector<std::string> CannedHttpServer::requests()
{
    std::lock_guard lock(mutex_);
    return requests_;
}

std::string CannedHttpServer::readRequest(int connection)
{
    std::string bytes;
    std::size_t expected = std::string::npos;
    char buffer[4096];
    while (expected == std::string::npos || bytes.size() < expected) {
        if (!waitReadable(connection))
            break;
        const ssize_t n = ::recv(connection, buffer, sizeof buffer, 0);
        if (n <= 0)
            break;
        bytes.append(buffer, static_cast<std::size_t>(n));
        const std::size_t headerEnd = bytes.find("\r\n\r\n");
        if (expected == std::string::npos && headerEnd != std::string::npos) {
            const std::size_t field = bytes.find("Content-Length: ");
            const std::size_t length =
                field < headerEnd ? std::stoul(bytes.substr(field + 16)) : 0;
            expected = headerEnd + 4 + length;
        }
    }
    return bytes;
}

void CannedHttpServer::serve()
{
    while (waitReadable(listener_)) {
        const int connection = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0)
            continue;
        std::string request = readRequest(connection);
        Answer answer{{}, std::chrono::milliseconds(0)};
        {
            std::lock_guard lock(mutex_);
            requests_.push_back(std::move(request));
            if (!answers_.empty()) {
                answer = std::move(answers_.front());
                answers_.pop_front();
            }
        }
        if (answer.bytes.empty()) {
            // Silence: keep the connection until the client gives up or the server stops.
            char byte;
            while (waitReadable(connection) && ::recv(connection, &byte, 1, 0) > 0) {
            }
        } else {
            const bool trickle = answer.byteInterval.count() > 0;
            for (std::size_t sent = 0; sent < answer.bytes.size();) {
                if (trickle) {
                    std::unique_lock lock(mutex_);
                    if (changed_.wait_for(lock, answer.byteInterval, [this] { return stopping_; }))
                        break;
                }
                const std::size_t chunk = trickle ? 1 : answer.bytes.size() - sent;
                const ssize_t n = ::send(connection, answer.bytes.data() + sent, chunk, MSG_NOSIGNAL);
                if (n <= 0)
                    break;
                sent += static_cast<std::size_t>(n);
            }
        }
        ::close(connection);
    }
}

std::string httpAnswer(const std::string& body, const std::string& status)
{
    return "HTTP/1.1 " + status + "\r\nContent-Type: text/xml; charset=utf-8\r\nContent-Length: "
           + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
}

} // namespace kelm::test
