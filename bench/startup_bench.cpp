// How long vexla-admin takes from its start until its main window is
// mapped, on a database of --bookings N (1,000,000 by default) or --db PATH,
// beside a bare Qt window (a QWidget shown by this program started afresh)
// as the floor. Run under an X server of its own, where nothing else maps
// windows:
//   xvfb-run -a build/program/vexla-bench-startup [--runs N] [--bookings N | --db PATH]
// Each contender is started --runs times (7 by default), in turns; the time
// is from fork until the X server reports the first top-level window mapped
// (MapNotify on the root window), the median and the best are printed.
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <QApplication>
#include <QWidget>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "tools/sample_generator.h"

namespace {

using Clock = std::chrono::steady_clock;

// The floor: what any Qt Widgets program needs to show an empty window.
int showBareWindow(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.resize(400, 300);
    window.show();
    return app.exec();
}

// Starts `args` and answers the seconds until the first window is mapped,
// or a negative number when none is within 20 seconds. The program is ended
// afterwards.
double secondsToMap(xcb_connection_t* x, const std::vector<std::string>& args) {
    while (xcb_generic_event_t* old = xcb_poll_for_event(x)) std::free(old);
    const auto start = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        std::vector<char*> argv;
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        if (!std::freopen("/dev/null", "w", stderr)) _exit(127);
        execv(argv[0], argv.data());
        _exit(127);
    }
    double seconds = -1;
    pollfd fd{xcb_get_file_descriptor(x), POLLIN, 0};
    while (seconds < 0 && Clock::now() - start < std::chrono::seconds(20)) {
        xcb_generic_event_t* e = xcb_poll_for_event(x);
        if (!e) {
            poll(&fd, 1, 100);
            continue;
        }
        if ((e->response_type & 0x7f) == XCB_MAP_NOTIFY)
            seconds = std::chrono::duration<double>(Clock::now() - start).count();
        std::free(e);
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return seconds;
}

struct Figures {
    std::vector<double> times;
    double median() const {
        std::vector<double> t = times;
        std::sort(t.begin(), t.end());
        return t[t.size() / 2];
    }
    double best() const { return *std::min_element(times.begin(), times.end()); }
};

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && !std::strcmp(argv[1], "--bare-window")) return showBareWindow(argc, argv);
    long bookings = 1000000;
    int runs = 7;
    std::string db;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--bookings") && i + 1 < argc)
            bookings = std::atol(argv[++i]);
        else if (!std::strcmp(argv[i], "--runs") && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else if (!std::strcmp(argv[i], "--db") && i + 1 < argc)
            db = argv[++i];
        else {
            std::fprintf(stderr, "usage: vexla-bench-startup [--runs N] [--bookings N | --db PATH]\n");
            return 2;
        }
    }
    xcb_connection_t* x = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(x)) {
        std::fprintf(stderr, "no X display: run under xvfb-run -a\n");
        return 1;
    }
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(x)).data;
    const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(x, screen->root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(x);

    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    const std::string program = (std::filesystem::path(self).parent_path() / "vexla-admin").string();
    const auto folder = std::filesystem::temp_directory_path() / ("vexla-startup-bench-" + std::to_string(getpid()));
    if (db.empty()) {
        std::filesystem::create_directories(folder);
        db = (folder / "bench.db").string();
        const bool made = vexla::bench::inChild([&] {
                              vexla::sample::Options options;
                              options.bookings = bookings;
                              return static_cast<bool>(vexla::sample::makeSampleDatabase(db, options));
                          }).ok;
        if (!made) {
            std::fprintf(stderr, "sample database could not be made\n");
            return 1;
        }
    }

    Figures admin, bare;
    for (int i = 0; i < runs; ++i) {
        admin.times.push_back(secondsToMap(x, {program, "-d", db}));
        bare.times.push_back(secondsToMap(x, {self, "--bare-window"}));
        if (admin.times.back() < 0 || bare.times.back() < 0) {
            std::fprintf(stderr, "no window was mapped within 20 s\n");
            return 1;
        }
    }
    std::printf("%-22s %10s %10s\n", "window mapped after", "median s", "best s");
    std::printf("%-22s %10.3f %10.3f\n", "vexla-admin -d DB", admin.median(), admin.best());
    std::printf("%-22s %10.3f %10.3f\n", "bare Qt window", bare.median(), bare.best());
    std::printf("database: %s (%.0f MB)\n", db.c_str(), static_cast<double>(std::filesystem::file_size(db)) / 1e6);
    std::filesystem::remove_all(folder);
    xcb_disconnect(x);
    return 0;
}
