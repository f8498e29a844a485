// The restore of a dated backup and the list it is chosen from: the backup
// is checked before anything changes, the replaced state is kept, the
// backup is never written, and nothing of a refused, failed or stopped
// restore is left.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include <sqlite3.h>

#include "db/engine.h"
#include "maintenance/database_rescue.h"
#include "maintenance/restore.h"
#include "tests/db/db_test_support.h"
#include "tests/maintenance/job_test_support.h"
#include "tests/support/source_tree.h"

namespace vexla {
namespace {

using db::testing::dumpOf;
using db::testing::makeDatabase;
using db::testing::queryWithSqlite;
using testing::fileBytes;
using testing::JobWorld;
using testing::RecordingProgress;
namespace fs = std::filesystem;

const std::string kBackupName = "Vexla2026-12-03.db";
const std::string kKeptName = "Vexla2026-12-04.db";  // the fake clock's day
const char* const kLaterChanges =
    "DELETE FROM Kund WHERE ID IN (SELECT ID FROM Kund ORDER BY ID DESC LIMIT 5);"
    "DELETE FROM Bokning WHERE ID % 4 = 0;";

// Overwrites the page of `table`'s root with other bytes, as a failing disk would.
void overwritePage(const std::string& path, const std::string& table) {
    const long root =
        std::stol(queryWithSqlite(path, "SELECT rootpage FROM sqlite_schema WHERE name = '" + table + "'")[0]);
    const long size = std::stol(queryWithSqlite(path, "PRAGMA page_size")[0]);
    std::fstream f(path, std::ios::binary | std::ios::in | std::ios::out);
    f.seekp((root - 1) * size);
    f << std::string(static_cast<std::size_t>(size), '\x5A');
}

enum class Backup { Sound, PageOverwritten, Truncated, NoBookingDatabase, AnotherTable, TheDatabase, Missing };

struct RestoreCase {
    const char* name;
    Backup backup;
    bool secondLink = false;   // the database file has a second name: written back
    bool held = false;         // another connection holds the database
    std::uint64_t stopAt = 0;  // a stop asked for when this step is reported
    const char* refusal = "";  // the text the backup is refused with, "" when not refused
};

void PrintTo(const RestoreCase& c, std::ostream* os) { *os << c.name; }

class Restore : public ::testing::TestWithParam<RestoreCase> {};

TEST_P(Restore, PutsTheCheckedBackupInPlaceOrChangesNothing) {
    const RestoreCase& c = GetParam();
    JobWorld w;
    w.window.state_.Kommandorad = true;
    RecordingProgress progress;
    progress.stopAt = c.stopAt;
    w.ctx.progress = &progress;
    std::string backup = w.dir.file(kBackupName);
    fs::copy_file(w.db, backup);
    const std::string earlier = dumpOf(backup);
    makeDatabase(w.db, kLaterChanges);
    switch (c.backup) {
        case Backup::Sound: break;
        case Backup::PageOverwritten: overwritePage(backup, "Bokning"); break;
        case Backup::Truncated: fs::resize_file(backup, fs::file_size(backup) / 2); break;
        case Backup::NoBookingDatabase:
            fs::remove(backup);
            makeDatabase(backup, "CREATE TABLE Kund (ID INTEGER); CREATE TABLE Bokning (ID INTEGER)");
            break;
        case Backup::AnotherTable: makeDatabase(backup, "CREATE TABLE Extra (x)"); break;
        case Backup::TheDatabase: fs::create_hard_link(w.db, backup = w.dir.file("bokning-kopia.db")); break;
        case Backup::Missing: backup = w.dir.file("Vexla2026-01-01.db"); break;
    }
    if (c.secondLink) fs::create_hard_link(w.db, w.dir.file("bokning.db"));
    const std::string current = dumpOf(w.db), backupBytes = fileBytes(backup);
    const auto mode = fs::status(w.db).permissions();
    const std::vector<std::string> before = w.dir.list();
    std::unique_ptr<db::Database> holder;
    if (c.held) holder = w.window.engine_.OpenDatabase(w.db, true).value();

    const RestoreOutcome outcome = restoreBackup(w.ctx, backup);
    if (holder) (void)holder->Close();

    EXPECT_EQ(fileBytes(backup), backupBytes) << "the backup is only read";
    EXPECT_EQ(fs::status(w.db).permissions(), mode);
    EXPECT_EQ(outcome.backupRefused, *c.refusal != 0);
    if (*c.refusal) {
        ASSERT_TRUE(outcome.failure);
        EXPECT_EQ(outcome.failure->description.rfind(std::string(c.refusal) + ": " + backup, 0), 0u)
            << outcome.failure->number << " " << outcome.failure->description;
    }
    if (outcome.restoredOk()) {
        EXPECT_EQ(dumpOf(w.db), earlier);
        // The replaced state is a backup of its own, under the day's name.
        const std::string kept = w.dir.file(kKeptName);
        EXPECT_EQ(outcome.kept, kept);
        EXPECT_EQ(dumpOf(kept), current);
        EXPECT_FALSE(fs::equivalent(kept, w.db));
        std::vector<std::string> expected = before;
        expected.insert(std::upper_bound(expected.begin(), expected.end(), kKeptName), kKeptName);
        EXPECT_EQ(w.dir.list(), expected);
        if (c.secondLink) {
            EXPECT_TRUE(fs::equivalent(w.dir.file("bokning.db"), w.db));
        }
        EXPECT_EQ(w.window.logged.back(), "R9496: 2026-12-04 22:15:07");
        EXPECT_EQ(restoreReportLines(w.ctx, outcome),
                  (std::vector<std::string>{"R9474: " + backup, "R9155: " + kept,
                                            "R1826 28 \u2192 33, R1831 300 \u2192 400"}));
        return;
    }
    EXPECT_TRUE(c.backup != Backup::Sound || c.held || c.stopAt) << outcome.failure->description;
    EXPECT_EQ(outcome.refused(), c.held);
    EXPECT_EQ(outcome.stopped(), c.stopAt != 0);
    EXPECT_EQ(dumpOf(w.db), current) << "the database is as it was";
    EXPECT_EQ(w.dir.list(), before) << "nothing is left";
    EXPECT_EQ(outcome.kept, "");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Restore,
    ::testing::Values(RestoreCase{"Renamed", Backup::Sound}, RestoreCase{"WrittenBack", Backup::Sound, true},
                      RestoreCase{"Held", Backup::Sound, false, true},
                      RestoreCase{"PageOverwritten", Backup::PageOverwritten, false, false, 0, "R9476"},
                      RestoreCase{"PageOverwrittenWrittenBack", Backup::PageOverwritten, true, false, 0, "R9476"},
                      RestoreCase{"Truncated", Backup::Truncated, false, false, 0, "R9476"},
                      RestoreCase{"NoBookingDatabase", Backup::NoBookingDatabase, false, false, 0, "R9477"},
                      RestoreCase{"AnotherTable", Backup::AnotherTable, false, false, 0, "R9477"},
                      RestoreCase{"TheDatabaseItself", Backup::TheDatabase, false, false, 0, "R9478"},
                      RestoreCase{"Missing", Backup::Missing},
                      RestoreCase{"StoppedAtTheCheck", Backup::Sound, false, false, 2},
                      RestoreCase{"StoppedBeforeKeeping", Backup::Sound, false, false, 3},
                      RestoreCase{"StoppedBeforeRenaming", Backup::Sound, false, false, 4},
                      RestoreCase{"StoppedBeforeWritingBack", Backup::Sound, true, false, 4}),
    [](const auto& info) { return std::string(info.param.name); });

enum class Damage { TableRoot, FirstPageZeros, FirstPageGarbage, NoDatabase, FirstPageZerosRowInWal };

// Leaves beside `path` the WAL of a change committed to it that no
// checkpoint has brought into the file yet: a Kund row renamed "Stale",
// which writes no first page.
void leaveCommittedWal(const std::string& path) {
    const std::string other = path + ".other";
    fs::copy_file(path, other);
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(other.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db,
                           "PRAGMA journal_mode = WAL; PRAGMA wal_autocheckpoint = 0;"
                           "UPDATE Kund SET Namn = 'Stale' WHERE ID = (SELECT min(ID) FROM Kund)",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    fs::copy_file(other + "-wal", path + "-wal");
    sqlite3_close(db);
    fs::remove(other);
}

struct DamagedCase {
    const char* name;
    Damage damage;
    bool fromRescue;  // the rescue of the damaged database is put in place, else a dated backup
    bool readerIn;    // a connection of the booking system is reading (holds the engine's shared lock)
};

void PrintTo(const DamagedCase& c, std::ostream* os) { *os << c.name; }

class RestoreIntoDamaged : public ::testing::TestWithParam<DamagedCase> {};

// A damaged database, even one the engine cannot open, is restored into
// the same file, its bytes kept as a backup first; a reader keeps it out.
TEST_P(RestoreIntoDamaged, WritesIntoTheSameFileAndKeepsTheDamagedBytes) {
    const DamagedCase& c = GetParam();
    JobWorld w;
    std::string source = w.dir.file(kBackupName);
    fs::copy_file(w.db, source);
    if (c.damage == Damage::TableRoot) {
        overwritePage(w.db, "Kund");
    } else if (c.damage == Damage::NoDatabase) {
        fs::remove(w.db);
        w.dir.write("bok.db", "ID;Namn\r\n1;Anna\r\n");
    } else {
        if (c.damage == Damage::FirstPageZerosRowInWal) leaveCommittedWal(w.db);
        std::fstream f(w.db, std::ios::binary | std::ios::in | std::ios::out);
        f << std::string(4096, c.damage == Damage::FirstPageGarbage ? '\x5A' : '\0');
    }
    if (c.fromRescue) {
        fs::remove(source);
        source = w.dir.file("bok-rescued.db");
        ASSERT_TRUE(rescueDatabase(w.ctx, source, false).rescued());
    }
    ::chmod(w.db.c_str(), 0640);
    struct stat before {};
    ASSERT_EQ(::stat(w.db.c_str(), &before), 0);
    const std::string damaged = fileBytes(w.db), wanted = dumpOf(source);
    const std::vector<std::string> names = w.dir.list();
    // The reader is another process: a lock of this one would be dropped
    // as soon as any descriptor of the file is closed here.
    pid_t reader = 0;
    if (c.readerIn) {
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        if ((reader = ::fork()) == 0) {
            struct flock shared {};
            shared.l_type = F_RDLCK;
            shared.l_start = 0x40000002 + 7;  // one byte of the engine's shared range, as a reader takes it
            shared.l_len = 1;
            const int fd = ::open(w.db.c_str(), O_RDONLY);
            const char ok = ::fcntl(fd, F_SETLK, &shared) == 0 ? 'y' : 'n';
            ignoreBecause(::write(ready[1], &ok, 1), Untold::ChildExit);
            ::pause();
            ::_exit(0);
        }
        char ok = 0;
        ASSERT_EQ(::read(ready[0], &ok, 1), 1);
        ASSERT_EQ(ok, 'y');
        w.ctx.waitSeconds = 0.3;
        w.window.engine_.SetWait(0.3);
    }

    const RestoreOutcome outcome = restoreBackup(w.ctx, source);
    if (reader > 0) {
        ::kill(reader, SIGKILL);
        ::waitpid(reader, nullptr, 0);
    }

    struct stat after {};
    ASSERT_EQ(::stat(w.db.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mode, before.st_mode);
    if (c.readerIn || c.damage == Damage::NoDatabase) {
        EXPECT_TRUE(outcome.refused()) << (outcome.failure ? outcome.failure->description : "restored");
        EXPECT_TRUE(fileBytes(w.db) == damaged) << "the database is as it was";
        EXPECT_EQ(w.dir.list(), names);
        return;
    }
    ASSERT_TRUE(outcome.restoredOk()) << outcome.failure->number << " " << outcome.failure->description;
    EXPECT_EQ(dumpOf(w.db), wanted);
    EXPECT_EQ(outcome.kept, w.dir.file(kKeptName));
    if (c.damage == Damage::FirstPageZerosRowInWal) {
        // The engine's refused open played the WAL into the file: the
        // backup holds the committed row, and no page of it came back.
        EXPECT_EQ(fileBytes(outcome.kept).substr(0, 4096), damaged.substr(0, 4096));
        EXPECT_NE(fileBytes(outcome.kept).find("Stale"), std::string::npos);
    } else {
        EXPECT_TRUE(fileBytes(outcome.kept) == damaged) << "the backup holds the damaged bytes";
    }
    EXPECT_EQ(fs::status(outcome.kept).permissions(), fs::perms(0640));
}

INSTANTIATE_TEST_SUITE_P(Cases, RestoreIntoDamaged,
                         ::testing::Values(DamagedCase{"RescueOfUncountableTable", Damage::TableRoot, true, false},
                                           DamagedCase{"FirstPageZeros", Damage::FirstPageZeros, false, false},
                                           DamagedCase{"FirstPageGarbage", Damage::FirstPageGarbage, false, false},
                                           DamagedCase{"FirstPageZerosReaderIn", Damage::FirstPageZeros, false, true},
                                           DamagedCase{"FirstPageZerosRowInWal", Damage::FirstPageZerosRowInWal, false,
                                                       false},
                                           DamagedCase{"TextFile", Damage::NoDatabase, false, false}),
                         [](const auto& info) { return std::string(info.param.name); });

// The window puts a rescued file in place only after the user chose it and
// said Yes to a question naming what changes, worded for a damaged database
// as a restore from a backup words it; then as a restore does.
TEST(PlaceRescuedFromWindow, RestoresFromTheChosenRescueOnlyAfterYes) {
    struct Case {
        const char* chosen;  // "" cancels the dialog
        MsgAnswer answer;
        bool placed;
    };
    for (const Case& c : {Case{"", MsgAnswer::Yes, false}, Case{"bok-rescued.db", MsgAnswer::No, false},
                          Case{"bok-rescued.db", MsgAnswer::Yes, true}}) {
        JobWorld w;
        overwritePage(w.db, "Kund");
        const std::string rescued = w.dir.file("bok-rescued.db");
        ASSERT_TRUE(rescueDatabase(w.ctx, rescued, false).rescued());
        const std::string damaged = fileBytes(w.db), wanted = dumpOf(rescued);
        struct stat before {
        }, after{};
        ASSERT_EQ(::stat(w.db.c_str(), &before), 0);
        w.fakes.dialogs.choices = {*c.chosen ? w.dir.file(c.chosen) : ""};
        w.fakes.messages.answers = {c.answer};

        const CareShown shown = placeRescuedFromWindow(w.ctx);

        EXPECT_EQ(shown.changed, c.placed) << c.chosen;
        EXPECT_EQ(shown.lines.empty(), !c.placed);
        EXPECT_EQ(w.boxTexts(),
                  *c.chosen ? std::vector<std::string>{rescued + " R9394: R1826: R9789 0, R9791 \u2192 0, R1847 6 "
                                                                 "\u2192 6, R1831 400 \u2192 400.\r\nR9395?"}
                            : std::vector<std::string>{});
        ASSERT_EQ(::stat(w.db.c_str(), &after), 0);
        EXPECT_EQ(after.st_ino, before.st_ino);
        if (!c.placed) {
            EXPECT_TRUE(fileBytes(w.db) == damaged) << "the database is as it was";
            continue;
        }
        EXPECT_EQ(dumpOf(w.db), wanted);
        EXPECT_TRUE(fileBytes(w.dir.file(kKeptName)) == damaged) << "the damaged state is kept";
    }
}

// Only this database's backups are listed: a name with a real day not
// after today, a regular file, a booking database, not the database.
TEST(BackupList, ListsTheBackupsNewestFirstAndNothingThatOnlyLooksLikeOne) {
    JobWorld w;
    const auto copy = [&](const std::string& name) {
        fs::copy_file(w.db, w.dir.file(name));
        return w.dir.file(name);
    };
    copy("Vexla2026-12-01.db");
    copy("Vexla2026-12-01-2.db");
    overwritePage(copy("Vexla2026-11-30.db"), "Bokning");  // listed, not sound
    fs::resize_file(copy("Vexla2026-11-23.db"), 4096);     // so is a truncated one
    for (const char* lookAlike : {"Vexla2026-02-30.db", "Vexla2026-12-05.db", "Vexla2026-12-01-02.db",
                                  "vexla2026-12-01.db", "Vexla2026-12-01.db.old", "Vexla2026-12-1.db"})
        copy(lookAlike);
    w.dir.write("Vexla2026-11-29.db", "no database");
    makeDatabase(w.dir.file("Vexla2026-11-28.db"), "CREATE TABLE Kund (ID)");
    fs::create_directory(w.dir.file("Vexla2026-11-27.db"));
    fs::create_symlink(w.dir.file("Vexla2026-12-01.db"), w.dir.file("Vexla2026-11-26.db"));
    fs::create_hard_link(w.db, w.dir.file("Vexla2026-11-25.db"));
    // The database may carry a backup's name itself.
    fs::rename(w.db, w.dir.file("Vexla2026-11-24.db"));
    w.window.state_.DataBas = w.db = w.dir.file("Vexla2026-11-24.db");
    const std::string databaseBytes = fileBytes(w.db);

    auto listed = listBackups(w.ctx);
    ASSERT_TRUE(listed) << listed.error().description;
    std::vector<std::string> names;
    for (const BackupEntry& b : *listed) names.push_back(b.name);
    EXPECT_EQ(names, (std::vector<std::string>{"Vexla2026-12-01-2.db", "Vexla2026-12-01.db", "Vexla2026-11-30.db",
                                               "Vexla2026-11-23.db"}));
    ASSERT_EQ(listed->size(), 4u);
    EXPECT_EQ((*listed)[0].counts, (RegisterCounts{33, 6, 400}));
    EXPECT_EQ((*listed)[0].size, fs::file_size(w.db));
    EXPECT_TRUE((*listed)[0].sound);
    EXPECT_FALSE((*listed)[2].sound);
    EXPECT_EQ((*listed)[3].counts, RegisterCounts{});
    EXPECT_EQ(databaseCounts(w.ctx), (RegisterCounts{33, 6, 400}));
    EXPECT_EQ(fileBytes(w.db), databaseBytes);

    const std::vector<std::string> lines = backupListLines(w.ctx, *listed);
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0], "R9483: " + w.db);
    EXPECT_EQ(lines[2].rfind("Vexla2026-12-01-2.db  2026-12-01  ", 0), 0u) << lines[2];
    EXPECT_TRUE(lines[2].ends_with("33      6    400  R9488")) << lines[2];
    EXPECT_TRUE(lines[4].ends_with("R9489")) << lines[4];

    w.window.state_.DataBas = w.dir.file("nope.db");
    EXPECT_FALSE(listBackups(w.ctx));
}

// The confirmation names each register whose count changes, in the locale's grouping.
TEST(RestoreChange, NamesTheRegistersThatChange) {
    struct Case {
        const char* decimal;
        RegisterCounts database, backup;
        std::string said;
    };
    for (const Case& c : {
             Case{",", {203, 6, 20000}, {198, 6, 19500}, "R1826 203 \u2192 198, R1831 20\u00A0000 \u2192 19\u00A0500"},
             Case{".", {1, 1234567, 2}, {1, 999, 2}, "R1847 1,234,567 \u2192 999"},
             Case{".", {1, 2, 3}, {1, 2, 3}, "R9481"},
             Case{",", {-1, 2, 3}, {5, 2, 3}, "R1826 ? \u2192 5"},
         }) {
        JobWorld w;
        w.fakes.locale.values[LocaleItem::DecimalSeparator] = c.decimal;
        EXPECT_EQ(restoreChangeText(w.ctx, c.database, c.backup), c.said);
    }
}

}  // namespace
}  // namespace vexla
