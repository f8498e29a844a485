// Every fault a disk or a crash brings, at every step a job takes. A first
// run of the job records its steps: each call it makes of the file system
// (create, write, sync, rename, link, remove, ...) and each read, write,
// sync, truncation and deletion SQLite makes under it. Then one trial per
// step: that call fails once, or the disk stays broken from it on (a full
// disk, a sync that keeps failing), or the process is killed right before
// it, or the sqlite3 shell tries to write the database at that moment.
// After every trial the database opens, passes its integrity check and
// holds exactly the rows it had before or exactly the job's complete
// result, and the file the job writes is the user's earlier one or the
// complete one (see expectBeforeOrComplete).
//
// The compaction's own file steps failing, and the process killed at each,
// are tried beside the job (tests/maintenance).
#include <sqlite3.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <vector>

#include <gtest/gtest.h>

#include "db/errors.h"
#include "tests/db/db_test_support.h"
#include "tests/reliability/faulty_vfs.h"
#include "tests/reliability/reliability_support.h"

namespace vexla {
namespace {

using namespace testing;

enum class Layer { FileFails, DiskFails, DiskStaysBroken, Killed, ShellArrives };
const char* const kLayerNames[] = {"FileFails", "DiskFails", "DiskStaysBroken", "Killed", "ShellArrives"};

// One call a job makes: the file system's named operation, or SQLite's.
struct Step {
    bool sqlite;
    IoOp io;  // SQLite's
    std::string op;
    int nth;  // of its kind, from 1
    bool operator==(const Step&) const = default;
};

// A killed process stops anywhere; a read is no step of its own for that.
bool isWriteStep(const Step& s) { return !s.sqlite || s.io != IoOp::Read; }

// Whether a trial of the layer breaks in at the step. Reads are many (every
// page the job looks at) and alike: every readStride-th of them is tried.
bool tried(Layer layer, const Step& s, int readStride) {
    switch (layer) {
        case Layer::FileFails:
        case Layer::ShellArrives: return !s.sqlite;
        case Layer::Killed: return isWriteStep(s);
        default: return s.sqlite && (s.io != IoOp::Read || (s.nth - 1) % readStride == 0);
    }
}

// Runs the scene's job with `action` asked before each of its steps (for
// SQLite's, its answer is the call's: 0 runs it), in a child process when
// the action may kill it: what the job said, Unsure when it was killed.
Said runWith(JobScene& scene, std::function<int(const Step&)> action, bool inChild) {
    std::map<std::string, int> counts;
    auto hooked = [&] {
        scene.fakes.files.beforeCall = [&](const std::string& op) { action({false, IoOp::Read, op, ++counts[op]}); };
        onSqliteCall([&](IoOp io) { return action({true, io, ioOpName(io), ++counts[ioOpName(io)]}); });
        const Said said = scene.run();
        onSqliteCall(nullptr);
        scene.fakes.files.beforeCall = nullptr;
        return said;
    };
    if (!inChild) return hooked();
    const pid_t child = ::fork();
    if (child == 0) ::_exit(static_cast<int>(hooked()));
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? static_cast<Said>(WEXITSTATUS(status)) : Said::Unsure;
}

int sqliteCode(IoOp op, bool sticky) {
    const int codes[] = {SQLITE_IOERR_READ, sticky ? SQLITE_FULL : SQLITE_IOERR_WRITE, SQLITE_IOERR_FSYNC,
                         SQLITE_IOERR_TRUNCATE, SQLITE_IOERR_DELETE};
    return codes[static_cast<int>(op)];
}

const Error kDiskFull{61, "Disk full", "Vexla Admin"};

using FaultCase = std::tuple<Layer, JobKind>;

class Faults : public ::testing::TestWithParam<FaultCase> {};

TEST_P(Faults, LeaveTheFilesAsBeforeOrComplete) {
    const Layer layer = std::get<0>(GetParam());
    const JobKind job = std::get<1>(GetParam());
    const bool sticky = layer == Layer::DiskStaysBroken, disk = sticky || layer == Layer::DiskFails;
    const std::string shell = db::testing::findOnPath("sqlite3");
    if (layer == Layer::ShellArrives && shell.empty()) GTEST_SKIP() << "no sqlite3 shell";

    // The first run: the steps, and what a complete run leaves.
    std::vector<Step> steps;
    Snapshot before, complete;
    {
        onSqliteCall(nullptr);  // every database opened from now on goes through the wrapper
        JobScene scene(job);
        before = snapshot(scene);
        ASSERT_EQ(runWith(scene, [&](const Step& s) { return steps.push_back(s), 0; }, false), Said::Done)
            << scene.message;
        complete = snapshot(scene);
    }

    const auto reads = std::count_if(steps.begin(), steps.end(), [](const Step& s) { return !isWriteStep(s); });
    const int readStride = 1 + static_cast<int>(reads) / 40;
    int trials = 0, failed = 0;
    for (const Step& at : steps) {
        if (!tried(layer, at, readStride)) continue;
        SCOPED_TRACE(std::string(kLayerNames[static_cast<int>(layer)]) + " at " + (at.sqlite ? "SQLite's " : "") +
                     at.op + " #" + std::to_string(at.nth));
        ++trials;
        JobScene scene(job);
        if (layer == Layer::FileFails) scene.fakes.files.failCall(at.op, at.nth, kDiskFull);
        const int code = sqliteCode(at.io, sticky);
        const std::string insert =
            shell + " -bail '" + scene.db + "' 'INSERT INTO Kund (ID, Namn) VALUES (999999, 0)' 2>/dev/null";
        const Said said = runWith(
            scene,
            [&](const Step& s) {
                if (!(s == at) && !(sticky && s.sqlite && s.io == at.io && s.nth > at.nth)) return 0;
                if (layer == Layer::Killed) ::raise(SIGKILL);
                EXPECT_TRUE(layer != Layer::ShellArrives || std::system(insert.c_str()) != 0) << "the shell got in";
                return disk ? code : 0;
            },
            layer == Layer::Killed);
        failed += said == Said::Failed;
        // The import's own reads before it starts (the field list the links
        // need) say what they miss; the maintenance jobs are not asked why.
        std::string why = layer == Layer::FileFails ? kDiskFull.description : "";
        if (disk && (at.io != IoOp::Read || job == JobKind::Export))
            why = (code == SQLITE_FULL ? db::notEnoughSpace() : db::diskError()).description;
        if (job == JobKind::Compaction || job == JobKind::Copy) why.clear();
        EXPECT_TRUE(said != Said::Failed || scene.message.find(why) != std::string::npos) << scene.message;
        expectBeforeOrComplete(scene, said, before, complete);
    }
    RecordProperty("trials", trials);
    RecordProperty("failed", failed);
    EXPECT_GT(trials, 0);
    // Some fault of every kind stops the job; the shell never gets in.
    EXPECT_TRUE(layer == Layer::Killed || (failed > 0) == (layer != Layer::ShellArrives)) << failed << " failed";
}

std::vector<FaultCase> faultCases() {
    std::vector<FaultCase> cases;
    for (int layer = 0; layer < 5; ++layer)
        for (JobKind job :
             {JobKind::Import, JobKind::ImportDeleteFirst, JobKind::Compaction, JobKind::Copy, JobKind::Export}) {
            // The import makes no file-system call of its own; the compaction's fail beside the job.
            const bool importing = job == JobKind::Import || job == JobKind::ImportDeleteFirst;
            if (layer == 0 ? importing || job == JobKind::Compaction : layer == 4 && importing) continue;
            cases.emplace_back(static_cast<Layer>(layer), job);
        }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(LayersAndJobs, Faults, ::testing::ValuesIn(faultCases()), [](const auto& info) {
    return std::string(kLayerNames[static_cast<int>(std::get<0>(info.param))]) + jobName(std::get<1>(info.param));
});

}  // namespace
}  // namespace vexla
