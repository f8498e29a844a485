// The rescue of a damaged booking database: every row that can still be
// read, table by table, into a new database file with the original schema.
// What vexla-transfer recover runs, and what the window offers after a
// check or a job that met a damaged file.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "maintenance/care_from_window.h"
#include "session/job_context.h"

namespace vexla {

// One table of a rescue.
struct RescuedTable {
    std::string table;
    long rescued = 0;
    std::optional<long> known;  // the rows it had, where a count is known
    bool knownFromBackup = false;
    std::optional<long> lost() const {
        return known ? std::optional<long>(*known > rescued ? *known - rescued : 0) : std::nullopt;
    }
};

struct RescueOutcome {
    std::optional<Error> failure;  // described: held, no booking database, target there, disk full, stopped
    std::vector<RescuedTable> tables;
    std::string target;  // the file written
    std::string backup;  // the backup whose counts stand in, "" when none was needed or found
    bool rescued() const { return !failure; }
    bool stopped() const { return failure && failure->number == kStoppedByUser; }
    // The file is held by another program (3356, 3260).
    bool held() const;
};

// Rescues the database file `source` (the database path when empty) into
// the new file `target`, never into `source` itself (3204, as for a file
// already there). The source is opened for examination (db::ExaminedFile):
// read only, and not one byte of it changes. Each table is read by row-id
// ranges stepping past those that fail; the new file has the source's
// tables, indexes, triggers and views, sqlite_sequence, page size,
// user_version and application_id, and is written under a temporary name,
// synced and renamed: never over an existing file unless `replace`. The
// new file must then pass the engine's full check, or it is removed and the
// rescue fails. The rows each table had are known from the source itself
// where a count of it can still be read, else from the newest backup
// (Vexla<yyyy-MM-dd>[-N].db beside the database) that passes the quick
// check. Reports rows as progress; a stop ends it within a second and
// leaves no target. Shows and logs nothing.
RescueOutcome rescueDatabase(JobContext& ctx, const std::string& target, bool replace, const std::string& source = {});

// The outcome as lines in the user's language: per table the rows rescued
// and lost (or that the loss is not known), where the counts came from, and
// the file written; a failure is its number and description.
std::vector<std::string> rescueLines(JobContext& ctx, const RescueOutcome& outcome);

}  // namespace vexla
