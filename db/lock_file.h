// The advisory lock that keeps two administration tools (and a fence held
// across a compaction) out of one database: an open-file-description lock
// (F_OFD_SETLK) on "<database>.lock" beside the database. Unlike a classic
// fcntl lock it is not dropped when this process closes some other
// descriptor of the same file, and unlike SQLite's own lock it is taken
// before SQLite reads a byte of the database, and it holds while the
// database file itself is deleted and recreated.
//
// The holder writes its machine name and process id into the file, so a
// refused opener can name the machine. The file is removed when the lock
// is released (removed first, then unlocked; an acquirer that locked a file
// just removed notices and starts over).
//
// Within one process the lock is shared: a second acquire of the same
// database hands out the lock already held, so the process's own fence never
// refuses its own opening (SQLite's lock still refuses a second connection).
#pragma once

#include <memory>
#include <string>

namespace vexla::db {

class LockFile;

struct LockAttempt {
    enum class Outcome { Acquired, Busy, Unavailable } outcome = Outcome::Unavailable;
    std::shared_ptr<LockFile> lock;  // Acquired
    std::string holderHost;          // Busy: the holder's machine, when it wrote one
    int error = 0;                   // Unavailable: errno (the folder is missing, read-only, ...)
    // Unavailable: something that is no file stands at the lock's name (a
    // folder, a FIFO, a link...): its st_mode file type bits.
    unsigned wrongKind = 0;
};

// "<databasePath>.lock"
std::string lockFilePath(const std::string& databasePath);

LockAttempt acquireDatabaseLock(const std::string& databasePath);

}  // namespace vexla::db
