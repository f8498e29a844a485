// A stop asked for at a chosen step of a job, for the benchmarks that time
// how long a job takes to end after a stop.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>

#include "common/job_progress.h"

namespace vexla::bench {

// Asks the job to stop `delay` after it reports step `step`, and keeps the
// moment it asked.
class StopAtStep final : public JobProgress {
public:
    StopAtStep(std::uint64_t step, std::chrono::milliseconds delay) : step_(step), delay_(delay) {}
    ~StopAtStep() override {
        if (timer_.joinable()) timer_.join();
    }
    void report(std::uint64_t done, std::uint64_t, ProgressUnit unit) override {
        if (unit != ProgressUnit::Steps || done != step_ || timer_.joinable()) return;
        timer_ = std::thread([this] {
            std::this_thread::sleep_for(delay_);
            asked_ = std::chrono::steady_clock::now();
            stop_ = true;
        });
    }
    bool stopRequested() const override { return stop_; }
    // Seconds from the stop asked for to `end`; -1 when the job ended first.
    double latency(std::chrono::steady_clock::time_point end) {
        if (timer_.joinable()) timer_.join();
        return stop_ && asked_ <= end ? std::chrono::duration<double>(end - asked_).count() : -1;
    }

private:
    std::uint64_t step_;
    std::chrono::milliseconds delay_;
    std::thread timer_;
    std::atomic<bool> stop_{false};
    std::chrono::steady_clock::time_point asked_{};
};

}  // namespace vexla::bench
