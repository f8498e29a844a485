// The exclusive-use test every maintenance job starts with: can the database
// be opened with nobody else in it?
#pragma once

#include <optional>
#include <string>

#include "common/result.h"
#include "db/engine.h"
#include "session/exclusive_refusal.h"
#include "session/job_context.h"

namespace vexla {

// The database held by a job that copies or replaces its file: the test's
// exclusive connection, still open, and our fence. While the connection is
// open even a program that knows nothing of the fence (a plain SQLite
// client) cannot open the file; the fence keeps every program that opens
// through our engine out after the connection is closed.
struct ExclusiveHold {
    std::unique_ptr<db::Database> connection;
    db::DatabaseFence fence;
};

// Opens `path` (the database path when empty) with our fence, waiting up
// to ctx.waitSeconds while another job of ours holds it. With `hold`
// the database is answered held (connection open, fence taken), otherwise
// the connection is closed again. A refusal answers the engine's error
// (3356 in use, 3024 not found, 3343 not a database, ...), described; nothing
// is shown or logged.
Result<ExclusiveHold> testExclusiveUse(JobContext& ctx, const std::string& path, bool hold);

// The test as the window's jobs run it: tests `path` (the database path when
// empty), reports a refusal, and answers whether the database passed.
bool TestaExklusiv(JobContext& ctx, const std::string& path);

}  // namespace vexla
