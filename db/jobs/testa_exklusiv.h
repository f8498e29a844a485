// The exclusive-use test every maintenance job starts with: can the database
// be opened with nobody else in it?
#pragma once

#include <optional>
#include <string>

#include "db/engine.h"
#include "db/jobs/job_context.h"

namespace vexla {

// Opens `path` (the database path when empty) for exclusive use into the
// shared connection and closes it again; the shared connection is empty
// afterwards either way. Answers true when the opening succeeded. On failure
// beeps and reports the engine's reason (3356 in use, 3024 not found, 3343
// not a database, any other with its number and description): in unattended
// mode as one activity-log line, otherwise in a message box. The program's
// own connection is closed first, so it never makes the test fail.
bool TestaExklusiv(JobContext& ctx, const std::string& path);

// The same test for a job that goes on to replace the database file: on
// success the path stays fenced against every other process (our lock
// without a connection) until the answered fence is released, so nobody can
// open the database between the test and the end of the job.
std::optional<db::DatabaseFence> testExclusiveAndFence(JobContext& ctx, const std::string& path);

}  // namespace vexla
