// Where a benchmark works and what it measures on: a scratch folder of its
// own and the demo database of a given size.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tools/sample_generator.h"

namespace vexla::bench {

// A new folder "<TMPDIR or /tmp>/vexla-bench-XXXXXX"; "" when it cannot be
// made (said on standard error).
inline std::string scratchFolder() {
    const char* tmp = std::getenv("TMPDIR");
    std::string name = std::string(tmp && *tmp ? tmp : "/tmp") + "/vexla-bench-XXXXXX";
    if (!mkdtemp(name.data())) {
        std::perror(name.c_str());
        return {};
    }
    return name;
}

// The demo database at `path` with `bookings` bookings, 5,000 customers and
// 300 resources; false (said on standard error) when it cannot be made.
inline bool makeBenchDatabase(const std::string& path, long bookings) {
    sample::Options options;
    options.bookings = bookings;
    options.customers = 5000;
    options.resources = 300;
    if (sample::makeSampleDatabase(path, options)) return true;
    std::fprintf(stderr, "could not make %s\n", path.c_str());
    return false;
}

// The command line of a benchmark on one database: --bookings N (of the
// demo database it makes; 1,000,000 unless given), --db PATH (measure that
// file instead), and `flag` (e.g. "--stops") when not null, which sets
// `flagGiven`. False, after printing `usage`, for anything else.
struct DatabaseOptions {
    long bookings = 1000000;
    std::string original;
    bool flagGiven = false;
};
inline bool parseDatabaseOptions(int argc, char** argv, const char* usage, DatabaseOptions& o,
                                 const char* flag = nullptr) {
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--bookings") && i + 1 < argc) {
            o.bookings = std::atol(argv[++i]);
        } else if (!std::strcmp(argv[i], "--db") && i + 1 < argc) {
            o.original = argv[++i];
        } else if (flag && !std::strcmp(argv[i], flag)) {
            o.flagGiven = true;
        } else {
            std::fprintf(stderr, "usage: %s\n", usage);
            return false;
        }
    }
    return true;
}

// The database to measure: the file --db named, or the demo database of
// --bookings made in `scratch`; "" when it cannot be made.
inline std::string databaseToMeasure(const DatabaseOptions& o, const std::string& scratch) {
    if (!o.original.empty()) return o.original;
    const std::string made = scratch + "/original.db";
    return makeBenchDatabase(made, o.bookings) ? made : std::string();
}

}  // namespace vexla::bench
