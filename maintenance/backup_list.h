// The dated backups of the booking database as an administrator chooses
// among them: what each one holds and whether it is sound, read without
// touching them or the database.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "common/datetime.h"
#include "common/result.h"
#include "session/job_context.h"

namespace vexla {

// The row counts of the three registers (customers Kund, resources Person,
// bookings Bokning); -1 where one could not be read.
struct RegisterCounts {
    long customers = -1, resources = -1, bookings = -1;
    bool operator==(const RegisterCounts&) const = default;
};

// One backup of the database.
struct BackupEntry {
    std::string name;  // "Vexla2026-12-04-2.db"
    std::string path;  // in the database's folder
    DateTime day;      // the day its name gives
    std::uint64_t size = 0;
    RegisterCounts counts;
    bool sound = false;   // the engine's quick check found nothing wrong
    std::string problem;  // what it found otherwise
};

// The database's backups in its folder, newest first: the files whose name
// carries a day of the calendar not after today ("Vexla<yyyy-mm-dd>[-n].db",
// backupOrder), regular files with a booking database inside, other than the
// database itself (under any of its names); a database too damaged for its
// tables to be read is listed too, unsound. Each is read as it lies: no lock,
// no journal, not a byte written; the database is neither opened nor held.
// A stop asked for ends the listing with stoppedByUser; a database path
// that names no database file (missing, denied, no regular file, no
// database: db::refusalAsDatabaseFile) or a folder that cannot be looked up
// is a file error.
Result<std::vector<BackupEntry>> listBackups(JobContext& ctx);

// The database's own register counts, read as the backups are read (no
// lock, nothing written): for the confirmation before a restore
// (restoreChangeText). -1 where one cannot be read.
RegisterCounts databaseCounts(JobContext& ctx);

// databaseCounts, and whether the engine's quick check found the file
// whole: where it did not, the counts cannot be trusted (a count may read
// a whole index of a damaged table) and say nothing of what is lost.
std::pair<RegisterCounts, bool> databaseCountsAndSoundness(JobContext& ctx);

// `n` written with the locale's digit grouping ("20 000", "20,000"): the
// grouping that goes with its decimal mark; plain digits where it has none.
std::string groupedNumber(JobContext& ctx, long n);

// The list as a table for a terminal or a text box: a heading naming the
// database, a line of column titles (name, date, size in bytes, the three
// registers, sound), one line per backup with its counts grouped ("?" for
// an unreadable one); R9490 alone when there is none.
std::vector<std::string> backupListLines(JobContext& ctx, const std::vector<BackupEntry>& backups);

}  // namespace vexla
