#pragma once

// Element-level reading and writing shared by the custom serializers of numbers, booleans and
// enumerations. They mirror the run time's own simple-type serializers (ids and hrefs included)
// but leave the text rules to the caller.

#include "soapH.h"

#include <initializer_list>

namespace kelm::pbx_soap {

// True when the element carries no xsi:type or one whose local name is among `names`
// (any namespace: "xsd:short" and "short" both name short).
inline bool xsiTypeNamedAnyOf(struct soap* soap, std::initializer_list<const char*> names)
{
    if (*soap->type == '\0')
        return true;
    for (const char* name : names)
        if (soap_match_tag(soap, soap->type, name) == SOAP_OK)
            return true;
    return false;
}

// True when the element carries no xsi:type or exactly `qualifiedName`, matched by namespace even
// while the members around it are matched by local name.
inline bool xsiTypeIs(struct soap* soap, const char* qualifiedName)
{
    if (*soap->type == '\0')
        return true;
    const auto mode = soap->mode;
    soap->mode &= ~SOAP_XML_IGNORENS;
    const bool same = soap_match_tag(soap, soap->type, qualifiedName) == SOAP_OK;
    soap->mode = mode;
    return same;
}

inline int writeSimpleElement(struct soap* soap, const char* tag, int id, const void* value, int typeId,
                              const char* text)
{
    // Members are written without xsi:type.
    if (soap_element_begin_out(soap, tag, soap_embedded_id(soap, id, value, typeId), nullptr)
        || soap_send(soap, text))
        return soap->error;
    return soap_element_end_out(soap, tag);
}

// Reads one simple element into *value (allocated in the context when value is null).
// `typeAccepted(soap)` judges the xsi:type, `convert(text, *value)` the text; either refusing
// fails the message with a data type mismatch.
template <class T, class TypeAccepted, class Convert>
T* readSimpleElement(struct soap* soap, const char* tag, T* value, int typeId, TypeAccepted typeAccepted,
                     Convert convert)
{
    if (soap_element_begin_in(soap, tag, 0, nullptr))
        return nullptr;
    if (!typeAccepted(soap)) {
        soap->error = SOAP_TYPE;
        soap_revert(soap);
        return nullptr;
    }
    value = static_cast<T*>(
        soap_id_enter(soap, soap->id, value, typeId, sizeof(T), nullptr, nullptr, nullptr, nullptr));
    if (value == nullptr)
        return nullptr;
    if (*soap->href != '#') {
        const char* text = soap_value(soap);
        if (text == nullptr)
            return nullptr;
        if (!convert(text, *value)) {
            soap->error = SOAP_TYPE;
            return nullptr;
        }
    } else {
        value = static_cast<T*>(
            soap_id_forward(soap, soap->href, value, 0, typeId, typeId, sizeof(T), 0, nullptr, nullptr));
    }
    if (soap->body && soap_element_end_in(soap, tag))
        return nullptr;
    return value;
}

} // namespace kelm::pbx_soap
