// The register export of the bookings against the sqlite3 shell's CSV dump
// of the same table, at 100,000 and at --bookings N (1,000,000 by default)
// rows. Each contender runs in a child process of its own, so the peak
// resident memory wait4 reports is that run's alone. Best of three runs.
//
// The export goes all the way through exportRegister: save dialog
// (scripted), query, Windows-1252 text, a real file written, synced and
// renamed into place. The shell writes to /dev/null.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "bench/bench_support.h"
#include "bench/quiet_platform.h"
#include "common/posix_file_system.h"
#include "db/sqlite_engine.h"
#include "registers/export_register.h"
#include "tools/sample_generator.h"

namespace {

using namespace vexla;

using bench::bestOfThree;
using Run = bench::ChildRun;

bool exportBookings(const std::string& dbPath, const std::string& out) {
    bench::QuietPlatform quiet;
    quiet.dialogs.path = out;
    Platform platform = quiet.platform();
    bench::Window window;
    window.s.Språk = "se";
    auto db = window.e.OpenDatabase(dbPath, false);
    if (!db) return false;
    window.s.db = std::move(*db);
    bench::Texts texts;
    JobContext ctx{window, platform, texts};
    return exportRegister(ctx, 2).n > 0;
}

}  // namespace

int main(int argc, char** argv) {
    long bookings = 1000000;
    for (int i = 1; i < argc; ++i)
        if (!std::strcmp(argv[i], "--bookings") && i + 1 < argc) bookings = std::atol(argv[++i]);
    const auto folder = std::filesystem::temp_directory_path() / ("vexla-export-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);

    std::printf("%-10s %10s %10s %7s %12s %12s %10s\n", "rows", "export s", "sqlite3 s", "ratio", "export MB",
                "sqlite3 MB", "file MB");
    std::fflush(stdout);  // forked children must not write the header again
    for (long rows : {100000L, bookings}) {
        const std::string dbPath = (folder / ("bench" + std::to_string(rows) + ".db")).string();
        sample::Options options;
        options.bookings = rows;
        if (auto made = sample::makeSampleDatabase(dbPath, options); !made) {
            std::fprintf(stderr, "sample database: %s\n", made.error().description.c_str());
            return 1;
        }
        const std::string out = (folder / "BokningsReg.skv").string();
        const Run ours = bestOfThree([&] { return exportBookings(dbPath, out); });
        const Run shell = bestOfThree([&] {
            if (!std::freopen("/dev/null", "w", stdout)) return false;
            execlp("sqlite3", "sqlite3", "-csv", dbPath.c_str(), "SELECT * FROM Bokning", static_cast<char*>(nullptr));
            return false;
        });
        if (!ours.ok || !shell.ok) {
            std::fprintf(stderr, "a step failed (export %d, sqlite3 %d)\n", ours.ok, shell.ok);
            return 1;
        }
        const double fileMb = static_cast<double>(std::filesystem::file_size(out)) / 1e6;
        std::printf("%-10ld %10.3f %10.3f %7.2f %12.1f %12.1f %10.1f\n", rows, ours.seconds, shell.seconds,
                    ours.seconds / shell.seconds, static_cast<double>(ours.peakKb) / 1024.0,
                    static_cast<double>(shell.peakKb) / 1024.0, fileMb);
        std::fflush(stdout);
    }
    std::filesystem::remove_all(folder);
    return 0;
}
