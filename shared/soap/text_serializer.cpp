// Custom serializer of xsd:string (std::string holding Latin-1 bytes).
//
// Output follows the byte rules the PBX was built against: & < > CR LF escaped, every other
// control byte and every byte from 128 up written as a decimal character reference, so the
// envelope stays 7-bit whatever the text holds. The run time's own string writer would send LF
// raw, control bytes as hex references and bytes 160-255 as UTF-8.
//
// Input is the run time's lenient text reader (entity and character references resolved, one
// byte per character), with the xsi:type check strings need.

#include "shared/soap/simple_element.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

// Writes the text up to its end or its first NUL byte (the PBX's strings are C strings).
int sendEscapedText(struct soap* soap, const std::string& text)
{
    const char* const begin = text.c_str();
    const char* const end = begin + std::strlen(begin);
    const char* plain = begin;
    std::array<char, 8> reference{};
    for (const char* p = begin; p != end; ++p) {
        const auto byte = static_cast<unsigned char>(*p);
        const char* replacement = nullptr;
        switch (byte) {
        case '&': replacement = "&amp;"; break;
        case '<': replacement = "&lt;"; break;
        case '>': replacement = "&gt;"; break;
        case '\r': replacement = "&#xD;"; break;
        case '\n': replacement = "&#xA;"; break;
        case '\t': break;
        default:
            if (byte < 32 || byte >= 128) {
                std::snprintf(reference.data(), reference.size(), "&#%u;", unsigned{byte});
                replacement = reference.data();
            }
            break;
        }
        if (replacement == nullptr)
            continue;
        if ((p != plain && soap_send_raw(soap, plain, static_cast<std::size_t>(p - plain)))
            || soap_send(soap, replacement))
            return soap->error;
        plain = p + 1;
    }
    if (end != plain && soap_send_raw(soap, plain, static_cast<std::size_t>(end - plain)))
        return soap->error;
    return SOAP_OK;
}

} // namespace

SOAP_FMAC1 int SOAP_FMAC2 soap_out_xsd__string(struct soap* soap, const char* tag, int id,
                                               const std::string* s, const char* /*type*/)
{
    // Members are written without xsi:type; an empty string is an element with empty content.
    if (soap_element_begin_out(soap, tag, soap_embedded_id(soap, id, s, SOAP_TYPE_xsd__string), nullptr)
        || sendEscapedText(soap, *s))
        return soap->error;
    return soap_element_end_out(soap, tag);
}

SOAP_FMAC1 std::string* SOAP_FMAC2 soap_in_xsd__string(struct soap* soap, const char* tag,
                                                       std::string* s, const char* /*type*/)
{
    if (soap_element_begin_in(soap, tag, 1, nullptr))
        return nullptr;
    if (!kelm::pbx_soap::xsiTypeIs(soap, "xsd:string")) {
        soap->error = SOAP_TYPE;
        soap_revert(soap);
        return nullptr;
    }
    if (s == nullptr && (s = soap_new_xsd__string(soap)) == nullptr)
        return nullptr;
    if (soap->null) {
        // xsi:nil keeps the default: a required string stays empty.
        s->clear();
    } else if (soap->body && *soap->href != '#') {
        s = static_cast<std::string*>(soap_id_enter(soap, soap->id, s, SOAP_TYPE_xsd__string,
                                                    sizeof(std::string), soap->type, soap->arrayType,
                                                    soap_instantiate, soap_fbase));
        if (s == nullptr)
            return nullptr;
        const char* text = soap_string_in(soap, 1, 0, -1, nullptr);
        if (text == nullptr)
            return nullptr;
        s->assign(text);
    } else if (*soap->href == '#') {
        s = static_cast<std::string*>(soap_id_forward(
            soap, soap->href,
            soap_id_enter(soap, soap->id, s, SOAP_TYPE_xsd__string, sizeof(std::string), soap->type,
                          soap->arrayType, soap_instantiate, soap_fbase),
            0, SOAP_TYPE_xsd__string, SOAP_TYPE_xsd__string, sizeof(std::string), 0, soap_finsert,
            nullptr));
    }
    if (soap->body && soap_element_end_in(soap, tag))
        return nullptr;
    return s;
}
