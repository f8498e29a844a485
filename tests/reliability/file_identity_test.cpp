// The compaction and the restore of a backup keep the database file the
// user named: through a link, under each of its names, with its owner,
// group, mode and attributes, for a program that keeps it open; the
// compaction changes nothing but its free space, the restore its content.
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <tuple>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include "db/errors.h"
#include "maintenance/compaction.h"
#include "maintenance/restore.h"
#include "tests/db/db_test_support.h"
#include "tests/reliability/reliability_support.h"

namespace vexla {
namespace {

using namespace testing;
using db::testing::dumpOf;
using db::testing::queryWithSqlite;
namespace fs = std::filesystem;

constexpr gid_t kOtherGroup = 4242;

enum class Setup { Plain, Wal, Symlink, NonMemberGroup, HardLink, Xattr, IdleConnection, NotWritable };

struct IdentityCase {
    const char* name;
    Setup setup;
    bool restore = false;  // the restore of a backup instead of the compaction
};

void PrintTo(const IdentityCase& c, std::ostream* os) { *os << (c.restore ? "Restore" : "") << c.name; }

// A process that opened the database with plain SQLite and read a row, then
// waits with its connection open and idle until told to add a row.
struct IdleReader {
    pid_t pid = -1;
    int go = -1;
    explicit IdleReader(const std::string& path) {
        int pipes[2], ready[2];
        if (::pipe(pipes) != 0 || ::pipe(ready) != 0) return;
        pid = ::fork();
        if (pid == 0) {
            sqlite3* db = nullptr;
            char byte = 0;
            int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
            if (rc == SQLITE_OK) rc = sqlite3_exec(db, "SELECT * FROM Kund LIMIT 1", nullptr, nullptr, nullptr);
            (void)!::write(ready[1], "r", 1);
            if (rc == SQLITE_OK && ::read(pipes[0], &byte, 1) == 1)
                rc = sqlite3_exec(db,
                                  "CREATE TEMP TABLE t AS SELECT * FROM Kund LIMIT 1; UPDATE t SET ID = 99999;"
                                  "INSERT INTO Kund SELECT * FROM t",
                                  nullptr, nullptr, nullptr);
            ::_exit(rc == SQLITE_OK && sqlite3_close(db) == SQLITE_OK ? 0 : 1);
        }
        char byte = 0;
        (void)!::read(ready[0], &byte, 1);
        go = pipes[1];
    }
    // Lets it write its row; its exit status.
    int insert() {
        (void)!::write(go, "i", 1);
        return end();
    }
    int end() {
        if (go >= 0) ::close(go);
        go = -1;
        int status = 0;
        if (pid > 0 && ::waitpid(pid, &status, 0) == pid) pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
    }
    ~IdleReader() { (void)end(); }
};

class DatabaseIdentity : public ::testing::TestWithParam<IdentityCase> {};

TEST_P(DatabaseIdentity, TheNamedFileIsCompactedAndStaysTheSameFile) {
    const IdentityCase& c = GetParam();
    if (::geteuid() != 0) GTEST_SKIP() << "needs root: files are given to other users";
    JobWorld w(demoDatabase());
    // Free pages for the compaction to take away; the schema is as before.
    db::testing::makeDatabase(w.db,
                              "CREATE TABLE Fyllning (x); WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 "
                              "FROM n WHERE i < 200) INSERT INTO Fyllning SELECT randomblob(3000) FROM n;"
                              "DROP TABLE Fyllning;");
    std::string real = w.db;
    const std::string otherName = w.dir.file("bokning.db");
    std::unique_ptr<IdleReader> reader;
    switch (c.setup) {
        case Setup::Plain: break;
        case Setup::Wal: db::testing::makeDatabase(w.db, "PRAGMA journal_mode = WAL"); break;
        case Setup::Symlink:
            real = w.dir.file("data/bok.db");
            fs::create_directory(w.dir.file("data"));
            fs::rename(w.db, real);
            fs::create_symlink(real, w.db);
            break;
        case Setup::NonMemberGroup:
        case Setup::NotWritable:
            ::chmod(w.dir.path().c_str(), 0777);
            ASSERT_EQ(::chown(w.db.c_str(), c.setup == Setup::NotWritable ? 0 : kNobody, kOtherGroup), 0);
            ::chmod(w.db.c_str(), 0664);
            break;
        case Setup::HardLink: fs::create_hard_link(w.db, otherName); break;
        case Setup::Xattr:
            if (::setxattr(w.db.c_str(), "user.vexla", "kept", 4, 0) != 0)
                GTEST_SKIP() << "no extended attributes here: " << std::strerror(errno);
            break;
        case Setup::IdleConnection: reader = std::make_unique<IdleReader>(w.db); break;
    }
    const std::string dump = dumpOf(real);
    ASSERT_NE(queryWithSqlite(real, "PRAGMA freelist_count"), std::vector<std::string>{"0"});
    // The backup a restore puts back: fewer bookings than the database.
    const std::string from = w.dir.file("Vexla2026-12-03.db");
    std::string restored;
    if (c.restore) {
        fs::copy_file(real, from);
        db::testing::makeDatabase(from, "DELETE FROM Bokning WHERE ID % 2 = 0");
        restored = dumpOf(from);
    }
    struct stat before {};
    ASSERT_EQ(::stat(real.c_str(), &before), 0);

    // A copy that lost the group says so; a file the job may not write is
    // refused as read only.
    const std::string backup = w.dir.file(backupName(w.fakes.clock.time));
    const bool refused = c.setup == Setup::NotWritable;
    const auto compactAndTell = [&] {
        std::optional<Error> failure;
        if (c.restore)
            failure = restoreBackup(w.ctx, from).failure;
        else
            failure = compactDatabase(w.ctx).failure;
        if (refused) return failure && failure->number == db::err::ReadOnly ? 0 : 4;
        if (failure) return 1;
        const auto& log = w.window.logged;
        const auto logged = [&](const std::string& line) { return std::count(log.begin(), log.end(), line) == 1; };
        if ((c.setup == Setup::NonMemberGroup) != logged("R9309: " + backup)) return 3;
        return 0;
    };
    const bool nobody = c.setup == Setup::NonMemberGroup || refused;
    const int told = nobody ? runAs(kNobody, compactAndTell) : compactAndTell();
    ASSERT_NE(told, 1);
    EXPECT_EQ(told, 0) << ::testing::PrintToString(w.window.logged);

    struct stat after {};
    ASSERT_EQ(::stat(real.c_str(), &after), 0);
    EXPECT_EQ(std::make_tuple(after.st_uid, after.st_gid, after.st_mode, after.st_nlink),
              std::make_tuple(before.st_uid, before.st_gid, before.st_mode, before.st_nlink));
    EXPECT_EQ(dumpOf(real), c.restore && !refused ? restored : dump);
    EXPECT_EQ(after.st_ino, before.st_ino);
    if (refused) {
        EXPECT_FALSE(fs::exists(backup));
        return;
    }
    if (c.restore)
        EXPECT_EQ(dumpOf(backup), dump) << "the replaced state is kept";
    else
        EXPECT_EQ(queryWithSqlite(real, "PRAGMA freelist_count"), std::vector<std::string>{"0"});
    EXPECT_EQ(queryWithSqlite(real, "SELECT * FROM pragma_integrity_check"), std::vector<std::string>{"ok"});
    // The backup is a file of its own.
    struct stat copy {};
    ASSERT_EQ(::stat(backup.c_str(), &copy), 0);
    EXPECT_NE(copy.st_ino, after.st_ino);
    if (c.setup == Setup::NonMemberGroup) {
        EXPECT_EQ(std::make_tuple(copy.st_uid, copy.st_gid, copy.st_mode & 07777),
                  std::make_tuple(kNobody, kNogroup, 0604u));
    }
    if (c.setup == Setup::Symlink) {
        EXPECT_EQ(fs::read_symlink(w.db), real);
    }
    if (c.setup == Setup::HardLink) {
        EXPECT_TRUE(fs::equivalent(otherName, w.db));
    }
    if (c.setup == Setup::Xattr) {
        char value[8] = {};
        EXPECT_EQ(::getxattr(real.c_str(), "user.vexla", value, sizeof value), 4);
        EXPECT_STREQ(value, "kept");
    }
    if (reader) {
        // The program that kept the file open writes into the compacted file.
        EXPECT_EQ(reader->insert(), 0);
        EXPECT_EQ(queryWithSqlite(real, "SELECT count(*) FROM Kund WHERE ID = 99999"), std::vector<std::string>{"1"});
        EXPECT_EQ(openAndCheck(real), "");
    }
}

std::vector<IdentityCase> identityCases() {
    const char* const names[] = {"Plain",    "Wal",   "Symlink",        "NonMemberGroup",
                                 "HardLink", "Xattr", "IdleConnection", "NotWritable"};
    std::vector<IdentityCase> cases;
    for (const bool restore : {false, true})
        for (int s = 0; s <= static_cast<int>(Setup::NotWritable); ++s)
            cases.push_back({names[s], static_cast<Setup>(s), restore});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Cases, DatabaseIdentity, ::testing::ValuesIn(identityCases()), [](const auto& info) {
    return std::string(info.param.restore ? "Restore" : "") + info.param.name;
});

}  // namespace
}  // namespace vexla
