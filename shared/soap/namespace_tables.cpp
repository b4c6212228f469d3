#include "shared/soap/namespace_tables.h"

// The four standard entries: the URI written in requests, and the pattern an answer may use
// instead (any dated W3C path, the SOAP 1.2 envelope among them).
#define KELM_STANDARD_NAMESPACES                                                                       \
    {"SOAP-ENV", "http://schemas.xmlsoap.org/soap/envelope/", "http://www.w3.org/*/soap-envelope", nullptr}, \
    {"SOAP-ENC", "http://schemas.xmlsoap.org/soap/encoding/", "http://www.w3.org/*/soap-encoding", nullptr}, \
    {"xsi", "http://www.w3.org/2001/XMLSchema-instance", "http://www.w3.org/*/XMLSchema-instance", nullptr}, \
    {"xsd", "http://www.w3.org/2001/XMLSchema", "http://www.w3.org/*/XMLSchema", nullptr}

// The run time's global table, used by every new context: the XmlAdmin table.
SOAP_NMAC struct Namespace namespaces[] = {
    KELM_STANDARD_NAMESPACES,
    {"kelm2", "http://ws.corvane.example/admin/types", nullptr, nullptr},
    {"kelm1", "http://ws.corvane.example/admin", nullptr, nullptr},
    {nullptr, nullptr, nullptr, nullptr},
};

namespace kelm::pbx_soap {

namespace {

// The PBX writes the XmlZeb types URI without a scheme.
struct Namespace xmlZebTable[] = {
    KELM_STANDARD_NAMESPACES,
    {"kelm2", "ws.corvane.example/zeb/types", nullptr, nullptr},
    {"kelm1", "http://ws.corvane.example/zeb", nullptr, nullptr},
    {nullptr, nullptr, nullptr, nullptr},
};

// Entries are tried in order: a types URI of either service is kelm2, any other URI of the host is
// a service URI.
struct Namespace pbxServerTable[] = {
    KELM_STANDARD_NAMESPACES,
    {"kelm2", "http://ws.corvane.example/admin/types", "*ws.corvane.example/*/types", nullptr},
    {"kelm1", "http://ws.corvane.example/admin", "http://ws.corvane.example/*", nullptr},
    {nullptr, nullptr, nullptr, nullptr},
};

} // namespace

const struct Namespace* xmlAdminNamespaces()
{
    return namespaces;
}

const struct Namespace* xmlZebNamespaces()
{
    return xmlZebTable;
}

const struct Namespace* pbxServerNamespaces()
{
    return pbxServerTable;
}

} // namespace kelm::pbx_soap
