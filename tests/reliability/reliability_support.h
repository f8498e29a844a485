// What the fault, concurrency and path tests share: a demo database made
// once and copied for every trial, the jobs run as the program runs them,
// and the one check of what the files hold afterwards. Trials run on tmpfs
// (/dev/shm) when there is one: a kill or an injected failure decides what
// the files hold, not the speed of the disk's flushes.
#pragma once

#include <functional>
#include <map>
#include <string>

#include "registers/import.h"
#include "tests/maintenance/job_test_support.h"

namespace vexla::testing {

// The clean demo database (30 customers, 6 resources, 400 bookings, the
// demo logins), made once per process; copy it, never open it in place.
const std::string& demoDatabase();

// The rows of every table by ID, each row's values joined by "|", read
// with plain SQLite as another program would.
using Rows = std::map<long long, std::string>;
using Tables = std::map<std::string, Rows>;
Tables allRows(const std::string& path);
// "" when the two are equal, else the table, the counts and the first ID
// that differs (a short text for a failure message, not thousands of rows).
std::string rowsDiff(const Tables& now, const Tables& expected);

// Opens the file with the engine (exclusively, so a journal left by a
// failure or a kill is rolled back) and runs the full integrity check; an
// empty text when both pass, else what failed.
std::string openAndCheck(const std::string& path);

// A customer register file in Swedish captions (ID, Namn, Adress, Rabatt
// and a memo with a line break), one line per ID from firstId on.
std::string customerFile(long long firstId, int lines);

// The import of a register file as vexla-transfer runs it with "--map
// auto", and its stop message (empty after a complete import) in code texts.
struct ImportRun {
    ImportOutcome outcome;
    std::string message;
};
ImportRun runImport(db::Database& db, const std::string& registerName, const std::string& filePath, bool deleteFirst);

// The maintenance jobs, called from here only: true when the database was
// compacted; when the copy was written (compacted afterwards or not).
bool compactNow(JobContext& ctx);
bool copyNow(JobContext& ctx, const std::string& target);

// A failing disk under SQLite (faulty_vfs.cpp): a VFS wrapped around the
// default one, made the process's default (once). From then on `hook` is
// asked before each read, write, sync, truncation and deletion SQLite makes
// (database, journal, temporary files, a VACUUM INTO target): 0 runs the
// call, any other value is SQLite's answer instead; an empty hook runs all.
enum class IoOp { Read, Write, Sync, Truncate, Delete };
const char* ioOpName(IoOp op);

void onSqliteCall(std::function<int(IoOp)> hook);


// The jobs every fault is tried on. The import (24 new customers) and the
// export (the bookings, over the user's earlier file) run on the shared
// connection as after the login.
enum class JobKind { Import, ImportDeleteFirst, Compaction, Copy, Export };
const char* jobName(JobKind kind);

// What the job said: done, failed (nothing changed), or that it cannot
// tell (an import whose commit could not be confirmed).
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

// The database's rows, and the product's (a database's rows and check, or
// another file's bytes; "" when it is not there).
struct Snapshot {
    Tables db;
    std::string product;
};
Snapshot snapshot(const JobScene& scene);

// The rows against what the job said: the complete result after Done, the
// rows before after Failed, and exactly one of the two in any case.
void expectRowsAsSaid(const Tables& now, Said said, const Snapshot& before, const Snapshot& complete);
// The check after every trial: the database opens and passes its check,
// its rows are as said, and the product is the complete one or, unless the
// job said it was done, the user's earlier one.
void expectBeforeOrComplete(JobScene& scene, Said said, const Snapshot& before, const Snapshot& complete);

}  // namespace vexla::testing
