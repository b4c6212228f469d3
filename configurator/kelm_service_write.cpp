// The configuration writer exists in tallyconf only: the service never writes KELM.conf.
#include "shared/configuration_settings.h"
#include "shared/kelm_service.h"

namespace kelm {

bool CKelmService::WriteConfiguration()
{
    // No text means the file could not be read at start: writing would replace the settings on
    // disk by nothing.
    if (configText.str().empty())
        return false;
    for (const auto& setting : configurationSettings()) {
        if (SetKeyValue(setting.key, setting.save(*this)))
            continue;
        std::string message = "ERROR, Please check ";
        message.append(setting.key).append(" in configuration files.");
        messageBox().showError("Error", message);
    }
    // The file then holds exactly the new text, nothing of a longer old one behind it.
    return configFile && configFile->replaceContent(configText.str());
}

} // namespace kelm
