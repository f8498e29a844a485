// The arguments of vexla-admin as a shell hands them over, checked word by
// word against one table of the options before anything else happens.
//
// Two spellings live side by side:
//   - the Linux ones: -d PATH, --database PATH, --database=PATH, -h, --help,
//     --version, --has-database, --wait SECONDS (also --wait=SECONDS);
//   - the Windows ones of the booking system's own scripts: /d PATH (also
//     /db PATH) and /a k|c|r (also /ak, "/a k"), in any letter case. Their
//     words are joined into the command line L and cut by parseCommandLine
//     exactly as they always were.
// Anything else is a usage error that names the argument, so a mistyped
// option is never mistaken for a run on the database of Vexla.ini.
#pragma once

#include <string>
#include <vector>

#include "session/command_line.h"

namespace vexla {

// What the arguments ask the program to do.
// HasDatabase: only whether Vexla.ini names a database (the service's condition).
enum class Request { Run, Help, Version, HasDatabase, Usage };

// The arguments read. For Run, `options` holds the database and job options;
// for Usage, `complaint` is the text code of the error and `argument` the
// argument it is about (followed by ": " when shown).
struct ProgramArguments {
    Request request = Request::Run;
    CommandLine options;
    std::string complaint;
    std::string argument;
    int waitSeconds = 10;  // --wait: how long the job waits for the booking system's transactions to end
};

// Reads the arguments behind the program's name, in order; the first help,
// version, --has-database or error decides.
//   - R9079 an argument that starts with "-" and is no option of the table;
//   - R9230 a word that is neither an option nor the value of one;
//   - R9080 an option without its value (-d, --database, --database=, /d,
//     /db at the end of the line or before another option; /a without a
//     job letter);
//   - R9231 a job letter other than k, c or r (any letter case, quotes and
//     blanks cleaned as on Windows);
//   - R9082 a --wait value that is not a whole number of seconds from 0 to
//     86400 (digits only), the option and its value as the argument.
// -d and --database take the next argument verbatim as the database path;
// a bare file name is taken from the current folder ("./bok.db"), as the
// shell would. The first database option of either spelling counts; it sets
// Kommandorad as /d does. `separator` is handed to parseCommandLine for the
// Windows words.
ProgramArguments readProgramArguments(const std::vector<std::string>& args, char separator);

}  // namespace vexla
