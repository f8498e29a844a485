// The restore of a dated backup (exclusive-use test, the backup copied
// beside the database and checked, the database kept as a backup, the
// copy's content written into the database as one transaction, every step
// synced) against the compaction job of the same file. Also the listing of
// the backups (each read and quick-checked).
// On a database of --bookings N (1,000,000 by default), or --db PATH; the
// backup restored is a copy of the same file. Each contender starts from a
// fresh folder (not timed) and runs in a child process of its own; best of
// three, with its peak resident memory.
// With --stops, instead of all that: the time from a stop asked for to the
// restore's end, for a stop asked at each step the restore reports and some
// time into it.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>

#include "bench/bench_database.h"
#include "bench/bench_support.h"
#include "bench/quiet_platform.h"
#include "bench/stop_at_step.h"
#include "maintenance/compaction.h"
#include "maintenance/restore.h"
#include "tools/sample_generator.h"

namespace {

using namespace vexla;
namespace fs = std::filesystem;

const char* const kBackup = "Vexla2026-12-03.db";  // the day before the fixed clock's

// Runs `job` with a context on "bok.db" in `folder`.
template <typename Job>
bool withContext(const std::string& folder, Job job) {
    bench::QuietPlatform quiet;
    Platform platform = quiet.platform();
    bench::Window window;
    window.s.DataBas = folder + "/bok.db";
    window.s.msSökväg = folder;
    bench::Texts texts;
    JobContext ctx{window, platform, texts};
    return job(ctx);
}

bool restoreJob(const std::string& folder, JobProgress* progress) {
    return withContext(folder, [&](JobContext& ctx) {
        ctx.progress = progress;
        const RestoreOutcome outcome = restoreBackup(ctx, folder + "/" + kBackup);
        if (outcome.failure && !outcome.stopped()) std::fprintf(stderr, "%s\n", outcome.failure->description.c_str());
        return outcome.restoredOk();
    });
}

bool restoreJob(const std::string& folder) { return restoreJob(folder, nullptr); }

bool compactionJob(const std::string& folder) {
    return withContext(folder, [](JobContext& ctx) { return compactDatabase(ctx).compacted(); });
}

bool listJob(const std::string& folder) {
    return withContext(folder, [](JobContext& ctx) {
        auto listed = listBackups(ctx);
        return listed && listed->size() == 1 && listed->front().sound;
    });
}

// A fresh folder: the original as bok.db and as yesterday's backup.
void freshFolder(const std::string& original, const std::string& folder) {
    fs::remove_all(folder);
    fs::create_directories(folder);
    fs::copy_file(original, folder + "/bok.db");
    fs::copy_file(original, folder + "/" + kBackup);
    bench::shell("sync");
}

// The stop latencies: a row per step the restore reports as it enters it
// (its write-in ends in the commit, past which it ends done), a column per
// delay; each on a fresh folder (s stopped, d done: the job had passed its
// point of no return, - it ended before the stop was asked for).
void measureStops(const std::string& original, const std::string& folder) {
    const int delays[] = {0, 100, 400, 1200};
    const std::pair<RestoreStep, const char*> steps[] = {{RestoreStep::Check, "check"},
                                                         {RestoreStep::KeepCurrent, "keeping the database"}};
    std::printf("stop asked at a step + delay: seconds to the job's end (s stopped, d done, - ended first)\n");
    std::printf("%-30s", "");
    for (int d : delays) std::printf(" %8d ms", d);
    std::printf("\n");
    for (const auto& [step, name] : steps) {
        std::printf("  %-28s", name);
        for (int d : delays) {
            freshFolder(original, folder);
            bench::StopAtStep stopper(static_cast<std::uint64_t>(step), std::chrono::milliseconds(d));
            const bool done = restoreJob(folder, &stopper);
            const double latency = stopper.latency(std::chrono::steady_clock::now());
            if (latency < 0)
                std::printf(" %10s %c", "-", done ? 'd' : 's');
            else
                std::printf(" %10.3f %c", latency, done ? 'd' : 's');
        }
        std::printf("\n");
        std::fflush(stdout);
    }
    fs::remove_all(folder);
}

bench::ChildRun bestOfThree(const std::string& original, const std::string& folder, bool (*job)(const std::string&)) {
    bench::ChildRun best;
    for (int i = 0; i < 3; ++i) {
        freshFolder(original, folder);
        const bench::ChildRun run = bench::inChild([&] { return job(folder); });
        if (!run.ok) return run;
        if (!best.ok || run.seconds < best.seconds) best = run;
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    bench::DatabaseOptions options;
    if (!bench::parseDatabaseOptions(argc, argv, "vexla-bench-restore [--bookings N] [--db PATH] [--stops]", options,
                                     "--stops"))
        return 2;
    const bool stops = options.flagGiven;
    const std::string scratch = bench::scratchFolder();
    if (scratch.empty()) return 1;
    const std::string original = bench::databaseToMeasure(options, scratch);
    if (original.empty()) return 1;
    const std::string folder = scratch + "/run";
    if (stops) {
        measureStops(original, folder);
        fs::remove_all(scratch);
        return 0;
    }
    const bench::ChildRun restored = bestOfThree(original, folder, restoreJob);
    const bench::ChildRun compacted = bestOfThree(original, folder, compactionJob);
    const bench::ChildRun listed = bestOfThree(original, folder, listJob);
    for (const bench::ChildRun* run : {&restored, &compacted, &listed})
        if (!run->ok) {
            std::fprintf(stderr, "a run failed\n");
            fs::remove_all(scratch);
            return 1;
        }
    std::printf("database %s: %.0f MB\n", original.c_str(), static_cast<double>(fs::file_size(original)) / 1e6);
    std::printf("%-52s %10s %10s\n", "(best of 3)", "seconds", "peak MB");
    const auto line = [](const char* what, const bench::ChildRun& run) {
        std::printf("%-52s %10.3f %10ld\n", what, run.seconds, run.peakKb / 1024);
    };
    line("restore", restored);
    line("compaction", compacted);
    line("list of the backups (one backup)", listed);
    std::printf("%-52s %10.2f\n", "ratio restore / compaction", restored.seconds / compacted.seconds);
    fs::remove_all(scratch);
    return 0;
}
