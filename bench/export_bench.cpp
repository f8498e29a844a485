// The register export of the bookings against the sqlite3 shell's CSV dump
// of the same table, at 300,000 and at --bookings N (1,000,000 by default)
// rows. Each run is a child process of its own, forked from a parent that
// has done nothing big (the sample databases are made in children too), so
// the peak resident memory wait4 reports is that run's alone. The two
// contenders take turns, --runs N times (5 by default); the best time of
// each counts, and its peak memory is the largest of its runs.
//
// The export goes all the way through exportRegister as the window runs it:
// save dialog (scripted), the count for the bar, the query, Windows-1252
// text, a real file written, synced and renamed into place, the work on a
// thread of its own reporting to a SharedProgress that the main thread reads
// every 100 ms, as the progress window does; the snapshot it takes so as not
// to hold up a running booking system is part of its time. The shell writes
// its file into the same folder (`sqlite3 -csv -separator ';' DB 'SELECT *
// FROM Bokning' > file`). Each format of ours is a row of its own beside the
// same shell figure. --keep leaves the folder with the databases and the
// exported files.
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_support.h"
#include "bench/quiet_platform.h"
#include "registers/export_register.h"
#include "session/job_context.h"
#include "tools/sample_generator.h"

namespace {

using namespace vexla;
using Run = bench::ChildRun;

// What WorkerRunner does without the toolkit: the work on a thread of its
// own, its progress in a SharedProgress, and a watcher that reads it every
// 100 ms and makes the bar's label and share of it.
class ThreadRunner final : public JobRunner {
public:
    void run(JobContext& ctx, const std::function<void(JobContext&)>& work) override {
        SharedProgress progress;
        JobContext worker{ctx.main, ctx.platform, ctx.texts, ctx.fullCheck, nullptr, &progress};
        std::mutex m;
        std::condition_variable ended;
        bool done = false;
        const auto start = std::chrono::steady_clock::now();
        std::thread thread([&] {
            work(worker);
            std::lock_guard lock(m);
            done = true;
            ended.notify_one();
        });
        std::unique_lock lock(m);
        while (!ended.wait_for(lock, std::chrono::milliseconds(100), [&] { return done; })) {
            const ProgressSnapshot p = progress.snapshot();
            looks += !progressLabel(p, std::chrono::steady_clock::now() - start, ctx.texts).empty();
            lastPermille = permille(p);
        }
        lock.unlock();
        thread.join();
    }
    long looks = 0;
    int lastPermille = 0;
};

bool exportBookings(const std::string& dbPath, const std::string& out, int fileType) {
    bench::QuietPlatform quiet;
    quiet.dialogs.path = out;
    quiet.dialogs.fileType = fileType;
    Platform platform = quiet.platform();
    bench::Window window;
    window.s.Språk = "se";
    window.s.DataBas = dbPath;  // the export opens it itself, as in the window
    bench::Texts texts;
    ThreadRunner runner;
    JobContext ctx{window, platform, texts, false, &runner};
    return exportRegister(ctx, 2).n > 0;
}

// The shell's dump into `out`, as `> out` in a shell would write it.
bool dumpWithTheShell(const std::string& dbPath, const std::string& out) {
    if (!std::freopen(out.c_str(), "w", stdout)) return false;
    execlp("sqlite3", "sqlite3", "-csv", "-separator", ";", dbPath.c_str(), "SELECT * FROM Bokning",
           static_cast<char*>(nullptr));
    return false;
}

// A format of ours: its name in the table, the file type the scripted save
// dialog answers with (as the window picks the format) and the file's name.
struct Format {
    const char* name;
    int fileType;
    const char* file;
};

// Every format the export writes, each measured against the same shell run
// and printed as a row of its own.
constexpr Format kFormats[] = {{"register", 1, "BokningsReg.skv"}, {"spreadsheet", 2, "BokningsReg.csv"}};

// Keeps the faster time and the larger peak memory.
void keepBest(Run& best, const Run& run) {
    if (!best.ok || run.seconds < best.seconds) best.seconds = run.seconds;
    best.peakKb = std::max(best.peakKb, run.peakKb);
    best.ok = run.ok;
}

}  // namespace

int main(int argc, char** argv) {
    long bookings = 1000000;
    int runs = 5;
    bool keep = false;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--bookings") && i + 1 < argc)
            bookings = std::atol(argv[++i]);
        else if (!std::strcmp(argv[i], "--runs") && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else if (!std::strcmp(argv[i], "--keep"))
            keep = true;
        else {
            std::fprintf(stderr, "usage: vexla-bench-export [--bookings N] [--runs N] [--keep]\n");
            return 2;
        }
    }
    const auto folder = std::filesystem::temp_directory_path() / ("vexla-export-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);

    std::printf("load average %.2f\n", bench::loadAverage());
    std::printf("%-10s %-12s %10s %10s %7s %12s %12s %10s\n", "rows", "format", "export s", "sqlite3 s", "ratio",
                "export MiB", "sqlite3 MiB", "file MB");
    std::fflush(stdout);  // forked children must not write the header again
    std::vector<long> sizes{300000L};
    if (bookings != sizes.front()) sizes.push_back(bookings);
    for (long rows : sizes) {
        const std::string name = std::to_string(rows);
        const std::string dbPath = (folder / ("bench" + name + ".db")).string();
        const Run made = bench::inChild([&] {
            sample::Options options;
            options.bookings = rows;
            auto summary = sample::makeSampleDatabase(dbPath, options);
            if (!summary) std::fprintf(stderr, "sample database: %s\n", summary.error().description.c_str());
            return static_cast<bool>(summary);
        });
        if (!made.ok) return 1;
        const std::string dumped = (folder / ("sqlite3-" + name + ".csv")).string();
        constexpr std::size_t formats = std::size(kFormats);
        Run ours[formats], shell;
        for (int i = 0; i < runs; ++i) {
            for (std::size_t f = 0; f < formats; ++f) {
                const std::string out = (folder / (name + "-" + kFormats[f].file)).string();
                keepBest(ours[f], bench::inChild([&] { return exportBookings(dbPath, out, kFormats[f].fileType); }));
            }
            keepBest(shell, bench::inChild([&] { return dumpWithTheShell(dbPath, dumped); }));
            if (!shell.ok || std::any_of(ours, ours + formats, [](const Run& r) { return !r.ok; })) {
                std::fprintf(stderr, "a step failed (sqlite3 %d)\n", shell.ok);
                return 1;
            }
        }
        for (std::size_t f = 0; f < formats; ++f) {
            const std::string out = (folder / (name + "-" + kFormats[f].file)).string();
            const double fileMb = static_cast<double>(std::filesystem::file_size(out)) / 1e6;
            std::printf("%-10ld %-12s %10.3f %10.3f %7.2f %12.1f %12.1f %10.1f\n", rows, kFormats[f].name,
                        ours[f].seconds, shell.seconds, ours[f].seconds / shell.seconds,
                        static_cast<double>(ours[f].peakKb) / 1024.0, static_cast<double>(shell.peakKb) / 1024.0,
                        fileMb);
        }
        std::fflush(stdout);
    }
    if (keep)
        std::printf("kept: %s\n", folder.c_str());
    else
        std::filesystem::remove_all(folder);
    return 0;
}
