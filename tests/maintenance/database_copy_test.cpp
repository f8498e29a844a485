// The copy of the database, whole or limited to an interval of bookings.
#include <algorithm>
#include <filesystem>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <optional>

#include "db/errors.h"
#include "maintenance/compaction.h"
#include "maintenance/database_copy.h"
#include "tests/db/db_test_support.h"
#include "tests/maintenance/job_test_support.h"
#include "tests/maintenance/scripted_dialogs.h"
#include "tools/sample_generator.h"

namespace vexla {
namespace {

using testing::JobWorld;
using testing::ScriptedIntervalDialog;
namespace fs = std::filesystem;

struct World : JobWorld {
    ScriptedIntervalDialog interval;
    void run() { askAndCopyDatabase(ctx, interval); }
};

std::vector<DateTime> startTimes(JobWorld& w, const std::string& path, const char* table) {
    auto database = w.window.engine_.OpenDatabase(path, true).value();
    std::vector<DateTime> times;
    auto rs = database->OpenRecordset(std::string("SELECT StartTid FROM ") + table).value();
    for (; !rs->Eof(); (void)rs->MoveNext()) times.push_back(std::get<DateTime>(rs->value(0).value()));
    rs->Close();
    (void)database->Close();
    std::sort(times.begin(), times.end());
    return times;
}

TEST(WholeCopy, CopiesEveryRowAndCompactsTheDatabase) {
    World w;
    const auto rows = w.rowsIn(w.db);
    w.fakes.messages.answers = {MsgAnswer::No};
    w.fakes.dialogs.choices = {w.dir.file("kopia")};
    w.run();
    EXPECT_EQ(w.rowsIn(w.dir.file("kopia.db")), rows);
    EXPECT_EQ(w.rowsIn(w.db), rows);
    EXPECT_TRUE(fs::exists(w.dir.file(backupName(w.fakes.clock.time))));
    EXPECT_EQ(w.window.infos.back(), "R1752" + w.dir.file("kopia.db"));
    EXPECT_EQ(w.boxTexts(), std::vector<std::string>{"R1742?"});
    ASSERT_EQ(w.fakes.dialogs.asked.size(), 1u);
    EXPECT_EQ(std::tie(w.fakes.dialogs.asked[0].title, w.fakes.dialogs.asked[0].flags), std::tuple("R1746", 0x282806u));
    EXPECT_FALSE(w.fakes.pointer.busy);
}

// A recorded stop: asked for at the first report `when` answers true.
struct StopAt final : JobProgress {
    std::function<bool(std::uint64_t, std::uint64_t, ProgressUnit)> when;
    std::vector<ProgressSnapshot> reports;
    std::optional<std::chrono::steady_clock::time_point> asked;
    int reportsAfter = 0;
    void report(std::uint64_t done, std::uint64_t total, ProgressUnit unit) override {
        reports.push_back({done, total, unit});
        if (asked)
            ++reportsAfter;
        else if (when && when(done, total, unit))
            asked = std::chrono::steady_clock::now();
    }
    bool stopRequested() const override { return asked.has_value(); }
};

// The interval copy holds what the old method left (the whole file, the
// bookings before and after the interval deleted): bookings starting
// exactly at either end included, settings (the journal mode among them),
// schema, views and triggers, the AUTOINCREMENT counters. The database
// keeps every row; the progress counts the rows written up to all of them.
TEST(IntervalCopy, HoldsWhatTheWholeCopyLessTheBookingsOutsideHolds) {
    World w;
    {
        sqlite3* raw = nullptr;
        ASSERT_EQ(sqlite3_open(w.db.c_str(), &raw), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(raw,
                               "PRAGMA user_version = 7; PRAGMA application_id = 4711; PRAGMA journal_mode = WAL; "
                               "CREATE TABLE Logg (ID INTEGER PRIMARY KEY AUTOINCREMENT, Text); "
                               "INSERT INTO Logg (Text) VALUES ('a'), ('b'); DELETE FROM Logg WHERE Text = 'b'; "
                               "CREATE VIEW Dagens AS SELECT ID FROM Bokning WHERE Status = 1; "
                               "CREATE TRIGGER Loggad AFTER UPDATE ON Bokning BEGIN INSERT INTO Logg (Text) "
                               "VALUES (old.ID); END",
                               nullptr, nullptr, nullptr),
                  SQLITE_OK);
        sqlite3_close(raw);
    }
    const auto rows = w.rowsIn(w.db);
    const std::string old = w.dir.file("old.db");
    fs::copy_file(w.db, old);
    const auto all = startTimes(w, w.db, "Bokning");
    w.interval.first = all[all.size() / 4];
    w.interval.last = all[all.size() / 2];
    StopAt progress;
    w.ctx.progress = &progress;
    w.fakes.messages.answers = {MsgAnswer::Yes};
    w.fakes.dialogs.choices = {w.dir.file("kopia.db")};
    w.run();

    {
        auto copy = w.window.engine_.OpenDatabase(old, true).value();
        const auto literal = [](const DateTime& t) { return "#" + formatPicture(t, "yyyy-MM-dd HH:mm:ss") + "#"; };
        for (const char* table : {"PrelBokning", "Bokning"})
            for (const std::string& where : {"< " + literal(w.interval.first), "> " + literal(w.interval.last)})
                EXPECT_TRUE(copy->Execute(std::string("DELETE FROM ") + table + " WHERE StartTid " + where));
        (void)copy->Close();
    }
    // Besides the dump: a setting it leaves out, and the AUTOINCREMENT counters.
    EXPECT_EQ(db::testing::dumpOf(w.dir.file("kopia.db")), db::testing::dumpOf(old)) << w.boxTexts().back();
    for (const char* more : {"PRAGMA auto_vacuum", "SELECT name || ' ' || seq FROM sqlite_sequence ORDER BY name"})
        EXPECT_EQ(db::testing::queryWithSqlite(w.dir.file("kopia.db"), more), db::testing::queryWithSqlite(old, more));
    EXPECT_EQ(w.rowsIn(w.db), rows);
    EXPECT_LT(w.rowsIn(w.dir.file("kopia.db"))["Bokning"], rows.at("Bokning") / 2);
    EXPECT_EQ(w.window.infos.back(), "R1750 '" + w.dir.file("kopia.db") + "' R1751!");
    EXPECT_EQ(w.fakes.dialogs.asked.back().title, "R1745");
    EXPECT_EQ(w.interval.unloads, 1);

    std::uint64_t written = 0, between = 0;
    for (const ProgressSnapshot& p : progress.reports)
        if (p.unit == ProgressUnit::Rows && p.total > 0) {
            EXPECT_LE(p.done, p.total);
            written = std::max(written, p.done);
            between += p.done > 0 && p.done < p.total;
        }
    long kept = 0;
    for (const auto& [table, n] : w.rowsIn(w.dir.file("kopia.db"))) kept += n;
    EXPECT_EQ(written, static_cast<std::uint64_t>(kept));
    EXPECT_GT(between, 0u);
}

// A database of 10,000 bookings, made once.
const std::string& biggerDatabase() {
    static testing::TempFolder folder;
    static const std::string path = [] {
        sample::Options options;
        options.bookings = 10000;
        EXPECT_TRUE(sample::makeSampleDatabase(folder.file("bok.db"), options));
        return folder.file("bok.db");
    }();
    return path;
}

// A stop asked for in any phase of the interval copy (counting the rows,
// writing them, making the indexes) interrupts the engine at once: no
// report comes after it, the job ends stopped well within a second, the
// target and the database are as they were and no file of the job is left.
TEST(IntervalCopy, AStopInAnyPhaseEndsItAtOnceLeavingNothing) {
    using Phase = std::function<bool(std::uint64_t, std::uint64_t, ProgressUnit)>;
    const std::vector<std::pair<const char*, Phase>> phases = {
        {"counting", [](auto, auto total, ProgressUnit unit) { return unit == ProgressUnit::Rows && total == 0; }},
        {"rows", [](auto done, auto total, auto) { return done > 1000 && done < total - 1000; }},
        {"indexes",
         [](auto done, auto total, auto unit) { return unit == ProgressUnit::Rows && total && done == total; }},
    };
    for (const auto& [phase, when] : phases) {
        SCOPED_TRACE(phase);
        JobWorld w(biggerDatabase());
        w.dir.write("kopia.db", "earlier");
        const auto names = w.dir.list();
        const auto rows = w.rowsIn(w.db);
        StopAt progress;
        progress.when = when;
        w.ctx.progress = &progress;
        const CopyOutcome outcome =
            copyDatabase(w.ctx, w.dir.file("kopia.db"), CopyInterval{{2000, 1, 1, 0, 0, 0}, {2100, 1, 1, 0, 0, 0}});
        ASSERT_TRUE(progress.asked);
        EXPECT_LT(std::chrono::steady_clock::now() - *progress.asked, std::chrono::milliseconds(500));
        EXPECT_EQ(progress.reportsAfter, 0);
        EXPECT_EQ(outcome.end, CopyEnd::Stopped);
        EXPECT_EQ(w.dir.read("kopia.db"), "earlier");
        EXPECT_EQ(w.dir.list(), names);
        EXPECT_EQ(w.rowsIn(w.db), rows);
    }
}

// A stop asked for while the copy waits for the booking system's
// transaction to end cuts the wait short: the job ends stopped at once, not
// refused when its wait runs out, and leaves no file.
TEST(WholeCopy, AStopEndsTheWaitForTheBookingSystem) {
    JobWorld w;
    sqlite3* booking = nullptr;
    ASSERT_EQ(sqlite3_open(w.db.c_str(), &booking), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(booking, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    w.ctx.waitSeconds = 10;
    w.window.engine_.SetWait(10);
    const auto names = w.dir.list();
    struct StopSoon final : JobProgress {
        const std::chrono::steady_clock::time_point at =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
        void report(std::uint64_t, std::uint64_t, ProgressUnit) override {}
        bool stopRequested() const override { return std::chrono::steady_clock::now() >= at; }
    } progress;
    w.ctx.progress = &progress;
    const CopyOutcome outcome = copyDatabase(w.ctx, w.dir.file("kopia.db"), std::nullopt);
    EXPECT_LT(std::chrono::steady_clock::now() - progress.at, std::chrono::seconds(2));
    EXPECT_EQ(outcome.end, CopyEnd::Stopped);
    EXPECT_EQ(w.dir.list(), names);
    sqlite3_exec(booking, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(booking);
}

// A stop asked for once the whole copy's last byte is written, when only
// its flush and its taking the target's place are left, still stops it:
// the target and the folder are as they were. (The moment is found from the
// file steps of a run without a stop: the flush after the copy's bytes.)
TEST(WholeCopy, AStopAfterItsLastByteLeavesTheTargetAsItWas) {
    std::vector<std::string> steps;
    {
        JobWorld w;
        w.fakes.files.beforeCall = [&](const std::string& op) { steps.push_back(op); };
        ASSERT_EQ(copyDatabase(w.ctx, w.dir.file("kopia.db"), std::nullopt).end, CopyEnd::Copied);
    }
    const auto copied = std::find(steps.begin(), steps.end(), "copyFrom");  // the copy's, before the compaction's
    const auto flushAt = std::find(copied, steps.end(), "flush");
    ASSERT_NE(flushAt, steps.end()) << ::testing::PrintToString(steps);
    JobWorld w;
    w.dir.write("kopia.db", "earlier");
    const auto names = w.dir.list();
    StopAt progress;
    std::ptrdiff_t step = 0;
    w.fakes.files.beforeCall = [&](const std::string&) {
        if (step++ == flushAt - steps.begin()) progress.asked = std::chrono::steady_clock::now();
    };
    w.ctx.progress = &progress;
    EXPECT_EQ(copyDatabase(w.ctx, w.dir.file("kopia.db"), std::nullopt).end, CopyEnd::Stopped);
    ASSERT_TRUE(progress.asked);
    EXPECT_EQ(w.dir.read("kopia.db"), "earlier");
    EXPECT_EQ(w.dir.list(), names);
}

// A compaction stopped after a whole copy: one line, two sentences, one mark between.
TEST(CopyShown, AStoppedCompactionFollowsTheCopysSentence) {
    for (const auto& [limited, line] :
         {std::pair<bool, std::string>{true, "R1750 'k.db' R1751! R9207"}, {false, "R1752k.db. R9207"}}) {
        World w;
        CopyOutcome outcome{CopyEnd::NotCompacted, "k.db", limited, std::nullopt, {}};
        outcome.compaction.failure = Error{kStoppedByUser, "", ""};
        showCopy(w.ctx, outcome);
        EXPECT_EQ(w.window.infos.back(), line);
    }
}

TEST(CopyCancelled, AtAnyQuestionSaysSoAndWritesNothing) {
    struct Cancel {
        MsgAnswer answer;  // to the question whether to limit the copy
        std::string intervalTag;
    };
    // At the question, in the interval dialog, in the file dialog.
    for (const Cancel& c :
         {Cancel{MsgAnswer::Cancel, "OK"}, Cancel{MsgAnswer::Yes, "Avbryt"}, Cancel{MsgAnswer::No, "OK"}}) {
        World w;
        w.fakes.messages.answers = {c.answer};
        w.interval.tag = c.intervalTag;
        const auto files = std::distance(fs::directory_iterator(w.dir.path()), fs::directory_iterator());
        w.run();
        EXPECT_EQ(w.window.infos, std::vector<std::string>{"R1743"});
        EXPECT_EQ(std::distance(fs::directory_iterator(w.dir.path()), fs::directory_iterator()), files);
    }
}

TEST(CopyTarget, GetsTheDatabaseExtensionOnlyWhenItHasNoDot) {
    for (const auto& [chosen, written] : std::vector<std::pair<std::string, std::string>>{
             {"kopia", "kopia.db"}, {"kopia.bak", "kopia.bak"}, {"a.b/", "a.b/R1748.db"}, {"a.b/kopia", "a.b/kopia"}}) {
        World w;
        fs::create_directory(w.dir.file("a.b"));
        w.fakes.messages.answers = {MsgAnswer::No};
        w.fakes.dialogs.choices = {w.dir.file(chosen)};
        w.run();
        EXPECT_TRUE(fs::exists(w.dir.file(written))) << chosen;
    }
}

TEST(CopyRefusals, TheDatabaseItselfAndAMissingFolderAskAgain) {
    World w;
    w.fakes.messages.answers = {MsgAnswer::No};
    w.fakes.dialogs.choices = {w.db, w.dir.file("no/such/folder/kopia.db"), w.dir.file("kopia.db")};
    w.run();
    EXPECT_EQ(w.boxTexts(), (std::vector<std::string>{"R1742?", "R1747",
                                                      "R1753: " + w.dir.file("no/such/folder") + "\r\n\r\nR1754"}));
    EXPECT_EQ(w.fakes.messages.beeps, 2);
    EXPECT_TRUE(fs::exists(w.dir.file("kopia.db")));
}

TEST(CopyRefusals, AnyOtherErrorStopsWithItsNumber) {
    World w;
    w.fakes.messages.answers = {MsgAnswer::No};
    w.fakes.dialogs.choices = {w.dir.file("kopia.db")};
    w.fakes.files.failCall("commit", 1, Error{61, "Disk full", "Vexla Admin"});
    w.run();
    EXPECT_EQ(w.boxTexts(), (std::vector<std::string>{"R1742?", "R17: 61\r\nR9277\r\nR0690"}));
    EXPECT_EQ(w.window.infos.back(), "");
    EXPECT_FALSE(fs::exists(w.dir.file("kopia.db")));
    for (const auto& entry : fs::directory_iterator(w.dir.path())) EXPECT_NE(entry.path().extension(), ".part");
    EXPECT_FALSE(w.fakes.pointer.busy);
}

// The save dialog asked about the name it was given; a completed name that
// is another file there is asked about in turn, and No asks for a name again.
TEST(CopyRefusals, AnExistingCompletedNameIsReplacedOnlyWhenAllowed) {
    World w;
    w.dir.write("kopia.db", "earlier");
    w.fakes.messages.answers = {MsgAnswer::No, MsgAnswer::No};
    w.fakes.dialogs.choices = {w.dir.file("kopia")};
    w.run();
    EXPECT_EQ(w.boxTexts(), (std::vector<std::string>{"R1742?", w.dir.file("kopia.db") + " R1794 ?"}));
    EXPECT_EQ(w.dir.read("kopia.db"), "earlier");
    EXPECT_EQ(w.window.infos.back(), "R1743");
}

}  // namespace
}  // namespace vexla
