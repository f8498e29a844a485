// How values lie in the database file: a date/time as ISO-8601 text
// "YYYY-MM-DD HH:MM:SS" (a time alone on the zero date 1899-12-30), so that
// text order is time order and a plain sqlite3 shell shows readable dates;
// a Yes/No value as the integer 0 or 1.
#pragma once

#include <string_view>

#include "common/datetime.h"

namespace vexla::db {

constexpr int kStoredDateTimeLength = 19;

// Writes the 19 characters of t into out (no terminating NUL).
void formatStoredDateTime(const DateTime& t, char* out);

// Reads the stored form; also accepts a "T" between date and time, a date
// alone (midnight) and a time alone (on the zero date). False when the text
// is none of these or names no valid date.
bool parseStoredDateTime(std::string_view text, DateTime& out);

// The engine's serial date number: whole days since 1899-12-30, the fraction
// the time of day. False outside the years 100 to 9999.
bool dateFromSerial(double serial, DateTime& out);

}  // namespace vexla::db
