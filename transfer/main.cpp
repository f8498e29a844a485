// vexla-transfer: the register transfers, the compaction and the copy of
// the database for scripts, without a window system.
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "common/console_platform.h"
#include "common/fixed_locale.h"
#include "common/posix_file_system.h"
#include "common/program_folder.h"
#include "common/standard_descriptors.h"
#include "common/stop_signals.h"
#include "common/syslog_system_log.h"
#include "common/system_clock.h"
#include "common/unread_settings.h"
#include "db/sqlite_engine.h"
#include "texts/installed_locale.h"
#include "texts/kompilerad.h"
#include "texts/mtexter.h"
#include "transfer/console.h"
#include "transfer/password.h"
#include "transfer/transfer.h"

int main(int argc, char** argv) {
    using namespace vexla;
    const ClosedStreams closed = reopenClosedStandardStreams();
    // Ctrl+C and a plain kill ask the job to stop at its next safe point and
    // undo what it started (an import rolls back, a half-written file is
    // removed, a compaction stops before it replaces the database), instead
    // of ending the process in the middle of it. Caught before anything
    // could wait.
    catchStopSignals();
    const std::string folder = programFolder();
    SyslogSystemLog systemLog;
    tellUnreadSettingsAs(argc > 0 ? argv[0] : "vexla-transfer", folder, stderr, systemLog);
    ConsoleMessageBoxes console(stderr);
    transfer::ProgramNamedBoxes named(console);
    mTexter texts(langIniPath(folder), named);
    SystemClock clock;
    // The installation's locale, as the window uses it, whatever the
    // environment's (none under cron); --locale may choose another.
    FixedLocale locale(installedLocale(folder, texts, stderr, systemLog));
    PosixFileSystem files;

    db::SqliteEngine engine(db::engineSettingsFor(locale));

    std::optional<std::string> password;
    if (const char* variable = std::getenv("VEXLA_PASSWORD")) password = variable;
    transfer::Environment env{texts,
                              engine,
                              console,
                              clock,
                              locale,
                              files,
                              folder,
                              stdin,
                              stdout,
                              stderr,
                              ::isatty(STDERR_FILENO) != 0,
                              password,
                              transfer::askPasswordOnTerminal,
                              [] { return stopSignal(); },
                              systemLog,
                              closed.out};
    return transfer::runTransfer(std::vector<std::string>(argv + 1, argv + argc), env);
}
