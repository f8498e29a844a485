// The exclusive-use test every maintenance job starts with: can the database
// be opened with nobody else in it?
#pragma once

#include <optional>
#include <string>

#include "db/engine.h"
#include "session/job_context.h"

namespace vexla {

// Opens `path` (the database path when empty) for exclusive use into the
// shared connection and closes it again; the shared connection is empty
// afterwards either way. Answers true when the opening succeeded. On failure
// beeps and reports the engine's reason (3356 in use, 3024 not found, 3343
// not a database, any other with its number and description): in unattended
// mode as one activity-log line, otherwise in a message box. The program's
// own connection is closed first, so it never makes the test fail.
bool TestaExklusiv(JobContext& ctx, const std::string& path);

// The database held by a job that copies or replaces its file: the test's
// exclusive connection, still open, and our fence. While the connection is
// open even a program that knows nothing of the fence (a plain SQLite
// client) cannot open the file; the fence keeps every program that opens
// through our engine out after the connection is closed.
struct ExclusiveHold {
    std::unique_ptr<db::Database> connection;
    db::DatabaseFence fence;
};

// The same test for such a job: on success the database is answered held,
// not closed (the shared connection is empty all the same).
std::optional<ExclusiveHold> testAndHold(JobContext& ctx, const std::string& path);

}  // namespace vexla
