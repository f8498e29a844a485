// The main window started in a temporary program folder with the real
// language file, a fake platform and a scripted path question, on one
// 1024x768 screen; and every window of the program as the tests open it.
#pragma once

#include <QApplication>
#include <QDialog>
#include <QListWidget>
#include <QPushButton>
#include <QTreeWidget>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/frm_admin.h"
#include "common/folders_file.h"
#include "db/sqlite_engine.h"
#include "login/frm_login.h"
#include "maintenance/gui/frm_intervall.h"
#include "maintenance/gui/frm_kontroll.h"
#include "maintenance/gui/frm_sokvag.h"
#include "registers/gui/frm_koppla_falt.h"
#include "tests/support/fake_platform.h"
#include "tests/support/qt_app.h"
#include "tests/support/source_tree.h"
#include "texts/text_codes.h"

namespace vexla::testing {

// The application, on one 1024x768 screen: the screen is set before the
// application exists, so every test of a program starts it through here.
inline void ensureSmallScreenApplication() {
    if (!QApplication::instance()) {
        static const TempFolder dir;
        dir.write("screen.json",
                  R"({"windowFrameMargins": false, "screens": [{"name": "small", "width": 1024, "height": 768}]})");
        qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + dir.file("screen.json")).c_str());
    }
    ensureQApplication();
}

class RecordingHooks final : public StartupHooks {
public:
    std::optional<std::string> pathAnswer = std::string();
    std::vector<std::string> calls;

    std::optional<std::string> askForDatabasePath(frmAdmin&) override {
        calls.push_back("ask");
        return pathAnswer;
    }
};

// A program folder with a language file (or none) and a Vexla.ini (or none).
struct Program {
    TempFolder dir;
    FakePlatform fakes;
    Platform platform;
    mTexter texts;
    db::SqliteEngine engine;
    RecordingHooks hooks;
    RecordingNotices notices;
    FoldersFile chosen;  // the user's own Vexla.ini
    frmAdmin window;
    std::int16_t links = 0;
    std::unique_ptr<QDialog> dialog;  // a dialog made for a test; goes before its owner

    explicit Program(const char* lang, const char* vexlaIni = nullptr)
        : platform(fakes.platform(prepare(dir, lang, vexlaIni))),
          texts(dir.file("bin/Lang.ini"), fakes.messages),
          chosen(userIni(), fakes.files, notices, "[System]", txt::DatabaseNotRemembered),
          window(platform, engine, texts, hooks, chosen) {}

    std::string userIni() const { return dir.file("config/vexla-admin/Vexla.ini"); }

    static std::string prepare(const TempFolder& dir, const char* lang, const char* vexlaIni) {
        ensureSmallScreenApplication();
        if (lang) dir.write("bin/Lang.ini", sourceFile(std::string("texts/") + lang + "/Lang.ini"));
        if (vexlaIni) dir.write("Vexla.ini", vexlaIni);
        return dir.path();
    }

    // The start-up from a command line, as the program runs it.
    std::optional<int> start(const std::string& commandLine) {
        return window.runStartup(
            startingDatabase(parseCommandLine(commandLine, kPathSeparator), dir.path(), userIni()));
    }
    // The start-up on a database named on the command line: no question.
    std::optional<int> startOnTheDatabase() { return start("/d \"" + dir.file("bok.db") + "\""); }

    std::vector<QPushButton*> jobButtons() const {
        const frmAdmin& w = window;
        return {w.cmdKundReg[0],   w.cmdKundReg[1], w.cmdBokningReg[0], w.cmdBokningReg[1], w.cmdResursReg[0],
                w.cmdResursReg[1], w.cmdKomprimera, w.cmdKopiera,       w.cmdKontroll};
    }
};

// A window of the program: its designed default button, the object names
// Tab visits in order and those of its bottom row of buttons.
struct ProgramWindow {
    const char* name;
    const char* defaultButton;
    std::function<QWidget*(Program&)> open;  // loads the window and answers it, not yet shown
    std::vector<std::string> tabOrder;
    std::vector<const char*> bottomRow;
};

inline const std::vector<ProgramWindow>& programWindows() {
    static const std::vector<ProgramWindow> windows{
        {"frmAdmin",
         "cmdKomprimera",
         [](Program& p) -> QWidget* { return &p.window; },
         {"cmdKundReg(0)", "cmdKundReg(1)", "cmdBokningReg(0)", "cmdBokningReg(1)", "cmdResursReg(0)",
          "cmdResursReg(1)", "cmdDB", "cmdKomprimera", "cmdKopiera", "cmdKontroll", "cdmStäng"},
         {"cmdDB", "cmdKomprimera", "cmdKopiera", "cmdKontroll", "cdmStäng"}},
        {"frmLogin",
         "cmdOk",
         [](Program& p) -> QWidget* {
             p.dialog = std::make_unique<frmLogin>(&p.window, p.platform, p.texts,
                                                   LoginDatabase{p.engine, p.window.state().DataBas});
             return p.dialog.get();
         },
         {"txtUserName", "txtPassword", "cmdOk", "cmdAvbryt"},
         {"cmdOk", "cmdAvbryt"}},
        {"frmKopplaFalt",
         "cmdOk",
         [](Program& p) -> QWidget* {
             auto* d = new frmKopplaFält(p.window, &p.window, p.platform, p.texts, p.links);
             p.dialog.reset(d);
             // As they are once a file is chosen and links made.
             for (QWidget* w : std::initializer_list<QWidget*>{d->lstFilFält, d->lstFält, d->lvKopplingar, d->cmdAuto,
                                                               d->cmdLäggTill, d->cmdTaBort, d->cmdTaBortAlla,
                                                               d->cmdProva, d->cmdOk})
                 w->setEnabled(true);
             return d;
         },
         {"cmdMall", "lstFilFält", "lstFält", "cmdAuto", "cmdLäggTill", "lvKopplingar", "cmdTaBort", "cmdTaBortAlla",
          "grdFörhandsvisning", "chkTaBort", "cmdProva", "cmdOk", "cmdAvbryt"},
         {"chkTaBort", "cmdProva", "cmdOk", "cmdAvbryt"}},
        {"frmSokvag",
         "cmdOk",
         [](Program& p) -> QWidget* {
             p.window.pathDialog().Form_Load(p.window.state().DataBas);
             return &p.window.pathDialog();
         },
         {"txtSökväg", "cmdBläddra", "cmdOk", "cmdAvbryt"},
         {"cmdOk", "cmdAvbryt"}},
        {"frmIntervall",
         "cmdOk",
         [](Program& p) -> QWidget* {
             p.window.intervalDialog().Form_Load();
             return &p.window.intervalDialog();
         },
         {"DTPStartTid", "DTPSlutTid", "cmdOk", "cmdAvbryt"},
         {"cmdOk", "cmdAvbryt"}},
        {"frmKontroll",
         "cmdKontrollera",
         [](Program& p) -> QWidget* {
             p.window.checkDialog().Form_Load();
             return &p.window.checkDialog();
         },
         {"cmdKontrollera", "chkFullständig", "cmdRädda", "cmdLäggPåPlats", "lstSäkerhetskopior", "txtResultat",
          "cmdStäng"},
         {"cmdStäng"}},
    };
    return windows;
}

}  // namespace vexla::testing
