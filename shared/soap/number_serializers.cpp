// Custom serializers of xsd:int, xsd:long and xsd:boolean. The run time refuses an empty number
// or boolean; the PBX's peers read it as 0 / false, and accept "1" and "0" as booleans.

#include "shared/soap/lenient_number.h"
#include "shared/soap/simple_element.h"

#include <climits>
#include <cstring>
#include <string>

using kelm::pbx_soap::parseLenientInteger;
using kelm::pbx_soap::readSimpleElement;
using kelm::pbx_soap::writeSimpleElement;
using kelm::pbx_soap::xsiTypeNamedAnyOf;

SOAP_FMAC1 void SOAP_FMAC2 soap_default_xsd__int(struct soap* /*soap*/, int* a)
{
    *a = 0;
}

SOAP_FMAC1 int SOAP_FMAC2 soap_out_xsd__int(struct soap* soap, const char* tag, int id, const int* a,
                                            const char* /*type*/)
{
    return writeSimpleElement(soap, tag, id, a, SOAP_TYPE_xsd__int, std::to_string(*a).c_str());
}

SOAP_FMAC1 int* SOAP_FMAC2 soap_in_xsd__int(struct soap* soap, const char* tag, int* a, const char* /*type*/)
{
    return readSimpleElement(
        soap, tag, a, SOAP_TYPE_xsd__int,
        [](struct soap* s) { return xsiTypeNamedAnyOf(s, {":int", ":short", ":byte"}); },
        [](const char* text, int& value) {
            const auto parsed = parseLenientInteger(text, INT_MIN, INT_MAX);
            if (parsed)
                value = static_cast<int>(*parsed);
            return parsed.has_value();
        });
}

SOAP_FMAC1 void SOAP_FMAC2 soap_default_xsd__long(struct soap* /*soap*/, LONG64* a)
{
    *a = 0;
}

SOAP_FMAC1 int SOAP_FMAC2 soap_out_xsd__long(struct soap* soap, const char* tag, int id, const LONG64* a,
                                             const char* /*type*/)
{
    return writeSimpleElement(soap, tag, id, a, SOAP_TYPE_xsd__long, std::to_string(*a).c_str());
}

SOAP_FMAC1 LONG64* SOAP_FMAC2 soap_in_xsd__long(struct soap* soap, const char* tag, LONG64* a,
                                                const char* /*type*/)
{
    return readSimpleElement(
        soap, tag, a, SOAP_TYPE_xsd__long,
        [](struct soap* s) {
            return xsiTypeNamedAnyOf(s, {":long", ":int", ":short", ":byte", ":integer", ":positiveInteger",
                                         ":negativeInteger", ":nonPositiveInteger", ":nonNegativeInteger"});
        },
        [](const char* text, LONG64& value) {
            const auto parsed = parseLenientInteger(text, LLONG_MIN, LLONG_MAX);
            if (parsed)
                value = *parsed;
            return parsed.has_value();
        });
}

SOAP_FMAC1 void SOAP_FMAC2 soap_default_xsd__boolean(struct soap* /*soap*/, bool* a)
{
    *a = false;
}

SOAP_FMAC1 int SOAP_FMAC2 soap_out_xsd__boolean(struct soap* soap, const char* tag, int id, const bool* a,
                                                const char* /*type*/)
{
    return writeSimpleElement(soap, tag, id, a, SOAP_TYPE_xsd__boolean, *a ? "true" : "false");
}

SOAP_FMAC1 bool* SOAP_FMAC2 soap_in_xsd__boolean(struct soap* soap, const char* tag, bool* a,
                                                 const char* /*type*/)
{
    return readSimpleElement(
        soap, tag, a, SOAP_TYPE_xsd__boolean, [](struct soap* s) { return xsiTypeNamedAnyOf(s, {":boolean"}); },
        [](const char* text, bool& value) {
            // The names are case-sensitive; soap_value has already trimmed the white space.
            if (std::strcmp(text, "true") == 0 || std::strcmp(text, "false") == 0) {
                value = text[0] == 't';
                return true;
            }
            const auto parsed = parseLenientInteger(text, 0, 1);
            if (parsed)
                value = *parsed == 1;
            return parsed.has_value();
        });
}
