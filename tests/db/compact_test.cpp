// CompactDatabase: a compacted copy that is the same database, an existing
// destination never touched, and the source's refusals passed on.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>
#include <tuple>

#include "db/errors.h"
#include "db/sqlite_engine.h"
#include "tests/db/db_test_support.h"

namespace vexla::db {
namespace {

using testing::TempDir;

class Compact : public ::testing::Test {
protected:
    void SetUp() override {
        source = dir.file("Vexlaol.db");
        target = dir.file("Vexla.db");
        std::string sql = std::string("PRAGMA page_size = 8192;") + testing::kBookingSchema;
        sql +=
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 3000) "
            "INSERT INTO Bokning (ID, KundID, StartTid, Anteckning) "
            "SELECT i, i % 50, '2026-01-01 08:00:00', printf('%0500d', i) FROM n;"
            "DELETE FROM Bokning WHERE ID % 3 = 0;";
        testing::makeDatabase(source, sql);
    }
    TempDir dir;
    std::string source, target;
    SqliteEngine engine;
};

// Only the free space goes: nothing is added (no table of our own), and
// user_version, application_id, page size and journal mode stay.
TEST_F(Compact, WritesASmallerCopyThatIsTheSameDatabase) {
    for (const std::string mode : {"DELETE", "WAL"}) {
        SCOPED_TRACE(mode);
        const std::string src = dir.file(mode + ".db"), dst = dir.file(mode + ".compacted.db");
        std::filesystem::copy_file(source, src);
        testing::makeDatabase(
            src, "PRAGMA journal_mode = " + mode + "; PRAGMA user_version = 7; PRAGMA application_id = 1447389249;");
        const Status s = engine.CompactDatabase(src, dst);
        ASSERT_TRUE(s.ok()) << s.error().description;
        EXPECT_FALSE(testing::fileExists(dst + "-wal") || testing::fileExists(src + ".lock"));
        EXPECT_LT(testing::fileSize(dst), testing::fileSize(src));
        EXPECT_EQ(testing::dumpOf(dst), testing::dumpOf(src));
        EXPECT_NE(testing::dumpOf(dst).find("journal_mode=" + std::string(mode == "WAL" ? "wal" : "delete")),
                  std::string::npos);
        EXPECT_EQ(testing::queryWithSqlite(dst, "SELECT * FROM pragma_integrity_check"),
                  std::vector<std::string>{"ok"});
    }
}

// The write-back puts the compacted content into the held file itself in
// one transaction, keeping its journal mode; a stop before it commits, a
// failure of what runs alongside (the job's check of the result, here
// reading the result through a connection of its own), or a commit of
// another connection since the result was built (3197), leaves the file as
// it was. The database is one step of pages: the step that commits is the
// first one.
TEST_F(Compact, WriteInReplacesTheContentWhollyOrNotAtAll) {
    enum class Ending { Written, Stopped, AlongsideFails, AlongsideReads, ChangedMeanwhile };
    for (const std::string mode : {"DELETE", "WAL"})
        for (const Ending ending : {Ending::Written, Ending::Stopped, Ending::AlongsideFails, Ending::AlongsideReads,
                                    Ending::ChangedMeanwhile}) {
            SCOPED_TRACE(mode + std::to_string(static_cast<int>(ending)));
            const std::string db = dir.file(mode + std::to_string(static_cast<int>(ending)) + ".db");
            const std::string compacted = db + ".compacted";
            std::filesystem::copy_file(source, db);
            testing::makeDatabase(db, "PRAGMA journal_mode = " + mode);
            ASSERT_TRUE(engine.CompactDatabase(db, compacted).ok());
            const auto freePages = [&] { return testing::queryWithSqlite(db, "PRAGMA freelist_count").at(0); };
            auto held = engine.OpenDatabase(db, true).value();
            auto holder = engine.OpenDatabase(db, false).value();
            const long long builtAt = holder->DataVersion().value();
            // A booking saved after the result was built, before the writers were held off.
            if (ending == Ending::ChangedMeanwhile)
                testing::makeDatabase(db, "INSERT INTO Bokning (ID, KundID, StartTid) VALUES (9999, 1, '2026-02-01')");
            const std::string dump = testing::dumpOf(db);
            const std::string freeBefore = freePages();
            ASSERT_TRUE(holder->HoldWriters().ok());
            auto result = engine.OpenDatabase(compacted, false).value();
            held->InterruptWhen([&] { return ending == Ending::Stopped; });
            std::function<Status()> alongside;
            // It fails after the pages are written: the commit must wait for it.
            if (ending == Ending::AlongsideFails)
                alongside = [] {
                    std::this_thread::sleep_for(std::chrono::milliseconds(50));
                    return Status(notEnoughSpace());
                };
            if (ending == Ending::AlongsideReads)
                alongside = [&] { return engine.OpenDatabase(compacted, false).value()->QuickCheck(); };
            const Status s = held->WriteInFrom(*result, *holder, builtAt, 0.5, alongside);
            const bool written = ending == Ending::Written || ending == Ending::AlongsideReads;
            EXPECT_EQ(s.ok(), written);
            if (ending == Ending::AlongsideFails) {
                EXPECT_EQ(s.error().number, notEnoughSpace().number);
            }
            if (ending == Ending::ChangedMeanwhile) {
                EXPECT_EQ(s.error().number, err::ContentChanged);
            }
            EXPECT_TRUE(held->Close() && result->Close() && holder->Close());
            EXPECT_EQ(testing::dumpOf(db), dump);
            EXPECT_EQ(freePages(), written ? "0" : freeBefore);
        }
}

// The quick check runs as one step of the engine, which never asks the
// progress handler: a stop still ends it within a small part of its time.
TEST_F(Compact, AStopEndsTheChecksAtOnce) {
    const std::string big = dir.file("big.db");
    testing::makeDatabase(big,
                          "CREATE TABLE t (x); WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
                          "WHERE i < 80000) INSERT INTO t SELECT randomblob(2000) FROM n; CREATE INDEX ti ON t (x);");
    auto held = engine.OpenDatabase(big, true).value();
    const auto timed = [&](bool stop) {
        held->InterruptWhen([stop] { return stop; });
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(held->QuickCheck().ok(), !stop);
        return std::chrono::steady_clock::now() - start;
    };
    const auto whole = timed(false);
    // The best of three: on a busy machine one stop may wait for a core.
    // A stop is seen within the watcher's 25 ms; the whole check takes
    // some 200 ms here, and never stopping would take all of it.
    const auto stopped = std::min({timed(true), timed(true), timed(true)});
    EXPECT_LT(stopped * 2, whole) << "stopped after " << stopped.count() / 1000000 << " ms of "
                                  << whole.count() / 1000000 << " ms";
}

// A refused compaction: the files of the scratch folder that stand in for the
// booking database and the new file.
struct Refusal {
    const char *name, *src, *dst;  // src nullptr: the booking database; dst nullptr: a new file
    const char* written;           // bytes put in the destination (or in an other source) first
    long number;
};

void PrintTo(const Refusal& r, std::ostream* os) { *os << r.name; }

class CompactRefuses : public Compact, public ::testing::WithParamInterface<Refusal> {};

TEST_P(CompactRefuses, WithTheEngineNumberLeavingBothFilesAlone) {
    const Refusal& r = GetParam();
    const std::string src = r.src ? dir.file(r.src) : source, dst = r.dst ? dir.file(r.dst) : target;
    if (r.written) testing::writeFile(r.src ? src : dst, r.written);
    const auto sizes = [&] {
        return std::make_tuple(testing::fileSize(src), testing::fileSize(dst),
                               testing::fileExists(dst + ".compacting"));
    };
    const auto before = sizes();
    EXPECT_EQ(engine.CompactDatabase(src, dst).error().number, r.number);
    EXPECT_EQ(sizes(), before);
}

INSTANTIATE_TEST_SUITE_P(Cases, CompactRefuses,
                         ::testing::Values(Refusal{"DestinationExists", nullptr, nullptr, "någon annans fil", 3204},
                                           Refusal{"DestinationFolderMissing", nullptr, "nej/ny.db", nullptr, 3044},
                                           Refusal{"SourceMissing", "borta.db", nullptr, nullptr, 3024},
                                           Refusal{"SourceNoDatabase", "text.db", nullptr, "hej", 3343}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vexla::db
