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
    std::string op;
    IoOp io;
    int nth;  // of its kind, from 1
};

// Calls `onStep` before every call the scene's job makes, with the step.
class StepHooks {
public:
    StepHooks(JobScene& scene, std::function<void(const Step&)> onStep) : scene_(scene), onStep_(std::move(onStep)) {
        scene.fakes.files.beforeCall = [this](const std::string& op) { onStep_({false, op, IoOp::Read, ++n_[op]}); };
        FaultyVfs::install().beforeCall = [this](IoOp op) {
            onStep_({true, ioOpName(op), op, ++n_[std::string("sqlite ") + ioOpName(op)]});
        };
    }
    ~StepHooks() {
        scene_.fakes.files.beforeCall = nullptr;
        FaultyVfs::install().beforeCall = nullptr;
    }

private:
    JobScene& scene_;
    std::function<void(const Step&)> onStep_;
    std::map<std::string, int> n_;
};

int sqliteCode(IoOp op, bool sticky) {
    switch (op) {
        case IoOp::Read: return SQLITE_IOERR_READ;
        case IoOp::Write: return sticky ? SQLITE_FULL : SQLITE_IOERR_WRITE;
        case IoOp::Sync: return SQLITE_IOERR_FSYNC;
        case IoOp::Truncate: return SQLITE_IOERR_TRUNCATE;
        case IoOp::Delete: return SQLITE_IOERR_DELETE;
    }
    return SQLITE_IOERR;
}

const Error kDiskFull{61, "Disk full", "Vexla Admin"};

// A killed process stops anywhere; a read is no step of its own for that.
bool isWriteStep(const Step& s) { return !s.sqlite || s.io != IoOp::Read; }

// The job in a child process killed right before its step number `killAt`
// (counted over both layers): Unsure, or what it said when it got through.
Said killedAt(JobScene& scene, int killAt) {
    const pid_t child = ::fork();
    if (child == 0) {
        int steps = 0;
        StepHooks hooks(scene, [&](const Step& s) {
            if (isWriteStep(s) && ++steps == killAt) ::raise(SIGKILL);
        });
        ::_exit(static_cast<int>(scene.run()));
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? static_cast<Said>(WEXITSTATUS(status)) : Said::Unsure;
}

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

using FaultCase = std::tuple<Layer, JobKind>;

class Faults : public ::testing::TestWithParam<FaultCase> {};

TEST_P(Faults, LeaveTheFilesAsBeforeOrComplete) {
    const Layer layer = std::get<0>(GetParam());
    const JobKind job = std::get<1>(GetParam());
    FaultyVfs& vfs = FaultyVfs::install();
    const std::string shell = db::testing::findOnPath("sqlite3");
    if (layer == Layer::ShellArrives && shell.empty()) GTEST_SKIP() << "no sqlite3 shell";

    // The first run: the steps, and what a complete run leaves.
    std::vector<Step> steps;
    Snapshot before, complete;
    {
        JobScene scene(job);
        before = snapshot(scene);
        StepHooks hooks(scene, [&](const Step& s) { steps.push_back(s); });
        ASSERT_EQ(scene.run(), Said::Done) << scene.message;
        complete = snapshot(scene);
    }

    const auto reads = std::count_if(steps.begin(), steps.end(), [](const Step& s) { return !isWriteStep(s); });
    const int readStride = 1 + static_cast<int>(reads) / 40;
    const bool sticky = layer == Layer::DiskStaysBroken;
    int trials = 0, failed = 0;
    for (std::size_t i = 0, writeSteps = 0; i < steps.size(); ++i) {
        const Step& step = steps[i];
        writeSteps += isWriteStep(step);
        if (!tried(layer, step, readStride)) continue;
        SCOPED_TRACE(std::string(kLayerNames[static_cast<int>(layer)]) + " at step " + std::to_string(i + 1) + ", " +
                     (step.sqlite ? "SQLite's " : "") + step.op + " #" + std::to_string(step.nth));
        ++trials;
        JobScene scene(job);
        Said said;
        std::string wanted;  // the description a job that says why names
        if (layer == Layer::Killed) {
            said = killedAt(scene, static_cast<int>(writeSteps));
        } else if (layer == Layer::ShellArrives) {
            const std::string insert = shell + " -bail '" + scene.db +
                                       "' 'INSERT INTO Kund (ID, Namn) VALUES (999999, 0)' 2>/dev/null";
            int n = 0;
            StepHooks hooks(scene, [&](const Step& s) {
                EXPECT_TRUE(s.sqlite || ++n != trials || std::system(insert.c_str()) != 0) << "the shell got in";
            });
            said = scene.run();
        } else if (layer == Layer::FileFails) {
            scene.fakes.files.failCall(step.op, step.nth, kDiskFull);
            said = scene.run();
            wanted = kDiskFull.description;
        } else {
            const int code = sqliteCode(step.io, sticky);
            vfs.failOn(step.io, step.nth, code, sticky);
            said = scene.run();
            vfs.reset();
            // The import's own reads before it starts (the field list the links need) say what they miss.
            if (step.io != IoOp::Read || job == JobKind::Export)
                wanted = (code == SQLITE_FULL ? db::notEnoughSpace() : db::diskError()).description;
        }
        failed += said == Said::Failed;
        const bool tellsWhy = job != JobKind::Compaction && job != JobKind::Copy && !wanted.empty();
        EXPECT_TRUE(said != Said::Failed || !tellsWhy || scene.message.find(wanted) != std::string::npos)
            << scene.message;
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
    for (Layer layer : {Layer::FileFails, Layer::DiskFails, Layer::DiskStaysBroken, Layer::Killed, Layer::ShellArrives})
        for (JobKind job :
             {JobKind::Import, JobKind::ImportDeleteFirst, JobKind::Compaction, JobKind::Copy, JobKind::Export}) {
            // The import makes no file-system call of its own; the compaction's are tried beside the job.
            const bool importing = job == JobKind::Import || job == JobKind::ImportDeleteFirst;
            if (layer == Layer::FileFails && (importing || job == JobKind::Compaction)) continue;
            if (layer == Layer::ShellArrives && importing) continue;
            cases.emplace_back(layer, job);
        }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(LayersAndJobs, Faults, ::testing::ValuesIn(faultCases()), [](const auto& info) {
    return std::string(kLayerNames[static_cast<int>(std::get<0>(info.param))]) + jobName(std::get<1>(info.param));
});

}  // namespace
}  // namespace vexla
