// vexla-transfer: the register export and import, the compaction and the
// copy of the database, the check and the rescue of a damaged one and the
// restore of a backup, run from a script with the window's own jobs. This
// is the whole program but for main(), which hands in the real platform.
#pragma once

#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/platform/clock.h"
#include "common/platform/file_system.h"
#include "common/platform/locale_info.h"
#include "common/platform/message_boxes.h"
#include "common/platform/system_log.h"
#include "common/platform/text_source.h"
#include "db/engine.h"

namespace vexla::transfer {

// The exit statuses, for scripts to tell the outcomes apart.
namespace exitcode {
constexpr int Ok = 0;
constexpr int Usage = 1;          // the command line is wrong (or names an interval that is none)
constexpr int LoginRefused = 2;   // the user is no administrator, or the password is wrong
constexpr int InUse = 3;          // another program holds the database
constexpr int FileError = 4;      // a file is missing, unreadable, unwritable, no register file or database; disk full
constexpr int Skipped = 5;        // the import stored the file but skipped lines (see the summary)
constexpr int Unchanged = 6;      // the import stopped before its end: the register is as it was
constexpr int Refused = 6;        // restore: the backup was refused (damaged, of another kind); nothing changed
constexpr int Damaged = 7;        // check: the database file is damaged
constexpr int LinksBroken = 8;    // check: the file is whole, but bookings or users link to nothing
constexpr int Interrupted = 128;  // plus the signal (SIGINT 130, SIGTERM 143): stopped, nothing left changed
}  // namespace exitcode

// What a run works with besides its arguments.
struct Environment {
    TextSource& texts;  // the installed Lang.ini
    db::DBEngine& engine;
    MessageBoxes& console;  // where the jobs' message boxes are written (standard error)
    Clock& clock;
    LocaleInfo& locale;  // how dates and numbers are written and read, unless --locale names another
    FileSystem& files;
    std::string programFolder;  // where Logg.txt is
    std::FILE* in = stdin;
    std::FILE* out = stdout;                      // the result line (the window's information line)
    std::FILE* err = stderr;                      // complaints, help for a wrong command line, the status line
    bool terminal = false;                        // `err` is a terminal: show the running status line
    std::optional<std::string> passwordVariable;  // VEXLA_PASSWORD, when set
    // Asks for the password on the terminal without echo; nothing without a terminal.
    std::function<std::optional<std::string>(const std::string& prompt)> askPassword;
    // The signal (SIGINT, SIGTERM) that asked the run to stop, or 0.
    std::function<int()> stopSignal;
    // Where the activity log's lines and each run's summary line go.
    SystemLog& systemLog = SystemLog::none();
    // Standard output was closed when the program started (reopened on
    // /dev/null): a job whose product goes there is refused.
    bool outClosed = false;
};

// Runs the command line `args` (without the program's name) and answers
// the exit status (exitcode::).
//
// export and import first log in as the window's login dialog does: --user
// and a password from standard input (--password-stdin), VEXLA_PASSWORD or
// the terminal, checked by Validera; only an administrator (group 1) gets
// on. compact, copy, check, recover, backups and restore ask for no
// login, as the window's maintenance does not.
// Each job then runs as its button runs it, with the files of the command
// line standing for the file dialogs' answers. Its message boxes go to the
// console; its final information line is printed on `out` (on `err` when
// export writes the register file to `out`). --quiet leaves out all but
// the errors; --json prints one JSON object (json_report.h) on `out` (on
// `err` for export --out -) and nothing else there, also for a wrong
// command line. The run's end goes to the system log as one line naming
// the database (Notice when done, Warning for skipped lines, Error else).
int runTransfer(const std::vector<std::string>& args, Environment& env);

}  // namespace vexla::transfer
