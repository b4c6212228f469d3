// Arbitrary bytes as the HTTP answer to the call-log request: the proxy must end every exchange
// cleanly, whatever it is given.

#include "shared/soap/xml_admin_service_soap.h"
#include "tests/soap/in_memory_transport.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // One proxy for the whole run, as the service keeps one: state left from one answer must not
    // spoil the next.
    static kelm::XmlAdminServiceSoap proxy;
    static kelm::test::InMemoryTransport transport(proxy.soap);
    proxy.soap_endpoint = "http://192.0.2.1:8894/services/XmlAdmin";
    transport.setAnswer(data, size);

    std::string sessionId = "S";
    kelm2__GetLocalCallLogInvoke invoke;
    invoke.sessionId = &sessionId;
    invoke.nbItemFromEnd = 200;
    kelm2__LocalCallLogResult* result = nullptr;
    const int status = proxy.getLocalCallLog(&invoke, result);
    // Whatever a successful answer holds must be readable, as the collector reads it.
    if (status == SOAP_OK && result != nullptr && result->content != nullptr) {
        volatile std::size_t bytes = 0;
        for (int i = 0; i < result->content->__size; ++i) {
            const kelm2__LocalCallLogElt* entry = result->content->__ptr[i];
            if (entry == nullptr)
                continue;
            for (const std::string* text : {entry->dirNumber, entry->corrNumber, entry->initialDest,
                                            entry->dateOfBegin, entry->dateOfEnd})
                if (text != nullptr)
                    bytes = bytes + text->size();
            if (entry->itemId != nullptr)
                bytes = bytes + static_cast<std::size_t>(entry->itemId->diffId & 1);
        }
    }
    soap_destroy(proxy.soap);
    soap_end(proxy.soap);
    return 0;
}
