// The copies a long read works on: whole (the pages still in a WAL too),
// taken without keeping the booking system's commits out afterwards, and
// gone when closed.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "db/sqlite_engine.h"
#include "tests/db/db_test_support.h"

namespace vexla::db::testing {
namespace {

struct CopyCase {
    const char* name;
    bool wal;
    bool staging;        // OpenStagingCopy, else OpenSnapshot
    long rowsSeenAfter;  // after the booking system's commit beside the open copy
};

const CopyCase kCopyCases[] = {
    {"RollbackSnapshot", false, false, 5},
    {"RollbackStaging", false, true, 5},
    {"WalSnapshotReadsInPlace", true, false, 6},
    {"WalStagingHoldsTheWal", true, true, 5},
};

long count(Database& db) {
    auto rs = db.OpenRecordset("SELECT x FROM Rader");
    if (!rs) return -1;
    long rows = 0;
    for (; !(*rs)->Eof(); ++rows)
        if (!(*rs)->MoveNext().ok()) return -1;
    return rows;
}

TEST(Snapshot, CopyIsWholeAndLetsTheBookingSystemCommit) {
    for (const CopyCase& c : kCopyCases) {
        SCOPED_TRACE(c.name);
        TempDir dir, scratch;
        const std::string path = dir.file("b.db");
        makeDatabase(path, std::string(c.wal ? "PRAGMA journal_mode = WAL;" : "") +
                               "CREATE TABLE Rader (x); INSERT INTO Rader VALUES (1), (2), (3)");
        // The booking system: open all along, so the last rows stay in the WAL.
        sqlite3* booking = nullptr;
        ASSERT_EQ(sqlite3_open(path.c_str(), &booking), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(booking, "INSERT INTO Rader VALUES (4), (5)", nullptr, nullptr, nullptr), SQLITE_OK);
        const char* tmp = std::getenv("TMPDIR");
        const std::string before = tmp ? tmp : "";
        ::setenv("TMPDIR", scratch.path().c_str(), 1);
        EngineSettings settings;
        SqliteEngine engine{settings};
        auto copy = c.staging ? engine.OpenStagingCopy(path) : engine.OpenSnapshot(path);
        before.empty() ? ::unsetenv("TMPDIR") : ::setenv("TMPDIR", before.c_str(), 1);
        ASSERT_TRUE(copy.ok()) << copy.error().description;
        EXPECT_EQ(count(**copy), 5);
        EXPECT_EQ(sqlite3_exec(booking, "INSERT INTO Rader VALUES (6)", nullptr, nullptr, nullptr), SQLITE_OK);
        EXPECT_EQ(count(**copy), c.rowsSeenAfter);
        EXPECT_TRUE((*copy)->Close().ok());
        EXPECT_TRUE(std::filesystem::is_empty(scratch.path()));
        sqlite3_close(booking);
    }
}

}  // namespace
}  // namespace vexla::db::testing
