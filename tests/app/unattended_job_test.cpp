// The unattended job: the lines it logs, its exit status, and the program
// run the way cron runs it, with no window system.
#include "app/unattended_job.h"

#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <utility>

#include "maintenance/compaction.h"
#include "tests/db/db_test_support.h"
#include "tests/maintenance/job_test_support.h"
#include "tests/support/source_tree.h"
#include "tools/sample_generator.h"

namespace vexla {
namespace {

using testing::JobWorld;
namespace fs = std::filesystem;

const std::string kNow = "2026-12-04 22:15:07";

int run(JobWorld& w, const std::function<bool()>& waitAgain = {}) {
    return runUnattendedJob(w.ctx, w.fakes.messages, waitAgain).status;
}

// A run logs every step and ends Done; without a database path it logs one
// line and standard error says why, not only where. Either way the log is
// closed once.
TEST(UnattendedJob, LogsEveryStepOrTheOneLineWithoutADatabase) {
    for (const bool withPath : {true, false}) {
        SCOPED_TRACE(withPath ? "with a path" : "without a path");
        JobWorld w;
        if (!withPath) w.window.state_.DataBas.clear();
        const std::string backup = w.dir.file("Vexla2026-12-04.db");
        using Lines = std::vector<std::string>;
        const Lines logged = withPath ? Lines{" ",
                                              "R1775",
                                              "R1776: " + kNow,
                                              "R1758: " + w.db + " " + kNow,
                                              "R1759: " + kNow,
                                              "R1760: " + kNow,
                                              "R9155: " + backup,
                                              "R1777: " + kNow,
                                              "R1778",
                                              " "}
                                      : Lines{"R1774!: " + kNow};
        EXPECT_EQ(run(w), withPath ? 0 : 1);
        EXPECT_EQ(w.window.logged, logged);
        EXPECT_EQ(w.boxTexts(), withPath ? Lines() : Lines{"R1774"});
        EXPECT_EQ(w.window.filesClosed, 1);
    }
}

TEST(UnattendedJob, AFailedCompactionIsLoggedAndEndsWithStatusOne) {
    JobWorld w;
    w.fakes.files.failCall("availableBytes", 1, Error{61, "Disk full", "Vexla Admin"});
    EXPECT_EQ(run(w), 1);
    const std::vector<std::string>& log = w.window.logged;
    ASSERT_EQ(log.size(), 8u);
    EXPECT_EQ(std::tie(log[4], log[5]), std::tuple("61\r\nR9277 R9040: 0", "R1777: " + kNow));  // the box, then on
    EXPECT_EQ(w.boxTexts(), std::vector<std::string>{"61\r\nR9277 R9040: 0"});                  // and standard error
}

// What the compaction could not clean up or make durable changes nothing
// it did: the job ends Done, and each such failure is told to the system log
// as it happens and to the activity log after the job's own lines.
TEST(UnattendedJob, TellsWhatItLeftUndoneAfterItsOwnLines) {
    struct Case {
        const char* op;
        int call;
        const char* told;  // the notice's code
        const char* what;  // the operation the error names
        bool onResult;     // the error names the compacted file, else the folder
    };
    for (const Case& c : {Case{"listFolder", 1, "R9586", txt::OpRead, false},     // leftovers not looked for
                          Case{"listFolder", 3, "R9587", txt::OpRead, false},     // BackupKeep not applied
                          Case{"removeFile", 1, "R9585", txt::OpDelete, true},    // the result left behind
                          Case{"syncFolder", 2, "R9589", txt::OpSync, false}}) {  // its removal not synced
        SCOPED_TRACE(c.told);
        JobWorld w;
        w.dir.write("Vexla.ini", "[System]\r\nBackupKeep=3\r\n");
        const std::string file = c.onResult ? w.db + kCompactedSuffix : w.dir.path() + "/";
        w.fakes.files.failCall(c.op, c.call, Error{75, "Input/output error", "Vexla Admin", file, c.what});
        EXPECT_EQ(run(w), 0);
        const std::string told = std::string(c.told) + ": 75 R9278 (" + c.what + ": " + file + ") [Input/output error]";
        const std::vector<std::string>& log = w.window.logged;
        ASSERT_EQ(log.size(), 11u);
        EXPECT_EQ(std::tie(log[8], log[9], log[10]), std::tuple("R1778", " ", told));
        EXPECT_EQ(w.fakes.notices(), std::vector<std::string>{told});
    }
}

// A database in use ends with 3, told in one log line; with a wait the job
// looks again, quietly, for as long as it is let, and compacts once the
// other program has let go.
TEST(UnattendedJob, DatabaseInUseEndsWithThreeUnlessItIsFreedWhileWaiting) {
    struct Row {
        int looksAllowed;  // -1: no wait at all
        int freedAtLook;   // the look at which the other program lets go; 0: never
        int status, looks;
    };
    for (const Row& r : {Row{-1, 0, 3, 0}, Row{0, 0, 3, 1}, Row{3, 0, 3, 4}, Row{5, 2, 0, 2}}) {
        SCOPED_TRACE(r.looksAllowed);
        JobWorld w;
        // Another program in a transaction that does not end; each look
        // itself does not wait.
        w.window.engine_.SetWait(0);
        w.ctx.waitSeconds = 0;
        sqlite3* holder = nullptr;
        sqlite3_open(w.db.c_str(), &holder);
        ASSERT_EQ(sqlite3_exec(holder, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
        int looks = 0;
        const std::function<bool()> waitAgain = [&] {
            if (++looks == r.freedAtLook) sqlite3_close(std::exchange(holder, nullptr));
            return looks <= r.looksAllowed;
        };
        EXPECT_EQ(run(w, r.looksAllowed < 0 ? std::function<bool()>() : waitAgain), r.status);
        sqlite3_close(holder);
        EXPECT_EQ(looks, r.looks);
        if (r.status == 0) continue;
        ASSERT_EQ(w.window.logged.size(), 7u);  // the looks log nothing
        EXPECT_EQ(w.window.logged[3], "R1784! " + w.db + ": " + kNow);
        EXPECT_EQ(w.boxTexts(), std::vector<std::string>{w.window.logged[3]});  // standard error carries the reason
    }
}

// The program itself, started as cron starts it: no display, and the window
// system a desktop's /etc/environment names, which is not there. It runs
// from a copy of the program folder so its Logg.txt is its own.
int runProgram(const std::string& folder, const std::string& args) {
    const std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM='wayland;xcb' " + folder +
                                "/vexla-admin " + args + " >" + folder + "/stdout 2>" + folder + "/stderr";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(UnattendedProgram, RunsWithoutAWindowSystemAndAnswersItsStatus) {
    JobWorld w;
    const std::string program = std::getenv("VEXLA_PROGRAM_DIR");
    const std::string folder = w.dir.file("program");
    fs::create_directories(folder + "/bin");
    fs::copy_file(program + "/vexla-admin", folder + "/vexla-admin");
    fs::copy_file(program + "/bin/Lang.ini", folder + "/bin/Lang.ini");

    EXPECT_EQ(runProgram(folder, "/ak /d \"" + w.db + "\""), 0) << testing::fileBytes(folder + "/stderr");
    const std::string log = testing::fileBytes(folder + "/Logg.txt");
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 10) << log;
    EXPECT_FALSE(fs::exists(w.dir.file("Vexlaol.db")));

    fs::remove(w.db);
    EXPECT_EQ(runProgram(folder, "/ak /d \"" + w.db + "\""), 1);
    // Standard error says why as well as where the log is.
    const std::string said = testing::fileBytes(folder + "/stderr");
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 2) << said;
    EXPECT_NE(said.find(w.db), std::string::npos) << said;
    EXPECT_NE(said.find(": " + folder + "/Logg.txt"), std::string::npos) << said;

    // Another program holding the database: 3, also after a wait.
    ASSERT_TRUE(sample::makeSampleDatabase(w.db, {.bookings = 10, .clean = true}));
    {
        db::testing::Child holder(program + "/vexla-holddb", {w.db});
        ASSERT_TRUE(holder.waitForLine("holding"));
        EXPECT_EQ(runProgram(folder, "/ak --wait 0 /d \"" + w.db + "\""), 3);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(runProgram(folder, "/ak --wait 1 /d \"" + w.db + "\""), 3);
        EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(900));
        EXPECT_NE(testing::fileBytes(folder + "/stderr").find(w.db), std::string::npos);
    }
    // A bare file name names no folder: standard error says so, not only where the log is.
    EXPECT_EQ(runProgram(folder, "/ak /d bok.db"), 1);
    const std::string bare = testing::fileBytes(folder + "/stderr");
    EXPECT_EQ(std::count(bare.begin(), bare.end(), '\n'), 2) << bare;

    // /a naming no job is a usage error that names it, before any window.
    EXPECT_EQ(runProgram(folder, "/a x /d \"" + w.db + "\""), 2);
    EXPECT_NE(testing::fileBytes(folder + "/stderr").find(": x\n"), std::string::npos);
    // The window cannot be shown here: said in the program's words, not the toolkit's abort.
    EXPECT_EQ(runProgram(folder, "-d \"" + w.db + "\""), 1);
    EXPECT_EQ(testing::fileBytes(folder + "/stderr").find("qt.qpa"), std::string::npos);
}

// The service's condition: only DataBas1 of Vexla.ini counts, and a run it
// skips says why in one line.
TEST(UnattendedProgram, HasDatabaseAnswersWhetherTheSettingsNameOne) {
    JobWorld w;
    const std::string folder = w.dir.file("program");
    fs::create_directories(folder + "/bin");
    fs::copy_file(std::string(std::getenv("VEXLA_PROGRAM_DIR")) + "/vexla-admin", folder + "/vexla-admin");
    fs::copy_file(std::string(std::getenv("VEXLA_PROGRAM_DIR")) + "/bin/Lang.ini", folder + "/bin/Lang.ini");
    struct Row {
        const char* settings;  // nullptr: no Vexla.ini
        int status;
    };
    for (const Row& r :
         {Row{"[System]\nDataBas1=/srv/none/bok.db\n", 0}, Row{"[System]\n;DataBas1=/srv/bok.db\n", 1},
          Row{"[System]\r\nDataBas1=  \r\n", 1}, Row{"[Other]\nDataBas1=/srv/bok.db\n", 1}, Row{nullptr, 1}}) {
        SCOPED_TRACE(r.settings ? r.settings : "no Vexla.ini");
        fs::remove(folder + "/Vexla.ini");
        if (r.settings) w.dir.write("program/Vexla.ini", r.settings);
        EXPECT_EQ(runProgram(folder, "--has-database"), r.status);
        const std::string said = testing::fileBytes(folder + "/stderr");
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), r.status) << said;
        EXPECT_FALSE(fs::exists(folder + "/Logg.txt"));
    }
    // The job itself still fails on a missing path.
    EXPECT_EQ(runProgram(folder, "/a k"), 1);
}

}  // namespace
}  // namespace vexla
