// What the fault, concurrency and path tests share. Trials run on tmpfs
// when there is one: the fault decides what the files hold, not the disk.
#pragma once

#include <sys/types.h>

#include <functional>
#include <map>
#include <string>

#include "registers/import.h"
#include "tests/maintenance/job_test_support.h"

namespace vexla::testing {

constexpr uid_t kNobody = 65534;
constexpr gid_t kNogroup = 65534;

// Runs `work` in a child process as `uid` (root stays root; another user
// has the group nogroup only); its exit status, 128 + the signal that killed it.
int runAs(uid_t uid, const std::function<int()>& work);

// The clean demo database (30 customers, 6 resources, 400 bookings, the
// demo logins), made once per process; copy it, never open it in place.
const std::string& demoDatabase();

// Every table's rows by ID, values joined by "|", read with plain SQLite.
using Rows = std::map<long long, std::string>;
using Tables = std::map<std::string, Rows>;
Tables allRows(const std::string& path);
// "" when equal, else a short text naming the first ID that differs.
std::string rowsDiff(const Tables& now, const Tables& expected);

// "" when the engine opens the file (rolling back a left journal) and it passes the integrity check.
std::string openAndCheck(const std::string& path);

// The import as vexla-transfer runs it with "--map auto" (`progress` may
// stop it), and its stop message; with `report`, its skipped lines go to a
// report at report->path through report->files, whose ending is `reported`.
struct ReportTo {
    FileSystem& files;
    std::string path;
};
struct ImportRun {
    ImportOutcome outcome;
    std::string message;
    Status reported;
};
ImportRun runImport(db::Database& db, const std::string& registerName, const std::string& filePath, bool deleteFirst,
                    JobProgress* progress = nullptr, const ReportTo* report = nullptr);

// A failing disk under SQLite (faulty_vfs.cpp): from the first call on,
// `hook` is asked before each opening, read, write, sync, truncation and
// deletion SQLite makes; 0 runs the call, another value is SQLite's answer instead.
// An answer with kAfterTheCall added runs the call and then answers the
// rest, as a disk that did the work and then reported a failure (a
// deletion whose folder's sync failed).
enum class IoOp { Read, Write, Sync, Truncate, Delete, Open };
constexpr int kAfterTheCall = 1 << 30;
const char* ioOpName(IoOp op);

void onSqliteCall(std::function<int(IoOp)> hook);

}  // namespace vexla::testing
