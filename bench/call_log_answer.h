#pragma once

#include <string>

namespace kelm::bench {

// An HTTP answer to getLocalCallLog carrying `entries` calls, item IDs from firstId on, newest first.
inline std::string callLogAnswer(int entries, long firstId = 0)
{
    std::string items;
    for (int i = entries - 1; i >= 0; --i) {
        const std::string n = std::to_string(firstId + i);
        items += "<item><itemId><timeId>12288" + n + "</timeId><diffId>" + n + "</diffId></itemId><dirNumber>2"
                 + n + "</dirNumber><corrNumber>061234" + n + "</corrNumber><initialDest>3" + n
                 + "</initialDest><dateOfBegin>2008-12-09 18:31:02</dateOfBegin><dateOfEnd>2008-12-09 18:33:10"
                   "</dateOfEnd></item>";
    }
    const std::string body =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<SOAP-ENV:Envelope "
        "xmlns:SOAP-ENV=\"http://schemas.xmlsoap.org/soap/envelope/\" "
        "xmlns:SOAP-ENC=\"http://schemas.xmlsoap.org/soap/encoding/\" "
        "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" "
        "xmlns:kelm2=\"http://ws.corvane.example/admin/types\" xmlns:kelm1=\"http://ws.corvane.example/admin\">"
        "<SOAP-ENV:Body><kelm1:getLocalCallLogResponse><result><status><code>0</code><label>OK</label></status>"
        "<total>"
        + std::to_string(entries) + "</total><content xsi:type=\"SOAP-ENC:Array\" SOAP-ENC:arrayType=\"kelm2:LocalCallLogElt["
        + std::to_string(entries) + "]\">" + items
        + "</content></result></kelm1:getLocalCallLogResponse></SOAP-ENV:Body></SOAP-ENV:Envelope>";
    return "HTTP/1.1 200 OK\r\nContent-Type: text/xml; charset=utf-8\r\nContent-Length: " + std::to_string(body.size())
           + "\r\nConnection: close\r\n\r\n" + body;
}

} // namespace kelm::bench
