#pragma once

// A loopback HTTP peer for the SOAP tests: it records the bytes of every request and answers
// each with the next canned answer (raw bytes, HTTP header included), then closes the connection.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kelm::test {

class CannedHttpServer {
public:
    // An answer of this text makes the server hold the connection open without answering.
    static constexpr const char* kSilence = "";

    CannedHttpServer();
    ~CannedHttpServer();
    CannedHttpServer(const CannedHttpServer&) = delete;
    CannedHttpServer& operator=(const CannedHttpServer&) = delete;

    std::uint16_t port() const { return port_; }
    std::string endpoint(const std::string& path = "/services/XmlAdmin") const;

    // With a byte interval the answer trickles out one byte at a time.
    void enqueue(std::string answer, std::chrono::milliseconds byteInterval = std::chrono::milliseconds(0));
    // The requests received so far, each as the exact bytes read (header and body).
    std::vector<std::string> requests();

private:
    void serve();
    std::string readRequest(int connection);
    // Until fd is readable (true) or the server stops (false).
    bool waitReadable(int fd);

    int listener_ = -1;
    int wake_[2] = {-1, -1};
    std::uint16_t port_ = 0;
    std::mutex mutex_;
    std::condition_variable changed_;
    struct Answer {
        std::string bytes;
        std::chrono::milliseconds byteInterval;
    };
    std::deque<Answer> answers_;
    std::vector<std::string> requests_;
    bool stopping_ = false;
    std::thread thread_;
};

// An HTTP answer with the given status line and a body, with Content-Length.
std::string httpAnswer(const std::string& body, const std::string& status = "200 OK");

} // namespace kelm::test
