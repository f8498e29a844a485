// The compaction job (cmdKomprimera: exclusive-use test, dated backup, work
// copy, compaction, verification, every step synced) against the shell
// sequence that does the bare minimum of the same:
//   cp db backup; cp db work; sqlite3 work "VACUUM INTO 'db.new'"; sync
// on the same database of --bookings N (1,000,000 by default), or --db PATH.
// The job both ways: renaming its result over the database, and writing it
// back into the file, which a second name of the database file (a hard
// link, as the booking system may keep one) makes it do by itself.
// Each contender starts from a fresh copy of the database (not timed) and
// runs in a child process of its own; five rounds, the contenders taking
// turns in each: the best of each and the median of the rounds' ratios. Then the job's phases
// one by one on the same file: the counts of the database, the compaction
// into a new file, the quick check and the counts of the result, and the
// full integrity check the job runs instead with --full-check.
// With --stops, instead of all that: the time from a stop asked for to the
// job's end, both ways, for a stop asked at each step and some time into it.
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
bool writeBackJob(const std::string& folder) {
    std::error_code failed;
    fs::create_hard_link(folder + "/bok.db", folder + "/bokning.db", failed);
    return !failed && compactWithTheJob(folder, false);
}

// One stopped run on a fresh copy: the latency and how the job ended.
std::pair<double, char> stoppedRun(const std::string& original, const std::string& folder, bool writeBack,
                                   std::uint64_t step, std::chrono::milliseconds delay) {
    fs::remove_all(folder);
    fs::create_directories(folder);
    fs::copy_file(original, folder + "/bok.db");
    if (writeBack) fs::create_hard_link(folder + "/bok.db", folder + "/bokning.db");
    bench::StopAtStep stopper(step, delay);
    const CompactionOutcome outcome = runTheJob(folder, false, &stopper);
    const double latency = stopper.latency(std::chrono::steady_clock::now());
    return {latency, outcome.stopped() ? 's' : outcome.compacted() ? 'd' : 'f'};
}

// The stop latencies: a row per step, a column per delay, both ways.
void measureStops(const std::string& original, const std::string& folder) {
    const int delays[] = {0, 100, 400, 1200, 2500, 4000};
    const char* steps[] = {"", "", "preparation", "backup", "work copy", "compaction", "verification", "replacement"};
    std::printf("stop asked at a step + delay: seconds to the job's end (s stopped, d done, - ended first)\n");
    for (const bool writeBack : {false, true}) {
        std::printf("%-30s", writeBack ? "write-back" : "rename");
        for (int d : delays) std::printf(" %8d ms", d);
        std::printf("\n");
        for (std::uint64_t step = 2; step <= kCompactionSteps; ++step) {
            std::printf("  %-28s", steps[step]);
            for (int d : delays) {
                const auto [latency, end] = stoppedRun(original, folder, writeBack, step, std::chrono::milliseconds(d));
                if (latency < 0)
                    std::printf(" %10s %c", "-", end);
                else
                    std::printf(" %10.3f %c", latency, end);
            }
            std::printf("\n");
            std::fflush(stdout);
        }
    }
    fs::remove_all(folder);
}

bool compactWithTheShell(const std::string& folder) {
    const std::string db = "'" + folder + "/bok.db'";
    return bench::shell("cp " + db + " '" + folder + "/backup.db' && cp " + db + " '" + folder + "/work.db' && rm " +
                        db + " && sqlite3 '" + folder + "/work.db' \"VACUUM INTO '" + folder + "/bok.db'\" && sync");
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

}  // namespace

int main(int argc, char** argv) {
    bench::DatabaseOptions options;
    if (!bench::parseDatabaseOptions(argc, argv, "vexla-bench-compact [--bookings N] [--db PATH] [--stops]", options,
                                     "--stops"))
        return 2;
    const bool stops = options.flagGiven;
    const std::string scratch = bench::scratchFolder();
    if (scratch.empty()) return 1;
    const std::string original = bench::databaseToMeasure(options, scratch);
    if (original.empty()) return 1;
    if (stops) {
        measureStops(original, scratch + "/stops");
        fs::remove_all(scratch);
        return 0;
    }
    const Rounds rounds =
        inTurns(original, scratch + "/run", {quickJob, writeBackJob, fullCheckJob, compactWithTheShell}, 5);
    const bench::ChildRun &job = rounds.best[0], &back = rounds.best[1], &full = rounds.best[2],
                          &shell = rounds.best[3];

    // The phases on their own, on a fresh copy each.
    const std::string phases = scratch + "/phases";
    const std::string db = phases + "/bok.db", result = phases + "/bok.db.compacted";
    const auto onDatabase = [&](const std::string& path, auto step) {
        return bench::bestOfThree([&] {
            db::SqliteEngine engine;
            auto opened = engine.OpenDatabase(path, true);
            return opened && step(**opened) && (*opened)->Close();
        });
    };
    freshCopy(original, phases);
    const bench::ChildRun counts = onDatabase(db, [](db::Database& d) { return d.ContentCounts().ok(); });
    const bench::ChildRun vacuum = bench::bestOfThree([&] {
        fs::remove(result);
        db::SqliteEngine engine;
        auto opened = engine.OpenDatabase(db, true);
        return opened && (*opened)->CompactInto(result, db::FileSync::Wait) && (*opened)->Close();
    });
    const bench::ChildRun quick = onDatabase(result, [](db::Database& d) { return d.QuickCheck().ok(); });
    const bench::ChildRun resultCounts = onDatabase(result, [](db::Database& d) { return d.ContentCounts().ok(); });
    const bench::ChildRun integrity = onDatabase(result, [](db::Database& d) { return d.CheckIntegrity().ok(); });
    const bench::ChildRun copy =
        bench::bestOfThree([&] { return bench::shell("cp '" + db + "' '" + phases + "/copy.db' && sync"); });
    for (const bench::ChildRun* run :
         {&job, &back, &full, &shell, &counts, &vacuum, &quick, &resultCounts, &integrity, &copy})
        if (!run->ok) {
            std::fprintf(stderr, "a run failed\n");
            return 1;
        }
    std::printf("database %s: %.0f MB\n", original.c_str(), static_cast<double>(fs::file_size(original)) / 1e6);
    std::printf("%-52s %10s %10s\n", "compaction (best of 5)", "seconds", "peak MB");
    const auto line = [](const char* what, const bench::ChildRun& run) {
        std::printf("%-52s %10.3f %10ld\n", what, run.seconds, run.peakKb / 1024);
    };
    line("cmdKomprimera job, renamed (quick check and counts)", job);
    line("cmdKomprimera job, written back (a second name)", back);
    line("cmdKomprimera job --full-check", full);
    line("cp; cp; sqlite3 VACUUM INTO; sync", shell);
    std::printf("%-52s %10s %10s\n", "", "of bests", "rounds' median");
    const char* ratios[] = {"ratio job renamed / shell", "ratio job written back / shell",
                            "ratio job --full-check / shell"};
    for (std::size_t k = 0; k < 3; ++k)
        std::printf("%-52s %10.2f %10.2f\n", ratios[k], rounds.best[k].seconds / shell.seconds,
                    median(rounds.ratios[k]));
    std::printf("load average at the end: %.2f\n", bench::loadAverage());
    std::printf("phases of the job, each alone:\n");
    line("  row and index counts of the database", counts);
    line("  compaction into the new file (VACUUM INTO, synced)", vacuum);
    line("  quick_check of the result", quick);
    line("  row and index counts of the result", resultCounts);
    line("  integrity_check of the result (--full-check)", integrity);
    line("  for scale: cp of the database; sync", copy);
    fs::remove_all(scratch);
    return 0;
}
