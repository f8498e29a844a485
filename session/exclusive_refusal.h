// The words for a database that could not be had for exclusive use: shared
// by the maintenance jobs' exclusive-use test and the login, which opens the
// database exclusively too.
#pragma once

#include <string>

#include "common/platform/text_source.h"
#include "common/result.h"
#include "session/job_context.h"

namespace vexla {

// The refusal in the user's words, always naming `path` (the database path,
// also when another path was tested): `box` for a message box, `line`
// (ending with `now`) for the activity log. 3356 and 3260 (held by another
// program), 3024 and 3343 have their own texts; any other number is told with
// R1755, the number and the description in the user's language. A database
// held by a known holder (our lock file named it) says who, in both
// (holderText), as the box's second line and before the path in the line.
struct ExclusiveRefusal {
    std::string box;
    std::string line;
};
ExclusiveRefusal describeRefusal(const Error& refusal, const std::string& path, const std::string& now,
                                 TextSource& texts);

// "R9580 12 s. R9581: bookings (R9343 4711, R9341 www-data)": a database
// whose writers could not be held off because another program kept its
// transaction open (Error::keptOpenSeconds), and who has the file open.
std::string keptOpenText(const Error& refusal, TextSource& texts);

// "R9340 vexla-transfer (R9341 anna, R9342 host, R9343 1234)": who holds
// a database, as the refusal names it; empty for an unknown holder.
std::string holderText(const Holder& holder, TextSource& texts);

// Tells a refusal as the window does: the information line gets the log's
// wording, a beep, then in unattended mode (Kommandorad) that line goes to
// the activity log, otherwise a critical message box shows.
void reportRefusal(JobContext& ctx, const Error& refusal);

// Tells why a job could not open the database it is to hold: a refusal
// (isOpeningRefusal) as reportRefusal tells it, any other failure with a beep
// and its number and description in a critical box.
void reportOpeningFailure(JobContext& ctx, const Error& e);

// Whether the engine's error says the database is held by another program
// (3356, 3260), or could not be found or read as one (3024, 3343): the
// refusals that describeRefusal words in full.
bool isOpeningRefusal(const Error& e);

}  // namespace vexla
