// The program's command line: the database option /d and the unattended-job
// option /a, read from one text L that holds the arguments behind the
// program's name.
//
// Options are searched for in a lowercase copy of L, so /D and /Ak are found
// as well; values are cut from L itself and keep their case. Positions count
// from 1 and only the first occurrence of an option counts; /d and /a are
// independent of their order.
//
//   /d  P := position of "/d". Q := first "/" from P + 2. When Q > P + 2 the
//       raw value is the Q - P - 4 characters from P + 4, otherwise the rest
//       of L from P + 4: "/d" and the two characters behind it are skipped,
//       which fits "/db path" and "/d \"path\"".
//   /a  P := position of "/a". Q := first "/" from P + 1. When Q > P the raw
//       value is the Q - P - 2 characters from P + 2, otherwise the rest of L
//       from P + 2: "/ak", "/a k" and "/a \"k\"" all give k.
//
// A raw value is cleaned by trimming blanks, then dropping one leading and
// then one trailing double quote; nothing is trimmed after that.
//
// On a POSIX system paths themselves hold "/", which would end a value and
// could be taken for an option. So every search for an option or for "/"
// skips text inside double quotes, and joinArguments() quotes every argument
// that holds a blank or a "/" and is not an option word.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "common/paths.h"
#include "session/admin_state.h"

namespace vexla {

struct CommandLine {
    bool hasDatabaseOption = false;  // L holds /d
    std::string DataBas;             // the cleaned /d value when it names a folder, else ""
    std::string msSökväg;            // DataBas before its last separator, trimmed
    bool Kommandorad = false;        // L holds /d or /a: the program runs from a command line
    bool hasJobOption = false;       // L holds /a
    std::string jobValue;            // the cleaned /a value, case kept
    bool namesJob = false;           // jobValue is k, c or r in either case
};

// The letter of a Windows option word, 'd' or 'a'; 0 for any other
// argument. An option word starts with "/d" or "/a" in any case and holds no
// further "/" ("/db", "/AK", "/a k"; "/data/bok.db" is a path, not an option).
char windowsOptionLetter(const std::string& arg);

// Builds L from the program's arguments (without the program's name): the
// arguments joined by single blanks, each argument that holds a blank or a
// "/" put in double quotes unless it is an option word. An argument that
// itself holds a double quote is passed as it is.
std::string joinArguments(const std::vector<std::string>& args);

// Parses L. `separator` is the folder separator of the paths on the line
// ('/' here, '\\' for a line written for Windows): it decides whether a /d
// value names a folder and where that folder ends. A /d value whose next "/"
// stands at P + 3 (one character between /d and the slash, a value length
// of -1) gives an empty value. Never fails.
CommandLine parseCommandLine(const std::string& L, char separator);

// The cleaning of an option value: blanks trimmed, then a leading double
// quote dropped, then a trailing one.
std::string cleanOptionValue(const std::string& raw);

// The database a run starts with: the /d value when L holds /d, else
// DataBas1 of [System] in the user's own settings file `userSettings` (the
// database last chosen in the window; "" for none, and never read for /a, as
// an unattended job runs with the system's settings only), else DataBas1 of
// [System] in Vexla.ini in the program folder (blanks trimmed);
// msSökväg its folder (empty for a path without a separator). Kommandorad
// is set when L holds /d or /a: the maintenance jobs then log their steps.
struct StartingDatabase {
    std::string DataBas;
    std::string msSökväg;
    bool Kommandorad = false;
    // Sets these three in the shared state of the run.
    void applyTo(AdminState& state) const {
        state.DataBas = DataBas;
        state.msSökväg = msSökväg;
        state.Kommandorad = Kommandorad;
    }
};
StartingDatabase startingDatabase(const CommandLine& options, const std::string& programFolder,
                                  const std::string& userSettings = {});

}  // namespace vexla
