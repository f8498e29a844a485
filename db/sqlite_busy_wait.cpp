#include "db/sqlite_busy_wait.h"

#include <algorithm>
#include <cstdint>
#include <thread>

#include "common/stop_signals.h"

namespace vexla::db {

namespace {

// The sleep before SQLite's `count`th call again, in milliseconds: growing
// from 1 to 20 as in BusyWait::handler.
int sleepBefore(int count) { return std::min(20, 1 + count * 2); }

// The handler of installTimedWait: the limit in milliseconds is the
// context itself, and the time waited is the sum of the sleeps so far, so
// that nothing has to outlive the connection.
int timedWait(void* limit, int count) {
    const auto limitMs = reinterpret_cast<std::intptr_t>(limit);
    std::intptr_t waited = 0;
    for (int i = 0; i < count && waited < limitMs; ++i) waited += sleepBefore(i);
    if (waited >= limitMs || stopSignal() != 0) return 0;
    std::this_thread::sleep_for(
        std::chrono::milliseconds(std::min<std::intptr_t>(sleepBefore(count), limitMs - waited)));
    return 1;
}

}  // namespace

void installTimedWait(sqlite3* db, double seconds) {
    const auto limitMs = static_cast<std::intptr_t>(std::max(0.0, seconds) * 1000);
    sqlite3_busy_handler(db, &timedWait, reinterpret_cast<void*>(limitMs));
}

bool BusyWait::stopAsked() {
    // A signal that asks the process to stop ends every wait, also one no
    // job has given a stop of its own (the login, the opening of a database).
    if (stopSignal() != 0) return true;
    std::lock_guard<std::mutex> lock(mutex_);
    return stop_ && stop_();
}

// SQLite calls this with count 0 at the first refusal of each lock it asks
// for, and again with 1, 2, ... while the handler answers 1. The sleeps
// grow from 1 ms to 20 ms: a booking transaction takes a few hundredths of
// a second, and a waiter that polls rarely lets a stream of them pass it.
int BusyWait::handler(void* self, int count) {
    auto* wait = static_cast<BusyWait*>(self);
    const auto now = std::chrono::steady_clock::now();
    if (count == 0) wait->began_ = now;
    const double waited = std::chrono::duration<double>(now - wait->began_).count();
    if (waited >= wait->limit() || wait->stopAsked()) return 0;
    const int ms = sleepBefore(count);
    const double left = wait->limit() - waited;
    std::this_thread::sleep_for(std::chrono::microseconds(static_cast<long>(std::min(ms * 1000.0, left * 1e6)) + 1));
    return 1;
}

}  // namespace vexla::db
