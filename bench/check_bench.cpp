// The check and the rescue of the booking database against what an
// administrator would run by hand, on a database of --bookings N
// (1,000,000 by default) or --db PATH:
//   check (the quick engine check and the link checks) vs
//       sqlite3 DB 'PRAGMA quick_check'
//   rescue of a sound file into a new one (and its full check) vs
//       sqlite3 DB .dump | sqlite3 NEW
// Each runs in a child process of its own, best of three, with its peak
// resident memory. The job's phases follow on their own: the engine check,
// the link checks, the rows written.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "bench/bench_database.h"
#include "bench/bench_support.h"
#include "bench/quiet_platform.h"
#include "db/sqlite_engine.h"
#include "maintenance/database_check.h"
#include "maintenance/database_rescue.h"
#include "tools/sample_generator.h"

namespace {

using namespace vexla;
namespace fs = std::filesystem;

// A job on the database `db`, as vexla-transfer runs it.
template <class Job>
bool withContext(const std::string& db, Job job) {
    bench::QuietPlatform quiet;
    Platform platform = quiet.platform();
    bench::Window window;
    window.s.DataBas = db;
    window.s.msSökväg = fs::path(db).parent_path().string();
    bench::Texts texts;
    JobContext ctx{window, platform, texts};
    return job(ctx);
}

// One phase of the engine's examination on its own.
template <class Step>
bench::ChildRun phase(const std::string& db, Step step) {
    return bench::bestOfThree([&] {
        db::SqliteEngine engine;
        auto file = engine.OpenForExamination(db);
        return file && step(**file) && (*file)->Close();
    });
}

}  // namespace

int main(int argc, char** argv) {
    bench::DatabaseOptions options;
    if (!bench::parseDatabaseOptions(argc, argv, "vexla-bench-check [--bookings N] [--db PATH]", options)) return 2;
    const std::string scratch = bench::scratchFolder();
    if (scratch.empty()) return 1;
    const std::string original = bench::databaseToMeasure(options, scratch);
    if (original.empty()) return 1;
    const std::string db = scratch + "/bok.db", rescued = scratch + "/rescued.db", dumped = scratch + "/dumped.db";
    fs::copy_file(original, db);
    const bench::ChildRun check =
        bench::bestOfThree([&] { return withContext(db, [](JobContext& ctx) { return checkDatabase(ctx).sound(); }); });
    const bench::ChildRun quickCheck =
        bench::bestOfThree([&] { return bench::shell("sqlite3 '" + db + "' 'PRAGMA quick_check' | grep -qx ok"); });
    const bench::ChildRun rescue = bench::bestOfThree([&] {
        fs::remove(rescued);
        return withContext(db, [&](JobContext& ctx) { return rescueDatabase(ctx, rescued, false).rescued(); });
    });
    const bench::ChildRun dump = bench::bestOfThree([&] {
        fs::remove(dumped);
        return bench::shell("sqlite3 '" + db + "' .dump | sqlite3 '" + dumped + "'");
    });
    const bench::ChildRun engineCheck = phase(db, [](db::ExaminedFile& f) {
        auto messages = f.EngineCheck(false);
        return messages && messages->empty();
    });
    const bench::ChildRun links = phase(db, [](db::ExaminedFile& f) {
        for (const db::LinkCheck& link : bookingLinks())
            if (!f.RowsWithoutLink(link, kFirstIds)) return false;
        return true;
    });
    const bench::ChildRun rows = phase(db, [&](db::ExaminedFile& f) {
        fs::remove(rescued);
        return f.RescueInto(rescued, {}).ok();
    });
    for (const bench::ChildRun* run : {&check, &quickCheck, &rescue, &dump, &engineCheck, &links, &rows})
        if (!run->ok) {
            std::fprintf(stderr, "a run failed\n");
            return 1;
        }
    std::printf("database %s: %.0f MB\n", original.c_str(), static_cast<double>(fs::file_size(original)) / 1e6);
    std::printf("%-52s %10s %10s\n", "check and rescue (best of 3)", "seconds", "peak MB");
    const auto line = [](const char* what, const bench::ChildRun& run) {
        std::printf("%-52s %10.3f %10ld\n", what, run.seconds, run.peakKb / 1024);
    };
    line("check job (quick check and links)", check);
    line("sqlite3 DB 'PRAGMA quick_check'", quickCheck);
    std::printf("%-52s %10.2f   (goal <= 1.1)\n", "ratio check / quick_check", check.seconds / quickCheck.seconds);
    line("rescue job (rows, then the new file's full check)", rescue);
    line("sqlite3 DB .dump | sqlite3 NEW", dump);
    std::printf("%-52s %10.2f   (goal <= 1.5)\n", "ratio rescue / dump", rescue.seconds / dump.seconds);
    std::printf("phases, each alone:\n");
    line("  engine quick check", engineCheck);
    line("  link checks", links);
    line("  rows into the new file", rows);
    fs::remove_all(scratch);
    return 0;
}
