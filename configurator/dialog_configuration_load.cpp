#include "configurator/dialog_configuration_load.h"

#include "shared/config_template.h"

namespace kelm {

DialogLoadResult loadDialogConfiguration(CKelmService& record)
{
    const bool opened = record.OpenConfigurationFile();
    const auto size = opened ? record.configFile->size() : std::nullopt;
    const bool empty = size && *size == 0;
    const bool read = size && !empty && record.ReadConfigurationFile();
    record.CloseConfigurationFile();

    if (empty) {
        record.SetDefaults();
        record.configText.assign(configurationTemplate());
        return DialogLoadResult::Template;
    }
    if (!read) {
        record.SetDefaults();
        record.configText.assign("");
        return DialogLoadResult::Unreadable;
    }
    record.ReadConfiguration();
    return DialogLoadResult::Loaded;
}

} // namespace kelm
