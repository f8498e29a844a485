// vexla-admin: the administration tool of the Vexla booking system.
#include <QApplication>
#include <QLocale>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/frm_admin.h"
#include "app/maintenance_startup.h"
#include "app/unattended_job.h"
#include "common/console_platform.h"
#include "common/fixed_locale.h"
#include "common/folders_file.h"
#include "common/posix_file_system.h"
#include "common/program_folder.h"
#include "common/qt/font_preload.h"
#include "common/qt/qt_file_dialog_host.h"
#include "common/qt/qt_message_boxes.h"
#include "common/qt/toolkit_translator.h"
#include "common/standard_descriptors.h"
#include "common/syslog_system_log.h"
#include "common/system_clock.h"
#include "common/unread_settings.h"
#include "db/sqlite_engine.h"
#include "session/command_line.h"
#include "session/job_notices.h"
#include "session/program_arguments.h"
#include "session/windowless_admin.h"
#include "texts/installed_locale.h"
#include "texts/kompilerad.h"
#include "texts/mtexter.h"
#include "texts/text_codes.h"

namespace {

using namespace vexla;

// The help, line by line, in the language of the installed Lang.ini.
constexpr const char* kHelpCodes[] = {txt::AdminUsage,          txt::AdminHelpDatabase,    txt::AdminHelpD,
                                      txt::AdminHelpUnattended, txt::AdminHelpJobLetters,  txt::AdminHelpExitStatuses,
                                      txt::AdminHelpWait,       txt::AdminHelpHasDatabase, txt::AdminHelpHelp,
                                      txt::AdminHelpVersion,    txt::AdminHelpClosing};

// Prints the help on standard output; answers the exit status 0.
int printHelp(const std::string& folder) {
    ConsoleMessageBoxes console;
    mTexter texts(langIniPath(folder), console);
    for (const char* code : kHelpCodes) {
        const std::string line = texts.TextTillAndra(code);
        if (!line.empty()) std::printf("%s\n", line.c_str());
    }
    return 0;
}

// A command line that cannot run: prints the complaint naming the argument
// and where the options are told on standard error, before any window, and
// answers the exit status 2.
int printUsageError(const std::string& folder, const ProgramArguments& wrong) {
    ConsoleMessageBoxes console;
    mTexter texts(langIniPath(folder), console);
    std::fprintf(stderr, "vexla-admin: %s: %s\n%s\n", texts.TextTillAndra(wrong.complaint).c_str(),
                 wrong.argument.c_str(), texts.TextTillAndra(txt::AdminHelpLists).c_str());
    return 2;
}

// --has-database, the nightly service's condition: 0 when DataBas1 of
// Vexla.ini names a database (whether the file is there is the job's to
// find out), else 1 with one line on standard error saying why. Only the
// settings count: a skipped run is not a failed one, so no log is written.
int reportConfiguredDatabase(const std::string& folder) {
    if (!startingDatabase(CommandLine{}, folder).DataBas.empty()) return 0;
    ConsoleMessageBoxes console;
    mTexter texts(langIniPath(folder), console);
    std::fprintf(stderr, "vexla-admin: %s: %s/Vexla.ini\n", texts.TextTillAndra(txt::NoDatabaseConfigured).c_str(),
                 folder.c_str());
    return 1;
}

bool haveDisplay() {
    const char* x = std::getenv("DISPLAY");
    const char* w = std::getenv("WAYLAND_DISPLAY");
    return (x && *x) || (w && *w);
}

// Whether the toolkit could show a window at all: a display, or a platform
// asked for that needs none (offscreen, vnc, ...). xcb and wayland without a
// display would abort the program in the toolkit's words.
bool canShowWindow() {
    if (haveDisplay()) return true;
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (!platform || !*platform) return false;
    const std::string asked = platform;
    return asked.find("xcb") == std::string::npos && asked.find("wayland") == std::string::npos;
}

// Asked while another program holds the database: waits a second (less
// when less is left) and answers true, until `seconds` from the first call
// have passed.
std::function<bool()> waitingFor(int seconds) {
    if (seconds <= 0) return {};
    auto deadline = std::make_shared<std::optional<std::chrono::steady_clock::time_point>>();
    return [seconds, deadline] {
        const auto now = std::chrono::steady_clock::now();
        if (!*deadline) *deadline = now + std::chrono::seconds(seconds);
        if (now >= **deadline) return false;
        std::this_thread::sleep_for(
            std::min<std::chrono::steady_clock::duration>(std::chrono::seconds(1), **deadline - now));
        return true;
    };
}

// The unattended job: no window, no toolkit, so it runs from cron whatever window system the environment names. The job's
// end goes to the system log as one line, at Error when it failed.
int runWithoutWindow(const std::string& folder, const StartingDatabase& start, int waitSeconds, SystemLog& systemLog) {
    ConsoleMessageBoxes console;
    NoFileDialogs dialogs;
    NoMousePointer pointer;
    SystemClock clock;
    PosixFileSystem files;
    mTexter texts(langIniPath(folder), console);
    FixedLocale locale(installedLocale(folder, texts, stderr, systemLog));
    Platform platform{console, dialogs, pointer, clock, locale, files, folder, FolderMemory::none(), systemLog};
    db::SqliteEngine engine(db::engineSettingsFor(locale));
    WindowlessAdmin window(engine, files, console, texts, folder, systemLog);
    start.applyTo(window.state());
    window.state().Språk = languageOfTexts(texts);
    engine.SetWait(waitSeconds);
    JobContext ctx{window, platform, texts};
    ctx.waitSeconds = waitSeconds;
    const UnattendedEnd end = runUnattendedJob(ctx, console, waitingFor(waitSeconds));
    window.activityLog().toSystemLog(
        end.status == unattended::Done ? LogPriority::Notice : LogPriority::Error,
        jobSummaryLine(texts, "vexla-admin /a k", end.status, start.DataBas, end.reason, end.heldSeconds));
    // The job's own lines went to the log and its reason to standard error
    // above; cron mails standard error, so a failed job says where to look.
    if (end.status != unattended::Done)
        std::fprintf(stderr, "%s: %s\n", texts.TextTillAndra(txt::UnattendedJobFailedSee).c_str(),
                     window.activityLog().path().c_str());
    return end.status;
}

// The window's run: the toolkit, the platform it gives the jobs, the main
// window on the starting database; the program's exit status.
int runWindow(int argc, char** argv, const std::string& folder, const StartingDatabase& start,
              const std::string& userSettings, SystemLog& systemLog) {
    FontPreload fonts;  // the font configuration, read while the toolkit connects to the display
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vexla Admin"));

    QtMessageBoxes messages;
    QtMousePointer pointer;
    SystemClock clock;
    PosixFileSystem files;
    mTexter texts(langIniPath(folder), messages);
    messages.captionButtonsFrom(&texts);
    FixedLocale locale(installedLocale(folder, texts, stderr, systemLog));
    // The toolkit's own display (the date-time pickers, their AM/PM marker)
    // follows the same locale rather than the environment's.
    QLocale::setDefault(QLocale(QString::fromLatin1(nameOf(locale.name()))));
    // The toolkit's own texts (file dialogs, standard buttons) in the
    // language of the installed language file; the English build loads none.
    ToolkitTranslator toolkitTexts;
    if (toolkitTexts.loadFor(languageOfTexts(texts), texts)) app.installTranslator(&toolkitTexts);
    QtFileDialogHost dialogs(nullptr, texts);
    // The register file dialogs start where the user last was, remembered in the user's own settings.
    const SystemLogNotices folderNotices(texts, systemLog);
    FoldersFile folders(userFoldersFile(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME")), files, folderNotices);
    FoldersFile chosenDatabase(userSettings, files, folderNotices, "[System]", txt::DatabaseNotRemembered);
    Platform platform{messages, dialogs, pointer, clock, locale, files, folder, folders, systemLog};
    db::SqliteEngine engine(db::engineSettingsFor(locale));

    MaintenanceStartup hooks;
    fonts.wait();
    frmAdmin window(platform, engine, texts, hooks, chosenDatabase);
    if (auto status = window.runStartup(start)) return *status;
    window.show();
    return app.exec();
}

}  // namespace

int main(int argc, char** argv) {
    // Before any file is opened: the log must never become standard output.
    reopenClosedStandardStreams();
    const std::vector<std::string> args(argv + 1, argv + argc);
    const std::string folder = programFolder();
    // The one log of the run, also for the line that a settings file was passed over.
    SyslogSystemLog systemLog;
    tellUnreadSettingsAs(argc > 0 ? argv[0] : "vexla-admin", folder, stderr, systemLog);
    const ProgramArguments read = readProgramArguments(args, kPathSeparator);
    switch (read.request) {
        case Request::Help: return printHelp(folder);
        case Request::Version: std::printf("vexla-admin %s\n", VEXLA_VERSION); return 0;
        case Request::HasDatabase: return reportConfiguredDatabase(folder);
        case Request::Usage: return printUsageError(folder, read);
        case Request::Run: break;
    }
    // The window's own choice of database lies in the user's settings; /a reads the system's only.
    const char* xdgConfigHome = std::getenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    const std::string userSettings = userSettingsFile(xdgConfigHome, home);
    const StartingDatabase start = startingDatabase(read.options, folder, userSettings);
    // /a names a job (anything else was a usage error): no window.
    if (read.options.hasJobOption) return runWithoutWindow(folder, start, read.waitSeconds, systemLog);
    if (!canShowWindow()) {
        // Said in the program's language rather than the toolkit's abort.
        ConsoleMessageBoxes console;
        mTexter texts(langIniPath(folder), console);
        std::fprintf(stderr, "%s\n", texts.TextTillAndra(txt::NoDisplay).c_str());
        return 1;
    }

    return runWindow(argc, argv, folder, start, userSettings, systemLog);
}
