// A failing disk under SQLite: a VFS that wraps the default one and makes
// a chosen call of one kind of file operation fail, so a test sees every
// read, write, sync, truncation and deletion SQLite does (database,
// journal, temporary files, a VACUUM INTO target) and can break any one.
//
// FaultyVfs::install() registers the wrapper as the process's default VFS;
// the engine opens every database with the default, so from then on all of
// its files go through the wrapper. Single-threaded use only, like the
// program.
#pragma once

#include <array>
#include <functional>

namespace vexla::testing {

enum class IoOp { Read, Write, Sync, Truncate, Delete };
const char* ioOpName(IoOp op);

class FaultyVfs {
public:
    // Registers the wrapper as the default VFS (once per process).
    static FaultyVfs& install();

    // From now on, the nth call (from 1) of op answers sqliteCode instead of
    // running; with sticky, so does every later call of op (a disk that
    // stays full). Restarts every count.
    void failOn(IoOp op, int nth, int sqliteCode, bool sticky = false);
    // Counts from zero, no fault planned.
    void reset();

    // Called before every counted call (a crash test kills the process here).
    std::function<void(IoOp)> beforeCall;

    // For the wrapper: counts the call; the code it must answer, or 0 to run it.
    int call(IoOp op);

private:
    FaultyVfs() = default;
    std::array<int, 5> calls_{};
    bool armed_ = false, sticky_ = false;
    IoOp op_ = IoOp::Write;
    int nth_ = 0, code_ = 0;
};

}  // namespace vexla::testing
