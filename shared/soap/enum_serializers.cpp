// Custom serializers of the two enumerations. The run time refuses a text outside the table; the
// PBX's peers take any decimal integer as the value (and an empty text as 0), and write a value
// without a name in decimal.

#include "shared/soap/lenient_number.h"
#include "shared/soap/simple_element.h"

#include <array>
#include <climits>
#include <cstring>
#include <span>
#include <string>
#include <utility>

using kelm::pbx_soap::parseLenientInteger;
using kelm::pbx_soap::readSimpleElement;
using kelm::pbx_soap::writeSimpleElement;

namespace {

template <class Enum>
using EnumName = std::pair<Enum, const char*>;
template <class Enum>
using EnumNames = std::span<const EnumName<Enum>>;

constexpr std::array<EnumName<kelm2__PwdStatus>, 3> kPwdStatusNames{{
    {kelm2__PwdStatus::ok, "ok"},
    {kelm2__PwdStatus::blocked, "blocked"},
    {kelm2__PwdStatus::mustBeChanged, "mustBeChanged"},
}};

constexpr std::array<EnumName<kelm2__License>, 1> kLicenseNames{{
    {kelm2__License::_3141Softphone, "3141Softphone"},
}};

template <class Enum>
int writeEnum(struct soap* soap, const char* tag, int id, const Enum* a, int typeId, EnumNames<Enum> names)
{
    for (const auto& [value, name] : names)
        if (value == *a)
            return writeSimpleElement(soap, tag, id, a, typeId, name);
    return writeSimpleElement(soap, tag, id, a, typeId, std::to_string(static_cast<int>(*a)).c_str());
}

template <class Enum>
Enum* readEnum(struct soap* soap, const char* tag, Enum* a, int typeId, const char* typeName,
               EnumNames<Enum> names)
{
    return readSimpleElement(
        soap, tag, a, typeId,
        [typeName](struct soap* s) { return kelm::pbx_soap::xsiTypeIs(s, typeName); },
        [names](const char* text, Enum& value) {
            for (const auto& [named, name] : names) {
                if (std::strcmp(text, name) == 0) {
                    value = named;
                    return true;
                }
            }
            const auto parsed = parseLenientInteger(text, INT_MIN, INT_MAX);
            if (parsed)
                value = static_cast<Enum>(*parsed);
            return parsed.has_value();
        });
}

} // namespace

SOAP_FMAC1 void SOAP_FMAC2 soap_default_kelm2__PwdStatus(struct soap* /*soap*/, kelm2__PwdStatus* a)
{
    *a = kelm2__PwdStatus::ok;
}

SOAP_FMAC1 int SOAP_FMAC2 soap_out_kelm2__PwdStatus(struct soap* soap, const char* tag, int id,
                                                    const kelm2__PwdStatus* a, const char* /*type*/)
{
    return writeEnum(soap, tag, id, a, SOAP_TYPE_kelm2__PwdStatus, EnumNames<kelm2__PwdStatus>(kPwdStatusNames));
}

SOAP_FMAC1 kelm2__PwdStatus* SOAP_FMAC2 soap_in_kelm2__PwdStatus(struct soap* soap, const char* tag,
                                                                 kelm2__PwdStatus* a, const char* /*type*/)
{
    return readEnum(soap, tag, a, SOAP_TYPE_kelm2__PwdStatus, "kelm2:PwdStatus", EnumNames<kelm2__PwdStatus>(kPwdStatusNames));
}

SOAP_FMAC1 void SOAP_FMAC2 soap_default_kelm2__License(struct soap* /*soap*/, kelm2__License* a)
{
    *a = kelm2__License::_3141Softphone;
}

SOAP_FMAC1 int SOAP_FMAC2 soap_out_kelm2__License(struct soap* soap, const char* tag, int id,
                                                  const kelm2__License* a, const char* /*type*/)
{
    return writeEnum(soap, tag, id, a, SOAP_TYPE_kelm2__License, EnumNames<kelm2__License>(kLicenseNames));
}

SOAP_FMAC1 kelm2__License* SOAP_FMAC2 soap_in_kelm2__License(struct soap* soap, const char* tag,
                                                             kelm2__License* a, const char* /*type*/)
{
    return readEnum(soap, tag, a, SOAP_TYPE_kelm2__License, "kelm2:License", EnumNames<kelm2__License>(kLicenseNames));
}
