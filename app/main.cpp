// vexla-admin: the administration tool of the Vexla booking system.
#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "session/command_line.h"
#include "app/frm_admin.h"
#include "app/startup_jobs.h"
#include "common/console_message_boxes.h"
#include "common/posix_file_system.h"
#include "common/program_folder.h"
#include "common/qt/qt_file_dialog_host.h"
#include "common/qt/qt_locale_info.h"
#include "common/qt/qt_message_boxes.h"
#include "common/system_clock.h"
#include "db/sqlite_engine.h"
#include "texts/kompilerad.h"
#include "texts/mtexter.h"

namespace {

using namespace vexla;

// Usage in the language of the installed Lang.ini.
int printHelp(const std::string& folder) {
    ConsoleMessageBoxes console;
    mTexter texts(langIniPath(folder), console);
    for (const char* code : {"R9001", "R9002", "R9003", "R9004", "R9005"}) {
        const std::string line = texts.TextTillAndra(code);
        if (!line.empty()) std::printf("%s\n", line.c_str());
    }
    return 0;
}

// A run from cron mails whatever reaches standard error to the administrator:
// the toolkit's notes about the missing window system are not news to them.
void keepOnlySeriousToolkitMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtCriticalMsg || type == QtFatalMsg) std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
}

// The toolkit's own texts (Yes/No on message boxes, the file dialog) in the
// language of the installed language file, when its translation is there.
void translateToolkit(QApplication& app, TextSource& texts, QTranslator& translator) {
    if (languageOfTexts(texts) != "se") return;
    if (translator.load(QStringLiteral("qt_sv"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        app.installTranslator(&translator);
}

bool haveDisplay() {
    const char* x = std::getenv("DISPLAY");
    const char* w = std::getenv("WAYLAND_DISPLAY");
    return (x && *x) || (w && *w);
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    const std::string folder = programFolder();
    switch (infoRequest(args)) {
        case InfoRequest::Help: return printHelp(folder);
        case InfoRequest::Version: std::printf("vexla-admin %s\n", VEXLA_VERSION); return 0;
        case InfoRequest::None: break;
    }
    const std::string commandLine = joinArguments(args);

    // The unattended job runs from cron with no window system: the window is
    // built but never shown, so an offscreen screen serves, and a message box
    // nobody could answer is written to standard error instead.
    const CommandLine options = parseCommandLine(commandLine, kPathSeparator);
    const bool offscreen = !haveDisplay() && options.hasJobOption && !std::getenv("QT_QPA_PLATFORM");
    if (offscreen) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    if (!haveDisplay() && !options.hasJobOption && !std::getenv("QT_QPA_PLATFORM")) {
        // Said in the program's language rather than the toolkit's abort.
        ConsoleMessageBoxes console;
        mTexter texts(langIniPath(folder), console);
        std::fprintf(stderr, "%s\n", texts.TextTillAndra("R9006").c_str());
        return 1;
    }
    const bool unattended = options.namesJob || offscreen;
    if (unattended) qInstallMessageHandler(keepOnlySeriousToolkitMessages);

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vexla Admin"));

    QtMessageBoxes windowBoxes;
    ConsoleMessageBoxes consoleBoxes;
    MessageBoxes& messages = unattended ? static_cast<MessageBoxes&>(consoleBoxes) : windowBoxes;
    QtMousePointer pointer;
    SystemClock clock;
    QtLocaleInfo locale;
    PosixFileSystem files;
    mTexter texts(langIniPath(folder), messages);
    windowBoxes.captionButtonsFrom(&texts);
    QTranslator toolkitTexts;
    translateToolkit(app, texts, toolkitTexts);
    QtFileDialogHost dialogs(nullptr, texts);
    Platform platform{messages, dialogs, pointer, clock, locale, files, folder};

    db::EngineSettings settings;
    settings.shortDate = locale.value(LocaleItem::ShortDate).value_or(settings.shortDate);
    settings.longTime = locale.value(LocaleItem::TimeFormat).value_or(settings.longTime);
    settings.decimalSeparator = locale.value(LocaleItem::DecimalSeparator).value_or(settings.decimalSeparator);
    db::SqliteEngine engine(settings);

    MaintenanceStartup hooks;
    frmAdmin window(platform, engine, texts, hooks);
    if (auto status = window.runStartup(commandLine)) {
        // The job's own lines went to the log; cron mails standard error, so
        // a failed job says where to look.
        if (*status != 0 && options.hasJobOption)
            std::fprintf(stderr, "%s: %s\n", texts.TextTillAndra("R9053").c_str(), window.activityLog().path().c_str());
        return *status;
    }
    if (offscreen) {
        // Nobody could ever close a window on an offscreen screen.
        std::fprintf(stderr, "%s\n", texts.TextTillAndra("R9006").c_str());
        return 1;
    }
    window.show();
    return app.exec();
}
