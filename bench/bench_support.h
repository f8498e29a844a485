// What the benchmarks share: a step run in a child process of its own, so
// the peak resident memory wait4 reports is that step's alone, and a shell
// command.
#pragma once

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cstdio>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

namespace vexla::bench {

struct ChildRun {
    bool ok = false;
    double seconds = 0;  // wall time of the child
    long peakKb = 0;     // the child's peak resident memory
};

// Runs step in a forked child; ok when the child ran it and it answered true.
inline ChildRun inChild(const std::function<bool()>& step) {
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) _exit(step() ? 0 : 1);
    int status = 0;
    rusage usage = {};
    ChildRun run;
    if (pid < 0 || wait4(pid, &status, 0, &usage) != pid) return run;
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    run.peakKb = usage.ru_maxrss;
    return run;
}

// The fastest of three child runs; the first failed run when one fails.
inline ChildRun bestOfThree(const std::function<bool()>& step) {
    ChildRun best;
    for (int i = 0; i < 3; ++i) {
        const ChildRun run = inChild(step);
        if (!run.ok) return run;
        if (!best.ok || run.seconds < best.seconds) best = run;
    }
    return best;
}

inline bool shell(const std::string& command) { return std::system(command.c_str()) == 0; }

// The machine's load average over the last minute (-1 when unknown): beside
// a figure, it says how busy the machine was.
inline double loadAverage() {
    double load = -1;
    if (std::FILE* f = std::fopen("/proc/loadavg", "r")) {
        if (std::fscanf(f, "%lf", &load) != 1) load = -1;
        std::fclose(f);
    }
    return load;
}

}  // namespace vexla::bench
