// Whether a file is a booking database, told from its header and schema
// alone: the dated backups BackupKeep may delete are only those.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace vexla::db {

// True when `path` is an SQLite database whose schema holds the booking
// tables (Kund, Person, Bokning). The file is read as it is, without any
// lock and without its journal: nothing is written and nothing is held
// after the answer, so a file another program has open is neither blocked
// nor changed. Anything that does not read as such a database is false.
bool isBookingDatabase(const std::string& path);

// What a look into a database file that may be damaged finds, read as
// isBookingDatabase reads: no lock, no journal, nothing written.
struct BookingFileFacts {
    bool opened = false;           // it reads as an SQLite database at all
    bool bookingDatabase = false;  // and holds the booking tables
    bool sound = false;            // the quick check found nothing wrong
    bool damaged = false;          // the engine found it damaged, also where its tables cannot be read
    bool unreadable = false;       // the disk would not read it (an I/O error)
    std::string problem;           // the quick check's first finding, or the engine's error
    // Its tables (other than the engine's own), letter case as stored,
    // in the order of their names.
    std::vector<std::string> tables;
    // The row counts of Kund, Person and Bokning; -1 where one cannot be read.
    long customers = -1, resources = -1, bookings = -1;
    bool stopped = false;  // `stop` answered true: the facts are not complete
};

// Looks into `path`: its tables, the booking registers' row counts and the
// engine's quick check of every page and b-tree. `stop` (when given) is
// asked now and then, also from inside the check; a true answer ends the
// look with `stopped`. Never fails: what cannot be read is told in the facts.
BookingFileFacts inspectBookingFile(const std::string& path, const std::function<bool()>& stop = {});

}  // namespace vexla::db
