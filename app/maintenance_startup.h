// The start-up's hand-over as the program runs it: a missing database path
// is asked for with the path dialog.
#pragma once

#include "app/startup_hooks.h"

namespace vexla {

class MaintenanceStartup final : public StartupHooks {
public:
    std::optional<std::string> askForDatabasePath(frmAdmin& window) override;
};

}  // namespace vexla
