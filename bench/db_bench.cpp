// The engine layer on a large demo database, against the sqlite3 shell on
// the same file: opening, reading every booking (the export's loop), and
// compacting. Makes a database of --bookings N (1,000,000 by default) in a
// scratch folder, or takes an existing one with --db PATH.
//
// Each timed step runs three times and the best time is printed, so that
// every contender reads from a warm page cache.
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>

#include "bench/bench_support.h"
#include "db/sqlite_engine.h"
#include "tools/sample_generator.h"

namespace {

using Clock = std::chrono::steady_clock;

double seconds(const std::function<bool()>& step, int runs = 3) {
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        if (!step()) return -1;
        best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
    }
    return best;
}

using vexla::bench::shell;

std::string shellQuoted(const std::string& s) { return "'" + s + "'"; }

long peakKilobytes() {
    rusage u = {};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

void row(const char* what, double ours, double theirs) {
    if (theirs > 0)
        std::printf("%-44s %9.3f s %9.3f s %7.2f\n", what, ours, theirs, ours / theirs);
    else
        std::printf("%-44s %9.3f s %11s %7s\n", what, ours, "", "");
}

}  // namespace

int main(int argc, char** argv) {
    long bookings = 1000000;
    std::string path;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--bookings") && i + 1 < argc)
            bookings = std::atol(argv[++i]);
        else if (!std::strcmp(argv[i], "--db") && i + 1 < argc)
            path = argv[++i];
        else {
            std::fprintf(stderr, "usage: vexla-bench-db [--bookings N] [--db PATH]\n");
            return 2;
        }
    }
    char folderName[] = "/tmp/vexla-bench-XXXXXX";
    const std::string folder = mkdtemp(folderName);
    double made = -1;
    if (path.empty()) {
        path = folder + "/Vexla.db";
        vexla::sample::Options options;
        options.bookings = bookings;
        options.customers = 5000;
        options.resources = 300;
        made = seconds([&] { return vexla::sample::makeSampleDatabase(path, options).ok(); }, 1);
        if (made < 0) {
            std::fprintf(stderr, "could not make %s\n", path.c_str());
            return 1;
        }
    }
    vexla::db::SqliteEngine engine;

    const double open = seconds([&] {
        auto db = engine.OpenDatabase(path, true);
        return db.ok() && (*db)->Close().ok();
    });

    // The export's loop: every field of every booking through the raw view.
    long rows = 0;
    std::size_t bytes = 0;
    const double iterateRaw = seconds([&] {
        auto db = engine.OpenDatabase(path, true);
        if (!db.ok()) return false;
        auto rs = (*db)->OpenRecordset("SELECT * FROM Bokning");
        if (!rs.ok()) return false;
        vexla::db::Recordset& r = **rs;
        const int fields = r.FieldCount();
        rows = 0;
        bytes = 0;
        for (; !r.Eof(); (void)r.MoveNext(), ++rows)
            for (int i = 0; i < fields; ++i) {
                const vexla::db::RawValue v = r.raw(i);
                bytes += v.kind == vexla::db::RawValue::Kind::Text ? v.text.size() : 8;
            }
        return true;
    });
    // The same through the converted values (dates parsed, texts copied).
    const double iterateValues = seconds([&] {
        auto db = engine.OpenDatabase(path, true);
        if (!db.ok()) return false;
        auto rs = (*db)->OpenRecordset("SELECT * FROM Bokning");
        if (!rs.ok()) return false;
        vexla::db::Recordset& r = **rs;
        const int fields = r.FieldCount();
        for (; !r.Eof(); (void)r.MoveNext())
            for (int i = 0; i < fields; ++i)
                if (!r.value(i).ok()) return false;
        return true;
    });
    const double csv =
        seconds([&] { return shell("sqlite3 -csv " + shellQuoted(path) + " 'SELECT * FROM Bokning' > /dev/null"); });

    const std::string target = folder + "/compacted.db";
    const double compact = seconds([&] {
        std::filesystem::remove(target);
        return engine.CompactDatabase(path, target).ok();
    });
    const double vacuum = seconds([&] {
        std::filesystem::remove(target);
        return shell("sqlite3 " + shellQuoted(path) + " \"VACUUM INTO '" + target + "'\" && sync " +
                     shellQuoted(target));
    });

    std::printf("database %s: %ld bookings, %.0f MB, %zu MB of field data read per pass\n", path.c_str(), rows,
                static_cast<double>(std::filesystem::file_size(path)) / 1e6, bytes / 1000000);
    std::printf("%-44s %11s %11s %7s\n", "step (best of 3)", "engine", "sqlite3", "ratio");
    if (made >= 0) row("make the demo database (vexla-sampledb)", made, 0);
    row("OpenDatabase exclusive + Close", open, 0);
    row("OpenRecordset + every field, raw view", iterateRaw, csv);
    row("OpenRecordset + every field, Value()", iterateValues, csv);
    row("CompactDatabase (VACUUM INTO + sync)", compact, vacuum);
    std::printf("peak resident memory: %ld MB\n", peakKilobytes() / 1024);
    std::filesystem::remove_all(folder);
    return 0;
}
