// How a connection of ours waits for a lock another connection holds: like
// a busy timeout, but with a limit that the job may change while it runs
// (the whole --wait while it has nothing, half a second once it holds a
// lock that keeps the booking system out) and that a stop cuts short.
// Internal to the SQLite implementation.
#pragma once

#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>

namespace vexla::db {

// Makes `db` wait up to `seconds` for a lock, as sqlite3_busy_timeout
// would, for a connection that has no BusyWait of its own to keep: the wait
// ends at once on a stop signal (common/stop_signals.h).
void installTimedWait(sqlite3* db, double seconds);

class BusyWait {
public:
    explicit BusyWait(double seconds) : limit_(seconds) {}

    // Installs this wait as the busy handler of `db`; it must outlive `db`.
    void install(sqlite3* db) { sqlite3_busy_handler(db, &BusyWait::handler, this); }

    // The longest one lock is waited for from now on, in seconds.
    void setLimit(double seconds) { limit_.store(seconds); }
    double limit() const { return limit_.load(); }
    // Asked now and then while waiting (from the waiting thread): true ends
    // the wait at once, as a lock not had.
    void stopWhen(std::function<bool()> asked) {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = std::move(asked);
    }

private:
    static int handler(void* self, int count);
    bool stopAsked();

    std::atomic<double> limit_;
    std::chrono::steady_clock::time_point began_;
    std::mutex mutex_;
    std::function<bool()> stop_;
};

}  // namespace vexla::db
