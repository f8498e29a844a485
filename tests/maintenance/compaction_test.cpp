// The compaction behind its dated backup: the steps and their files, the
// reports of the exclusive-use test, and that no failure or crash at any
// step loses a row.
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <thread>

#include <gtest/gtest.h>

#include "maintenance/compaction.h"
#include "maintenance/exclusive_test.h"
#include "tests/db/db_test_support.h"
#include "tests/maintenance/job_test_support.h"
#include "tests/support/source_tree.h"

namespace vexla {
namespace {

using testing::JobWorld;
namespace fs = std::filesystem;

const std::string kBackup = "Vexla2026-12-04.db";
const std::string kNow = "2026-12-04 22:15:07";

class Compaction : public ::testing::TestWithParam<bool> {};

TEST_P(Compaction, KeepsEveryRowBehindADatedBackup) {
    JobWorld w;
    w.window.state_.Kommandorad = GetParam();
    const auto rows = w.rowsIn(w.db);
    ASSERT_FALSE(rows.empty());
    w.dir.write(kWorkCopyName, "left over by a run that was cut off");

    ASSERT_TRUE(w.compactInWindow());
    const std::string backup = w.dir.file(kBackup);
    EXPECT_EQ(w.rowsIn(w.db), rows);
    EXPECT_EQ(w.rowsIn(backup), rows);
    EXPECT_FALSE(fs::exists(w.dir.file(kWorkCopyName)));
    EXPECT_EQ(w.window.infos, (std::vector<std::string>{"R1749...", "R1761. R9155: " + backup}));
    EXPECT_FALSE(w.fakes.pointer.busy);
    EXPECT_TRUE(w.fakes.messages.shown.empty());
    const std::vector<std::string> logged{"R1758: " + w.db + " " + kNow, "R1759: " + kNow, "R1760: " + kNow,
                                          "R9155: " + backup};
    EXPECT_EQ(w.window.logged, GetParam() ? logged : std::vector<std::string>{"R9155: " + backup});

    // A second run on the same day keeps the first backup and numbers its own.
    w.dir.write("Vexla2026-12-04-2.db", "a name taken by another file");
    ASSERT_TRUE(w.compactInWindow());
    EXPECT_EQ(w.rowsIn(backup), rows);
    EXPECT_EQ(w.rowsIn(w.dir.file("Vexla2026-12-04-3.db")), rows);
    EXPECT_EQ(w.window.infos.back(), "R1761. R9155: " + w.dir.file("Vexla2026-12-04-3.db"));
    for (const auto& entry : fs::directory_iterator(w.dir.path()))
        EXPECT_TRUE(entry.path() == w.db || !fs::equivalent(entry.path(), w.db)) << entry.path();
}

INSTANTIATE_TEST_SUITE_P(InteractiveAndUnattended, Compaction, ::testing::Bool());

// The exclusive-use test's refusals touch nothing and say why, in the
// box's words and the log's ("@" stands for the database path); the window
// shows the box with a beep.
TEST(ExclusiveTest, RefusalsTouchNothingAndSayWhy) {
    const auto withPath = [](std::string text, const std::string& path) {
        for (auto at = text.find('@'); at != std::string::npos; at = text.find('@', at + path.size()))
            text.replace(at, 1, path);
        return text;
    };
    enum Setup { HeldElsewhere, Missing, NotADatabase, AFolder, LockIsAFolder, NameTooLong };
    struct Case {
        Setup setup;
        std::string box, log;
    };
    for (const Case& c :
         {Case{HeldElsewhere, "R1784!\r\nR9580 1 s.\r\nR1785 R0558!\r\nR1786", "R1784! @: " + kNow},
          Case{Missing, "R1787!\r\n\r\nR1788.", "R1787! @:" + kNow},
          Case{NotADatabase, "R1789!\r\n\r\nR1788", "R1789! @:" + kNow},
          Case{AFolder, "R1755: 9640\r\nR9640: @\r\nR1756!", "R1755: 9640\r\nR9640: @: " + kNow},
          // A stray lock of the wrong kind is said for what it is, not taken for a holder.
          Case{LockIsAFolder, "R1755: 3051\r\nR9148: @.lock\r\nR1756!", "R1755: 3051\r\nR9148: @.lock: " + kNow},
          Case{NameTooLong, "R1755: 36\r\nR9371: @\r\nR1756!", "R1755: 36\r\nR9371: @: " + kNow}}) {
        SCOPED_TRACE(c.setup);
        JobWorld w;
        std::unique_ptr<db::Database> holder;
        // Held elsewhere: a transaction that does not end, outlasting the wait.
        if (c.setup == HeldElsewhere) {
            holder = w.window.engine_.OpenDatabase(w.db, false).value();
            ASSERT_TRUE(holder->HoldWriters());
            w.ctx.waitSeconds = 1;
        }
        if (c.setup == Missing || c.setup == AFolder) fs::remove(w.db);
        if (c.setup == NotADatabase) w.dir.write("bok.db", "name;address\r\n");
        if (c.setup == AFolder) fs::create_directory(w.db);
        if (c.setup == LockIsAFolder) fs::create_directory(w.db + ".lock");
        if (c.setup == NameTooLong) w.db = w.window.state_.DataBas = w.dir.file(std::string(256, 'b') + ".db");

        const CompactionOutcome outcome = compactDatabase(w.ctx);
        ASSERT_TRUE(outcome.refused());
        const ExclusiveRefusal said =
            describeRefusal(*outcome.failure, w.ctx.main.state().DataBas, w.ctx.now(), w.ctx.texts);
        EXPECT_EQ(said.box, withPath(c.box, w.db));
        EXPECT_EQ(said.line, withPath(c.log, w.db));
        EXPECT_FALSE(fs::exists(w.dir.file(kBackup)));
        showCompaction(w.ctx, outcome);
        const testing::ShownBox box{said.box, kProgramTitle, MsgIcon::Critical, MsgButtons::Ok};
        EXPECT_EQ(w.fakes.messages.shown, std::vector<testing::ShownBox>{box});
        EXPECT_EQ(w.fakes.messages.beeps, 1);
        // Held elsewhere, the job began and waited before it was refused.
        std::vector<std::string> infos{said.line};
        if (c.setup == HeldElsewhere) infos.insert(infos.begin(), "R1749...");
        EXPECT_EQ(w.window.infos, infos);
    }
}

// A failure before the compacted content takes the database's place ends
// the job with one box, the database as it was and no file of the job's
// left but a backup made whole: too little room for its copies (none is
// begun, and room for exactly them is enough); a sync of the backup that
// fails (it is on the disk before the commit); the result or the backup
// beside it (two new files, made at once) failing at its start or at its placing.
TEST(CompactionFaults, AFailureBeforeTheCommitLeavesTheDatabase) {
    const auto placing = [](const char* op, int nth) {
        return [=](JobWorld& w) {
            w.fakes.files.failCall(op, nth, Error{fserr::DiskFull, "Disk full", "Vexla Admin", w.db, "R9143"});
        };
    };
    const auto unsynced = [](JobWorld& w) {
        w.fakes.files.failCall("syncFile", 1, Error{fserr::PathFileAccess, "Path/File access error", "Vexla Admin"});
    };
    const auto noRoom = [](JobWorld& w) { w.fakes.files.freeBytes = 3 * fs::file_size(w.db) - 1; };
    using Case = std::tuple<std::string, std::function<void(JobWorld&)>, std::string>;
    for (const auto& [name, fault, box] :
         {Case{"no room", noRoom, "61\r\nR9051: "}, Case{"unsynced", unsynced, "75\r\n"},
          Case{"createFile 1", placing("createFile", 1), "61\r\n"},
          Case{"createFile 2", placing("createFile", 2), "61\r\n"}, Case{"commit 1", placing("commit", 1), "61\r\n"},
          Case{"commit 2", placing("commit", 2), "61\r\n"}}) {
        SCOPED_TRACE(name);
        JobWorld w;
        db::testing::makeDatabase(w.db, "DELETE FROM Bokning WHERE ID % 2 = 0");
        const std::string before = w.dir.read("bok.db");
        fault(w);
        EXPECT_FALSE(w.compactInWindow());
        ASSERT_EQ(w.boxTexts().size(), 1u);
        EXPECT_EQ(w.boxTexts()[0].rfind(box, 0), 0u) << w.boxTexts()[0];
        EXPECT_EQ(w.dir.read("bok.db"), before);
        for (const std::string& file : w.dir.list()) EXPECT_TRUE(file == "bok.db" || file == kBackup) << file;
        if (name != "no room") continue;
        EXPECT_FALSE(fs::exists(w.dir.file(kBackup)));
        w.fakes.files.freeBytes = *w.fakes.files.freeBytes + 1;
        EXPECT_TRUE(w.compactInWindow());
    }
}

// A journal beside the database is the booking system's (its connections
// share it by name): the compaction leaves it to the engine and renames
// nothing aside, also under a name too long for any ".old" beside it.
TEST(CompactionFaults, AJournalBesideTheDatabaseIsLeftToTheEngine) {
    for (const std::size_t length : {std::size_t{6}, std::size_t{245}}) {
        SCOPED_TRACE(length);
        JobWorld w;
        const std::string db = w.dir.file(std::string(length - 3, 'b') + ".db");
        fs::rename(w.db, db);
        w.window.state_.DataBas = db;
        const auto rows = w.rowsIn(db);
        // A journal with a zeroed header is not hot: the engine rolls nothing back from it.
        w.dir.write(fs::path(db).filename().string() + "-journal", std::string(4096, '\0'));
        ASSERT_TRUE(w.compactInWindow()) << (w.boxTexts().empty() ? "" : w.boxTexts()[0]);
        EXPECT_EQ(w.rowsIn(db), rows);
        for (const auto& entry : fs::directory_iterator(w.dir.path()))
            EXPECT_FALSE(entry.path().filename().string().ends_with(".old")) << entry.path();
    }
}

// An engine whose compacted file has lost a row when the job opens it to
// check it, as a failing disk might do.
class LossyEngine final : public testing::ForwardingEngine {
public:
    using ForwardingEngine::ForwardingEngine;
    Result<std::unique_ptr<db::Database>> OpenDatabase(const std::string& path, bool exclusive) override {
        auto opened = real_.OpenDatabase(path, exclusive);
        if (opened && path.ends_with(kCompactedSuffix) && !lost_) {
            EXPECT_TRUE((*opened)->Execute("DELETE FROM Bokning WHERE ID = 1"));
            lost_ = true;
        }
        return opened;
    }

private:
    bool lost_ = false;  // the row is lost once, at the first opening
};

// The result is set aside and the database untouched; the backup is a
// copy of its own and stays. A folder that cannot be synced after the move
// leaves the result moved all the same: the box names where, and the sync's
// failure is told.
TEST(CompactionFaults, ResultFailingItsCheckIsSetAsideNotUsed) {
    for (const bool syncFails : {false, true}) {
        SCOPED_TRACE(syncFails);
        JobWorld w;
        const auto rows = w.rowsIn(w.db);
        LossyEngine lossy(w.window.engine_);
        w.window.engineInUse = &lossy;
        const std::string folder = w.dir.path() + "/";
        if (syncFails) w.fakes.files.failCall("syncFolder", 1, Error{75, "EIO", "Vexla Admin", folder, txt::OpSync});
        EXPECT_FALSE(w.compactInWindow());
        ASSERT_EQ(w.boxTexts().size(), 1u);
        EXPECT_EQ(w.boxTexts()[0].rfind("3049\r\n", 0), 0u);
        EXPECT_NE(w.boxTexts()[0].find("R9050: " + w.db + ".unverified R9040: 0"), std::string::npos);
        EXPECT_EQ(w.rowsIn(w.db), rows);
        EXPECT_TRUE(fs::exists(w.db + ".unverified"));
        EXPECT_FALSE(fs::exists(w.db + kCompactedSuffix));
        EXPECT_TRUE(fs::exists(w.dir.file(kBackup)));
        EXPECT_EQ(w.fakes.notices(), syncFails
                                         ? std::vector<std::string>{"R9589: 75 R9278 (R9145: " + folder + ") [EIO]"}
                                         : std::vector<std::string>{});
    }
}

// BackupKeep of Vexla.ini: the newest N of this program's backups stay,
// each deletion logged; a value that is no count keeps them all and says
// so. Only a booking database under a backup's name with a real day not
// after today is one: the look-alikes are neither counted nor deleted.
TEST(CompactionBackups, BackupKeepDeletesTheOldestOfItsOwnOnly) {
    const std::vector<std::string> backups{"Vexla2026-12-03.db", "Vexla2026-12-01.db", "Vexla2026-11-30-2.db"};
    const std::vector<std::string> lookAlikes{"Vexla2000-01-01.db",  // a text file
                                              "Vexla9999-99-99.db",       "Vexla2026-02-30.db", "Vexla2027-01-01.db",
                                              "Vexla2026-12-02.db",  // an SQLite database of something else
                                              "Vexla2026-12-02-notes.txt"};
    for (const auto& [keep, kept] : std::vector<std::pair<std::string, std::size_t>>{{"1", 0}, {"2", 1}, {"x", 3}}) {
        SCOPED_TRACE(keep);
        JobWorld w;
        w.dir.write("Vexla.ini", "[System]\r\nBackupKeep=" + keep + "\r\n");
        for (const std::string& name : backups) fs::copy_file(w.db, w.dir.file(name));
        for (const std::string& name : lookAlikes) w.dir.write(name, "not a backup");
        for (const std::string& name : {lookAlikes[1], lookAlikes[2], lookAlikes[3]})
            fs::copy_file(w.db, w.dir.file(name), fs::copy_options::overwrite_existing);
        fs::remove(w.dir.file(lookAlikes[4]));
        db::testing::makeDatabase(w.dir.file(lookAlikes[4]), "CREATE TABLE Kund (ID INTEGER)");

        ASSERT_TRUE(w.compactInWindow());
        EXPECT_TRUE(fs::exists(w.dir.file(kBackup)));
        std::vector<std::string> deleted;
        for (std::size_t i = 0; i < backups.size(); ++i) {
            EXPECT_EQ(fs::exists(w.dir.file(backups[i])), i < kept) << backups[i];
            if (i >= kept) deleted.push_back("R9157: " + w.dir.file(backups[i]));
        }
        for (const std::string& name : lookAlikes) EXPECT_TRUE(fs::exists(w.dir.file(name))) << name;
        EXPECT_EQ(std::vector<std::string>(w.window.logged.begin() + 1, w.window.logged.end()),
                  keep == "x" ? std::vector<std::string>{"R9160: BackupKeep=x"} : deleted);
    }
}

// A database file whose name looks like a backup is neither removed as a
// stale one nor counted by BackupKeep.
TEST(CompactionBackups, ADatabaseNamedLikeABackupIsNeverTakenForOne) {
    JobWorld w;
    const auto rows = w.rowsIn(w.db);
    const std::string db = w.dir.file("Vexla2026-12-01.db");
    fs::rename(w.db, db);
    w.window.state_.DataBas = db;
    w.dir.write("Vexla.ini", "[System]\r\nBackupKeep=1\r\n");
    ASSERT_TRUE(w.compactInWindow());
    ASSERT_TRUE(w.compactInWindow());
    EXPECT_EQ(w.rowsIn(db), rows);
    EXPECT_EQ(w.rowsIn(w.dir.file("Vexla2026-12-04-2.db")), rows);
    EXPECT_FALSE(fs::exists(w.dir.file(kBackup)));
}

// The job killed before each of its file operations in turn (the rows
// themselves are the fault harness's): the next run repairs what the
// cut-off one left, and no name beside the database is still the database.
TEST(CompactionCrash, TheRunAfterAKillLeavesOnlyRealCopies) {
    ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    for (int killAt = 1;; ++killAt) {
        SCOPED_TRACE("killed before file operation " + std::to_string(killAt));
        JobWorld w;
        const auto rows = w.rowsIn(w.db);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            int calls = 0;
            w.fakes.files.beforeCall = [&](const std::string&) {
                if (++calls == killAt) raise(SIGKILL);
            };
            _exit(w.compactInWindow() ? 0 : 1);
        }
        int status = 0;
        waitpid(child, &status, 0);
        // A copy's reader the job had forked dies with it, but a moment
        // later: it comes back to us (a subreaper) and is awaited, as a
        // next run seconds later would find it gone.
        while (waitpid(-1, nullptr, 0) > 0) {}
        const bool killed = WIFSIGNALED(status);
        EXPECT_EQ(w.rowsIn(w.db), rows);
        // The next run finds any name the cut-off one left on the database
        // file and leaves only real copies beside it.
        w.window.logged.clear();
        ASSERT_TRUE(w.compactInWindow()) << ::testing::PrintToString(w.boxTexts());
        EXPECT_EQ(w.rowsIn(w.dir.file(kBackup)), rows);
        for (const auto& entry : fs::directory_iterator(w.dir.path()))
            EXPECT_TRUE(entry.path() == w.db || !fs::equivalent(entry.path(), w.db)) << entry.path();
        if (!killed) {
            EXPECT_EQ(WEXITSTATUS(status), 0);
            EXPECT_GT(killAt, 5);  // the job has at least that many file steps
            break;
        }
    }
}

// Another job of ours holding the database (its fence): the compaction waits
// for it up to its wait, runs once it is let go, and is refused naming it
// when it is not.
TEST(CompactionWait, WaitsForAnotherJobOfOursUpToTheWait) {
    for (const bool letGo : {true, false}) {
        SCOPED_TRACE(letGo ? "let go" : "held");
        JobWorld w;
        db::testing::Child other(db::testing::programDir() + "/vexla-holddb", {"--fence", w.db});
        ASSERT_TRUE(other.waitForLine("holding"));
        w.ctx.waitSeconds = letGo ? 10 : 0.3;
        std::thread stopper;
        if (letGo)
            stopper = std::thread([&] { std::this_thread::sleep_for(std::chrono::milliseconds(300)), other.stop(); });
        const CompactionOutcome outcome = compactDatabase(w.ctx);
        if (stopper.joinable()) stopper.join();
        EXPECT_EQ(outcome.compacted(), letGo);
        if (letGo) continue;
        ASSERT_TRUE(outcome.refused());
        EXPECT_EQ(outcome.failure->holder.pid, other.pid());
    }
}

}  // namespace
}  // namespace vexla
