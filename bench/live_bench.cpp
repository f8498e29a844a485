// The database jobs beside a running booking system: for each job (the
// export of the bookings, the compaction, the copy of one month with the
// compaction after it, the restore of a backup made before) and each style
// of the booking system (--styles, per-booking and kept-open by default)
// in each journal mode (rollback and WAL), a fresh copy of the database
// (not timed), vexla-bookingsim booking into it at --rate (20 a second)
// with a busy timeout of 5 s, the job started a second later in this
// process, the simulator stopped a second after the job's end.
// Per run: the longest wait of a booking that went through, the attempts
// that did not, the bookings said to be made that are not in the database
// afterwards (after a restore: in neither the database nor the backup the
// restore kept of the state it replaced), the longest span the job held the
// booking system's commits off as the job tells it, the job's wall time,
// and for scale the time dd takes to copy the database with an fsync.
// On the demo database of --bookings N (300,000 by default) or a copy of
// --db PATH, in a new folder under --dir (/tmp: the disk, through the page
// cache; not a memory file system).
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_database.h"
#include "bench/bench_support.h"
#include "bench/quiet_platform.h"
#include "maintenance/compaction.h"
#include "maintenance/database_copy.h"
#include "maintenance/restore.h"
#include "registers/export_register.h"
#include "tools/booking_simulator.h"

extern char** environ;

namespace {

using namespace vexla;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

const char* const kBackup = "Vexla2026-12-03.db";  // the day before the fixed clock's
const char* const kUsage =
    "vexla-bench-live [--bookings N | --db PATH] [--styles per-booking,kept-open] [--rate N] [--dir FOLDER]";

struct Options {
    long bookings = 300000;
    std::string db;
    std::vector<std::string> styles{"per-booking", "kept-open"};
    double rate = 20;
    std::string dir = "/tmp";
};

std::vector<std::string> splitCommas(const std::string& text) {
    std::vector<std::string> parts(1);
    for (const char c : text) {
        if (c == ',')
            parts.emplace_back();
        else
            parts.back() += c;
    }
    return parts;
}

bool knownStyle(const std::string& s) { return s == "per-booking" || s == "kept-open" || s == "idle" || s == "report"; }

std::optional<Options> parseOptions(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool valued = i + 1 < argc;
        if (arg == "--bookings" && valued)
            o.bookings = std::atol(argv[++i]);
        else if (arg == "--db" && valued)
            o.db = argv[++i];
        else if (arg == "--styles" && valued)
            o.styles = splitCommas(argv[++i]);
        else if (arg == "--rate" && valued)
            o.rate = std::atof(argv[++i]);
        else if (arg == "--dir" && valued)
            o.dir = argv[++i];
        else
            return std::nullopt;
    }
    const bool stylesKnown = std::all_of(o.styles.begin(), o.styles.end(), knownStyle);
    if (!stylesKnown || o.bookings <= 0 || o.rate < 1 || o.rate > 1000) return std::nullopt;
    return o;
}

// Runs statements on the database with SQLite alone, as another program
// would: the first column of each row of `sql`'s last statement.
std::vector<std::string> query(const std::string& path, const std::string& sql) {
    std::vector<std::string> rows;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK) {
        sqlite3_busy_timeout(db, 10000);
        const char* rest = sql.c_str();
        while (rest && *rest) {
            sqlite3_stmt* st = nullptr;
            if (sqlite3_prepare_v2(db, rest, -1, &st, &rest) != SQLITE_OK || !st) break;
            rows.clear();
            while (sqlite3_step(st) == SQLITE_ROW) {
                const unsigned char* text = sqlite3_column_text(st, 0);
                rows.emplace_back(text ? reinterpret_cast<const char*>(text) : "");
            }
            sqlite3_finalize(st);
        }
    }
    sqlite3_close_v2(db);
    return rows;
}

std::set<std::string> markersIn(const std::string& path) {
    if (path.empty() || !fs::exists(path)) return {};
    const auto rows = query(path, "SELECT Anteckning FROM Bokning WHERE Anteckning LIKE 'sim-%'");
    return {rows.begin(), rows.end()};
}

// The month of the earliest booking, its first to its last second.
std::optional<CopyInterval> earliestMonth(const std::string& path) {
    const auto rows = query(path, "SELECT min(StartTid) FROM Bokning");
    int year = 0, month = 0;
    if (rows.empty() || std::sscanf(rows.front().c_str(), "%d-%d", &year, &month) != 2) return std::nullopt;
    const int lengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    const int last = lengths[month - 1] + (month == 2 && leap ? 1 : 0);
    return CopyInterval{{year, month, 1, 0, 0, 0}, {year, month, last, 23, 59, 59}};
}

// What a job tells of itself.
struct JobEnd {
    bool ok = false;
    std::optional<double> held;  // none when the job has no such figure
    std::string kept;            // a restore's backup of the state it replaced
    std::string failure;
};

std::string describe(const std::optional<Error>& e) { return e ? e->description : std::string("failed"); }

// The job `name` on "bok.db" in `folder`, in this process, without a window.
JobEnd runJob(const std::string& name, const std::string& folder, const CopyInterval& month) {
    bench::QuietPlatform quiet;
    quiet.dialogs.path = folder + "/BokningsReg.skv";
    Platform platform = quiet.platform();
    bench::Window window;
    window.s.Språk = "se";
    window.s.DataBas = folder + "/bok.db";
    window.s.msSökväg = folder;
    bench::Texts texts;
    JobContext ctx{window, platform, texts};
    JobEnd end;
    if (name == "export") {
        const ExportOutcome o = exportRegister(ctx, 2);
        end = {o.n > 0, std::nullopt, "", o.n > 0 ? "" : describe(o.failure)};
    } else if (name == "compact") {
        const CompactionOutcome o = compactDatabase(ctx);
        end = {o.compacted(), o.heldSeconds, "", o.compacted() ? "" : describe(o.failure)};
    } else if (name == "interval") {
        const CopyOutcome o = copyDatabase(ctx, folder + "/month.db", month);
        const bool ok = o.end == CopyEnd::Copied;
        end = {ok, o.compaction.heldSeconds, "", ok ? "" : describe(o.failure ? o.failure : o.compaction.failure)};
    } else {
        const RestoreOutcome o = restoreBackup(ctx, folder + "/" + kBackup);
        end = {o.restoredOk(), o.heldSeconds, o.kept, o.restoredOk() ? "" : describe(o.failure)};
    }
    return end;
}

// Starts vexla-bookingsim beside this program on `db`; its standard output
// and error go to `out`. -1 when it cannot be started.
pid_t startSimulator(const std::string& db, const std::string& style, double rate, bool wal, const std::string& log,
                     const std::string& out) {
    const std::string program = fs::read_symlink("/proc/self/exe").parent_path() / "vexla-bookingsim";
    char rateText[32];
    std::snprintf(rateText, sizeof rateText, "%g", rate);
    std::vector<std::string> args{program,          db,  "--style", style, "--rate", rateText,
                                  "--busy-timeout", "5", "--log",   log};
    if (wal) args.push_back("--wal");
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// Stops the simulator as a person would (SIGTERM: the booking under way is
// finished first); true when it ended by itself with status 0.
bool stopSimulator(pid_t pid) {
    kill(pid, SIGTERM);
    int status = 0;
    return waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

struct Run {
    std::string job, style;
    bool wal = false;
};

// A fresh copy of the original as bok.db in the journal mode of the run,
// with the backup a restore puts back made from it.
bool prepare(const std::string& original, const std::string& folder, const Run& run) {
    fs::remove_all(folder);
    fs::create_directories(folder);
    const std::string db = folder + "/bok.db";
    fs::copy_file(original, db);
    const auto mode = query(db, run.wal ? "PRAGMA journal_mode=WAL" : "PRAGMA journal_mode=DELETE");
    if (mode.empty() || mode.front() != (run.wal ? "wal" : "delete")) return false;
    if (run.job == "restore") fs::copy_file(db, folder + "/" + kBackup);
    return bench::shell("sync");
}

struct Measured {
    double longestWaitMs = 0;
    long failed = 0, lost = 0;
    std::vector<sim::Attempt> failures;
    std::vector<std::string> lostMarkers;
};

// What the simulator's log says, against what the database (and the kept
// backup) hold afterwards.
Measured tally(const std::vector<sim::Attempt>& attempts, const std::string& db, const std::string& kept) {
    Measured m;
    const std::set<std::string> inDb = markersIn(db), inKept = markersIn(kept);
    for (const sim::Attempt& a : attempts) {
        if (a.outcome != "ok") {
            ++m.failed;
            m.failures.push_back(a);
            continue;
        }
        m.longestWaitMs = std::max(m.longestWaitMs, a.waitMs);
        if (inDb.count(a.marker) || inKept.count(a.marker)) continue;
        ++m.lost;
        m.lostMarkers.push_back(a.marker + " (id " + std::to_string(a.id) + ")");
    }
    return m;
}

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

void printRun(const Run& run, const Measured& m, const JobEnd& end, double jobSeconds, double ddSeconds,
              long attempts) {
    char held[32] = "-";
    if (end.held) std::snprintf(held, sizeof held, "%.3f", *end.held);
    std::printf("%-9s %-12s %-9s %15.1f %7ld %5ld %8s %8.2f %7.2f  %ld attempts%s%s\n", run.job.c_str(),
                run.style.c_str(), run.wal ? "wal" : "rollback", m.longestWaitMs, m.failed, m.lost, held, jobSeconds,
                ddSeconds, attempts, end.ok ? "" : "; job failed: ", end.failure.c_str());
    const std::size_t shown = 3;
    for (std::size_t i = 0; i < m.failures.size() && i < shown; ++i)
        std::printf("    not ok: seq %ld %s after %.0f ms: %s\n", m.failures[i].seq, m.failures[i].outcome.c_str(),
                    m.failures[i].waitMs, m.failures[i].message.c_str());
    for (std::size_t i = 0; i < m.lostMarkers.size() && i < shown; ++i)
        std::printf("    lost: %s\n", m.lostMarkers[i].c_str());
    std::fflush(stdout);
}

// One run: the simulator booking a second before the job and a second after.
bool measureRun(const std::string& original, const std::string& folder, const Run& run, const Options& o,
                const CopyInterval& month, double ddSeconds) {
    if (!prepare(original, folder, run)) {
        std::fprintf(stderr, "could not prepare %s\n", folder.c_str());
        return false;
    }
    const std::string db = folder + "/bok.db", log = folder + "/sim.log";
    const pid_t sim = startSimulator(db, run.style, o.rate, run.wal, log, folder + "/sim.out");
    if (sim < 0) {
        std::fprintf(stderr, "could not start vexla-bookingsim\n");
        return false;
    }
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const Clock::time_point start = Clock::now();
    const JobEnd end = runJob(run.job, folder, month);
    const double jobSeconds = secondsSince(start);
    std::this_thread::sleep_for(std::chrono::seconds(1));
    if (!stopSimulator(sim)) {
        std::fprintf(stderr, "vexla-bookingsim did not end well; see %s/sim.out\n", folder.c_str());
        return false;
    }
    std::vector<sim::Attempt> attempts;
    try {
        attempts = sim::readSimLog(log);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return false;
    }
    const Measured m = tally(attempts, db, end.kept);
    printRun(run, m, end, jobSeconds, ddSeconds, static_cast<long>(attempts.size()));
    return true;
}

// Seconds dd takes to copy the database with an fsync at its end.
double ddSeconds(const std::string& original, const std::string& folder) {
    const std::string target = folder + "/dd.out";
    const Clock::time_point start = Clock::now();
    const bool ok = bench::shell("dd if='" + original + "' of='" + target + "' bs=1M conv=fsync status=none");
    const double seconds = secondsSince(start);
    fs::remove(target);
    return ok ? seconds : -1;
}

// The database measured on: a copy of --db, or the demo database made here.
bool makeOriginal(const Options& o, const std::string& path) {
    if (o.db.empty()) return bench::makeBenchDatabase(path, o.bookings);
    std::error_code failed;
    fs::copy_file(o.db, path, failed);
    if (failed) std::fprintf(stderr, "%s: %s\n", o.db.c_str(), failed.message().c_str());
    return !failed;
}

}  // namespace

int main(int argc, char** argv) {
    const std::optional<Options> o = parseOptions(argc, argv);
    if (!o) {
        std::fprintf(stderr, "usage: %s\n", kUsage);
        return 2;
    }
    std::string scratch = o->dir + "/vexla-live-XXXXXX";
    if (!mkdtemp(scratch.data())) {
        std::perror(scratch.c_str());
        return 1;
    }
    const std::string original = scratch + "/original.db";
    const std::optional<CopyInterval> month = makeOriginal(*o, original) ? earliestMonth(original) : std::nullopt;
    if (!month) return 1;
    const auto counted = query(original, "SELECT count(*) FROM Bokning");
    const double dd = ddSeconds(original, scratch);
    std::printf("database %s: %s bookings, %.0f MB; rate %g bookings/s; month copied %04d-%02d\n", original.c_str(),
                counted.empty() ? "?" : counted.front().c_str(), static_cast<double>(fs::file_size(original)) / 1e6,
                o->rate, month->first.year, month->first.month);
    std::printf("%-9s %-12s %-9s %15s %7s %5s %8s %8s %7s\n", "job", "style", "mode", "longest_wait_ms", "failed",
                "lost", "held_s", "job_s", "dd_s");
    bool allRan = true;
    for (const char* job : {"export", "compact", "interval", "restore"})
        for (const std::string& style : o->styles)
            for (const bool wal : {false, true})
                allRan = measureRun(original, scratch + "/run", {job, style, wal}, *o, *month, dd) && allRan;
    fs::remove_all(scratch);
    return allRan ? 0 : 1;
}
