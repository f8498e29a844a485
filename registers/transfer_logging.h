// The activity log's line of each register transfer, from an export's or an
// import's outcome (session/transfer_log.h words the line). The export logs
// itself; both front ends log an import right after it ran, whatever its end,
// and vexla-transfer an import it gave up before the first line.
#pragma once

#include <cstdint>
#include <string>

#include "registers/export_register.h"
#include "registers/import.h"
#include "session/job_context.h"

namespace vexla {

// Logs an import of request.path into its register: the counts stored,
// deleted first and skipped (none after a stop), and the stop's message, or
// done. A dry run is logged as a trial.
void logImport(JobContext& ctx, const ImportRequest& request, const ImportOutcome& outcome);

// Logs an import into `registerName` from `path` that ended before it read
// a line (a file that is no register file, a database that could not be
// had, links that fit nothing): nothing stored, `why` as its ending.
void logRefusedImport(JobContext& ctx, const std::string& registerName, const std::string& path, bool dryRun,
                      const std::string& why);

// Logs an export of register `kind` to `path`: the records written and the
// failure, the stop or done.
void logExport(JobContext& ctx, std::int16_t kind, const std::string& path, const ExportOutcome& outcome);

}  // namespace vexla
