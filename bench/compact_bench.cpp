// The compaction job (cmdKomprimera: exclusive-use test, dated backup, work
// copy, compaction, verification, every step synced) against the shell
// sequence that does the bare minimum of the same:
//   cp db backup; cp db work; sqlite3 work "VACUUM INTO 'db.new'"; sync
// on the same database of --bookings N (1,000,000 by default), or --db PATH.
// Each contender starts from a fresh copy of the database (not timed) and
// runs in a child process of its own; best of three.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "bench/bench_support.h"
#include "bench/quiet_platform.h"
#include "db/jobs/komprimera.h"
#include "db/tools/sample_generator.h"

namespace {

using namespace vexla;
namespace fs = std::filesystem;

bool compactWithTheJob(const std::string& folder) {
    bench::QuietPlatform quiet;
    Platform platform = quiet.platform();
    bench::Window window;
    window.s.DataBas = folder + "/bok.db";
    window.s.msSökväg = folder;
    bench::Texts texts;
    JobContext ctx{window, platform, texts};
    return cmdKomprimera_Click(ctx);
}

bool compactWithTheShell(const std::string& folder) {
    const std::string db = "'" + folder + "/bok.db'";
    return bench::shell("cp " + db + " '" + folder + "/backup.db' && cp " + db + " '" + folder +
                        "/work.db' && rm " + db + " && sqlite3 '" + folder + "/work.db' \"VACUUM INTO '" + folder +
                        "/bok.db'\" && sync");
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
        if (!std::strcmp(argv[i], "--bookings") && i + 1 < argc) bookings = std::atol(argv[++i]);
        else if (!std::strcmp(argv[i], "--db") && i + 1 < argc) original = argv[++i];
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
    const bench::ChildRun job = bestOfThree(original, scratch + "/job", compactWithTheJob);
    const bench::ChildRun shell = bestOfThree(original, scratch + "/shell", compactWithTheShell);
    // The job's own check of its result, alone: the shell sequence has none.
    const bench::ChildRun check = bench::bestOfThree([&] {
        db::SqliteEngine engine;
        auto compacted = engine.OpenDatabase(scratch + "/job/bok.db", true);
        return compacted && (*compacted)->CheckIntegrity() && (*compacted)->Close();
    });
    if (!job.ok || !shell.ok || !check.ok) {
        std::fprintf(stderr, "a run failed (job %d, shell %d, check %d)\n", job.ok, shell.ok, check.ok);
        return 1;
    }
    std::printf("database %s: %.0f MB\n", original.c_str(), static_cast<double>(fs::file_size(original)) / 1e6);
    std::printf("%-44s %10s %10s\n", "compaction (best of 3)", "seconds", "peak MB");
    std::printf("%-44s %10.3f %10ld\n", "cmdKomprimera job", job.seconds, job.peakKb / 1024);
    std::printf("%-44s %10.3f %10ld\n", "cp; cp; sqlite3 VACUUM INTO; sync", shell.seconds, shell.peakKb / 1024);
    std::printf("%-44s %10.3f %10ld\n", "  of the job: integrity_check of the result", check.seconds,
                check.peakKb / 1024);
    std::printf("%-44s %10.2f\n", "ratio job / shell", job.seconds / shell.seconds);
    std::printf("%-44s %10.2f\n", "ratio (job - check) / shell", (job.seconds - check.seconds) / shell.seconds);
    fs::remove_all(scratch);
    return 0;
}
