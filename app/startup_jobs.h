// The start-up's two hand-overs as the program runs them: /a runs the
// unattended compaction, and a missing database path is asked for with the
// path dialog.
#pragma once

#include "app/startup_hooks.h"

namespace vexla {

class MaintenanceStartup final : public StartupHooks {
public:
    std::optional<int> runUnattended(frmAdmin& window, const std::string& commandLine) override;
    std::optional<std::string> askForDatabasePath(frmAdmin& window) override;
};

}  // namespace vexla
