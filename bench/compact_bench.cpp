// The compaction job (cmdKomprimera: exclusive-use test, dated backup, the
// compacted content built by the engine, checked and written into the same
// file as one transaction, every step synced) against SQLite's own
// compaction in place done the careful way, as a shell would:
//   cp db backup; sqlite3 db VACUUM; sqlite3 db 'PRAGMA quick_check'; sync
// on the same database of --bookings N (1,000,000 by default), or --db PATH.
// Each contender starts from a fresh copy of the database (not timed) and
// runs in a child process of its own; five rounds, the contenders taking
// turns in each: the best of each and the median of the rounds' ratios. Then the job's phases
// one by one on the same file: the counts of the database, the compaction
// into a new file, the quick check and the counts of the result, and the
// full integrity check the job runs instead with --full-check.
// With --stops, instead of all that: the time from a stop asked for to the
// job's end, for a stop asked at each step the job reports and some time
// into it.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_database.h"
#include "bench/bench_support.h"
#include "bench/quiet_platform.h"
#include "bench/stop_at_step.h"
#include "maintenance/compaction.h"
#include "tools/sample_generator.h"

namespace {

using namespace vexla;
namespace fs = std::filesystem;

// The compaction job on "bok.db" in `folder`, its progress (and stops)
// going to `progress` when given.
CompactionOutcome runTheJob(const std::string& folder, bool fullCheck, JobProgress* progress = nullptr) {
    bench::QuietPlatform quiet;
    Platform platform = quiet.platform();
    bench::Window window;
    window.s.DataBas = folder + "/bok.db";
    window.s.msSökväg = folder;
    bench::Texts texts;
    JobContext ctx{window, platform, texts, fullCheck};
    ctx.progress = progress;
    return compactDatabase(ctx);
}

bool compactWithTheJob(const std::string& folder, bool fullCheck) { return runTheJob(folder, fullCheck).compacted(); }

bool quickJob(const std::string& folder) { return compactWithTheJob(folder, false); }
bool fullCheckJob(const std::string& folder) { return compactWithTheJob(folder, true); }

// One stopped run on a fresh copy: the latency and how the job ended.
std::pair<double, char> stoppedRun(const std::string& original, const std::string& folder, std::uint64_t step,
                                   std::chrono::milliseconds delay) {
    fs::remove_all(folder);
    fs::create_directories(folder);
    fs::copy_file(original, folder + "/bok.db");
    bench::StopAtStep stopper(step, delay);
    const CompactionOutcome outcome = runTheJob(folder, false, &stopper);
    const double latency = stopper.latency(std::chrono::steady_clock::now());
    return {latency, outcome.stopped() ? 's' : outcome.compacted() ? 'd' : 'f'};
}

// The stop latencies: a row per step the job reports as it enters it (the
// others pass inside the compaction's one transaction), a column per delay.
void measureStops(const std::string& original, const std::string& folder) {
    const int delays[] = {0, 100, 400, 1200, 2500, 4000};
    const std::pair<CompactionStep, const char*> steps[] = {{CompactionStep::Preparation, "preparation"},
                                                            {CompactionStep::Compaction, "compaction"}};
    std::printf("stop asked at a step + delay: seconds to the job's end (s stopped, d done, - ended first)\n");
    std::printf("%-30s", "");
    for (int d : delays) std::printf(" %8d ms", d);
    std::printf("\n");
    for (const auto& [step, name] : steps) {
        std::printf("  %-28s", name);
        for (int d : delays) {
            const auto [latency, end] =
                stoppedRun(original, folder, static_cast<std::uint64_t>(step), std::chrono::milliseconds(d));
            if (latency < 0)
                std::printf(" %10s %c", "-", end);
            else
                std::printf(" %10.3f %c", latency, end);
        }
        std::printf("\n");
        std::fflush(stdout);
    }
    fs::remove_all(folder);
}

// SQLite's own compaction in place, as a careful person runs it from a
// shell: a backup first, the check after, and everything on the disk.
bool compactWithTheShell(const std::string& folder) {
    const std::string db = "'" + folder + "/bok.db'";
    return bench::shell("cp " + db + " '" + folder + "/backup.db' && sqlite3 " + db + " VACUUM && test \"$(sqlite3 " +
                        db + " 'PRAGMA quick_check')\" = ok && sync");
}

// A fresh folder holding only a copy of the original as bok.db.
void freshCopy(const std::string& original, const std::string& folder) {
    fs::remove_all(folder);
    fs::create_directories(folder);
    fs::copy_file(original, folder + "/bok.db");
    bench::shell("sync");
}

using Step = bool (*)(const std::string&);

// The contenders run in turns, each on a fresh copy: on a busy machine a
// round's ratio compares runs made under about the same load. Answers each
// contender's best run and, per round, its time over the last contender's.
struct Rounds {
    std::vector<bench::ChildRun> best;
    std::vector<std::vector<double>> ratios;
};
Rounds inTurns(const std::string& original, const std::string& folder, const std::vector<Step>& steps, int rounds) {
    Rounds r{std::vector<bench::ChildRun>(steps.size()), std::vector<std::vector<double>>(steps.size())};
    for (int i = 0; i < rounds; ++i) {
        std::vector<double> seconds;
        for (std::size_t k = 0; k < steps.size(); ++k) {
            freshCopy(original, folder);
            const bench::ChildRun run = bench::inChild([&] { return steps[k](folder); });
            if (!run.ok) {
                r.best[k] = run;
                return r;
            }
            if (!r.best[k].ok || run.seconds < r.best[k].seconds) r.best[k] = run;
            seconds.push_back(run.seconds);
        }
        for (std::size_t k = 0; k < steps.size(); ++k) r.ratios[k].push_back(seconds[k] / seconds.back());
    }
    return r;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void line(const char* what, const bench::ChildRun& run) {
    std::printf("%-52s %10.3f %10ld\n", what, run.seconds, run.peakKb / 1024);
}

// A step on the database at `path`, opened as the job opens it; best of three.
template <typename Step>
bench::ChildRun onDatabase(const std::string& path, Step step) {
    return bench::bestOfThree([&] {
        db::SqliteEngine engine;
        auto opened = engine.OpenDatabase(path, true);
        return opened && step(**opened) && (*opened)->Close();
    });
}

// The compacted content written into the database as the job writes it: one
// transaction through the engine, the writers held off by a second
// connection meanwhile.
bool writeIn(const std::string& db, const std::string& result) {
    db::SqliteEngine engine;
    auto connection = engine.OpenDatabase(db, true);
    if (!connection) return false;
    auto holder = engine.OpenDatabase(db, false);
    if (!holder || !(*holder)->HoldWriters()) return false;
    auto builtAt = (*holder)->DataVersion();
    if (!builtAt) return false;
    auto compacted = engine.OpenDatabase(result, false);
    if (!compacted) return false;
    const bool written = (*connection)->WriteInFrom(**compacted, **holder, *builtAt, 5.0, {}).ok();
    return written && (*compacted)->Close() && (*holder)->Close() && (*connection)->Close();
}

// The phases of the job, each alone on a fresh copy, printed.
bool measurePhases(const std::string& original, const std::string& phases) {
    const std::string db = phases + "/bok.db", result = phases + "/bok.db.compacted";
    freshCopy(original, phases);
    const bench::ChildRun counts = onDatabase(db, [](db::Database& d) { return d.ContentCounts().ok(); });
    const bench::ChildRun vacuum = bench::bestOfThree([&] {
        fs::remove(result);
        db::SqliteEngine engine;
        auto opened = engine.OpenDatabase(db, true);
        return opened && (*opened)->CompactInto(result) && (*opened)->Close();
    });
    const bench::ChildRun quick = onDatabase(result, [](db::Database& d) { return d.QuickCheck().ok(); });
    const bench::ChildRun resultCounts = onDatabase(result, [](db::Database& d) { return d.ContentCounts().ok(); });
    const bench::ChildRun integrity = onDatabase(result, [](db::Database& d) { return d.CheckIntegrity().ok(); });
    const bench::ChildRun written = bench::bestOfThree([&] { return writeIn(db, result); });
    const bench::ChildRun copy =
        bench::bestOfThree([&] { return bench::shell("cp '" + db + "' '" + phases + "/copy.db' && sync"); });
    for (const bench::ChildRun* run : {&counts, &vacuum, &quick, &resultCounts, &integrity, &written, &copy})
        if (!run->ok) return false;
    std::printf("phases of the job, each alone:\n");
    line("  row and index counts of the database", counts);
    line("  compaction into the new file (VACUUM INTO, synced)", vacuum);
    line("  quick_check of the result", quick);
    line("  row and index counts of the result", resultCounts);
    line("  integrity_check of the result (--full-check)", integrity);
    line("  the result written into the database (one commit)", written);
    line("  for scale: cp of the database; sync", copy);
    return true;
}

// The job against the shell: the best of five rounds of each, side by side.
bool measureContest(const std::string& original, const std::string& folder) {
    const Rounds rounds = inTurns(original, folder, {quickJob, fullCheckJob, compactWithTheShell}, 5);
    for (const bench::ChildRun& run : rounds.best)
        if (!run.ok) return false;
    const bench::ChildRun& shell = rounds.best[2];
    std::printf("database %s: %.0f MB\n", original.c_str(), static_cast<double>(fs::file_size(original)) / 1e6);
    std::printf("%-44s %10s %10s %10s %10s %10s\n", "compaction (best of 5)", "seconds", "peak MB", "shell s", "ratio",
                "median");
    const char* names[] = {"cmdKomprimera job (quick check and counts)", "cmdKomprimera job --full-check"};
    for (std::size_t k = 0; k < 2; ++k)
        std::printf("%-44s %10.3f %10ld %10.3f %10.2f %10.2f\n", names[k], rounds.best[k].seconds,
                    rounds.best[k].peakKb / 1024, shell.seconds, rounds.best[k].seconds / shell.seconds,
                    median(rounds.ratios[k]));
    std::printf("%-44s %10.3f %10ld\n", "cp; sqlite3 VACUUM; sqlite3 quick_check; sync", shell.seconds,
                shell.peakKb / 1024);
    std::printf("(ratio: job / shell of the bests; median: of the rounds' ratios)\n");
    std::printf("load average at the end: %.2f\n", bench::loadAverage());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    bench::DatabaseOptions options;
    if (!bench::parseDatabaseOptions(argc, argv, "vexla-bench-compact [--bookings N] [--db PATH] [--stops]", options,
                                     "--stops"))
        return 2;
    const std::string scratch = bench::scratchFolder();
    if (scratch.empty()) return 1;
    const std::string original = bench::databaseToMeasure(options, scratch);
    if (original.empty()) return 1;
    bool ok = true;
    if (options.flagGiven)
        measureStops(original, scratch + "/stops");
    else
        ok = measureContest(original, scratch + "/run") && measurePhases(original, scratch + "/phases");
    if (!ok) std::fprintf(stderr, "a run failed\n");
    fs::remove_all(scratch);
    return ok ? 0 : 1;
}
