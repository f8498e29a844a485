// Processes killed with SIGKILL: an import of a long register file at
// random moments, and the compaction before every write, sync, truncation
// and deletion SQLite does inside the engine's own steps (the job's file
// steps have their kill test beside the job). Afterwards the database, or
// the copy the job's guarantee names, opens, passes the integrity check and
// holds the rows a cut-off job may leave.
//
// The random moments come from a fixed seed (VEXLA_CRASH_SEED overrides
// it); a failure prints the seed and the trial.
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <random>

#include <gtest/gtest.h>

#include "db/jobs/komprimera.h"
#include "db/sqlite_engine.h"
#include "tests/db/jobs/job_test_support.h"
#include "tests/reliability/faulty_vfs.h"
#include "tests/reliability/reliability_support.h"

namespace vexla {
namespace {

using namespace testing;
using namespace std::chrono_literals;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kLines = 10000;
constexpr int kKills = 100;
// Each look at the import's clock moves it 2 ms on: the import commits
// about every 250 lines, so a kill can land in any of 40 batches.
constexpr auto kClockStep = 2ms;

std::uint64_t crashSeed() {
    const char* s = std::getenv("VEXLA_CRASH_SEED");
    return s && *s ? std::strtoull(s, nullptr, 10) : 20261204;
}

// Imports in a child process, as the program would after the login: the
// database opened exclusively, the import run to its end. Exit status 0
// when every line went in. The child tells when the import begins, so the
// kill moments fall inside the import, not in the process's start.
struct ImportChild {
    pid_t pid = -1;
    Clock::time_point started;
    int pipe = -1;  // a byte arrives when the import has ended

    // Waits for the child; the moment the import ended (its closing and
    // exit not counted), or nothing when it did not run to its end.
    std::optional<Clock::time_point> wait() {
        char byte = 0;
        const bool ended = ::read(pipe, &byte, 1) == 1;
        const auto at = Clock::now();
        ::close(pipe);
        int status = 0;
        ::waitpid(pid, &status, 0);
        if (!ended || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
        return at;
    }
};

ImportChild startImport(const std::string& db, const std::string& skv, bool deleteFirst) {
    int ready[2];
    if (::pipe(ready) != 0) return {};
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(ready[0]);
        db::SqliteEngine engine;
        auto opened = engine.OpenDatabase(db, true);
        if (!opened) ::_exit(2);
        if (::write(ready[1], "s", 1) != 1) ::_exit(3);
        const ImportRun run = runImport(**opened, "Kund", skv, deleteFirst, steppingClock(kClockStep));
        if (::write(ready[1], "e", 1) != 1) ::_exit(3);
        (void)(*opened)->Close();
        ::_exit(run.count == kLines ? 0 : 1);
    }
    ::close(ready[1]);
    char byte = 0;
    const bool began = ::read(ready[0], &byte, 1) == 1;
    return {pid, began ? Clock::now() : Clock::time_point{}, ready[0]};
}

class ImportCrash : public ::testing::TestWithParam<bool> {};

// Half of the kills with "delete first", half without, as two tests that
// can run side by side.
TEST_P(ImportCrash, KilledAtRandomMomentsLeavesTheTableAsBeforeOrAPrefix) {
    const bool deleteFirst = GetParam();
    TempFolder dir;
    const std::string db = dir.file("bok.db");
    const RegisterFile file = customerFile(100000, kLines);
    const std::string skv = dir.write("KundReg.skv", file.bytes);

    // The rows of a complete import, and how long one takes here.
    freshCopy(db);
    const Rows before = tableRows(db, "Kund");
    const Rows kept = deleteFirst ? placeholders(before) : before;
    ImportChild whole = startImport(db, skv, deleteFirst);
    const auto ended = whole.wait();
    ASSERT_TRUE(ended);
    const auto duration = std::chrono::duration_cast<std::chrono::microseconds>(*ended - whole.started);
    const Rows complete = tableRows(db, "Kund");
    ASSERT_EQ(complete.size(), kept.size() + kLines);

    const std::uint64_t seed = crashSeed() + deleteFirst;
    std::mt19937_64 random(seed);
    std::uniform_int_distribution<long> moment(0, duration.count());
    int asBefore = 0, cutOff = 0, finished = 0;
    for (int trial = 0; trial < kKills / 2; ++trial) {
        const auto delay = std::chrono::microseconds(moment(random));
        SCOPED_TRACE("seed " + std::to_string(seed) + ", trial " + std::to_string(trial) + ", killed after " +
                     std::to_string(delay.count()) + " us");
        freshCopy(db);
        ImportChild child = startImport(db, skv, deleteFirst);
        sleepFor(child.started + delay - Clock::now());
        ::kill(child.pid, SIGKILL);
        child.wait();

        EXPECT_EQ(openAndCheck(db), "");
        const Rows now = tableRows(db, "Kund");
        const auto k = importPrefix(now, before, kept, file.ids, complete);
        ASSERT_TRUE(k) << now.size() << " rows, neither as before nor a prefix of the file";
        if (*k == kLines) ++finished;
        else if (*k == -1) ++asBefore;
        else ++cutOff;
        // The other registers are never touched.
        EXPECT_EQ(tableRows(db, "Bokning").size(), 400u);
    }
    RecordProperty("as_before", asBefore);
    RecordProperty("cut_off", cutOff);
    RecordProperty("finished", finished);
    std::printf("seed %llu: %d kills before the first commit, %d between commits, %d after the end\n",
                static_cast<unsigned long long>(seed), asBefore, cutOff, finished);
    // The moments spread over the import: most kills cut it off half way.
    EXPECT_GE(cutOff, kKills / 8);
}

INSTANTIATE_TEST_SUITE_P(DeleteFirst, ImportCrash, ::testing::Bool(),
                         [](const auto& info) { return std::string(info.param ? "DeleteFirst" : "Append"); });

// The compaction killed before each write, sync, truncation and deletion
// SQLite does (the copies' checks, the compacted copy, its locale record):
// the database passes its check and holds every row, whether it is still the
// file it was or already the compacted one.
TEST(CompactionCrash, KilledInsideTheEngineAtEveryWriteAndSync) {
    FaultyVfs& vfs = FaultyVfs::install();
    int trials = 0;
    for (int killAt = 1;; ++killAt) {
        SCOPED_TRACE("killed before SQLite's file call " + std::to_string(killAt));
        JobWorld w(demoDatabase());
        const auto rows = w.rowsIn(w.db);
        ASSERT_FALSE(rows.empty());
        vfs.reset();
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            int calls = 0;
            vfs.beforeCall = [&](IoOp op) {
                if (op != IoOp::Read && ++calls == killAt) ::raise(SIGKILL);
            };
            ::_exit(cmdKomprimera_Click(w.ctx) ? 0 : 1);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        EXPECT_EQ(w.rowsIn(w.db), rows);
        if (!WIFSIGNALED(status)) {
            EXPECT_EQ(WEXITSTATUS(status), 0);
            break;
        }
        ++trials;
    }
    RecordProperty("kills", trials);
    EXPECT_GT(trials, 10);  // the compacted copy alone takes more writes than that
}

}  // namespace
}  // namespace vexla
