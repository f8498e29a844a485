#include "tests/reliability/faulty_vfs.h"

#include <sqlite3.h>

#include <stdexcept>

namespace vexla::testing {

namespace {

// The wrapper hands out the real VFS's own file handles, with a copy of
// their methods in which the counted calls go through the plan first. The
// unix VFS gives every file the same methods; a file with others (none on
// Linux) would simply not be counted.
sqlite3_vfs* realVfs = nullptr;
sqlite3_vfs shimVfs;
const sqlite3_io_methods* realMethods = nullptr;
sqlite3_io_methods shimMethods;

FaultyVfs& plan() { return FaultyVfs::install(); }

int shimRead(sqlite3_file* f, void* buf, int n, sqlite3_int64 off) {
    if (const int rc = plan().call(IoOp::Read)) return rc;
    return realMethods->xRead(f, buf, n, off);
}
int shimWrite(sqlite3_file* f, const void* buf, int n, sqlite3_int64 off) {
    if (const int rc = plan().call(IoOp::Write)) return rc;
    return realMethods->xWrite(f, buf, n, off);
}
int shimTruncate(sqlite3_file* f, sqlite3_int64 size) {
    if (const int rc = plan().call(IoOp::Truncate)) return rc;
    return realMethods->xTruncate(f, size);
}
int shimSync(sqlite3_file* f, int flags) {
    if (const int rc = plan().call(IoOp::Sync)) return rc;
    return realMethods->xSync(f, flags);
}

int shimOpen(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* file, int flags, int* outFlags) {
    const int rc = realVfs->xOpen(realVfs, name, file, flags, outFlags);
    if (file->pMethods && !realMethods) {
        realMethods = file->pMethods;
        shimMethods = *realMethods;
        shimMethods.xRead = shimRead;
        shimMethods.xWrite = shimWrite;
        shimMethods.xTruncate = shimTruncate;
        shimMethods.xSync = shimSync;
    }
    // Also after a failed open: the handle may still need its close.
    if (file->pMethods && file->pMethods == realMethods) file->pMethods = &shimMethods;
    return rc;
}

int shimDelete(sqlite3_vfs*, const char* name, int syncDir) {
    if (const int rc = plan().call(IoOp::Delete)) return rc;
    return realVfs->xDelete(realVfs, name, syncDir);
}

}  // namespace

const char* ioOpName(IoOp op) {
    static const char* const names[] = {"read", "write", "sync", "truncate", "delete"};
    return names[static_cast<int>(op)];
}

FaultyVfs& FaultyVfs::install() {
    static FaultyVfs* const instance = [] {
        realVfs = sqlite3_vfs_find(nullptr);
        if (!realVfs) throw std::runtime_error("no default SQLite VFS");
        // Paths, access checks, time and randomness go straight to the real VFS.
        shimVfs = *realVfs;
        shimVfs.pNext = nullptr;
        shimVfs.zName = "vexla-faulty";
        shimVfs.xOpen = shimOpen;
        shimVfs.xDelete = shimDelete;
        if (sqlite3_vfs_register(&shimVfs, 1) != SQLITE_OK) throw std::runtime_error("cannot register the VFS");
        return new FaultyVfs();
    }();
    return *instance;
}

void FaultyVfs::failOn(IoOp op, int nth, int sqliteCode, bool sticky) {
    reset();
    armed_ = true;
    op_ = op;
    nth_ = nth;
    code_ = sqliteCode;
    sticky_ = sticky;
}

void FaultyVfs::reset() {
    calls_.fill(0);
    armed_ = sticky_ = false;
}

int FaultyVfs::call(IoOp op) {
    if (beforeCall) beforeCall(op);
    const int n = ++calls_[static_cast<int>(op)];
    if (!armed_ || op != op_ || n < nth_ || (n > nth_ && !sticky_)) return 0;
    return code_;
}

}  // namespace vexla::testing
