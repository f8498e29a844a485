// Where a benchmark works and what it measures on: a scratch folder of its
// own and the demo database of a given size.
#pragma once

#include <cstdio>
#include <cstdlib>
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

}  // namespace vexla::bench
