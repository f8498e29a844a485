// The import of a bookings register file with "delete first" against the
// sqlite3 shell loading the same file into the same database in one
// transaction. For each size a clean demo database is made and its bookings
// are written by the program's own register file writer (header of Swedish
// captions, ";" between fields, CR LF, ESC for line breaks, Windows-1252);
// the file's rows then go, three times each and in pairs, into fresh copies
// of a second demo database (another seed, so every booking changes):
//   - importRegister with delete-first, linked as the automatic linking does;
//   - sqlite3 running
//       PRAGMA cache_size=-65536; BEGIN; DELETE FROM Bokning;
//       .mode csv; .separator ;; .import --skip 1 FILE Bokning; COMMIT;
//     the same 64 MB page cache the engine gives
//     every connection, the same journal, one transaction like ours.
// Every run is a child process of its own, so its peak resident memory is
// that run's alone (for sqlite3: the shell's). Printed: the best of each
// side's three times and their ratio, the median of the three paired
// ratios, the highest peak of each side, the load average before the first
// run, the median
// processor time (user and system) of each side, and each pair's wall
// times (on a busy machine the pairs show how far one run strays).
//   vexla-bench-import [--sizes N,N,...]
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_support.h"
#include "bench/bookings_file.h"
#include "common/posix_file_system.h"
#include "db/sqlite_engine.h"
#include "registers/field_mapping.h"
#include "registers/import.h"
#include "registers/register_file_writer.h"
#include "registers/register_kind.h"
#include "tools/sample_generator.h"

namespace {

using namespace vexla;
using bench::inChild;
using Run = bench::ChildRun;

const RegisterKind& bookings() { return *registerByName("Bokningar"); }

bool makeDatabase(const std::string& path, long size, std::uint64_t seed) {
    sample::Options options;
    options.bookings = size;
    options.customers = 5000;
    options.resources = 300;
    options.seed = seed;
    options.clean = true;
    return sample::makeSampleDatabase(path, options).ok();
}

// Seconds from a stop asked for to the import's return, the stop asked
// for `stopAfter` after the import starts; -1 when it ended first.
struct StopTimer {
    std::chrono::milliseconds after;
    std::atomic<bool> asked{false};
    std::chrono::steady_clock::time_point at{};
    std::thread timer;
    explicit StopTimer(std::chrono::milliseconds a) : after(a) {
        timer = std::thread([this] {
            std::this_thread::sleep_for(after);
            at = std::chrono::steady_clock::now();
            asked = true;
        });
    }
    double latency() {
        const auto end = std::chrono::steady_clock::now();
        timer.join();
        return at <= end ? std::chrono::duration<double>(end - at).count() : -1;
    }
};

bool ourImport(const std::string& dbPath, const std::string& file, long size, StopTimer* stop = nullptr) {
    db::SqliteEngine engine;
    auto db = engine.OpenDatabase(dbPath, true);
    if (!db) return false;
    const auto fields = databaseFields(**db, bookings(), "se");
    struct NoBoxes final : MessageBoxes {
        MsgAnswer show(const std::string& text, const std::string&, MsgIcon, MsgButtons) override {
            std::fprintf(stderr, "%s\n", text.c_str());
            return MsgAnswer::Ok;
        }
        void beep() override {}
    } boxes;
    struct CodeTexts final : TextSource {
        std::string TextTillAndra(const std::string& code) override { return code; }
    } texts;
    const auto fileFields = registerFileFields(file, boxes, texts);
    if (!fields || !fileFields) return false;
    ImportRequest request{"Bokningar", file, true, {}, false};
    std::vector<std::string> captions;
    for (const DatabaseField& f : *fields) {
        captions.push_back(f.caption);
        request.fieldTypes.push_back(f.typeCode);
    }
    LinkTable links;
    for (const auto& [field, filePos] : autoLinkPairs(captions, *fileFields))
        links.push_back({captions[static_cast<std::size_t>(field)], std::to_string(field),
                         (*fileFields)[static_cast<std::size_t>(filePos)], std::to_string(filePos)});
    ImportServices services{**db, "se"};
    if (stop) {
        services.cancelled = [stop] { return stop->asked.load(); };
        const ImportOutcome outcome = importRegister(links, request, services);
        return outcome.stopped() && outcome.error.number == 0 && (*db)->Close().ok();
    }
    const ImportOutcome outcome = importRegister(links, request, services);
    if (outcome.stopped())
        std::fprintf(stderr, "import stopped at line %ld: %s\n", outcome.line, outcome.error.description.c_str());
    return outcome.committed && outcome.inserted == size && (*db)->Close().ok();
}

bool shellImport(const std::string& dbPath, const std::string& script) {
    const int in = ::open(script.c_str(), O_RDONLY);
    const int out = ::open("/dev/null", O_WRONLY);
    if (in < 0 || out < 0 || ::dup2(in, 0) < 0 || ::dup2(out, 1) < 0) return false;
    ::execlp("sqlite3", "sqlite3", "-bail", dbPath.c_str(), static_cast<char*>(nullptr));
    return false;
}

// Whether the work copy holds the file's bookings, no more and no fewer.
bool holdsAll(const std::string& dbPath, long size) {
    db::SqliteEngine engine;
    auto db = engine.OpenDatabase(dbPath, true);
    if (!db) return false;
    auto count = (*db)->TableRecordCount(bookings().table);
    return (*db)->Close().ok() && count && *count == size;
}

// A child run as bench::inChild makes it, with the processor time (user and
// system) beside the wall time: on a busy machine the wall time strays with
// what else runs, the processor time far less.
struct Timed {
    bench::ChildRun run;
    double cpu = 0;
};
Timed timedChild(const std::function<bool()>& step) {
    rusage before = {}, after = {};
    ::getrusage(RUSAGE_CHILDREN, &before);
    Timed t{inChild(step), 0};
    ::getrusage(RUSAGE_CHILDREN, &after);
    auto seconds = [](const timeval& v) {
        return static_cast<double>(v.tv_sec) + static_cast<double>(v.tv_usec) / 1e6;
    };
    t.cpu = seconds(after.ru_utime) - seconds(before.ru_utime) + seconds(after.ru_stime) - seconds(before.ru_stime);
    return t;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<long> sizes = {300000, 1000000};
    bool stops = false;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--sizes") && i + 1 < argc) {
            sizes.clear();
            for (char* p = argv[++i]; *p;) {
                sizes.push_back(std::strtol(p, &p, 10));
                if (*p == ',') ++p;
            }
        } else if (!std::strcmp(argv[i], "--stops")) {
            stops = true;
        } else {
            std::fprintf(stderr, "usage: vexla-bench-import [--sizes N,N,...] [--stops]\n");
            return 2;
        }
    }
    namespace fs = std::filesystem;
    const fs::path folder = fs::temp_directory_path() / ("vexla-import-bench-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    std::printf("%10s %10s %10s %7s %7s %10s %10s %6s %12s %13s\n", "bookings", "import s", "sqlite3 s", "ratio",
                "paired", "import MB", "sqlite3 MB", "load", "import cpu s", "sqlite3 cpu s");
    std::fflush(stdout);  // forked children must not write the header again
    for (long size : sizes) {
        const std::string source = folder / "source.db", target = folder / "target.db", work = folder / "work.db";
        const std::string file = folder / "BokningsReg.skv", script = folder / "import.sql";
        for (const auto& p : {source, target, work, file}) fs::remove(p);
        const Run made = inChild([&] {
            return makeDatabase(source, size, 1) && makeDatabase(target, size, 2) &&
                   bench::writeBookingsFile(source, file);
        });
        if (!made.ok) {
            std::fprintf(stderr, "could not make the databases or the register file\n");
            return 1;
        }
        std::ofstream(script) << "PRAGMA cache_size=-65536;\nBEGIN;\nDELETE FROM Bokning;\n"
                              << ".mode csv\n.separator ;\n.import --skip 1 '" << file << "' Bokning\nCOMMIT;\n";
        auto fresh = [&] {
            for (const char* suffix : {"", "-journal"}) fs::remove(work + suffix);
            fs::copy_file(target, work);
            bench::shell("sync");
        };
        if (stops) {
            // The delete of the whole register runs first; a stop asked for
            // at once meets it, later ones the rows being stored.
            std::printf("%10ld stop asked for after ms: seconds to the import's end, the register unchanged\n", size);
            for (const int ms : {0, 20, 100, 400, 1000, 3000}) {
                fresh();
                StopTimer stop{std::chrono::milliseconds(ms)};
                const bool stopped = ourImport(work, file, size, &stop);
                const double latency = stop.latency();
                const bool unchanged = holdsAll(work, size);
                std::printf("%10s %6d ms %10.3f %s\n", "", ms, latency,
                            stopped && unchanged ? "" : "(not stopped or register changed)");
                std::fflush(stdout);
            }
            continue;
        }
        const double load = bench::loadAverage();
        std::vector<double> ours, theirs, ratios, oursCpu, theirsCpu;
        long oursKb = 0, theirsKb = 0;
        for (int i = 0; i < 3; ++i) {
            fresh();
            const Timed a = timedChild([&] { return ourImport(work, file, size); });
            const bool aAll = holdsAll(work, size);
            fresh();
            const Timed b = timedChild([&] { return shellImport(work, script); });
            if (!a.run.ok || !b.run.ok || !aAll || !holdsAll(work, size)) {
                std::fprintf(stderr, "a run failed (import %d, sqlite3 %d)\n", a.run.ok, b.run.ok);
                return 1;
            }
            ours.push_back(a.run.seconds);
            theirs.push_back(b.run.seconds);
            ratios.push_back(a.run.seconds / b.run.seconds);
            oursCpu.push_back(a.cpu);
            theirsCpu.push_back(b.cpu);
            oursKb = std::max(oursKb, a.run.peakKb);
            theirsKb = std::max(theirsKb, b.run.peakKb);
        }
        const double best = *std::min_element(ours.begin(), ours.end());
        const double bestTheirs = *std::min_element(theirs.begin(), theirs.end());
        std::printf("%10ld %10.3f %10.3f %7.2f %7.2f %10.1f %10.1f %6.2f %12.2f %13.2f   pairs:", size, best,
                    bestTheirs, best / bestTheirs, median(ratios), static_cast<double>(oursKb) / 1024.0,
                    static_cast<double>(theirsKb) / 1024.0, load, median(oursCpu), median(theirsCpu));
        for (std::size_t i = 0; i < ours.size(); ++i) std::printf(" %.2f/%.2f", ours[i], theirs[i]);
        std::printf("\n");
        std::fflush(stdout);
    }
    fs::remove_all(folder);
    return 0;
}
