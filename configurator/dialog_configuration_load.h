#pragma once

#include "shared/kelm_service.h"

namespace kelm {

enum class DialogLoadResult {
    Loaded,     // the file's text and values are in the record
    Template,   // the file was empty (or has just been created): defaults and the template text
    Unreadable, // the file exists but could not be opened or read: defaults, no text to save over it
};

// tallyconf's load at start: the record and its configuration text, without the trace log or the
// host look-up of the service's load.
DialogLoadResult loadDialogConfiguration(CKelmService& record);

} // namespace kelm
