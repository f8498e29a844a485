// Writing a file on a thread of its own while the next bytes are made.
#pragma once

#include <condition_variable>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "common/platform/file_system.h"

namespace vexla {

// An OutputFile that gathers what it is given into pieces of kPiece bytes
// and has a thread of its own write each piece to `out`, in order, while
// the caller makes the next one: the system's copy of the bytes into the
// file no longer waits for them, nor they for it. At most two pieces are
// held. A failure of `out` is answered by the next call after it. The
// thread starts with the first whole piece (a small file is written by the
// caller at its flush) and ends with close() or the destructor, which waits
// for the piece being written and drops the rest: the owner abandons a file
// it did not flush.
class BackgroundOutput final : public OutputFile {
public:
    // PosixFileSystem's own buffer size: `out` is given what it would have
    // been given without the thread, in as many calls.
    static constexpr std::size_t kPiece = 1 << 16;

    explicit BackgroundOutput(OutputFile& out) : out_(out) {}
    ~BackgroundOutput() override;
    BackgroundOutput(const BackgroundOutput&) = delete;
    BackgroundOutput& operator=(const BackgroundOutput&) = delete;

    Status write(std::string_view bytes) override;
    // Every byte given so far written to `out`, then out's flush.
    Status flush() override;
    // The flush, then out's sync.
    Status sync() override;
    // The flush, the thread ended, then out's close.
    Status close() override;

private:
    Status handOver();
    Status drained();
    void stop();
    void run();

    OutputFile& out_;
    std::string filling_;  // the caller's
    std::string writing_;  // the thread's while pending_
    std::mutex mutex_;
    std::condition_variable changed_;
    bool pending_ = false;
    bool stopping_ = false;
    Status failure_;
    std::thread thread_;
};

}  // namespace vexla
