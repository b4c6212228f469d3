#include "shared/soap/wire_profile.h"

#include <cstring>
#include <new>

namespace kelm::pbx_soap {

namespace {

constexpr const char* kPluginId = "kelm-wire-profile";

struct ProfileData {
    int (*postHeader)(struct soap*, const char*, const char*) = nullptr;
    int (*prepareInitRecv)(struct soap*) = nullptr;
    int (*parseHeader)(struct soap*, const char*, const char*) = nullptr;
    std::size_t arraySlotsLeft = kMaxArraySlotsPerMessage;
    bool lengthDeclared = false;
};

ProfileData* profileOf(struct soap* soap)
{
    return static_cast<ProfileData*>(soap_lookup_plugin(soap, kPluginId));
}

int postHeader(struct soap* soap, const char* key, const char* value)
{
    ProfileData* data = profileOf(soap);
    if (key != nullptr && std::strcmp(key, "User-Agent") == 0)
        value = kUserAgent;
    return data->postHeader(soap, key, value);
}

int parseHeader(struct soap* soap, const char* key, const char* value)
{
    ProfileData* data = profileOf(soap);
    if (key != nullptr && value != nullptr
        && (soap_tag_cmp(key, "Content-Length") == 0
            || (soap_tag_cmp(key, "Transfer-Encoding") == 0 && soap_tag_cmp(value, "chunked*") == 0)))
        data->lengthDeclared = true;
    return data->parseHeader(soap, key, value);
}

// Called by the run time whenever it starts reading a message.
int prepareInitRecv(struct soap* soap)
{
    ProfileData* data = profileOf(soap);
    data->arraySlotsLeft = kMaxArraySlotsPerMessage;
    data->lengthDeclared = false;
    return data->prepareInitRecv != nullptr ? data->prepareInitRecv(soap) : SOAP_OK;
}

void deletePlugin(struct soap* /*soap*/, struct soap_plugin* plugin)
{
    delete static_cast<ProfileData*>(plugin->data);
}

int createPlugin(struct soap* soap, struct soap_plugin* plugin, void* /*arg*/)
{
    auto* data = new (std::nothrow) ProfileData;
    if (data == nullptr)
        return SOAP_EOM;
    data->postHeader = soap->fposthdr;
    data->prepareInitRecv = soap->fprepareinitrecv;
    data->parseHeader = soap->fparsehdr;
    plugin->id = kPluginId;
    plugin->data = data;
    plugin->fcopy = nullptr;
    plugin->fdelete = deletePlugin;
    soap->fposthdr = postHeader;
    soap->fprepareinitrecv = prepareInitRecv;
    soap->fparsehdr = parseHeader;
    soap->recv_maxlength = kMaxMessageBytes;
    soap->maxlevel = kMaxNestingDepth;
    soap->maxoccurs = kMaxArrayItems;
    soap_set_omode(soap, SOAP_XML_TREE);
    return SOAP_OK;
}

} // namespace

int applyWireProfile(struct soap* soap)
{
    if (profileOf(soap) != nullptr)
        return SOAP_OK;
    return soap_register_plugin(soap, createPlugin);
}

bool takeArraySlots(struct soap* soap, std::size_t slots)
{
    ProfileData* data = profileOf(soap);
    if (data == nullptr)
        return true;
    if (slots > data->arraySlotsLeft)
        return false;
    data->arraySlotsLeft -= slots;
    return true;
}

bool lengthDeclared(struct soap* soap)
{
    const ProfileData* data = profileOf(soap);
    return data != nullptr && data->lengthDeclared;
}

} // namespace kelm::pbx_soap
