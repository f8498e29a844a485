// The compaction job (cmdKomprimera: exclusive-use test, dated backup, work
// copy, compaction, verification, every step synced) against the shell
// sequence that does the bare minimum of the same:
//   cp db backup; cp db work; sqlite3 work "VACUUM INTO 'db.new'"; sync
// on the same database of --bookings N (1,000,000 by default), or --db PATH.
// Each contender starts from a fresh copy of the database (not timed) and
// runs in a child process of its own; best of three. Then the job's phases
// one by one on the same file: the counts of the database, the compaction
// into a new file, the quick check and the counts of the result, and the
// full integrity check the job runs instead with --full-check.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "bench/bench_support.h"
#include "bench/quiet_platform.h"
#include "maintenance/compaction.h"
#include "tools/sample_generator.h"

namespace {

using namespace vexla;
namespace fs = std::filesystem;

bool compactWithTheJob(const std::string& folder, bool fullCheck) {
    bench::QuietPlatform quiet;
    Platform platform = quiet.platform();
    bench::Window window;
    window.s.DataBas = folder + "/bok.db";
    window.s.msSökväg = folder;
    bench::Texts texts;
    JobContext ctx{window, platform, texts, fullCheck};
    return compactDatabase(ctx).compacted();
}

bool quickJob(const std::string& folder) { return compactWithTheJob(folder, false); }
bool fullCheckJob(const std::string& folder) { return compactWithTheJob(folder, true); }

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

bench::ChildRun bestOfThree(const std::string& original, const std::string& folder, bool (*step)(const std::string&)) {
    bench::ChildRun best;
    for (int i = 0; i < 3; ++i) {
        freshCopy(original, folder);
        const bench::ChildRun run = bench::inChild([&] { return step(folder); });
        if (!run.ok) return run;
        if (!best.ok || run.seconds < best.seconds) best = run;
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    long bookings = 1000000;
    std::string original;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--bookings") && i + 1 < argc)
            bookings = std::atol(argv[++i]);
        else if (!std::strcmp(argv[i], "--db") && i + 1 < argc)
            original = argv[++i];
        else {
            std::fprintf(stderr, "usage: vexla-bench-compact [--bookings N] [--db PATH]\n");
            return 2;
        }
    }
    char folderName[] = "/tmp/vexla-bench-XXXXXX";
    const std::string scratch = mkdtemp(folderName);
    if (original.empty()) {
        original = scratch + "/original.db";
        sample::Options options;
        options.bookings = bookings;
        options.customers = 5000;
        options.resources = 300;
        if (!sample::makeSampleDatabase(original, options)) {
            std::fprintf(stderr, "could not make %s\n", original.c_str());
            return 1;
        }
    }
    const bench::ChildRun job = bestOfThree(original, scratch + "/job", quickJob);
    const bench::ChildRun full = bestOfThree(original, scratch + "/full", fullCheckJob);
    const bench::ChildRun shell = bestOfThree(original, scratch + "/shell", compactWithTheShell);

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
        return opened && (*opened)->CompactInto(result) && (*opened)->Close();
    });
    const bench::ChildRun quick = onDatabase(result, [](db::Database& d) { return d.QuickCheck().ok(); });
    const bench::ChildRun resultCounts = onDatabase(result, [](db::Database& d) { return d.ContentCounts().ok(); });
    const bench::ChildRun integrity = onDatabase(result, [](db::Database& d) { return d.CheckIntegrity().ok(); });
    const bench::ChildRun copy =
        bench::bestOfThree([&] { return bench::shell("cp '" + db + "' '" + phases + "/copy.db' && sync"); });
    for (const bench::ChildRun* run : {&job, &full, &shell, &counts, &vacuum, &quick, &resultCounts, &integrity, &copy})
        if (!run->ok) {
            std::fprintf(stderr, "a run failed\n");
            return 1;
        }
    std::printf("database %s: %.0f MB\n", original.c_str(), static_cast<double>(fs::file_size(original)) / 1e6);
    std::printf("%-52s %10s %10s\n", "compaction (best of 3)", "seconds", "peak MB");
    const auto line = [](const char* what, const bench::ChildRun& run) {
        std::printf("%-52s %10.3f %10ld\n", what, run.seconds, run.peakKb / 1024);
    };
    line("cmdKomprimera job (quick check and counts)", job);
    line("cmdKomprimera job --full-check", full);
    line("cp; cp; sqlite3 VACUUM INTO; sync", shell);
    std::printf("%-52s %10.2f\n", "ratio job / shell", job.seconds / shell.seconds);
    std::printf("%-52s %10.2f\n", "ratio job --full-check / shell", full.seconds / shell.seconds);
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
