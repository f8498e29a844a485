// The words for a database that could not be had for exclusive use: shared
// by the maintenance jobs' exclusive-use test and the login, which opens the
// database exclusively too.
#pragma once

#include <string>

#include "common/platform/text_source.h"
#include "common/result.h"

namespace vexla {

// The refusal in the user's words, always naming `path` (the database path,
// also when another path was tested): `box` for a message box, `line`
// (ending with `now`) for the activity log. 3356 and 3260 (held by another
// program), 3024 and 3343 have their own texts; any other number is told with
// R1755, the number and the description in the user's language.
struct ExclusiveRefusal {
    std::string box;
    std::string line;
};
ExclusiveRefusal describeRefusal(const Error& refusal, const std::string& path, const std::string& now,
                                 TextSource& texts);

// Whether the engine's error says the database is held by another program
// (3356, 3260), or could not be found or read as one (3024, 3343): the
// refusals that describeRefusal words in full.
bool isOpeningRefusal(const Error& e);

}  // namespace vexla
