// vexla-sampledb PATH [--customers N] [--resources N] [--bookings N]
//                     [--seed S] [--clean]
// Makes the demo booking database at PATH (see sample_generator.h); refuses
// to overwrite anything. Prints what it made and how long it took.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tools/sample_generator.h"

namespace {

int usage() {
    std::fprintf(stderr,
                 "usage: vexla-sampledb PATH [--customers N] [--resources N] [--bookings N] [--seed S] [--clean]\n");
    return 2;
}

bool number(const char* text, long& out) {
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || v < 0) return false;
    out = v;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::string path;
    vexla::sample::Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        long value = 0;
        if (arg == "--clean") {
            options.clean = true;
        } else if (arg == "--customers" || arg == "--resources" || arg == "--bookings" || arg == "--seed") {
            if (i + 1 >= argc || !number(argv[++i], value)) return usage();
            if (arg == "--customers")
                options.customers = value;
            else if (arg == "--resources")
                options.resources = value;
            else if (arg == "--bookings")
                options.bookings = value;
            else
                options.seed = static_cast<std::uint64_t>(value);
        } else if (!arg.empty() && arg[0] != '-' && path.empty()) {
            path = arg;
        } else {
            return usage();
        }
    }
    if (path.empty()) return usage();

    const auto started = std::chrono::steady_clock::now();
    auto made = vexla::sample::makeSampleDatabase(path, options);
    if (!made) {
        std::fprintf(stderr, "vexla-sampledb: %s: %ld %s\n", path.c_str(), made.error().number,
                     made.error().description.c_str());
        return 1;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf(
        "%s: %ld customers (+%ld placeholders), %ld resources, %ld bookings, %ld preliminary bookings, "
        "%ld users%s in %.2f s\n",
        path.c_str(), made->customers, made->placeholders, made->resources, made->bookings, made->preliminary,
        made->users, options.clean ? " (clean)" : "", seconds);
    std::printf("logins: admin / %s (administrator), anna / %s (group 2)\n", vexla::sample::kDemoPassword,
                vexla::sample::kDemoPassword);
    return 0;
}
