// The copy of one month of bookings (cmdKopiera limited to an interval: the
// copy built from the rows it keeps, then the compaction of the database)
// against the compaction of the same database alone, at 1,000,000 and
// 3,000,000 bookings (--bookings N,N) or on given databases (--db PATH,
// repeatable); with --old also the earlier way of the interval copy (the
// whole file copied, the bookings outside deleted, the copy vacuumed, then
// the compaction). Each contender starts from a fresh copy of the database
// (not timed) and runs in a child process of its own in $TMPDIR; best of
// --runs (2).
//
// Then the time a stop takes, in each phase of the interval copy and of the
// whole copy: the stop is asked for when the job reports a given figure
// (through its JobProgress, as the window's Cancel does), and the time from
// there to the job's return is printed.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "bench/bench_database.h"
#include "bench/bench_support.h"
#include "bench/quiet_platform.h"
#include "maintenance/compaction.h"
#include "maintenance/database_copy.h"
#include "tools/sample_generator.h"

namespace {

using namespace vexla;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// The month copied: June 2025, inside the sample's three years.
const CopyInterval kMonth{{2025, 6, 1, 0, 0, 0}, {2025, 6, 30, 23, 59, 59}};

// A job's world on the database `folder`/bok.db.
struct Job {
    bench::QuietPlatform quiet;
    Platform platform = quiet.platform();
    bench::Window window;
    bench::Texts texts;
    JobContext ctx{window, platform, texts};
    explicit Job(const std::string& folder) {
        window.s.DataBas = folder + "/bok.db";
        window.s.msSökväg = folder;
    }
};

bool intervalCopy(const std::string& folder) {
    Job job(folder);
    return copyDatabase(job.ctx, folder + "/month.db", kMonth).end == CopyEnd::Copied;
}

bool compactionAlone(const std::string& folder) {
    Job job(folder);
    return compactDatabase(job.ctx).compacted();
}

// The earlier way: the whole file, the bookings outside deleted in one
// transaction, the copy vacuumed; then the database compacted.
bool oldIntervalCopy(const std::string& folder) {
    fs::copy_file(folder + "/bok.db", folder + "/month.db");
    Job job(folder);
    auto copy = job.window.e.OpenDatabase(folder + "/month.db", true);
    if (!copy) return false;
    db::Database& d = **copy;
    bool ok = d.BeginTrans().ok();
    for (const char* table : {"PrelBokning", "Bokning"}) {
        const std::string from = std::string("DELETE FROM ") + table + " WHERE StartTid ";
        ok = ok && d.Execute(from + "< #2025-06-01 00:00:00#").ok() && d.Execute(from + "> #2025-06-30 23:59:59#").ok();
    }
    ok = ok && d.CommitTrans().ok() && d.Vacuum().ok() && d.Close().ok();
    return ok && compactDatabase(job.ctx).compacted();
}

void freshCopy(const std::string& original, const std::string& folder) {
    fs::remove_all(folder);
    fs::create_directories(folder);
    fs::copy_file(original, folder + "/bok.db");
}

bench::ChildRun best(int runs, const std::string& original, const std::string& folder,
                     bool (*step)(const std::string&)) {
    bench::ChildRun fastest;
    for (int i = 0; i < runs; ++i) {
        freshCopy(original, folder);
        const bench::ChildRun run = bench::inChild([&] { return step(folder); });
        if (!run.ok) return run;
        if (!fastest.ok || run.seconds < fastest.seconds) fastest = run;
    }
    return fastest;
}

// Asks the job to stop at the first report `when` answers true.
struct StopWhen final : JobProgress {
    std::function<bool(std::uint64_t, std::uint64_t, ProgressUnit)> when;
    std::optional<Clock::time_point> asked;
    void report(std::uint64_t done, std::uint64_t total, ProgressUnit unit) override {
        if (!asked && when(done, total, unit)) asked = Clock::now();
    }
    bool stopRequested() const override { return asked.has_value(); }
};

struct StopCase {
    const char* phase;
    bool limited;
    std::function<bool(std::uint64_t, std::uint64_t, ProgressUnit)> when;
};

// Seconds from the stop to the job's return, or -1 when the job never
// reported the figure or did not end stopped.
double stopLatency(const std::string& original, const std::string& folder, const StopCase& c) {
    freshCopy(original, folder);
    Job job(folder);
    StopWhen progress;
    progress.when = c.when;
    job.ctx.progress = &progress;
    std::optional<CopyInterval> interval;
    if (c.limited) interval = kMonth;
    const CopyOutcome outcome = copyDatabase(job.ctx, folder + "/copy.db", interval);
    const auto end = Clock::now();
    if (!progress.asked || outcome.end != CopyEnd::Stopped || fs::exists(folder + "/copy.db")) return -1;
    return std::chrono::duration<double>(end - *progress.asked).count();
}

int benchmark(const std::string& original, const std::string& scratch, int runs, bool old) {
    const bench::ChildRun copy = best(runs, original, scratch + "/copy", intervalCopy);
    const bench::ChildRun alone = best(runs, original, scratch + "/alone", compactionAlone);
    bench::ChildRun before;
    if (old) before = best(1, original, scratch + "/old", oldIntervalCopy);
    if (!copy.ok || !alone.ok || (old && !before.ok)) {
        std::fprintf(stderr, "a run failed\n");
        return 1;
    }
    std::printf("database %s: %.0f MB\n", original.c_str(), static_cast<double>(fs::file_size(original)) / 1e6);
    std::printf("%-58s %10s %10s\n", "one month copied (best of runs)", "seconds", "peak MB");
    const auto line = [](const char* what, const bench::ChildRun& run) {
        std::printf("%-58s %10.3f %10ld\n", what, run.seconds, run.peakKb / 1024);
    };
    line("interval copy built from its rows, compaction included", copy);
    line("compaction alone", alone);
    std::printf("%-58s %10.2f\n", "ratio interval copy / compaction", copy.seconds / alone.seconds);
    if (old) {
        line("earlier way: whole copy, DELETE, VACUUM, compaction (1 run)", before);
        std::printf("%-58s %10.2f\n", "ratio earlier way / compaction", before.seconds / alone.seconds);
    }

    const auto rows = [](double share) {
        return [share](std::uint64_t done, std::uint64_t total, ProgressUnit unit) {
            return unit == ProgressUnit::Rows && total > 0 && done >= static_cast<std::uint64_t>(share * total) &&
                   done < total;
        };
    };
    const std::vector<StopCase> cases = {
        {"interval copy: counting the rows", true,
         [](auto, auto total, ProgressUnit unit) { return unit == ProgressUnit::Rows && total == 0; }},
        {"interval copy: rows written, at a tenth", true, rows(0.1)},
        {"interval copy: rows written, at nine tenths", true, rows(0.9)},
        {"interval copy: indexes, all rows written", true,
         [](auto done, auto total, ProgressUnit unit) { return unit == ProgressUnit::Rows && total && done == total; }},
        {"whole copy: bytes copied, at a half", false,
         [](auto done, auto total, ProgressUnit unit) { return unit == ProgressUnit::Bytes && done * 2 >= total; }},
    };
    std::printf("%-58s %10s\n", "a stop asked for in", "seconds");
    for (const StopCase& c : cases) {
        const double seconds = stopLatency(original, scratch + "/stop", c);
        if (seconds < 0)
            std::printf("%-58s %10s\n", c.phase, "not seen");
        else
            std::printf("%-58s %10.3f\n", c.phase, seconds);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<long> sizes = {1000000, 3000000};
    std::vector<std::string> databases;
    int runs = 2;
    bool old = false;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--bookings") && i + 1 < argc) {
            sizes.clear();
            for (char* p = argv[++i]; *p;) {
                sizes.push_back(std::strtol(p, &p, 10));
                if (*p == ',') ++p;
            }
        } else if (!std::strcmp(argv[i], "--db") && i + 1 < argc) {
            databases.push_back(argv[++i]);
        } else if (!std::strcmp(argv[i], "--runs") && i + 1 < argc) {
            runs = std::atoi(argv[++i]);
        } else if (!std::strcmp(argv[i], "--old")) {
            old = true;
        } else {
            std::fprintf(stderr, "usage: vexla-bench-copy [--bookings N,N] [--db PATH]... [--runs N] [--old]\n");
            return 2;
        }
    }
    const std::string scratch = bench::scratchFolder();
    if (scratch.empty()) return 1;
    if (databases.empty())
        for (long n : sizes) {
            const std::string path = scratch + "/original-" + std::to_string(n) + ".db";
            if (!bench::makeBenchDatabase(path, n)) return 1;
            databases.push_back(path);
        }
    int status = 0;
    for (const std::string& original : databases)
        if (benchmark(original, scratch, runs, old) != 0) status = 1;
    fs::remove_all(scratch);
    return status;
}
