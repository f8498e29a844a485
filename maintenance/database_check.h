// The check of the booking database: is the file whole, can every table and
// index be read, and do the bookings, the preliminary bookings and the users
// name what they link to? What vexla-transfer check runs, and what the
// window offers beside the compaction.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "db/engine.h"
#include "session/job_context.h"

namespace vexla {

// One link the check follows, and what it found.
struct LinkFinding {
    db::LinkCheck link;
    db::BrokenLinks found;
};

// What a check found. Exactly one of: a failure (the file could not be
// checked), damaged(), linksBroken(), sound().
struct CheckOutcome {
    std::optional<Error> failure;             // described: held, missing, no booking database, unreadable, stopped
    std::vector<std::string> engineMessages;  // the engine check's findings; none: the pages are whole
    std::vector<db::ObjectReading> objects;   // every table and index, read when the engine check failed
    std::vector<std::pair<std::string, long>> rows;  // the row count of every table of a whole file
    std::vector<LinkFinding> links;                  // the links followed in a whole file
    double heldSeconds = 0;                          // how long its reading kept the booking system's commits out

    bool damaged() const { return !failure && !engineMessages.empty(); }
    bool linksBroken() const;
    bool sound() const { return !failure && !damaged() && !linksBroken(); }
    bool stopped() const { return failure && failure->number == kStoppedByUser; }
    // The file is held by another program (3356, 3260).
    bool held() const;
    // The tables and indexes that cannot be read in full.
    std::vector<db::ObjectReading> unreadable() const;
};

// The links of the booking data: bookings and preliminary bookings to their
// customer (Kund) and resource (Person), users to a group. A table or
// column that is not in the file is not followed.
const std::vector<db::LinkCheck>& bookingLinks();

// How many row ids of each broken link the outcome names.
inline constexpr int kFirstIds = 5;

// Checks the database file `path` (the database path when empty) without
// writing a byte of it: opened for examination (db::ExaminedFile: fenced
// and read locked only while the check reads), refused as no booking
// database unless it holds Kund, Person and Bokning; then the engine's
// check (the quick one; `ctx.fullCheck`: the full one), with the links
// (bookingLinks) followed beside it on a second thread. When the engine
// check finds damage, the links' findings are dropped and every table and
// index is read to its end to name those that cannot be; otherwise every
// table is counted. Reports its steps as progress; a stop ends it within a
// second (failure stoppedByUser). Shows and logs nothing.
CheckOutcome checkDatabase(JobContext& ctx, const std::string& path = {});

// The outcome as lines in the user's language, for the console and the
// window alike: the verdict first, then one line per table (its rows, or
// what of it cannot be read), per broken link (count and first row ids),
// and for a damaged file what to do next. A failure is its number and
// description.
std::vector<std::string> checkLines(JobContext& ctx, const CheckOutcome& outcome);

// One register (table) or index as the check found it, named in the
// user's words.
struct CheckRow {
    std::string name;   // "Bokningar", "Index BokningKundID (Bokningar)", "Nyckelindex för Kunder"
    std::string table;  // the table it is or belongs to ("Bokning")
    bool index = false;
    long read = 0;                 // rows or entries read, up to a fault
    std::optional<long> expected;  // what it should hold; unknown where nothing of its register reads whole
    bool whole = true;             // read to its end
    std::string note;              // its broken links ("3 utan kund (ID 4, 9, 12)"); empty: none
};

// The outcome as one row per register and, for a damaged file, per index:
// a whole table or index holds one entry per row, so what reads whole of
// a register says what its damaged parts should hold. The engine's own
// names of its key indexes never show. A failure: no rows.
std::vector<CheckRow> checkRows(JobContext& ctx, const CheckOutcome& outcome);

// A register's name in the user's words (Kund, Person, Bokning: the words
// of the main window's frames); another table by its own name.
std::string registerWords(JobContext& ctx, const std::string& table);

}  // namespace vexla
