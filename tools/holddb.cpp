// vexla-holddb [--fence] PATH: opens the database with our fence and holds
// its write lock in a transaction that does not end, as a booking system
// that hangs would, until the process is told to stop (SIGTERM, SIGINT,
// SIGHUP) or killed. Meanwhile no other program can write the file. With --fence it holds only
// our lock beside the database (the path need not exist): other copies of
// this program stay out, while the file itself may be replaced. Prints
// "holding PATH" on standard output once the lock is held, so a script or
// test can wait for that line.
// Exit status 0 after a stop, 1 when the database cannot be opened (the
// engine's error number and description on standard error), 2 for a wrong
// command line.
#include <signal.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "db/sqlite_engine.h"

int main(int argc, char** argv) {
    const bool fence = argc == 3 && std::strcmp(argv[1], "--fence") == 0;
    if ((argc != 2 && !fence) || std::strcmp(argv[argc - 1], "--help") == 0 || argv[argc - 1][0] == '-') {
        std::fprintf(stderr, "usage: vexla-holddb [--fence] PATH\n");
        return 2;
    }
    const char* path = argv[argc - 1];
    // Block the stop signals first so they wait for sigwait below.
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGTERM);
    sigaddset(&stop, SIGINT);
    sigaddset(&stop, SIGHUP);
    sigprocmask(SIG_BLOCK, &stop, nullptr);

    vexla::db::SqliteEngine engine;
    std::unique_ptr<vexla::db::Database> db;
    vexla::db::DatabaseFence held;
    if (fence) {
        auto f = engine.FenceDatabase(path);
        if (!f) {
            std::fprintf(stderr, "vexla-holddb: %ld %s\n", f.error().number, f.error().description.c_str());
            return 1;
        }
        held = std::move(*f);
    } else {
        auto opened = engine.OpenDatabase(path, true);
        if (!opened) {
            std::fprintf(stderr, "vexla-holddb: %ld %s\n", opened.error().number, opened.error().description.c_str());
            return 1;
        }
        db = std::move(*opened);
        // Open is not held: a transaction that does not end is, as a
        // booking system's that hangs would be.
        if (auto held = db->HoldWriters(); !held) {
            std::fprintf(stderr, "vexla-holddb: %ld %s\n", held.error().number, held.error().description.c_str());
            return 1;
        }
    }
    std::printf("holding %s\n", path);
    std::fflush(stdout);

    int signal = 0;
    sigwait(&stop, &signal);
    int status = 0;
    if (db) {
        if (vexla::Status closed = db->Close(); !closed) {
            std::fprintf(stderr, "vexla-holddb: %ld %s\n", closed.error().number, closed.error().description.c_str());
            status = 1;
        }
    }
    held.release();
    return status;
}
