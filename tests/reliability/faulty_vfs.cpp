#include "tests/reliability/faulty_vfs.h"

#include <sqlite3.h>

#include <cstddef>
#include <numeric>
#include <stdexcept>

namespace vexla::testing {

namespace {

sqlite3_vfs* realVfs = nullptr;
sqlite3_vfs shimVfs;
sqlite3_io_methods shimMethods;

// Our file handle, with the real VFS's handle right behind it.
struct ShimFile {
    sqlite3_file base;
    sqlite3_file* real;
};

sqlite3_file* real(sqlite3_file* f) { return reinterpret_cast<ShimFile*>(f)->real; }
FaultyVfs& plan() { return FaultyVfs::install(); }

int shimClose(sqlite3_file* f) {
    const int rc = real(f)->pMethods->xClose(real(f));
    f->pMethods = nullptr;
    return rc;
}
int shimRead(sqlite3_file* f, void* buf, int n, sqlite3_int64 off) {
    if (const int rc = plan().call(IoOp::Read)) return rc;
    return real(f)->pMethods->xRead(real(f), buf, n, off);
}
int shimWrite(sqlite3_file* f, const void* buf, int n, sqlite3_int64 off) {
    if (const int rc = plan().call(IoOp::Write)) return rc;
    return real(f)->pMethods->xWrite(real(f), buf, n, off);
}
int shimTruncate(sqlite3_file* f, sqlite3_int64 size) {
    if (const int rc = plan().call(IoOp::Truncate)) return rc;
    return real(f)->pMethods->xTruncate(real(f), size);
}
int shimSync(sqlite3_file* f, int flags) {
    if (const int rc = plan().call(IoOp::Sync)) return rc;
    return real(f)->pMethods->xSync(real(f), flags);
}
int shimFileSize(sqlite3_file* f, sqlite3_int64* size) { return real(f)->pMethods->xFileSize(real(f), size); }
int shimLock(sqlite3_file* f, int level) { return real(f)->pMethods->xLock(real(f), level); }
int shimUnlock(sqlite3_file* f, int level) { return real(f)->pMethods->xUnlock(real(f), level); }
int shimCheckReservedLock(sqlite3_file* f, int* out) { return real(f)->pMethods->xCheckReservedLock(real(f), out); }
int shimFileControl(sqlite3_file* f, int op, void* arg) { return real(f)->pMethods->xFileControl(real(f), op, arg); }
int shimSectorSize(sqlite3_file* f) { return real(f)->pMethods->xSectorSize(real(f)); }
int shimDeviceCharacteristics(sqlite3_file* f) { return real(f)->pMethods->xDeviceCharacteristics(real(f)); }
int shimShmMap(sqlite3_file* f, int region, int size, int extend, void volatile** out) {
    return real(f)->pMethods->xShmMap(real(f), region, size, extend, out);
}
int shimShmLock(sqlite3_file* f, int offset, int n, int flags) {
    return real(f)->pMethods->xShmLock(real(f), offset, n, flags);
}
void shimShmBarrier(sqlite3_file* f) { real(f)->pMethods->xShmBarrier(real(f)); }
int shimShmUnmap(sqlite3_file* f, int deleteFlag) { return real(f)->pMethods->xShmUnmap(real(f), deleteFlag); }
int shimFetch(sqlite3_file* f, sqlite3_int64 off, int n, void** out) {
    return real(f)->pMethods->xFetch(real(f), off, n, out);
}
int shimUnfetch(sqlite3_file* f, sqlite3_int64 off, void* p) { return real(f)->pMethods->xUnfetch(real(f), off, p); }

int shimOpen(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* file, int flags, int* outFlags) {
    auto* shim = reinterpret_cast<ShimFile*>(file);
    shim->base.pMethods = nullptr;
    shim->real = reinterpret_cast<sqlite3_file*>(shim + 1);
    const int rc = realVfs->xOpen(realVfs, name, shim->real, flags, outFlags);
    // The real handle may need closing even after a failed open.
    if (shim->real->pMethods) {
        shimMethods.iVersion = shim->real->pMethods->iVersion;
        shim->base.pMethods = &shimMethods;
    }
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
        // Everything the wrapper does not intercept (paths, access checks,
        // time, randomness) goes straight to the real VFS's functions.
        shimVfs = *realVfs;
        shimVfs.pNext = nullptr;
        shimVfs.zName = "vexla-faulty";
        shimVfs.szOsFile = static_cast<int>(sizeof(ShimFile)) + realVfs->szOsFile;
        shimVfs.xOpen = shimOpen;
        shimVfs.xDelete = shimDelete;
        shimMethods = sqlite3_io_methods{3,
                                         shimClose,
                                         shimRead,
                                         shimWrite,
                                         shimTruncate,
                                         shimSync,
                                         shimFileSize,
                                         shimLock,
                                         shimUnlock,
                                         shimCheckReservedLock,
                                         shimFileControl,
                                         shimSectorSize,
                                         shimDeviceCharacteristics,
                                         shimShmMap,
                                         shimShmLock,
                                         shimShmBarrier,
                                         shimShmUnmap,
                                         shimFetch,
                                         shimUnfetch};
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
    armed_ = sticky_ = struck_ = false;
}

int FaultyVfs::totalCalls() const { return std::accumulate(calls_.begin(), calls_.end(), 0); }

int FaultyVfs::call(IoOp op) {
    if (beforeCall) beforeCall(op);
    const int n = ++calls_[static_cast<int>(op)];
    if (!armed_ || op != op_ || n < nth_ || (n > nth_ && !sticky_)) return 0;
    struck_ = true;
    return code_;
}

}  // namespace vexla::testing
