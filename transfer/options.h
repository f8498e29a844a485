// The command line of vexla-transfer: one command and its options, in the
// usual "--name value" (or "--name=value") form of a script tool.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "common/datetime.h"
#include "common/fixed_locale.h"

namespace vexla::transfer {

enum class Command { Export, Import, Compact, Copy, Check, Recover, Backups, Restore };

struct Options {
    std::optional<Command> command;  // none: the general help
    bool help = false;               // --help or -h: show the usage and do nothing else
    bool version = false;            // --version first: show the program's version and do nothing else
    std::int16_t kind = -1;          // --register: 0 kund/customers, 1 resurser/resources, 2 bokningar/bookings
    std::string db, out, in, user;
    std::string map = "auto";  // "auto" or the path of a mapping file
    bool force = false, deleteFirst = false, passwordStdin = false, dryRun = false;
    std::string report;              // import: where every skipped line is written; empty for nowhere
    std::vector<int> ignoreColumns;  // import --ignore-column, each time given: columns (1-based) left out knowingly
    std::optional<DateTime> from, to;
    std::string backup;                // restore --from: the backup to put back
    bool fullCheck = false;            // compact --full-check, check --full
    bool json = false;                 // --json: one JSON object on standard output instead of the texts
    bool quiet = false;                // --quiet: nothing but errors
    int wait = 10;                     // --wait: seconds a job waits for the booking system's transactions (0-86400)
    bool spreadsheet = false;          // export --format spreadsheet (rather than register)
    bool windows1252 = false;          // export --encoding windows-1252 (rather than utf-8)
    std::optional<LocaleName> locale;  // --locale: how dates and numbers are written and read; none: the installed one
};

// The file name that stands for standard output (export --out) and standard
// input (import --in).
inline constexpr const char* kStandardStream = "-";

// A command line that cannot run: the text code of the complaint and what
// it is about (the word, the option, the option and its value).
struct UsageError {
    std::string code;
    std::string detail;
};

// Parses the arguments behind the program's name.
//   - No argument: no command and no help (the caller shows the usage as a
//     mistake); "--help" or "-h" first: the general help (command none,
//     help true); "--version" first: the version (version true).
//   - The first argument names the command: export, import, compact, copy,
//     check, recover, backups, restore; any other word is R9078.
//   - "--help" or "-h" anywhere after it asks for that command's help; the
//     rest of the line is then not looked at.
//   - An option the command does not take, or a word that is no option, is
//     R9079; an option without its value R9080; a missing required option
//     R9081 (export: --register --db --out --user; import: --register --db
//     --in --user; compact: --db [--full-check]; copy: --db --out
//     [--force]; --from and --to only together; check: --db [--full];
//     recover: --db --out [--force]; backups: --db; restore: --db --from,
//     where --from names the backup file); a register other than kund, resurser, bokningar,
//     customers, resources or bookings (any letter case) R9236, whose text
//     lists those names; a --locale other than sv_SE or en_US R9682; a
//     date-time parseDateTime does not read (by --locale, else `installed`)
//     or an empty --map R9082. A repeated option counts with its last value,
//     but for import's --ignore-column N, which adds N each time (a column
//     number from 1 to the most fields a line may have; else R9082).
//   - export takes --format register|spreadsheet and --encoding
//     utf-8|windows-1252 (any letter case; another value R9082); --encoding
//     with the register format is R9695.
//   - Every command takes --json, --quiet, --locale NAME and --wait SECONDS
//     (digits, at most 86400; anything else R9082).
//   - "-" (also /dev/stdout, /dev/stdin) is standard output as --out and
//     standard input as import's --in, both stored as "-" (the run refuses
//     it as the --out of copy or recover, R9601); import's --report "-" is
//     stored as "/dev/stdout". --password-stdin with --in - is R9576:
//     standard input cannot carry both.
std::variant<Options, UsageError> parseArguments(const std::vector<std::string>& args, LocaleInfo& installed);

// A date and time as `locale` writes it (by its short date and time
// pictures: sv_SE "2026-12-01 08:00", en_US "12/1/2026 8:00 AM"), or as "yyyy-mm-dd HH:MM" in every locale, the
// seconds optional; nothing for a date or a time alone, any other text or an
// impossible date or time.
std::optional<DateTime> parseDateTime(const std::string& text, LocaleInfo& locale);

}  // namespace vexla::transfer
