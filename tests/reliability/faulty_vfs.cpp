#include "tests/reliability/reliability_support.h"

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <stdexcept>

namespace vexla::testing {

namespace {

// The wrapper hands out the real VFS's own file handles, with a copy of
// their methods in which the counted calls ask the hook first. The unix VFS
// has a few sets of methods (databases lock, journals do not).
struct Methods {
    const sqlite3_io_methods* real = nullptr;
    sqlite3_io_methods shim{};
};
std::array<Methods, 8> kinds;
sqlite3_vfs* realVfs = nullptr;
sqlite3_vfs shimVfs;
std::function<int(IoOp)> hook;

const sqlite3_io_methods& real(sqlite3_file* f) {
    return *std::find_if(kinds.begin(), kinds.end(), [&](const Methods& k) { return &k.shim == f->pMethods; })->real;
}
int ask(IoOp op) { return hook ? hook(op) : 0; }

// The hook's answer `rc` to a call that `run` makes: the real answer, the
// hook's instead, or the hook's after the real call.
template <class Run>
int answer(int rc, Run run) {
    if (rc == 0) return run();
    if (rc & kAfterTheCall) run();
    return rc & ~kAfterTheCall;
}

// A counted call: the hook's answer, or the real method's.
template <IoOp op, auto method, class... Args>
int shim(sqlite3_file* f, Args... args) {
    return answer(ask(op), [&] { return (real(f).*method)(f, args...); });
}
int shimDelete(sqlite3_vfs*, const char* name, int syncDir) {
    return answer(ask(IoOp::Delete), [&] { return realVfs->xDelete(realVfs, name, syncDir); });
}

int shimOpen(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* file, int flags, int* outFlags) {
    file->pMethods = nullptr;  // a refused open leaves no handle to close
    if (const int refused = ask(IoOp::Open) & ~kAfterTheCall) return refused;
    const int rc = realVfs->xOpen(realVfs, name, file, flags, outFlags);
    if (!file->pMethods) return rc;  // else, also after a failed open, the handle needs its close
    auto k = std::find_if(kinds.begin(), kinds.end(), [&](const Methods& m) { return m.real == file->pMethods; });
    if (k == kinds.end()) {
        k = std::find_if(kinds.begin(), kinds.end(), [](const Methods& m) { return !m.real; });
        if (k == kinds.end()) throw std::runtime_error("more kinds of SQLite file than the wrapper holds");
        k->real = file->pMethods;
        k->shim = *k->real;
        k->shim.xRead = shim<IoOp::Read, &sqlite3_io_methods::xRead>;
        k->shim.xWrite = shim<IoOp::Write, &sqlite3_io_methods::xWrite>;
        k->shim.xTruncate = shim<IoOp::Truncate, &sqlite3_io_methods::xTruncate>;
        k->shim.xSync = shim<IoOp::Sync, &sqlite3_io_methods::xSync>;
    }
    file->pMethods = &k->shim;
    return rc;
}

}  // namespace

const char* ioOpName(IoOp op) {
    static const char* const names[] = {"read", "write", "sync", "truncate", "delete", "open"};
    return names[static_cast<int>(op)];
}

void onSqliteCall(std::function<int(IoOp)> h) {
    static const bool installed = [] {
        realVfs = sqlite3_vfs_find(nullptr);
        if (!realVfs) throw std::runtime_error("no default SQLite VFS");
        // Paths, access checks, time and randomness go straight to the real VFS.
        shimVfs = *realVfs;
        shimVfs.pNext = nullptr;
        shimVfs.zName = "vexla-faulty";
        shimVfs.xOpen = shimOpen;
        shimVfs.xDelete = shimDelete;
        return sqlite3_vfs_register(&shimVfs, 1) == SQLITE_OK;
    }();
    if (!installed) throw std::runtime_error("cannot register the VFS");
    hook = std::move(h);
}

}  // namespace vexla::testing
