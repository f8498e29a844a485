// A failing disk under SQLite: a VFS wrapped around the default one, so a
// test sees every read, write, sync, truncation and deletion SQLite makes
// (database, journal, temporary files, a VACUUM INTO target) and can make
// any one of them fail. The engine opens every database with the default
// VFS; single-threaded use only, like the program.
#pragma once

#include <functional>

namespace vexla::testing {

enum class IoOp { Read, Write, Sync, Truncate, Delete };
const char* ioOpName(IoOp op);

// Makes the wrapper the process's default VFS (once) and asks `hook` before
// each of those calls from now on: 0 runs the call, any other value is
// SQLite's answer instead. An empty hook runs every call.
void onSqliteCall(std::function<int(IoOp)> hook);

}  // namespace vexla::testing
