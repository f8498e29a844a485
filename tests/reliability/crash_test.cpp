// Processes killed with SIGKILL: an import of a long register file at
// random moments, and the compaction before every write, sync, truncation
// and deletion SQLite does inside the engine's own steps (the job's file
// steps have their kill test beside the job). Afterwards the database, or
// the copy the job's guarantee names, opens, passes the integrity check and
// holds the rows the job's guarantee allows: for an import, those before it
// or those of the whole file.
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
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <random>
#include <stdexcept>

#include <gtest/gtest.h>

#include "maintenance/compaction.h"
#include "db/sqlite_engine.h"
#include "tools/sample_generator.h"
#include "registers/register_kind.h"
#include "tests/maintenance/job_test_support.h"
#include "tests/reliability/faulty_vfs.h"
#include "tests/reliability/reliability_support.h"

namespace vexla {
namespace {

using namespace testing;
using namespace std::chrono_literals;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

std::uint64_t crashSeed() {
    const char* s = std::getenv("VEXLA_CRASH_SEED");
    return s && *s ? std::strtoull(s, nullptr, 10) : 20261204;
}

// Imports in a child process, as the program would after the login: the
// database opened exclusively, the import run to its end. Exit status 0
// when it committed every line. The child tells when the import begins, so
// the kill moments fall inside the import, not in the process's start.
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

ImportChild startImport(const std::string& db, const std::string& reg, const std::string& skv, bool deleteFirst,
                        long lines) {
    int ready[2];
    if (::pipe(ready) != 0) return {};
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(ready[0]);
        db::SqliteEngine engine;
        auto opened = engine.OpenDatabase(db, true);
        if (!opened) ::_exit(2);
        if (::write(ready[1], "s", 1) != 1) ::_exit(3);
        const ImportRun run = runImport(**opened, reg, skv, deleteFirst);
        if (::write(ready[1], "e", 1) != 1) ::_exit(3);
        (void)(*opened)->Close();
        ::_exit(run.outcome.committed && run.outcome.inserted == lines ? 0 : 1);
    }
    ::close(ready[1]);
    char byte = 0;
    const bool began = ::read(ready[0], &byte, 1) == 1;
    return {pid, began ? Clock::now() : Clock::time_point{}, ready[0]};
}

const char* const kTables[] = {"Kund", "Person", "Bokning", "PrelBokning"};

std::map<std::string, Rows> allRows(const std::string& db) {
    std::map<std::string, Rows> rows;
    for (const char* table : kTables) rows[table] = tableRows(db, table);
    return rows;
}

std::string fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct CrashCase {
    const char* name;
    const char* reg;  // the register imported into
    bool deleteFirst;
    int kills;
};

void PrintTo(const CrashCase& c, std::ostream* os) { *os << c.name; }

// The database every trial starts from, and the register file imported:
// customers the demo database lacks, or 50,000 bookings of another
// generated database into one of 50,000 bookings of its own.
struct CrashScene {
    TempFolder dir;
    std::string origin = demoDatabase(true), skv;
    long lines = 10000;

    explicit CrashScene(const CrashCase& c) {
        if (std::string(c.reg) == "Kund") {
            skv = dir.write("KundReg.skv", customerFile(100000, static_cast<int>(lines)));
            return;
        }
        lines = 50000;
        auto generate = [&](const char* name, std::uint64_t seed) {
            const std::string path = dir.file(name);
            sample::Options options{200, 40, lines, seed, true};
            if (!sample::makeSampleDatabase(path, options)) throw std::runtime_error("cannot make " + path);
            return path;
        };
        origin = generate("origin.db", 1);
        skv = dir.file("BokningsReg.skv");
        writeRegister(generate("other.db", 2), c.reg, skv);
    }
};

class ImportCrash : public ::testing::TestWithParam<CrashCase> {};

// The import is one transaction: wherever the kill lands, the database
// opened again (SQLite rolls a hot journal back) holds every table exactly
// as before, or, when the kill came after the commit, the whole file.
TEST_P(ImportCrash, KilledAtRandomMomentsLeavesTheDatabaseAsBeforeOrComplete) {
    const CrashCase& c = GetParam();
    const CrashScene scene(c);
    const std::string db = scene.dir.file("bok.db");
    const std::string table(registerByName(c.reg)->table);

    // The rows of a complete import, and how long one takes here.
    freshCopy(db, scene.origin);
    const auto before = allRows(db);
    ImportChild whole = startImport(db, c.reg, scene.skv, c.deleteFirst, scene.lines);
    const auto ended = whole.wait();
    ASSERT_TRUE(ended);
    const auto duration = std::chrono::duration_cast<std::chrono::microseconds>(*ended - whole.started);
    auto complete = before;
    complete[table] = tableRows(db, table);
    ASSERT_NE(complete, before);

    const std::string originBytes = fileBytes(scene.origin);
    const std::uint64_t seed = crashSeed();
    std::printf("%s: seed %llu, a complete import %lld us\n", c.name, static_cast<unsigned long long>(seed),
                static_cast<long long>(duration.count()));
    std::mt19937_64 random(seed);
    std::uniform_int_distribution<long> moment(0, duration.count());
    int asBefore = 0, finished = 0;
    for (int trial = 0; trial < c.kills; ++trial) {
        const auto delay = std::chrono::microseconds(moment(random));
        SCOPED_TRACE("seed " + std::to_string(seed) + ", trial " + std::to_string(trial) + ", killed after " +
                     std::to_string(delay.count()) + " us");
        freshCopy(db, scene.origin);
        ImportChild child = startImport(db, c.reg, scene.skv, c.deleteFirst, scene.lines);
        sleepFor(child.started + delay - Clock::now());
        ::kill(child.pid, SIGKILL);
        child.wait();

        {
            // Opening rolls a journal left by the kill back.
            db::SqliteEngine engine;
            auto reopened = engine.OpenDatabase(db, true);
            ASSERT_TRUE(reopened);
            (void)(*reopened)->Close();
        }
        // The journal puts back every page it saved: mostly the file is the
        // one it was, byte for byte, and needs no further look.
        if (fileBytes(db) == originBytes) {
            ++asBefore;
            continue;
        }
        EXPECT_EQ(openAndCheck(db), "");
        const auto now = allRows(db);
        if (now == complete) {
            ++finished;
            continue;
        }
        ++asBefore;
        for (const char* t : kTables) EXPECT_EQ(rowsDiff(now.at(t), before.at(t)), "") << t;
    }
    RecordProperty("as_before", asBefore);
    RecordProperty("finished", finished);
    std::printf("%s: %d kills left the database as before, %d came after the commit\n", c.name, asBefore, finished);
    EXPECT_GT(asBefore, 0);  // the moments fall inside the import
}

// The 50,000 bookings take seconds here and minutes under the sanitizers:
// their test carries the label "long", which the sanitizer presets leave out
// (tests/reliability/CMakeLists.txt matches the name).
INSTANTIATE_TEST_SUITE_P(Registers, ImportCrash,
                         ::testing::Values(CrashCase{"CustomersAppend", "Kund", false, 40},
                                           CrashCase{"CustomersDeleteFirst", "Kund", true, 40},
                                           CrashCase{"Bookings50000DeleteFirst", "Bokningar", true, 10}),
                         [](const auto& info) { return std::string(info.param.name); });

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
            ::_exit(w.compactInWindow() ? 0 : 1);
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
