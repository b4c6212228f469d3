// tallysvc: the metering service. It runs only under the service manager; started any other way
// it exits at once, having read nothing and written nothing.
#include "platform/message_box.h"
#include "platform/program_dir.h"
#include "platform/service_dispatcher.h"
#include "service/service_host.h"
#include "shared/kelm_debug_log.h"
#include "shared/kelm_service.h"

int main()
{
    // Before anything else: a stop during the start-up is then a clean stop, not a kill.
    kelm::platform::ServiceDispatcher::holdControls();
    const std::string programDirectory = kelm::platform::programDirectory();
    kelm::platform::ConsoleMessageBox messageBox;
    kelm::CKelmDebugLog log(programDirectory);
    kelm::CKelmService service(programDirectory, log, messageBox);
    kelm::ServiceHost host(service);

    // No thread may exist before this call: every thread inherits its blocked control signals.
    kelm::platform::ServiceDispatcher::run([&host] { host.ServiceMain(); },
                                           [&host](std::uint32_t control) { host.ServiceCtrlHandler(control); });
    return 0;
}
