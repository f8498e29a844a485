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

// "" when the engine opens the file (exclusively: a journal a failure or a
// kill left is rolled back) and it passes the full integrity check.
std::string openAndCheck(const std::string& path);

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

}  // namespace vexla::testing
