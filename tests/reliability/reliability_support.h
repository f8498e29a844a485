// What the fault, crash and concurrency tests share: a demo database made
// once and copied for every trial, the jobs run the way the program runs
// them, and the one check of what the files hold afterwards.
//
// Trials run in a scratch folder on tmpfs (/dev/shm) when there is one: a
// killed process or an injected failure decides what the files hold, not
// the speed of the disk's flushes, and a thousand trials stay within
// seconds.
#pragma once

#include <chrono>
#include <map>
#include <string>

#include "db/engine.h"
#include "registers/import.h"
#include "tests/maintenance/job_test_support.h"

namespace vexla::testing {

// The clean demo database (30 customers, 6 resources, 400 bookings, the
// demo logins, only what a register file carries back unchanged), made once
// per process; copy it, never open it in place.
const std::string& demoDatabase();

// The rows of a table by ID, each row's values joined by "|" (NULL for
// null), read with plain SQLite as another program would.
using Rows = std::map<long long, std::string>;
Rows tableRows(const std::string& path, const std::string& table);
// The rows of every table a job may touch, by table.
using Tables = std::map<std::string, Rows>;
Tables allRows(const std::string& path);
// "" when the two are equal, else the table, the counts and the first ID
// that differs (a short text for a failure message, not thousands of rows).
std::string rowsDiff(const Tables& now, const Tables& expected);

// Opens the file with the engine (exclusively, so a journal left by a
// failure or a kill is rolled back) and runs the full integrity check; an
// empty text when both pass, else what failed.
std::string openAndCheck(const std::string& path);

// A customer register file in Swedish captions, fields ID, Namn, Adress,
// Rabatt and Anteckningar (a memo with a line break), one line per ID from
// firstId on.
std::string customerFile(long long firstId, int lines);

// The import of a register file as vexla-transfer runs it with "--map auto":
// every file field linked by the automatic linking, the outcome and its
// stop message (empty after a complete import) in code texts.
struct ImportRun {
    ImportOutcome outcome;
    std::string message;
};
ImportRun runImport(db::Database& db, const std::string& registerName, const std::string& filePath, bool deleteFirst);

// The maintenance jobs, called here only: true when the database was
// compacted, and when the copy was written (whether or not the compaction
// after it succeeded).
bool compactNow(JobContext& ctx);
bool copyNow(JobContext& ctx, const std::string& target);

// The jobs every fault is tried on. The import and the export run on the
// shared connection as after the login; the import brings 24 new customers,
// the export replaces the user's earlier bookings file.
enum class JobKind { Import, ImportDeleteFirst, Compaction, Copy, Export };
const char* jobName(JobKind kind);

// What the job said of itself: done, failed (nothing changed), or that it
// cannot tell (an import whose commit could not be confirmed).
enum class Said { Done, Failed, Unsure };

// One trial's world: a copy of the demo database in a scratch folder, the
// scripted platform, and what the job needs beside the database.
struct JobScene : JobWorld {
    explicit JobScene(JobKind kind);
    JobKind kind;
    std::string product;  // the file the job writes beside the database, or ""
    std::string message;  // what an import or export said when it stopped
    Said run();
};

// What a job's files hold: the database's rows, and the product's (a
// database's rows, another file's bytes, "" when it is not there).
struct Snapshot {
    Tables db;
    std::string product;
};
Snapshot snapshot(const JobScene& scene);

// The database's rows against what the job said: the complete result after
// Done, the rows before after Failed, and one of the two in any case.
void expectRowsAsSaid(const Tables& now, Said said, const Tables& before, const Tables& complete);

// The check after every trial: the database opens and passes its check and
// holds exactly the rows it had before or exactly the job's complete
// result, as the job said; the product is the file the user had before or
// the complete one. Failures are reported through gtest.
void expectBeforeOrComplete(JobScene& scene, Said said, const Snapshot& before, const Snapshot& complete);

// Sleeps for d (nothing for a zero or negative d), finishing the sleep a
// signal cut short.
void sleepFor(std::chrono::steady_clock::duration d);

}  // namespace vexla::testing
