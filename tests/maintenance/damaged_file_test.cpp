// The check and the rescue on files the tests damage themselves: a page of
// the bookings overwritten, a file cut short, an index page overwritten,
// bookings whose customer is gone (many, or one), a row against its
// column's constraint, and a sound file. What each must find and
// rescue is worked out from the file before it is damaged (which pages hold
// which rows, through SQLite's page statistics), never written in by hand.
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <set>

#include "db/errors.h"
#include "db/sqlite_engine.h"
#include "maintenance/database_check.h"
#include "maintenance/database_rescue.h"
#include "tests/db/db_test_support.h"
#include "tests/maintenance/job_test_support.h"
#include "tests/support/source_tree.h"

namespace vexla {
namespace {

using testing::fileBytes;
using testing::JobWorld;

// The first column of every row of `sql` on the file `path`, as numbers.
std::vector<long long> column(const std::string& path, const std::string& sql) {
    std::vector<long long> values;
    for (const std::string& value : db::testing::queryWithSqlite(path, sql)) values.push_back(std::stoll(value));
    return values;
}
long long one(const std::string& path, const std::string& sql) { return column(path, sql).at(0); }
std::set<std::string> names(const std::string& path, const std::string& sql) {
    const std::vector<std::string> rows = db::testing::queryWithSqlite(path, sql);
    return {rows.begin(), rows.end()};
}

void overwritePage(const std::string& path, long long page) {
    std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp((page - 1) * 4096);
    f.write(std::string(4096, '\xff').data(), 4096);
}

// A middle leaf page of an object, and the rows or entries on it.
std::pair<long long, long> middleLeaf(const std::string& path, const std::string& object) {
    const std::string where = " FROM dbstat WHERE name = '" + object + "' AND pagetype = 'leaf'";
    const long long n = one(path, "SELECT count(*)" + where);
    const std::string pick = where + " ORDER BY pageno LIMIT 1 OFFSET " + std::to_string(n / 2);
    return {one(path, "SELECT pageno" + pick), static_cast<long>(one(path, "SELECT ncell" + pick))};
}

// Every object of a file with its definition.
const char* const kSchema = "SELECT type || ' ' || name || ' ' || coalesce(sql, '') FROM sqlite_schema";

enum class Verdict { Sound, Damaged, LinksBroken };

// What the check and the rescue must find in a damaged file.
struct Expected {
    Verdict verdict = Verdict::Sound;
    std::set<std::string> unreadable;  // tables and indexes
    // Per table of bookings (Bokning, indexed by customer; PrelBokning, not):
    // those without their customer, and their first IDs.
    std::map<std::string, std::pair<long, std::vector<long long>>> broken;
    std::map<std::string, long> rescued;  // rows per table
    std::map<std::string, long> lost;     // where a count is known
    bool fromBackup = false;              // the counts are a backup's
};

struct Damage {
    const char* name;
    // Damages the world's database; answers what must be found.
    std::function<Expected(JobWorld&)> make;
};
void PrintTo(const Damage& d, std::ostream* os) { *os << d.name; }

// Every table's rows in the undamaged file.
std::map<std::string, long> allRows(JobWorld& w) { return w.rowsIn(w.db); }

// Every row of the undamaged file rescued, none lost.
Expected intact(JobWorld& w, Verdict verdict) {
    Expected e;
    e.verdict = verdict;
    e.rescued = allRows(w);
    for (const auto& [table, n] : e.rescued) e.lost[table] = 0;
    return e;
}

Expected bookingPageOverwritten(JobWorld& w) {
    Expected e;
    e.verdict = Verdict::Damaged;
    e.unreadable = {"Bokning"};
    e.rescued = allRows(w);
    const auto [page, rows] = middleLeaf(w.db, "Bokning");
    overwritePage(w.db, page);
    // Only the rows of the damaged page are lost; the indexes still count them.
    e.rescued["Bokning"] -= rows;
    for (const auto& [table, n] : e.rescued) e.lost[table] = table == "Bokning" ? rows : 0;
    return e;
}

Expected indexPageOverwritten(JobWorld& w) {
    Expected e = intact(w, Verdict::Damaged);
    e.unreadable = {"BokningKundID"};
    overwritePage(w.db, middleLeaf(w.db, "BokningKundID").first);
    return e;
}

Expected cutShort(JobWorld& w) {
    // Last night's backup, sound, holds the counts the file can no longer give.
    std::filesystem::copy_file(w.db, w.dir.file("Vexla2026-12-01.db"));
    std::filesystem::copy_file(w.db, w.dir.file("Vexla2026-11-30.db"));
    const long long keep = middleLeaf(w.db, "Bokning").first;
    Expected e;
    e.verdict = Verdict::Damaged;
    e.unreadable = names(w.db, "SELECT DISTINCT name FROM dbstat WHERE pageno >= " + std::to_string(keep));
    e.fromBackup = true;
    const auto all = allRows(w);
    for (const auto& [table, n] : all) {
        e.rescued[table] =
            static_cast<long>(one(w.db, "SELECT coalesce(sum(ncell), 0) FROM dbstat WHERE name = '" + table +
                                            "' AND pagetype = 'leaf' AND pageno < " + std::to_string(keep)));
        // Tables read whole are counted by themselves; the others by the backup.
        e.lost[table] = n - e.rescued[table];
    }
    std::filesystem::resize_file(w.db, static_cast<std::uintmax_t>(keep - 1) * 4096);
    return e;
}

Expected customerGone(JobWorld& w) {
    const long long customer = one(w.db, "SELECT KundID FROM PrelBokning ORDER BY ID LIMIT 1");
    Expected e;
    for (const char* table : {"Bokning", "PrelBokning"}) {
        const std::string of = std::string(" FROM ") + table + " WHERE KundID = " + std::to_string(customer);
        e.broken[table] = {static_cast<long>(one(w.db, "SELECT count(*)" + of)),
                           column(w.db, "SELECT ID" + of + " ORDER BY ID LIMIT " + std::to_string(kFirstIds))};
    }
    db::testing::makeDatabase(w.db, "DELETE FROM Kund WHERE ID = " + std::to_string(customer));
    Expected after = intact(w, Verdict::LinksBroken);
    after.broken = e.broken;
    return after;
}

// The first `n` bookings name a customer that is not there.
Expected bookingsWithoutTheirCustomer(JobWorld& w, int n) {
    const auto first = column(w.db, "SELECT ID FROM Bokning ORDER BY ID LIMIT " + std::to_string(n));
    db::testing::makeDatabase(w.db, "UPDATE Bokning SET KundID = 999999 WHERE ID <= " + std::to_string(first.back()));
    Expected e = intact(w, Verdict::LinksBroken);
    e.broken["Bokning"] = {n, first};
    return e;
}
Expected oneBookingWithoutItsCustomer(JobWorld& w) { return bookingsWithoutTheirCustomer(w, 1); }
// As many as the check lists: none left out.
Expected allListedWithoutTheirCustomer(JobWorld& w) { return bookingsWithoutTheirCustomer(w, kFirstIds); }

// A row whose value the damage garbled against its column's constraint (a
// name gone NULL): the file reads, the check names it, and the rescue's new
// file refuses the row, which is lost and counted as such.
Expected rowAgainstItsConstraint(JobWorld& w) {
    const std::string required = "\"FörNamn\" VARCHAR(30) NOT NULL", bare = "\"FörNamn\" VARCHAR(30)";
    // The schema's text is changed in place, each time on a connection of its own that reads it anew.
    const auto schema = [&](const std::string& from, const std::string& to) {
        db::testing::makeDatabase(w.db, "PRAGMA writable_schema = ON; UPDATE sqlite_schema SET sql = replace(sql, '" +
                                            from + "', '" + to + "') WHERE name = 'Person'");
    };
    Expected e = intact(w, Verdict::Damaged);
    schema(required, bare);
    db::testing::makeDatabase(w.db, "UPDATE Person SET \"FörNamn\" = NULL WHERE ID = 1");
    schema(bare, required);
    e.rescued["Person"] -= 1;
    e.lost["Person"] = 1;
    return e;
}

Expected sound(JobWorld& w) { return intact(w, Verdict::Sound); }

class DamagedFile : public ::testing::TestWithParam<Damage> {};

// The check names what is damaged, the rescue keeps every readable row in
// a whole new file; neither changes the damaged file.
TEST_P(DamagedFile, CheckNamesItAndRescueKeepsEveryReadableRow) {
    JobWorld w;
    const std::set<std::string> schema = names(w.db, kSchema);
    Expected e = GetParam().make(w);
    const std::string before = fileBytes(w.db);
    const CheckOutcome outcome = checkDatabase(w.ctx);
    ASSERT_FALSE(outcome.failure) << outcome.failure->description;
    EXPECT_EQ(outcome.damaged(), e.verdict == Verdict::Damaged);
    EXPECT_EQ(outcome.linksBroken(), e.verdict == Verdict::LinksBroken);
    std::set<std::string> unreadable;
    for (const db::ObjectReading& o : outcome.unreadable()) unreadable.insert(o.name);
    EXPECT_EQ(unreadable, e.unreadable);
    for (const LinkFinding& f : outcome.links) {
        if (f.link.column != "KundID") continue;
        const auto& [count, firstIds] = e.broken[f.link.table];
        EXPECT_EQ(f.found.count, count) << f.link.table;
        EXPECT_EQ(f.found.firstIds, firstIds) << f.link.table;
    }
    // The lines name the first IDs of what a link misses, and ", ..." only when more miss it.
    std::string lines;
    for (const std::string& line : checkLines(w.ctx, outcome)) lines += line + "\n";
    for (const auto& [table, broken] : e.broken) {
        if (broken.first == 0) continue;
        std::string ids;
        for (long long id : broken.second) ids += (ids.empty() ? "" : ", ") + std::to_string(id);
        EXPECT_NE(lines.find("R9441 " + ids + (broken.first > kFirstIds ? ", ...)" : ")")), std::string::npos) << lines;
    }
    EXPECT_EQ(fileBytes(w.db), before);
    EXPECT_FALSE(std::filesystem::exists(w.db + "-journal"));

    const std::string target = w.dir.file("rescued.db");
    const RescueOutcome rescue = rescueDatabase(w.ctx, target, false);
    ASSERT_FALSE(rescue.failure) << rescue.failure->description;
    std::map<std::string, long> rescued, lost;
    for (const RescuedTable& t : rescue.tables) {
        rescued[t.table] = t.rescued;
        if (t.lost()) lost[t.table] = *t.lost();
    }
    EXPECT_EQ(rescued, e.rescued);
    EXPECT_EQ(lost, e.lost);
    EXPECT_EQ(rescue.backup, e.fromBackup ? w.dir.file("Vexla2026-12-01.db") : "");
    // The new file is whole (rowsIn runs the full check) and holds what was rescued.
    EXPECT_EQ(w.rowsIn(target), e.rescued);
    EXPECT_EQ(names(target, kSchema), schema);
    EXPECT_EQ(fileBytes(w.db), before);
}

INSTANTIATE_TEST_SUITE_P(Damages, DamagedFile,
                         ::testing::Values(Damage{"BookingPageOverwritten", bookingPageOverwritten},
                                           Damage{"IndexPageOverwritten", indexPageOverwritten},
                                           Damage{"CutShort", cutShort}, Damage{"CustomerGone", customerGone},
                                           Damage{"OneBookingWithoutItsCustomer", oneBookingWithoutItsCustomer},
                                           Damage{"AllListedWithoutTheirCustomer", allListedWithoutTheirCustomer},
                                           Damage{"RowAgainstItsConstraint", rowAgainstItsConstraint},
                                           Damage{"Sound", sound}),
                         [](const auto& info) { return std::string(info.param.name); });

// A file whose writer was cut off in a transaction: its journal must be
// played back before the file reads consistently, which only a writer may
// do. Neither the check nor the rescue does it; both say why they cannot read.
TEST(UnfinishedJournal, IsLeftAloneAndNamed) {
    JobWorld w;
    const std::string hot = w.dir.file("hot.db");
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(w.db.c_str(), &db), SQLITE_OK);
    // A cache of a few pages spills the change into the file before its commit.
    ASSERT_EQ(sqlite3_exec(db, "PRAGMA cache_size = 2; BEGIN; UPDATE Bokning SET Anteckning = 'x'", nullptr, nullptr,
                           nullptr),
              SQLITE_OK);
    std::filesystem::copy_file(w.db, hot);
    std::filesystem::copy_file(w.db + "-journal", hot + "-journal");
    sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    const std::string file = fileBytes(hot), journal = fileBytes(hot + "-journal");
    const CheckOutcome checked = checkDatabase(w.ctx, hot);
    const RescueOutcome rescued = rescueDatabase(w.ctx, w.dir.file("new.db"), false, hot);
    for (const std::optional<Error>& failure : {checked.failure, rescued.failure}) {
        ASSERT_TRUE(failure);
        EXPECT_EQ(failure->subject, hot + "-journal");
    }
    EXPECT_NE(checkLines(w.ctx, checked).front().find("R9444"), std::string::npos);  // the journal beside
    EXPECT_EQ(fileBytes(hot), file);
    EXPECT_EQ(fileBytes(hot + "-journal"), journal);
    EXPECT_FALSE(std::filesystem::exists(w.dir.file("new.db")));
}

// Asks a job to stop once `path` exists (at once when it is empty).
struct StopWhen final : JobProgress {
    std::string folder, name;  // stops once `folder` holds a private folder holding `name`
    void report(std::uint64_t, std::uint64_t, ProgressUnit) override {}
    bool stopRequested() const override {
        if (name.empty()) return true;
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            if (std::filesystem::exists(entry.path() / name)) return true;
        return false;
    }
};

// A rescue stopped, before it writes or once its file is whole in its
// private folder (while it is checked), leaves no new file; over a file it
// was allowed to replace, stopped before it wrote, it leaves that file as it was.
TEST(StoppedRescue, LeavesNoTarget) {
    struct Stop {
        const char* target;
        bool replace, once;  // once: when the target appears
    };
    for (const Stop stop : {Stop{"new.db", false, false}, Stop{"old.db", true, false}, Stop{"new.db", false, true}}) {
        JobWorld w;
        w.dir.write("old.db", "old");
        StopWhen when;
        if (stop.once) when.folder = w.dir.path(), when.name = "new";
        w.ctx.progress = &when;
        EXPECT_TRUE(rescueDatabase(w.ctx, w.dir.file(stop.target), stop.replace).stopped());
        EXPECT_EQ(w.dir.list(), (std::vector<std::string>{"bok.db", "old.db"}));
        EXPECT_EQ(w.dir.read("old.db"), "old");
        if (!stop.once) {
            EXPECT_TRUE(checkDatabase(w.ctx).stopped());
        }
    }
}

// The rescue places its file through the file system, step by step: a
// step that fails leaves no new file, nothing of its own, and the damaged
// file as it was.
TEST(RescueFaults, AFailingPlacementStepLeavesNothing) {
    for (const char* op : {"createFile", "commit"}) {
        SCOPED_TRACE(op);
        JobWorld w;
        bookingPageOverwritten(w);
        const std::string before = fileBytes(w.db);
        w.fakes.files.failCall(op, 1, Error{61, "Disk full", "Vexla Admin", w.dir.file("new.db"), "R9144"});
        const RescueOutcome outcome = rescueDatabase(w.ctx, w.dir.file("new.db"), false);
        ASSERT_TRUE(outcome.failure);
        EXPECT_EQ(outcome.failure->number, 61);
        EXPECT_EQ(w.dir.list(), std::vector<std::string>{"bok.db"});
        EXPECT_EQ(fileBytes(w.db), before);
    }
}

// An examined file that answers as the real one does, except for the
// engine check (messages of its own) or the links (an error).
struct ExaminedWithFault final : db::ExaminedFile {
    std::unique_ptr<db::ExaminedFile> real;
    std::vector<std::string> checkSays;
    std::optional<Error> linksFail;
    Result<std::vector<std::string>> TableNames() override { return real->TableNames(); }
    Result<std::vector<std::string>> EngineCheck(bool full) override {
        auto said = real->EngineCheck(full);
        return checkSays.empty() ? said : Result<std::vector<std::string>>(checkSays);
    }
    Result<std::vector<db::ObjectReading>> ReadEachObject() override { return real->ReadEachObject(); }
    Result<std::optional<db::BrokenLinks>> RowsWithoutLink(const db::LinkCheck& check, int firstFew) override {
        if (linksFail) return *linksFail;
        return real->RowsWithoutLink(check, firstFew);
    }
    Result<std::optional<long>> RowCount(const std::string& table) override { return real->RowCount(table); }
    Result<std::vector<db::TableRescue>> RescueInto(
        const std::string& path, const std::function<bool(std::uint64_t, std::uint64_t)>& progress) override {
        return real->RescueInto(path, progress);
    }
    void InterruptWhen(std::function<bool()> asked) override { real->InterruptWhen(std::move(asked)); }
    bool KeepsCommitsOut() override { return real->KeepsCommitsOut(); }
    Status Close() override { return real->Close(); }
};

// The engine, with the fault above on the file `path` alone (and on a new
// file while it is written in its private folder).
struct EngineWithFault final : testing::ForwardingEngine {
    db::SqliteEngine real;
    std::string path;
    ExaminedWithFault fault;
    EngineWithFault() : ForwardingEngine(real) {}
    Result<std::unique_ptr<db::ExaminedFile>> OpenForExamination(const std::string& p) override {
        auto file = real.OpenForExamination(p);
        if (!file || (p != path && p.find("/.vexla-compact-") == std::string::npos)) return file;
        auto faulty = std::make_unique<ExaminedWithFault>(std::move(fault));
        faulty->real = std::move(*file);
        return std::unique_ptr<db::ExaminedFile>(std::move(faulty));
    }
};

// What the engine could not examine is never taken for a good answer: links
// that cannot be followed fail the check of a sound file, and a rescued file
// that fails its own full check fails the rescue and is not left behind.
TEST(FailedExamination, IsNeitherDroppedNorTakenForSuccess) {
    JobWorld w;
    EngineWithFault engine;
    w.window.engineInUse = &engine;
    engine.path = w.db;
    engine.fault.linksFail = Error{3043, "Disk I/O error", "Vexla Admin"};
    const CheckOutcome checked = checkDatabase(w.ctx);
    ASSERT_TRUE(checked.failure);
    EXPECT_EQ(checked.failure->number, 3043);

    const std::string target = w.dir.file("new.db");
    engine.path = target;
    engine.fault = {};
    engine.fault.checkSays = {"*** in database main ***\nPage 7: btreeInitPage() returns error code 11"};
    const RescueOutcome rescued = rescueDatabase(w.ctx, target, false);
    ASSERT_TRUE(rescued.failure);
    EXPECT_EQ(rescued.failure->number, db::corrupt(target).number);
    EXPECT_TRUE(rescued.tables.empty());
    EXPECT_FALSE(std::filesystem::exists(target));
}

// The rescued file is the damaged file's successor: it gets its mode, and
// (where the job may give files away) its owner and group.
TEST(RescuedFile, TakesTheDamagedFilesModeAndOwner) {
    JobWorld w;
    bookingPageOverwritten(w);
    ASSERT_EQ(::chmod(w.db.c_str(), 0604), 0);
    const bool root = ::geteuid() == 0;
    ASSERT_TRUE(!root || ::chown(w.db.c_str(), 65534, 65534) == 0);
    struct stat damaged {};
    ASSERT_EQ(::stat(w.db.c_str(), &damaged), 0);
    const std::string target = w.dir.file("new.db");
    ASSERT_FALSE(rescueDatabase(w.ctx, target, false).failure);
    struct stat rescued {};
    ASSERT_EQ(::stat(target.c_str(), &rescued), 0);
    EXPECT_EQ(std::make_tuple(rescued.st_mode, rescued.st_uid, rescued.st_gid),
              std::make_tuple(damaged.st_mode, damaged.st_uid, damaged.st_gid));
}

// The rescue writes only a regular file or a new one: a device, a FIFO, a
// folder (or a link to one of them) at the target is refused and left as it
// is, also where replacing was allowed; the database's companions are the
// database.
TEST(RescueTarget, OnlyARegularFileIsReplaced) {
    JobWorld w;
    const std::string fifo = w.dir.file("fifo"), device = w.dir.file("null"), folder = w.dir.file("folder");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::filesystem::create_directory(folder);
    std::filesystem::create_symlink(fifo, w.dir.file("link"));
    std::vector<std::pair<std::string, long>> targets = {
        {fifo, 75}, {folder, 75}, {w.dir.file("link"), 75}, {w.db + "-journal", 75}, {w.db + "-wal", 75}};
    // A character device like /dev/null (1, 3); only root may make one.
    if (::geteuid() == 0 && ::mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0)
        targets.push_back({device, 75});
    for (const auto& [target, number] : targets) {
        SCOPED_TRACE(target);
        struct stat before {};
        ::lstat(target.c_str(), &before);
        const RescueOutcome outcome = rescueDatabase(w.ctx, target, true);
        ASSERT_TRUE(outcome.failure);
        EXPECT_EQ(outcome.failure->number, number);
        struct stat after {};
        ::lstat(target.c_str(), &after);
        EXPECT_EQ(std::make_pair(after.st_ino, after.st_mode), std::make_pair(before.st_ino, before.st_mode));
    }
}

}  // namespace
}  // namespace vexla
