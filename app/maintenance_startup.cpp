#include "app/maintenance_startup.h"

#include "app/frm_admin.h"
#include "maintenance/database_location.h"
#include "maintenance/gui/frm_sokvag.h"

namespace vexla {

std::optional<std::string> MaintenanceStartup::askForDatabasePath(frmAdmin& window) {
    JobContext ctx = window.jobContext();
    return vexla::askForDatabasePath(ctx, window.pathDialog());
}

}  // namespace vexla
