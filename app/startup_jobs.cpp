#include "app/startup_jobs.h"

#include "app/frm_admin.h"
#include "app/unattended_job.h"
#include "maintenance/gui/frm_sokvag.h"
#include "maintenance/database_location.h"

namespace vexla {

std::optional<int> MaintenanceStartup::runUnattended(frmAdmin& window, const std::string& commandLine) {
    JobContext ctx = window.jobContext();
    return runUnattendedJob(ctx, parseCommandLine(commandLine, kPathSeparator));
}

std::optional<std::string> MaintenanceStartup::askForDatabasePath(frmAdmin& window) {
    JobContext ctx = window.jobContext();
    return vexla::askForDatabasePath(ctx, window.pathDialog());
}

}  // namespace vexla
