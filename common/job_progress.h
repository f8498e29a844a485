// How a long job tells how far it has come, and how it learns that the user
// wants it stopped. The job reports often and cheaply; whoever watches (the
// window's progress bar, the bar on a terminal) decides itself how often to
// look and to draw.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "common/platform/text_source.h"
#include "common/result.h"

namespace vexla {

// What `done` and `total` count.
// Waiting: the job waits for another program's transactions to end, at
// most `total` seconds.
enum class ProgressUnit : std::uint8_t { Rows, Bytes, Steps, Waiting };

class JobProgress {
public:
    virtual ~JobProgress() = default;
    // `done` of `total` (total 0: not known yet), counted in `unit`. May be
    // called for every row: implementations keep it cheap.
    virtual void report(std::uint64_t done, std::uint64_t total, ProgressUnit unit) = 0;
    // Whether the user asked the job to stop. A job asks at its safe points
    // and then undoes what it started, ending with stoppedByUser().
    virtual bool stopRequested() const = 0;
};

// One look at a job's progress.
struct ProgressSnapshot {
    std::uint64_t done = 0, total = 0;
    ProgressUnit unit = ProgressUnit::Rows;
    friend bool operator==(const ProgressSnapshot&, const ProgressSnapshot&) = default;
};

// Progress kept in atomics: the job reports from its own thread, the
// watcher reads it from another whenever it likes, and asks it to stop.
class SharedProgress final : public JobProgress {
public:
    void report(std::uint64_t done, std::uint64_t total, ProgressUnit unit) override;
    bool stopRequested() const override { return stop_.load(std::memory_order_relaxed); }
    void requestStop() { stop_.store(true, std::memory_order_relaxed); }
    ProgressSnapshot snapshot() const;

private:
    std::atomic<std::uint64_t> done_{0}, total_{0};
    std::atomic<std::uint8_t> unit_{0};
    std::atomic<bool> stop_{false};
};

// The time a job still needs at the rate it has had so far: nothing before
// it has run a second and done something of a known total.
std::optional<std::chrono::seconds> timeLeft(std::uint64_t done, std::uint64_t total,
                                             std::chrono::steady_clock::duration elapsed);

// "1:05" or "1:02:05": a time left as the bars show it.
std::string clockText(std::chrono::seconds t);

// "12 345 of 300 000 records, time left about 0:12" (R9201, the unit's
// R9202-R9204, R9205): what a bar says beside itself. Bytes count in whole
// megabytes; without a total only the count shows.
std::string progressLabel(const ProgressSnapshot& p, std::chrono::steady_clock::duration elapsed, TextSource& texts);
// The share done in thousandths (0 without a total).
int permille(const ProgressSnapshot& p);

// The error a job stopped on request ends with: 18, the number the engine
// gives an interrupted operation.
inline constexpr long kStoppedByUser = 18;
Error stoppedByUser();

}  // namespace vexla
