#pragma once

// Replaces the socket calls of a gSOAP context: a request goes nowhere (its bytes are only
// counted) and the answer is read from a buffer. For the fuzz target and the benchmarks, which
// measure or stress the wire layer without the network.

#include "stdsoap2.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace kelm::test {

class InMemoryTransport {
public:
    // Installs itself on `soap` (through soap->user) for the life of this object.
    explicit InMemoryTransport(struct soap* soap)
    {
        soap->user = this;
        soap->fopen = [](struct soap*, const char*, const char*, int) -> SOAP_SOCKET { return kFakeSocket; };
        soap->fsend = [](struct soap* s, const char*, std::size_t n) {
            self(s).sent_ += n;
            return SOAP_OK;
        };
        soap->frecv = [](struct soap* s, char* buffer, std::size_t length) {
            InMemoryTransport& t = self(s);
            const std::size_t n = std::min(length, t.size_ - t.read_);
            std::memcpy(buffer, t.answer_ + t.read_, n);
            t.read_ += n;
            return n;
        };
        soap->fclosesocket = [](struct soap*, SOAP_SOCKET) { return SOAP_OK; };
        soap->fshutdownsocket = [](struct soap*, SOAP_SOCKET, int) { return SOAP_OK; };
    }

    // The answer to the next request; the bytes must outlive it.
    void setAnswer(const void* bytes, std::size_t size)
    {
        answer_ = static_cast<const char*>(bytes);
        size_ = size;
        read_ = 0;
    }

    std::size_t bytesSent() const { return sent_; }

private:
    // Never a real descriptor: every call on it is one of the above.
    static constexpr SOAP_SOCKET kFakeSocket = 1000;

    static InMemoryTransport& self(struct soap* soap) { return *static_cast<InMemoryTransport*>(soap->user); }

    const char* answer_ = nullptr;
    std::size_t size_ = 0;
    std::size_t read_ = 0;
    std::size_t sent_ = 0;
};

} // namespace kelm::test
