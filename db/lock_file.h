// The advisory lock that keeps two administration tools (and a fence held
// across a compaction) out of one database: an open-file-description lock
// (F_OFD_SETLK) on "<database>.lock" beside the database. Unlike a classic
// fcntl lock it is not dropped when this process closes some other
// descriptor of the same file, and unlike SQLite's own lock it is taken
// before SQLite reads a byte of the database, and it holds while the
// database file itself is deleted and recreated.
//
// The holder writes one line into the file: its machine name, process id,
// program name and user name, separated by blanks (the first two as older
// versions wrote them), so a refused opener can name who holds the database.
// The file is removed when the lock is released (removed first, then
// unlocked; an acquirer that locked a file just removed notices and starts
// over).
//
// Within one process the lock is shared: a second acquire of the same
// database hands out the lock already held, so the process's own fence never
// refuses its own opening (SQLite's lock still refuses a second connection).
#pragma once

#include <memory>
#include <string>

#include "common/result.h"

namespace vexla::db {

class LockFile;

struct LockAttempt {
    enum class Outcome { Acquired, Busy, Unavailable } outcome = Outcome::Unavailable;
    std::shared_ptr<LockFile> lock;  // Acquired
    Holder holder;                   // Busy: who holds it, as far as the holder wrote it
    int error = 0;                   // Unavailable: errno (the folder is missing, read-only, ...)
    // Unavailable: something that is no file stands at the lock's name (a
    // folder, a FIFO, a link...): its st_mode file type bits.
    unsigned wrongKind = 0;
};

// "<databasePath>.lock"
std::string lockFilePath(const std::string& databasePath);

LockAttempt acquireDatabaseLock(const std::string& databasePath);

// The holder's line as it stands in a lock file: "host pid program user".
// A line of an older version (host and pid) answers empty program and user;
// anything unreadable answers an unknown holder.
Holder parseHolderLine(const std::string& line);

}  // namespace vexla::db
