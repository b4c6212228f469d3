#pragma once

// Shared pieces of the SOAP tests: the envelope the PBX's answers are wrapped in and a proxy
// aimed at a loopback canned server.

#include "shared/soap/xml_admin_service_soap.h"
#include "tests/soap/canned_http_server.h"

#include <string>

namespace kelm::test {

inline const std::string kUtf8Declaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";

// The namespace declarations of the XmlAdmin table, in table order.
inline const std::string kXmlAdminDeclarations =
    " xmlns:SOAP-ENV=\"http://schemas.xmlsoap.org/soap/envelope/\""
    " xmlns:SOAP-ENC=\"http://schemas.xmlsoap.org/soap/encoding/\""
    " xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\""
    " xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\""
    " xmlns:kelm2=\"http://ws.corvane.example/admin/types\""
    " xmlns:kelm1=\"http://ws.corvane.example/admin\"";

// The namespace declarations of the XmlZeb table: its types URI has no scheme.
inline const std::string kXmlZebDeclarations =
    " xmlns:SOAP-ENV=\"http://schemas.xmlsoap.org/soap/envelope/\""
    " xmlns:SOAP-ENC=\"http://schemas.xmlsoap.org/soap/encoding/\""
    " xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\""
    " xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\""
    " xmlns:kelm2=\"ws.corvane.example/zeb/types\""
    " xmlns:kelm1=\"http://ws.corvane.example/zeb\"";

// An answer envelope with the XmlAdmin declarations around `body` (the content of the Body).
inline std::string answerEnvelope(const std::string& body, const std::string& declaration = kUtf8Declaration)
{
    return declaration + "<SOAP-ENV:Envelope" + kXmlAdminDeclarations + "><SOAP-ENV:Body>" + body
           + "</SOAP-ENV:Body></SOAP-ENV:Envelope>";
}

// A proxy whose requests go to a canned server on loopback, with short time-outs.
struct ProxyOnLoopback {
    CannedHttpServer server;
    XmlAdminServiceSoap proxy;
    std::string endpoint = server.endpoint();

    ProxyOnLoopback()
    {
        proxy.soap_endpoint = endpoint.c_str();
        proxy.setTimeouts(2, 2, 2);
    }

    // What the caller does after each operation.
    void release()
    {
        soap_destroy(proxy.soap);
        soap_end(proxy.soap);
    }
};

} // namespace kelm::test
