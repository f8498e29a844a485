// Whether a file is a booking database, told from its header and schema
// alone: the dated backups BackupKeep may delete are only those.
#pragma once

#include <string>

namespace vexla::db {

// True when `path` is an SQLite database whose schema holds the booking
// tables (Kund, Person, Bokning). The file is read as it is, without any
// lock and without its journal: nothing is written and nothing is held
// after the answer, so a file another program has open is neither blocked
// nor changed. Anything that does not read as such a database is false.
bool isBookingDatabase(const std::string& path);

}  // namespace vexla::db
