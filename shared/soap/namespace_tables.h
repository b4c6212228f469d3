#pragma once

#include "stdsoap2.h"

namespace kelm::pbx_soap {

// The two namespace tables of the PBX's services. A table is given to a context with
// soap_set_namespaces; the context builds its working copy afresh for the next message, so a
// change applies to the requests made while it is in place. The XmlAdmin table is the default
// of every context (it is the run time's global table).
const struct Namespace* xmlAdminNamespaces();
const struct Namespace* xmlZebNamespaces();

// For a server that answers on both paths (a simulated PBX): matches the XmlAdmin and the XmlZeb
// URIs alike and, as gSOAP answers with the URIs the request used, echoes the request's own.
const struct Namespace* pbxServerNamespaces();

} // namespace kelm::pbx_soap
