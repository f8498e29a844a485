// What the fault, crash and concurrency tests share: a demo database made
// once and copied for every trial, register files with known lines, the
// import run the way vexla-transfer runs it, and the checks
// of what a database holds afterwards.
//
// Trials run in a scratch folder on tmpfs (/dev/shm) when there is one: a
// killed process or an injected failure decides what the files hold, not
// the speed of the disk's flushes, and a thousand trials stay within
// seconds.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "db/engine.h"
#include "registers/import.h"
#include "tests/support/fake_platform.h"

namespace vexla::testing {

// The demo database (30 customers, 6 resources, 400 bookings, the demo
// logins), made once per process; copy it, never open it in place. The
// clean one holds only what a register file carries back unchanged.
const std::string& demoDatabase(bool clean = false);
// Copies `from` (the clean demo database when empty) to path, replacing what is
// there, and removes the journal and lock files of an earlier trial beside it.
void freshCopy(const std::string& path, const std::string& from = {});

// The rows of a table by ID, each row's values joined by "|" (NULL for
// null), read with plain SQLite as another program would.
using Rows = std::map<long long, std::string>;
Rows tableRows(const std::string& path, const std::string& table);
// "" when the two are equal, else the counts and the first ID that differs
// (a short text for a failure message, not thousands of rows).
std::string rowsDiff(const Rows& now, const Rows& expected);
// The rows whose ID is -1 or lower: the customers a "delete first" spares.
Rows placeholders(const Rows& rows);

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
// stop message (empty after a complete import) in code texts. `cancelled`
// is asked before every line.
struct ImportRun {
    ImportOutcome outcome;
    std::string message;
};
ImportRun runImport(db::Database& db, const std::string& registerName, const std::string& filePath, bool deleteFirst,
                    std::function<bool()> cancelled = {});

// Writes the table behind a register as a register file, with the program's
// own writer (Swedish captions, ISO dates, "," as the decimal separator).
void writeRegister(const std::string& dbPath, const std::string& registerName, const std::string& filePath);

// Error numbers of the engine for SQLite's codes, as the messages show them.
std::string engineErrorHead(int sqliteCode);

// Sleeps for d (nothing for a zero or negative d), finishing the sleep a
// signal cut short.
void sleepFor(std::chrono::steady_clock::duration d);

}  // namespace vexla::testing
