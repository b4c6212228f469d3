#include "shared/kelm_zeb_object.h"

#include "platform/host_lookup.h"

namespace kelm {

void CKelmZebObject::Initialization()
{
    sessionId.clear();
    hostAddress = "";
    const auto resolved = platform::resolveIPv4(std::string(hostName.view()));
    hostAddress = resolved ? std::string_view(*resolved) : hostName.view();
}

} // namespace kelm
