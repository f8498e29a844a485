// Another program opening the database at a random moment while a job
// runs: the sqlite3 shell (an exclusive transaction that holds on a moment,
// a plain INSERT, or one that waits for the lock), vexla-holddb, a second
// opener through our engine and vexla-admin compacting unattended. Either
// our job fails and changes nothing, or the other program is refused, or
// the two ran one after the other; never both on the file at once. The
// database afterwards passes its integrity check and holds the rows of one
// of those outcomes, the other program's row exactly when it got in.
//
// The moments come from a fixed seed (VEXLA_CONCURRENCY_SEED overrides it).
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <random>

#include <gtest/gtest.h>

#include "db/sqlite_engine.h"
#include "tests/db/db_test_support.h"
#include "tests/reliability/reliability_support.h"

namespace vexla {
namespace {

using namespace testing;
using namespace std::chrono_literals;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr long long kMarkerId = 999999;
constexpr const char* kMarkerInsert = "INSERT INTO Kund (ID, Namn) VALUES (999999, 'Annat program');";

char* const kEnd = nullptr;  // the end of execl's arguments

enum class Other { ShellExclusive, ShellInsert, ShellWaiting, HoldDb, SecondAdmin, AdminProgram };

// Sleeps for d (nothing for a zero or negative d), to its end.
void sleepFor(Clock::duration d) {
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(d).count();
    timespec ts{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
    while (ns > 0 && ::nanosleep(&ts, &ts) != 0) {
    }
}

// A copy of the program with its language file, in a folder of its own: the
// program writes its activity log beside itself.
const std::string& adminProgram() {
    static TempFolder folder;
    static const std::string exe = [] {
        const std::string from = db::testing::programDir();
        fs::create_directories(folder.path() + "/bin");
        fs::copy_file(from + "/vexla-admin", folder.path() + "/vexla-admin");
        fs::copy_file(from + "/bin/Lang.ini", folder.path() + "/bin/Lang.ini");
        return folder.path() + "/vexla-admin";
    }();
    return exe;
}

// The other program, in a child process that waits `delay` first.
pid_t startOther(Other kind, const std::string& db, Clock::duration delay) {
    const std::string shell = db::testing::findOnPath("sqlite3"), holddb = db::testing::programDir() + "/vexla-holddb";
    const std::string admin = kind == Other::AdminProgram ? adminProgram() : "";
    const pid_t pid = ::fork();
    if (pid != 0) return pid;
    sleepFor(delay);
    const int quiet = ::open("/dev/null", O_WRONLY);
    ::dup2(quiet, 1);
    ::dup2(quiet, 2);
    const char *sh = shell.c_str(), *file = db.c_str();
    if (kind == Other::ShellExclusive)
        ::execl(sh, "sqlite3", "-bail", file, "BEGIN EXCLUSIVE;", kMarkerInsert, ".system sleep 0.02", "COMMIT;", kEnd);
    if (kind == Other::ShellInsert) ::execl(sh, "sqlite3", "-bail", file, kMarkerInsert, kEnd);
    if (kind == Other::ShellWaiting) ::execl(sh, "sqlite3", "-bail", file, ".timeout 10000", kMarkerInsert, kEnd);
    if (kind == Other::HoldDb) ::execl(holddb.c_str(), "vexla-holddb", file, kEnd);
    if (kind == Other::AdminProgram) {
        // The unattended compaction, as cron runs it: no display at all.
        ::unsetenv("DISPLAY");
        ::unsetenv("WAYLAND_DISPLAY");
        ::execl(admin.c_str(), "vexla-admin", "/ak", "/d", file, kEnd);
    }
    if (kind == Other::SecondAdmin) {
        db::SqliteEngine engine;
        auto opened = engine.OpenDatabase(db, true);
        if (!opened || !(*opened)->Execute(kMarkerInsert)) ::_exit(3);
        sleepFor(20ms);
        ::_exit((*opened)->Close() ? 0 : 4);
    }
    ::_exit(127);
}

class Concurrency : public ::testing::TestWithParam<JobKind> {};

TEST_P(Concurrency, NeverBothOnTheFileAtOnce) {
    const JobKind job = GetParam();
    std::vector<Other> kinds{Other::HoldDb, Other::SecondAdmin, Other::AdminProgram};
    if (!db::testing::findOnPath("sqlite3").empty())
        kinds.insert(kinds.end(), {Other::ShellExclusive, Other::ShellInsert, Other::ShellWaiting});

    // What a complete run leaves, and how long one takes here: the other
    // starts from half a job's time before it (it is in first) to its end.
    Snapshot before, complete;
    long jobMicros = 0;
    {
        JobScene scene(job);
        before = snapshot(scene);
        const auto start = Clock::now();
        ASSERT_EQ(scene.run(), Said::Done);
        jobMicros = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start).count();
        complete = snapshot(scene);
    }
    const char* seedText = std::getenv("VEXLA_CONCURRENCY_SEED");
    const std::uint64_t seed = (seedText && *seedText ? std::strtoull(seedText, nullptr, 10) : 4122026) +
                               static_cast<std::uint64_t>(job);
    std::mt19937_64 random(seed);
    std::uniform_int_distribution<long> moment(-jobMicros / 2, jobMicros);
    int met = 0;  // trials where one of the two was refused
    for (int trial = 0; trial < 60; ++trial) {
        const Other kind = kinds[static_cast<std::size_t>(trial) % kinds.size()];
        const auto delay = std::chrono::microseconds(moment(random));
        SCOPED_TRACE("seed " + std::to_string(seed) + ", trial " + std::to_string(trial) + ": other program " +
                     std::to_string(static_cast<int>(kind)) + " at " + std::to_string(delay.count()) + " us");
        JobScene scene(job);
        const pid_t other = startOther(kind, scene.db, std::max(delay, 0us));
        sleepFor(-delay);
        const Said said = scene.run();
        if (kind == Other::HoldDb) ::kill(other, SIGTERM);
        int status = 0;
        ::waitpid(other, &status, 0);
        const bool gotIn = WIFEXITED(status) && WEXITSTATUS(status) == 0;  // it did its work
        met += said == Said::Failed || !gotIn;

        EXPECT_EQ(openAndCheck(scene.db), "");
        Tables now = allRows(scene.db);
        const bool writesMarker = kind != Other::HoldDb && kind != Other::AdminProgram;
        EXPECT_EQ(now["Kund"].erase(kMarkerId) == 1, gotIn && writesMarker) << "the other program's row";
        expectRowsAsSaid(now, said, before, complete);
        EXPECT_TRUE(said != Said::Done || scene.product.empty() || openAndCheck(scene.product).empty());
    }
    RecordProperty("met_running", met);
    EXPECT_GT(met, 0);  // the moments cover the job
}

// The sqlite3 shell knows nothing of our lock file: only SQLite's own lock,
// held from the exclusive-use test to the job's end, keeps it out.
INSTANTIATE_TEST_SUITE_P(Jobs, Concurrency, ::testing::Values(JobKind::Import, JobKind::Compaction),
                         [](const auto& info) { return std::string(jobName(info.param)); });

}  // namespace
}  // namespace vexla
