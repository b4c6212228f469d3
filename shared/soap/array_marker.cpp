// Custom serializer of kelmArrayMark, the attribute member of every array type.
//
// Written, it is the xsi:type="SOAP-ENC:Array" that the run time no longer puts on encoded arrays.
// Read, it is converted right after the array's start tag and before the generated reader sizes
// the array from SOAP-ENC:arrayType and SOAP-ENC:offset: the declared count and offset are
// checked here, so that a hostile count can neither overflow the size arithmetic nor make the
// context allocate more than the message's budget of array slots.

#include "shared/soap/wire_profile.h"
#include "shared/soap/simple_element.h"

#include <cstdint>
#include <optional>

namespace {

constexpr const char* kArrayType = "SOAP-ENC:Array";

// "[n]" with optional blanks around n, as one-dimensional arrays declare their count and offset.
// A value too long for 32 bits saturates: it is refused as too large, not as malformed.
std::optional<std::uint64_t> bracketedCount(const char* text)
{
    const char* p = text;
    if (*p++ != '[')
        return std::nullopt;
    while (*p == ' ')
        ++p;
    if (*p < '0' || *p > '9')
        return std::nullopt;
    std::uint64_t value = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        if (value <= UINT32_MAX)
            value = value * 10 + static_cast<std::uint64_t>(*p - '0');
    }
    while (*p == ' ')
        ++p;
    if (*p++ != ']' || *p != '\0')
        return std::nullopt;
    return value;
}

int checkDeclaredSize(struct soap* soap)
{
    if (*soap->arraySize == '\0')
        return SOAP_OK; // no count: items are appended, bounded by maxoccurs and the message size
    const auto count = bracketedCount(soap->arraySize);
    if (!count)
        return soap->error = SOAP_TYPE;
    if (*count > soap->maxoccurs)
        return soap->error = SOAP_OCCURS;
    std::uint64_t offset = 0;
    if (*soap->arrayOffset != '\0') {
        const auto declared = bracketedCount(soap->arrayOffset);
        if (!declared || *declared > *count)
            return soap->error = SOAP_IOB;
        offset = *declared;
    }
    if (!kelm::pbx_soap::takeArraySlots(soap, static_cast<std::size_t>(*count - offset)))
        return soap->error = SOAP_OCCURS;
    return SOAP_OK;
}

} // namespace

SOAP_FMAC1 void SOAP_FMAC2 soap_default_kelmArrayMark(struct soap* /*soap*/, char* a)
{
    *a = 0;
}

SOAP_FMAC3S const char* SOAP_FMAC4S soap_kelmArrayMark2s(struct soap* /*soap*/, char /*a*/)
{
    return kArrayType;
}

SOAP_FMAC3S int SOAP_FMAC4S soap_s2kelmArrayMark(struct soap* soap, const char* /*xsiType*/, char* a)
{
    *a = 0;
    return checkDeclaredSize(soap);
}

SOAP_FMAC1 int SOAP_FMAC2 soap_out_kelmArrayMark(struct soap* soap, const char* tag, int id, const char* a,
                                                 const char* /*type*/)
{
    return kelm::pbx_soap::writeSimpleElement(soap, tag, id, a, SOAP_TYPE_kelmArrayMark, kArrayType);
}

SOAP_FMAC1 char* SOAP_FMAC2 soap_in_kelmArrayMark(struct soap* soap, const char* tag, char* a,
                                                  const char* /*type*/)
{
    return kelm::pbx_soap::readSimpleElement(
        soap, tag, a, SOAP_TYPE_kelmArrayMark, [](struct soap*) { return true; },
        [](const char*, char& value) {
            value = 0;
            return true;
        });
}
