// Exclusive opening against real second processes: a sqlite3 shell inside a
// transaction, vexla-holddb holding the database, and vexla-holddb --fence
// holding only our lock. Each keeps us out with 3356; once it lets go, we
// get in. And while we hold the file, nobody else reads it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "db/errors.h"
#include "db/sqlite_engine.h"
#include "tests/db/db_test_support.h"

namespace vexla::db {
namespace {

using testing::Child;
using testing::TempDir;

// A second process holding the database: a sqlite3 shell inside a
// transaction, or vexla-holddb (with --fence: only our lock). Our tools lock
// beside the file; the shell does not.
struct Holder {
    const char* name;
    const char* transaction;  // the shell's; nullptr: vexla-holddb
    bool fence;
};

void PrintTo(const Holder& h, std::ostream* os) { *os << h.name; }

// Starts program with args and waits for its line saying it holds.
std::unique_ptr<Child> started(const std::string& program, const std::vector<std::string>& args, const char* line,
                               const std::string& input = "") {
    auto child = std::make_unique<Child>(program, args);
    child->write(input);
    return child->waitForLine(line) ? std::move(child) : nullptr;
}
std::unique_ptr<Child> holddb(const std::vector<std::string>& args) {
    return started(testing::programDir() + "/vexla-holddb", args, "holding");
}
std::unique_ptr<Child> shellIn(const std::string& path, const std::string& transaction) {
    return started(testing::findOnPath("sqlite3"), {path}, "ready", transaction + "\n.system echo ready\n");
}

// Whether vexla-holddb with args gets to hold within ms.
bool holddbHolds(const std::vector<std::string>& args, int ms = 1500) {
    return Child(testing::programDir() + "/vexla-holddb", args).waitForLine("holding", ms);
}
// Whether the sqlite3 shell finds the file locked when it reads it.
bool shellFindsLocked(const std::string& path) {
    return Child("/bin/sh", {"-c", "sqlite3 '" + path + "' 'SELECT 42 FROM Kund;' 2>&1 | grep -c locked"})
        .waitForLine("1");
}

class HeldByAnotherProcess : public ::testing::TestWithParam<Holder> {};

TEST_P(HeldByAnotherProcess, RefusesWith3356UntilReleased) {
    const Holder& h = GetParam();
    if (h.transaction && testing::findOnPath("sqlite3").empty()) GTEST_SKIP() << "no sqlite3 shell";
    TempDir dir;
    const std::string path = dir.file("held.db");
    testing::makeDatabase(path, testing::kBookingSchema);
    SqliteEngine engine;

    auto holder = h.transaction ? shellIn(path, h.transaction) : h.fence ? holddb({"--fence", path}) : holddb({path});
    ASSERT_TRUE(holder);
    auto refused = engine.OpenDatabase(path, true);
    ASSERT_FALSE(refused.ok());
    EXPECT_EQ(refused.error().number, 3356);
    EXPECT_NE(refused.error().description.find("on machine '" + localHostName() + "'"), std::string::npos)
        << refused.error().description;
    // The refused attempt leaves the holder's lock file alone (or makes none).
    EXPECT_EQ(testing::fileExists(path + ".lock"), !h.transaction);

    holder->stop();
    auto opened = engine.OpenDatabase(path, true);
    ASSERT_TRUE(opened.ok()) << opened.error().description;
    EXPECT_TRUE((*opened)->Close().ok());
}

INSTANTIATE_TEST_SUITE_P(Holders, HeldByAnotherProcess,
                         ::testing::Values(Holder{"SqliteShellExclusive", "BEGIN EXCLUSIVE;", false},
                                           Holder{"SqliteShellReading", "BEGIN; SELECT count(*) FROM Kund;", false},
                                           Holder{"Holddb", nullptr, false}, Holder{"HolddbFence", nullptr, true}),
                         [](const auto& info) { return std::string(info.param.name); });

class Held : public ::testing::Test {
protected:
    void SetUp() override {
        path = dir.file("booking.db");
        testing::makeDatabase(path, testing::kBookingSchema);
    }
    TempDir dir;
    std::string path;
    SqliteEngine engine;
};

TEST_F(Held, OtherProgramsCannotReadOrOpenWhileWeHoldIt) {
    if (testing::findOnPath("sqlite3").empty()) GTEST_SKIP() << "no sqlite3 shell";
    testing::makeDatabase(dir.file("wal.db"), "PRAGMA journal_mode = WAL; CREATE TABLE Kund (ID INTEGER);");
    {
        auto wal = engine.OpenDatabase(dir.file("wal.db"), true);
        ASSERT_TRUE(wal.ok()) << wal.error().description;
        EXPECT_TRUE(shellFindsLocked(dir.file("wal.db"))) << "a WAL database is held as well";
    }
    auto db = engine.OpenDatabase(path, true);
    ASSERT_TRUE(db.ok());
    EXPECT_TRUE(shellFindsLocked(path));
    Child second(testing::programDir() + "/vexla-holddb", {path});
    EXPECT_FALSE(second.waitForLine("holding", 1500));
    EXPECT_EQ(second.stop() >> 8, 1);

    ASSERT_TRUE((*db)->Close().ok());
    EXPECT_EQ(testing::queryWithSqlite(path, "SELECT count(*) FROM Kund"), std::vector<std::string>{"1"});
    EXPECT_FALSE(testing::fileExists(path + ".lock"));
}

// Non-exclusive openings share the file and lock nothing; a second exclusive
// one is refused.
TEST_F(Held, ASecondOpeningInTheSameProgramIsRefused) {
    {
        auto a = engine.OpenDatabase(path, false);
        auto b = engine.OpenDatabase(path, false);
        ASSERT_TRUE(a.ok() && b.ok());
        EXPECT_FALSE(testing::fileExists(path + ".lock"));
        EXPECT_TRUE(engine.OpenDatabase(path, true).ok()) << "idle readers hold no lock";
    }
    auto first = engine.OpenDatabase(path, true);
    ASSERT_TRUE(first.ok());
    auto second = engine.OpenDatabase(path, true);
    ASSERT_FALSE(second.ok());
    EXPECT_EQ(second.error().number, 3356);
    // The refusal did not disturb the first connection or its lock.
    EXPECT_TRUE((*first)->Execute("DELETE FROM Users WHERE GruppID = 2").ok());
    EXPECT_TRUE(testing::fileExists(path + ".lock"));
    ASSERT_TRUE((*first)->Close().ok());
    EXPECT_TRUE(engine.OpenDatabase(path, true).ok());
}

TEST_F(Held, OurFenceLetsUsInAndKeepsOthersOutWhileTheFileIsReplaced) {
    auto fenced = engine.FenceDatabase(path);
    ASSERT_TRUE(fenced.ok());
    auto db = engine.OpenDatabase(path, true);
    ASSERT_TRUE(db.ok()) << db.error().description;
    ASSERT_TRUE((*db)->Close().ok());

    // The database file goes away and comes back; the fence holds throughout.
    ASSERT_EQ(::unlink(path.c_str()), 0);
    EXPECT_FALSE(holddbHolds({"--fence", path}));
    testing::makeDatabase(path, testing::kBookingSchema);
    EXPECT_TRUE(engine.OpenDatabase(path, true).ok());

    fenced->release();
    EXPECT_FALSE(testing::fileExists(path + ".lock"));
    EXPECT_TRUE(holddbHolds({"--fence", path}, 10000));
}

TEST_F(Held, ClosingAnotherDescriptorOfTheLockFileKeepsTheLock) {
    auto db = engine.OpenDatabase(path, true);
    ASSERT_TRUE(db.ok());
    // A classic POSIX record lock would be dropped by this close().
    const int fd = ::open((path + ".lock").c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    ::close(fd);
    EXPECT_FALSE(holddbHolds({"--fence", path}));
}

}  // namespace
}  // namespace vexla::db
