#include "common/background_output.h"

namespace vexla {

BackgroundOutput::~BackgroundOutput() { stop(); }

Status BackgroundOutput::write(std::string_view bytes) {
    filling_.append(bytes);
    return filling_.size() >= kPiece ? handOver() : Status();
}

// Gives the piece being filled to the thread once it has written the last
// one, starting the thread the first time.
Status BackgroundOutput::handOver() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return !pending_; });
    if (!failure_) return failure_;
    writing_.swap(filling_);
    filling_.clear();
    pending_ = true;
    if (!thread_.joinable()) thread_ = std::thread([this] { run(); });
    changed_.notify_all();
    return {};
}

// Waits until the thread has written every piece handed over; its failure, if any.
Status BackgroundOutput::drained() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return !pending_; });
    return failure_;
}

Status BackgroundOutput::flush() {
    if (auto s = drained(); !s) return s;
    if (!filling_.empty()) {
        if (auto s = out_.write(filling_); !s) return s;
        filling_.clear();
    }
    return out_.flush();
}

Status BackgroundOutput::sync() {
    if (auto s = flush(); !s) return s;
    return out_.sync();
}

Status BackgroundOutput::close() {
    Status s = flush();
    stop();
    Status closed = out_.close();
    return s ? closed : s;
}

void BackgroundOutput::stop() {
    if (!thread_.joinable()) return;
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void BackgroundOutput::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [&] { return pending_ || stopping_; });
        if (!pending_) return;
        lock.unlock();
        Status s = out_.write(writing_);
        lock.lock();
        if (!s && failure_) failure_ = s;
        pending_ = false;
        changed_.notify_all();
    }
}

}  // namespace vexla
