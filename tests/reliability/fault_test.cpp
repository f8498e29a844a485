// Every fault a disk, a crash or another program brings, on every job: a
// first run records the job's file-system and SQLite calls, then one trial
// per call (it fails once, the disk stays broken from it on, the process is
// killed before it, the sqlite3 shell writes then, or the user asks the job
// to stop then), each ending checked against one rule (expectAsItSaid); and
// another program
// at a random moment (fixed seed; VEXLA_CONCURRENCY_SEED overrides it).
#include <fcntl.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "common/console_platform.h"
#include "common/error_texts.h"
#include "common/file_writing.h"
#include "common/temporary_files.h"
#include "common/write_target.h"
#include "db/engine_steps.h"
#include "db/errors.h"
#include "maintenance/compaction.h"
#include "maintenance/database_check.h"
#include "maintenance/database_copy.h"
#include "maintenance/database_rescue.h"
#include "maintenance/restore.h"
#include "registers/export_register.h"
#include "registers/field_catalogue.h"
#include "tests/db/db_test_support.h"
#include "tests/reliability/reliability_support.h"
#include "tests/support/source_tree.h"
#include "transfer/transfer.h"

namespace vexla {
namespace {

using namespace testing;
namespace fs = std::filesystem;

constexpr int kImportLines = 24;
constexpr const char* kEarlierExport = "ID;Namn\r\n1;the user's earlier export\r\n";

// A customer register file in the captions of `language`, one line per ID from firstId on.
std::string customerFile(long long firstId, int lines, const char* language = "se") {
    std::string header;
    for (const char* column : {"ID", "Namn", "Adress", "Rabatt", "Anteckningar"})
        header += (header.empty() ? "" : ";") + KolumnTillRubrik(column, language);
    std::string bytes = header + "\r\n";
    for (long long id = firstId; id < firstId + lines; ++id) {
        const std::string n = std::to_string(id);
        bytes += n + ";Kund " + n + ";Gatan " + n + ";" + std::to_string(id % 10) + ",5;rad 1\x1Brad " + n + "\r\n";
    }
    return bytes;
}

// The import runs on a connection opened as its OK opens it; the export opens its own.
// CompactionWrittenBack: the compaction of a database file with a second
// name, which it writes back into instead of renaming over it; the restore
// of an earlier backup both ways alike, and into a database whose first
// page is destroyed, which the engine writes over under its lock. Check
// reads only; Rescue writes a new file.
enum class JobKind {
    Import,
    ImportDeleteFirst,
    Compaction,
    Copy,
    Export,
    CompactionWrittenBack,
    Restore,
    RestoreWrittenBack,
    Check,
    Rescue,
    RestoreIntoUnopenable
};

// What the job said: done, failed, unsure (an unconfirmed commit), or a
// verdict the clean demo database does not deserve (damage, broken links);
// or nothing, killed.
enum class Said { Done, Failed, Unsure, Wrong, Killed };

// The backup every scene has from before the job: no ending may touch it.
constexpr const char* kEarlierBackup = "Vexla2026-11-30.db";

// One trial: a copy of the demo database and what the job needs beside it.
struct JobScene : JobWorld {
    JobKind kind;
    std::string product;         // the file the job writes beside the database, or ""
    std::string message;         // what an import or export said when it stopped
    bool productFailed = false;  // the import's report failed, the import itself may not have
    bool partialReport = false;  // the import's report may hold the skipped lines up to its stop
    std::string verdict;         // what a check that ended found: each table's rows and each link's
    std::string backupNamed;     // the backup a maintenance job says it wrote
    SharedProgress stopper;

    explicit JobScene(JobKind k) : JobWorld(demoDatabase()), kind(k) {
        window.state_.Språk = "se";
        ctx.progress = &stopper;
        fs::copy_file(db, dir.file(kEarlierBackup));
        // Another program that holds the database is waited for this long.
        ctx.waitSeconds = 0.5;
        window.engine_.SetWait(0.5);
        // The plain import skips its last line, a customer the register holds, in its report.
        if (kind == JobKind::Import || kind == JobKind::ImportDeleteFirst) {
            dir.write("KundReg.skv",
                      customerFile(1000, kImportLines) + (kind == JobKind::Import ? "1;Dubblett\r\n" : ""));
            product = dir.file("Skippade.txt");
        }
        if (compaction() || restore()) product = dir.file(backupName(fakes.clock.time));
        if (kind == JobKind::CompactionWrittenBack || kind == JobKind::RestoreWrittenBack)
            fs::create_hard_link(db, dir.file("bokning.db"));
        if (restore()) {  // a backup with fewer bookings than the database
            fs::copy_file(db, restoredFrom());
            db::testing::makeDatabase(restoredFrom(), "DELETE FROM Bokning WHERE ID % 3 = 0");
        }
        if (kind == JobKind::RestoreIntoUnopenable)
            std::fstream(db, std::ios::in | std::ios::out) << std::string(4096, 0);
        if (kind == JobKind::Copy) product = dir.file("kopia.db");
        if (kind == JobKind::Rescue) product = dir.file("räddad.db");
        if (kind == JobKind::Export) product = dir.write("Register.skv", kEarlierExport);
    }

    bool compaction() const { return kind == JobKind::Compaction || kind == JobKind::CompactionWrittenBack; }
    bool restore() const {
        return kind == JobKind::Restore || kind == JobKind::RestoreWrittenBack ||
               kind == JobKind::RestoreIntoUnopenable;
    }
    std::string restoredFrom() const { return dir.file("Vexla2026-12-03.db"); }

    // The maintenance jobs (the copy last).
    Said runMaintenance() {
        if (kind == JobKind::Check) {
            const CheckOutcome outcome = checkDatabase(ctx);
            if (outcome.failure) return message = outcome.failure->description, Said::Failed;
            for (const auto& [table, rows] : outcome.rows) verdict += table + " " + std::to_string(rows) + "\n";
            for (const LinkFinding& f : outcome.links)
                verdict += f.link.table + "." + f.link.column + " " + std::to_string(f.found.rows) + "\n";
            for (const std::string& line : outcome.engineMessages) message += line + "\n";
            return outcome.sound() ? Said::Done : Said::Wrong;
        }
        const auto said = [&](const auto& outcome, bool done, bool unsure = false) {
            if (outcome.failure) message = outcome.failure->description;
            return done ? Said::Done : unsure ? Said::Unsure : Said::Failed;
        };
        if (kind == JobKind::Rescue) {
            const RescueOutcome outcome = rescueDatabase(ctx, product, false);
            return said(outcome, outcome.rescued());
        }
        if (compaction()) {
            const CompactionOutcome outcome = compactDatabase(ctx);
            backupNamed = outcome.backup;
            return said(outcome, outcome.compacted());
        }
        if (restore()) {
            const RestoreOutcome outcome = restoreBackup(ctx, restoredFrom());
            backupNamed = outcome.kept;
            return said(outcome, outcome.restoredOk(), outcome.uncertain);
        }
        // The copy is done once written; the compaction after it may still fail.
        const CopyOutcome outcome = copyDatabase(ctx, product, std::nullopt);
        backupNamed = outcome.compaction.backup;
        return said(outcome, !outcome.failure);
    }

    bool maintenance() const {
        return kind != JobKind::Import && kind != JobKind::ImportDeleteFirst && kind != JobKind::Export;
    }

    Said run() {
        if (maintenance()) return runMaintenance();
        auto opened = window.engine_.OpenDatabase(db, true);
        // Where the login would open it, and word its failure in the user's language.
        if (!opened) return message = describedFileError(opened.error(), texts).description, Said::Failed;
        std::unique_ptr<db::Database> held = std::move(*opened);
        Said said = Said::Failed;
        if (kind == JobKind::Export) {
            held.reset();  // the export opens the database itself
            JobContext exporting{window, platform, texts};
            exporting.progress = &stopper;
            fakes.dialogs.choices = {product};
            fakes.messages.answers = {MsgAnswer::Yes};  // replace the earlier file
            const ExportOutcome outcome = exportRegister(exporting, 2);
            if (outcome.n > 0) said = Said::Done;
            if (outcome.failure) message = outcome.failure->description;
        } else {
            const ReportTo report{fakes.files, product};
            const ImportRun r = runImport(*held, "Kund", dir.file("KundReg.skv"), kind == JobKind::ImportDeleteFirst,
                                          &stopper, &report);
            message = r.message;
            productFailed = !r.reported;
            // An import that stopped by itself reports the lines it skipped up to its stop.
            partialReport = r.outcome.stopped() && r.outcome.stop != ImportStop::Cancelled;
            said = r.outcome.stop == ImportStop::SaveUncertain ? Said::Unsure
                   : r.outcome.committed                       ? Said::Done
                                                               : Said::Failed;
        }
        if (held) (void)held->Close();  // the job's outcome is known; the close only ends the hold
        return said;
    }
};

// The database's rows, and the product's rows and check or bytes ("" when absent).
struct Snapshot {
    Tables db;
    std::string product;
    std::string backups;  // the bytes of every backup there before the job but the product
};

const char* jobName(JobKind kind) {
    return std::array{"Import",
                      "ImportDeleteFirst",
                      "Compaction",
                      "Copy",
                      "Export",
                      "CompactionWrittenBack",
                      "Restore",
                      "RestoreWrittenBack",
                      "Check",
                      "Rescue",
                      "RestoreIntoUnopenable"}[static_cast<int>(kind)];
}

// A file no connection can open, by its bytes.
std::string unopenable(const std::string& file) {
    return "unopenable " + std::to_string(std::hash<std::string>{}(fileBytes(file)));
}
// The rows of a database, or such a file.
Tables rowsOrBytes(const std::string& db) {
    if (openAndCheck(db).starts_with("open: ")) return {{"(unopenable)", {{0, unopenable(db)}}}};
    return allRows(db);
}

Snapshot snapshot(const JobScene& scene) {
    Snapshot s{rowsOrBytes(scene.db), {}, fileBytes(scene.dir.file(kEarlierBackup))};
    if (scene.restore()) s.backups += fileBytes(scene.restoredFrom());
    if (scene.kind == JobKind::Check) s.product = scene.verdict;
    if (scene.product.empty() || !fs::exists(scene.product)) return s;
    if (!scene.product.ends_with(".db")) return s.product = "a file of " + fileBytes(scene.product), s;
    for (const auto& [table, rows] : allRows(scene.product))
        for (const auto& [id, row] : rows) s.product += table + " " + std::to_string(id) + ": " + row + "\n";
    if (const std::string problem = openAndCheck(scene.product); !problem.empty())
        s.product += problem.starts_with("open: ") ? unopenable(scene.product) : problem;
    return s;
}

// The complete result after Done, the rows before after Failed, one of the two always.
void expectRowsAsSaid(const Tables& now, Said said, const Snapshot& before, const Snapshot& complete) {
    const std::string asBefore = rowsDiff(now, before.db), asComplete = rowsDiff(now, complete.db);
    EXPECT_TRUE(said != Said::Done || asComplete.empty()) << "the job said it was done: " << asComplete;
    EXPECT_TRUE(said != Said::Failed || asBefore.empty()) << "the job said it failed: " << asBefore;
    EXPECT_TRUE(asBefore.empty() || asComplete.empty()) << asBefore << "\nor\n" << asComplete;
}

// After every ending: the database passes its check, its rows are as said,
// the product is the complete one or, unless the job said done, the earlier
// one (the complete one when it said unsure: the backup of what it may have
// replaced), the backups from before are as they were, and no verdict is
// wrong.
void expectAsItSaid(JobScene& scene, Said said, const Snapshot& before, const Snapshot& complete) {
    EXPECT_NE(said, Said::Wrong) << scene.message;
    // First: it rolls back what a kill left in a journal. A file no
    // connection could open stays so when the job did not finish.
    const std::string problem = openAndCheck(scene.db);
    const bool unopenable = scene.kind == JobKind::RestoreIntoUnopenable;
    EXPECT_TRUE(problem.empty() || (unopenable && said != Said::Done)) << problem;
    const Snapshot now = snapshot(scene);
    // Written over in place, a file left half written by a kill or an unsure
    // ending is neither; the backup the job kept first holds it as it was.
    const bool keptInstead = unopenable && (said == Said::Unsure || said == Said::Killed) &&
                             now.product == complete.product && !complete.product.empty();
    if (!keptInstead) expectRowsAsSaid(now.db, said, before, complete);
    const bool partial = scene.partialReport && complete.product.starts_with(now.product);
    EXPECT_TRUE(
        now.product == complete.product || partial ||
        ((said == Said::Failed || said == Said::Killed || scene.productFailed) && now.product == before.product))
        << scene.product << " holds " << now.product.size() << " bytes of neither: " << scene.message;
    EXPECT_TRUE(now.backups == before.backups) << "a backup from before changed: " << scene.message;
    // A backup the job names is there (unless a kill took the job's word).
    EXPECT_TRUE(scene.backupNamed.empty() || fs::exists(scene.backupNamed)) << scene.backupNamed;
}

// The temporary files and folders in the database's folder.
std::vector<std::string> temporaryFilesIn(const std::string& folder) {
    std::vector<std::string> found;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (isTemporaryFileName(name) || isPrivateFolderName(name)) found.push_back(entry.path().string());
    }
    std::sort(found.begin(), found.end());
    return found;
}

// After a kill: the job run again removes every temporary file or folder
// the killed one left, each logged. Answers whether there was any.
bool expectNextRunRemovesWhatTheKilledOneLeft(JobScene& scene) {
    const std::vector<std::string> left = temporaryFilesIn(scene.dir.path());
    scene.window.logged.clear();
    EXPECT_NE(scene.run(), Said::Failed) << scene.message;
    std::vector<std::string> logged;
    for (const std::string& line : scene.window.logged)
        if (line.starts_with("R9370: ") && !line.ends_with("-journal")) logged.push_back(line.substr(7));
    std::sort(logged.begin(), logged.end());
    EXPECT_EQ(logged, left);
    EXPECT_EQ(temporaryFilesIn(scene.dir.path()), std::vector<std::string>{});
    return !left.empty();
}

enum class Layer { FileFails, DiskFails, DiskStaysBroken, Killed, ShellArrives, Stopped };
const char* const kLayerNames[] = {"FileFails", "DiskFails", "DiskStaysBroken", "Killed", "ShellArrives", "Stopped"};

// One call a job makes: the file system's named operation, the engine
// layer's own ("engine lock file open"), or SQLite's.
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
        case Layer::Stopped: return isWriteStep(s) || (s.nth - 1) % readStride == 0;
        default: return s.sqlite && (s.io != IoOp::Read || (s.nth - 1) % readStride == 0);
    }
}

// Runs the job with `action` asked before each step (SQLite's take its answer:
// 0 runs the call), in a child when it may be killed (then Unsure). The job
// may take steps on two threads at once (a copy beside the compaction, a
// check beside the write-back): they are counted and asked one at a time.
Said runWith(JobScene& scene, std::function<int(const Step&)> action, bool inChild) {
    std::map<std::string, int> counts;
    std::mutex oneAtATime;
    auto hooked = [&] {
        scene.fakes.files.beforeCall = [&](const std::string& op) {
            const std::lock_guard<std::mutex> lock(oneAtATime);
            action({false, IoOp::Read, op, ++counts[op]});
        };
        onSqliteCall([&](IoOp io) {
            const std::lock_guard<std::mutex> lock(oneAtATime);
            return action({true, io, ioOpName(io), ++counts[std::string("SQLite's ") + ioOpName(io)]});
        });
        db::onEngineStep([&](const char* step) {
            const std::lock_guard<std::mutex> lock(oneAtATime);
            const std::string op = std::string("engine ") + step;
            return action({false, IoOp::Read, op, ++counts[op]});
        });
        const Said said = scene.run();
        db::onEngineStep(nullptr);
        onSqliteCall(nullptr);
        scene.fakes.files.beforeCall = nullptr;
        return said;
    };
    if (!inChild) return hooked();
    // A kill takes the whole job, as a service manager's does: the job runs
    // in a process group of its own, and a copying child it left (it dies
    // with its parent, but only once it is scheduled) is killed and waited
    // for here, having come to this process as the job's subreaper.
    static const bool reaper = ::prctl(PR_SET_CHILD_SUBREAPER, 1) == 0;
    EXPECT_TRUE(reaper);
    const pid_t child = ::fork();
    if (child == 0) {
        ::setpgid(0, 0);
        ::_exit(static_cast<int>(hooked()));
    }
    ::setpgid(child, child);  // whichever of the two runs first
    int status = 0;
    ::waitpid(child, &status, 0);
    ::kill(-child, SIGKILL);
    while (::waitpid(-child, nullptr, 0) > 0 || errno == EINTR) {}
    return WIFEXITED(status) ? static_cast<Said>(WEXITSTATUS(status)) : Said::Killed;
}

int sqliteCode(IoOp op, bool sticky) {
    const int codes[] = {SQLITE_IOERR_READ,   sticky ? SQLITE_FULL : SQLITE_IOERR_WRITE,
                         SQLITE_IOERR_FSYNC,  SQLITE_IOERR_TRUNCATE,
                         SQLITE_IOERR_DELETE, SQLITE_CANTOPEN};
    return codes[static_cast<int>(op)];
}

const Error kDiskFull{61, "Disk full", "Vexla Admin"};

// The booking system may write while a job runs, and a row it was told it
// saved is kept: in the database afterwards, or, where a restore took its
// state away, in the backup the restore keeps of it. The row is then taken
// out of both, so the rest compares the job's own work.
void takeOutTheShellsRow(const JobScene& scene) {
    const std::string row = "SELECT count(*) FROM Kund WHERE ID = 999999";
    const auto holds = [&](const std::string& file) {
        return fs::exists(file) && db::testing::queryWithSqlite(file, row) == std::vector<std::string>{"1"};
    };
    const bool kept = holds(scene.db) || (scene.restore() && holds(scene.product));
    EXPECT_TRUE(kept) << "the row the shell was told it saved is lost";
    for (const std::string& file : {scene.db, scene.product})
        if (holds(file)) db::testing::makeDatabase(file, "DELETE FROM Kund WHERE ID = 999999");
}

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
        const auto record = [&](const Step& s) { return steps.push_back(s), 0; };
        ASSERT_EQ(runWith(scene, record, false), Said::Done) << scene.message;
        complete = snapshot(scene);
    }

    const auto reads = std::count_if(steps.begin(), steps.end(), [](const Step& s) { return !isWriteStep(s); });
    const int readStride = 1 + static_cast<int>(reads) / 40;
    int trials = 0, failed = 0, abandonedTrials = 0;
    std::string failures;  // each failed trial's step and message
    // Some kill leaves a temporary file or folder behind, which the job's next
    // run removes (the import's report is left to the next job that cleans
    // its folder; the check makes none).
    const bool writesFiles = job != JobKind::Import && job != JobKind::ImportDeleteFirst && job != JobKind::Check;
    for (const Step& at : steps) {
        if (!tried(layer, at, readStride)) continue;
        SCOPED_TRACE(std::string(kLayerNames[static_cast<int>(layer)]) + " at " + (at.sqlite ? "SQLite's " : "") +
                     at.op + " #" + std::to_string(at.nth));
        ++trials;
        JobScene scene(job);
        if (layer == Layer::FileFails) scene.fakes.files.failCall(at.op, at.nth, kDiskFull);
        // The shell may commit on another of the job's threads while the job
        // reads: on a busy machine its commit may keep the job waiting longer
        // than the half second the other layers allow.
        if (layer == Layer::ShellArrives) scene.ctx.waitSeconds = 5, scene.window.engine_.SetWait(5);
        const int code = sqliteCode(at.io, sticky);
        bool shellIn = false;
        const std::string insert =
            shell + " -bail '" + scene.db + "' 'INSERT INTO Kund (ID, Namn) VALUES (999999, 0)' 2>/dev/null";
        // The killed job's temporary files, its database snapshot among them, go here.
        TempFolder scratch;
        const char* tmp = std::getenv("TMPDIR");
        const std::string tmpBefore = tmp ? tmp : "/tmp";
        if (layer == Layer::Killed) ::setenv("TMPDIR", scratch.path().c_str(), 1);
        const Said said = runWith(
            scene,
            [&](const Step& s) {
                if (!(s == at) && !(sticky && s.sqlite && s.io == at.io && s.nth > at.nth)) return 0;
                if (layer == Layer::Killed) ::raise(SIGKILL);
                if (layer == Layer::ShellArrives) shellIn = std::system(insert.c_str()) == 0 || shellIn;
                if (layer == Layer::Stopped) scene.stopper.requestStop();
                if (layer == Layer::FileFails && s.op.starts_with("engine ")) return ENOSPC;
                return disk ? code : 0;
            },
            layer == Layer::Killed);
        failed += said == Said::Failed;
        if (said == Said::Failed) failures += at.op + " #" + std::to_string(at.nth) + ": " + scene.message + "\n";
        // The export reads a snapshot that has no name: nothing the size of
        // the database stays behind, but while it is copied, opened and its
        // name removed, where the engine needs its name (then the next run
        // removes it).
        const bool named =
            at.op == "engine scratch copy" || (at.sqlite && (at.io == IoOp::Open || at.io == IoOp::Delete));
        if (layer == Layer::Killed && job == JobKind::Export && !named) {
            EXPECT_TRUE(std::filesystem::is_empty(scratch.path()));
        }
        // The import's own reads before it starts (the field list the links
        // need) say what they miss, by the text of its number; the maintenance
        // jobs name the file step.
        std::string why = layer == Layer::FileFails ? errorTextCode(kDiskFull.number) : "";
        // A file SQLite cannot open is told as the open's refusal, whatever the disk said.
        if (disk && at.io != IoOp::Open && (at.io != IoOp::Read || job == JobKind::Export))
            why = errorTextCode(code == SQLITE_FULL ? db::err::NotEnoughSpace : db::err::DiskError);
        if (scene.maintenance() && layer != Layer::FileFails) why.clear();
        // A stop undoes what the job began: it never leaves it unsure.
        EXPECT_TRUE(layer != Layer::Stopped || said != Said::Unsure) << scene.message;
        EXPECT_TRUE(said != Said::Failed || scene.message.find(why) != std::string::npos) << scene.message;
        if (shellIn) takeOutTheShellsRow(scene);
        expectAsItSaid(scene, said, before, complete);
        // A job that ended leaves no temporary file, unless it told why it could not remove one.
        const bool told = !scene.fakes.systemLog.lines.empty() || at.op == "removeFile";
        EXPECT_TRUE(layer == Layer::Killed || told || temporaryFilesIn(scene.dir.path()).empty())
            << temporaryFilesIn(scene.dir.path()).front();
        if (layer == Layer::Killed && writesFiles) abandonedTrials += expectNextRunRemovesWhatTheKilledOneLeft(scene);
        if (layer == Layer::Killed) {
            EXPECT_TRUE(!writesFiles || std::filesystem::is_empty(scratch.path()));
            ::setenv("TMPDIR", tmpBefore.c_str(), 1);
        }
    }
    EXPECT_TRUE(layer != Layer::Killed || !writesFiles || abandonedTrials > 0);
    RecordProperty("trials", trials);
    RecordProperty("failed", failed);
    EXPECT_GT(trials, 0);
    // Some fault of every kind, and an early stop, ends the job; a shell that
    // writes meanwhile never does. (The export asks for a stop every 1024
    // rows: the demo's registers are done before.)
    const bool stopsLate = layer == Layer::Stopped && job == JobKind::Export;
    EXPECT_TRUE(layer == Layer::Killed || stopsLate || (failed > 0) == (layer != Layer::ShellArrives)) << failures;
}

// A commit the disk carries out and then answers with an error (the journal
// deleted, the sync of its folder failed): the register holds the import,
// and vexla-transfer says the disk failed (exit status 4: the register may
// hold the import), never that the register is unchanged (6).
TEST(ImportOnAFailingDisk, SavedDespiteAnErrorExitsAsAFileError) {
    JobWorld w(demoDatabase());
    const std::size_t customers = allRows(w.db)["Kund"].size();
    w.dir.write("kunder.skv", customerFile(1000, kImportLines, "en"));
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> in{std::tmpfile(), std::fclose}, out{std::tmpfile(), std::fclose},
        err{std::tmpfile(), std::fclose};
    ConsoleMessageBoxes console{err.get()};
    transfer::Environment env{w.texts,       w.window.engine_, console,  w.fakes.clock, w.fakes.locale,
                              w.fakes.files, w.dir.path(),     in.get(), out.get(),     err.get(),
                              false,         "vexla",          nullptr,  nullptr};
    onSqliteCall([](IoOp io) { return io == IoOp::Delete ? kAfterTheCall | SQLITE_IOERR_DIR_FSYNC : 0; });
    const int status = transfer::runTransfer(
        {"import", "--register", "kund", "--db", w.db, "--in", w.dir.file("kunder.skv"), "--user", "admin"}, env);
    onSqliteCall(nullptr);
    EXPECT_EQ(allRows(w.db)["Kund"].size(), customers + kImportLines);
    EXPECT_EQ(status, transfer::exitcode::FileError);
}

// A target whose file cannot be looked at through its links may be the
// database under another name: the write is refused with the file system's
// error.
TEST(WriteTargetCheck, ALookThroughLinksThatFailsRefusesTheTarget) {
    TempFolder dir;
    const std::string db = dir.write("bok.db", "SQLite"), other = dir.file("andra.db");
    fs::create_hard_link(db, other);
    Placement placement;
    placement.database = db;
    for (const auto& [failing, number] : {std::pair{0, fserr::PathFileAccess}, {1, kDiskFull.number}}) {
        SCOPED_TRACE(failing);
        FaultyFileSystem files;
        files.failCall("infoFollowing", failing, kDiskFull);
        const Status checked = checkWriteTarget(files, other, placement);
        EXPECT_EQ(checked ? 0 : checked.error().number, number);
    }
}

std::vector<FaultCase> faultCases() {
    std::vector<FaultCase> cases;
    for (int layer = 0; layer < 6; ++layer)
        for (int kind = 0; kind <= static_cast<int>(JobKind::RestoreIntoUnopenable); ++kind) {
            const auto job = static_cast<JobKind>(kind);
            // The check makes no file-system call of its own; a rescue of a
            // file the shell writes meanwhile has rows the complete one has
            // not, and an import that empties the register first takes the
            // shell's row away with the rest.
            if ((layer == 0 || layer == 4) && job == JobKind::Check) continue;
            if (layer == 4 && (job == JobKind::Rescue || job == JobKind::ImportDeleteFirst)) continue;
            cases.emplace_back(static_cast<Layer>(layer), job);
        }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(LayersAndJobs, Faults, ::testing::ValuesIn(faultCases()), [](const auto& info) {
    return std::string(kLayerNames[static_cast<int>(std::get<0>(info.param))]) + jobName(std::get<1>(info.param));
});

// ---------------------------------------------------------------- another program

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr long long kMarkerId = 999999;
constexpr const char* kMarkerInsert = "INSERT INTO Kund (ID, Namn) VALUES (999999, 'Annat program');";

char* const kEnd = nullptr;  // the end of execl's arguments

// A program that holds SQLite's lock, one that waits for it, our lock-file
// holder, and the program itself (the other kinds take the same refusals).
enum class Other { ShellExclusive, ShellWaiting, HoldDb, AdminProgram };

// A copy of the program in a folder of its own: it writes its log beside itself.
const std::string& adminProgram() {
    static TempFolder folder;
    static const std::string exe = [] {
        fs::create_directories(folder.path() + "/bin");
        for (const char* file : {"/vexla-admin", "/bin/Lang.ini"})
            fs::copy_file(db::testing::programDir() + file, folder.path() + file);
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
    std::this_thread::sleep_for(delay);
    const int quiet = ::open("/dev/null", O_WRONLY);
    for (int fd : {1, 2}) ::dup2(quiet, fd);
    const char *sh = shell.c_str(), *file = db.c_str();
    if (kind == Other::ShellExclusive)
        ::execl(sh, "sqlite3", "-bail", file, "BEGIN EXCLUSIVE;", kMarkerInsert, ".system sleep 0.02", "COMMIT;", kEnd);
    if (kind == Other::ShellWaiting) ::execl(sh, "sqlite3", "-bail", file, ".timeout 10000", kMarkerInsert, kEnd);
    if (kind == Other::HoldDb) ::execl(holddb.c_str(), "vexla-holddb", file, kEnd);
    if (kind == Other::AdminProgram) {  // the unattended compaction, as cron runs it
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) ::unsetenv(name);
        ::execl(admin.c_str(), "vexla-admin", "/ak", "/d", file, kEnd);
    }
    ::_exit(127);
}

class Concurrency : public ::testing::TestWithParam<JobKind> {};

TEST_P(Concurrency, NeverBothOnTheFileAtOnce) {
    const JobKind job = GetParam();
    std::vector<Other> kinds{Other::HoldDb, Other::AdminProgram, Other::ShellExclusive, Other::ShellWaiting};
    if (db::testing::findOnPath("sqlite3").empty()) kinds.resize(2);  // the shell may be missing

    // The other starts from half a job's time before it to its end.
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
    const std::uint64_t seed =
        (seedText && *seedText ? std::strtoull(seedText, nullptr, 10) : 4122026) + static_cast<std::uint64_t>(job);
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
        std::this_thread::sleep_for(-delay);  // nothing when the other starts later
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
        EXPECT_TRUE(said != Said::Done || !scene.product.ends_with(".db") || openAndCheck(scene.product).empty());
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
