// Helpers for the engine tests: a scratch folder, databases made with the
// plain SQLite API (as another program would make them), and a second
// process to hold a lock.
#pragma once

#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

#include "db/engine.h"
#include "tests/support/fake_platform.h"

namespace vexla::db::testing {

using TempDir = vexla::testing::TempFolder;

// Creates a database file by running sql (several statements) with sqlite3.
void makeDatabase(const std::string& path, const std::string& sql);
void writeFile(const std::string& path, const std::string& bytes);
bool fileExists(const std::string& path);
long fileSize(const std::string& path);
// Runs one query on the file with the sqlite3 library, the way another
// program would; returns the first column of every row, or "ERROR: <message>".
std::vector<std::string> queryWithSqlite(const std::string& path, const std::string& sql);

// What makes a database the database it is, read with the sqlite3 library:
// user_version, application_id, page size, journal mode, the schema and
// every row of every table (in rowid order), one line each. Two files with
// the same dump hold the same database, whatever their free space.
std::string dumpOf(const std::string& path);

extern const char* const kBookingSchema;

// A program started with pipes on its standard input and output.
class Child {
public:
    Child(const std::string& program, const std::vector<std::string>& args);
    ~Child();  // stops the child if it still runs
    // Waits (up to timeoutMs) for a line on its standard output that contains text.
    bool waitForLine(const std::string& text, int timeoutMs = 10000);
    void write(const std::string& text);
    // Sends SIGTERM and waits; the exit status.
    int stop();
    pid_t pid() const { return pid_; }

private:
    pid_t pid_ = -1;
    int in_ = -1, out_ = -1;
    std::string buffered_;
};

// The folder of our programs (vexla-holddb, vexla-sampledb).
std::string programDir();
// Path of an executable on PATH, or empty.
std::string findOnPath(const std::string& name);
// Whether another program gets the database for exclusive use right now, as
// vexla-holddb tries it: nobody (this process included) holds a connection,
// a lock or our fence on it.
bool anotherProgramGetsIt(const std::string& path);

}  // namespace vexla::db::testing
