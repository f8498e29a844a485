// The main window's start-up, driven with a fake platform and the real
// language files in a temporary program folder.
#include "app/frm_admin.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <functional>

#include <gtest/gtest.h>

#include "db/sqlite_engine.h"
#include "tests/support/fake_platform.h"
#include "tests/support/qt_app.h"
#include "tests/support/source_tree.h"

namespace vexla {
namespace {

using testing::FakePlatform;
using testing::TempFolder;
using testing::sourceFile;

class RecordingHooks final : public StartupHooks {
public:
    std::optional<int> unattendedAnswer;
    std::optional<std::string> pathAnswer = std::string();
    std::vector<std::string> calls;

    std::optional<int> runUnattended(frmAdmin& w, const std::string& L) override {
        calls.push_back("unattended " + L + (w.state().Kommandorad ? " K" : ""));
        return unattendedAnswer;
    }
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
    frmAdmin window;

    explicit Program(const char* lang, const char* vexlaIni = nullptr)
        : platform(fakes.platform(prepare(dir, lang, vexlaIni))),
          texts(dir.file("bin/Lang.ini"), fakes.messages),
          window(platform, engine, texts, hooks) {}

    static std::string prepare(const TempFolder& dir, const char* lang, const char* vexlaIni) {
        testing::ensureQApplication();
        if (lang) dir.write("bin/Lang.ini", sourceFile(std::string("texts/") + lang + "/Lang.ini"));
        if (vexlaIni) dir.write("Vexla.ini", vexlaIni);
        return dir.path();
    }

    std::vector<QPushButton*> jobButtons() const {
        const frmAdmin& w = window;
        return {w.cmdKundReg[0], w.cmdKundReg[1], w.cmdBokningReg[0], w.cmdBokningReg[1],
                w.cmdResursReg[0], w.cmdResursReg[1], w.cmdKomprimera, w.cmdKopiera};
    }
};

// The database comes from the command line, else Vexla.ini, else the path
// question; its folder is settled with it.
TEST(StartupPath, SettlesDatabaseAndFolder) {
    struct PathCase {
        const char* name;
        const char* commandLine;
        const char* vexlaIni;
        const char* askAnswer;  // what the path question answers when asked
        const char* DataBas;
        const char* msSökväg;
        bool Kommandorad, asked, showsR1774;
    };
    for (const PathCase& c : std::initializer_list<PathCase>{
             {"quoted_db", "/db \"/srv/vexla/bok.db\"", "[System]\r\nDataBas1=/other/x.db\r\n", "",
              "/srv/vexla/bok.db", "/srv/vexla", true, false, false},
             {"d_quoted", "/d \"/srv/data with blank/bok.db\"", nullptr, "", "/srv/data with blank/bok.db",
              "/srv/data with blank", true, false, false},
             {"ini_trimmed", "", "[system]\r\n  databas1 =  /data/vexla/bok.db  \r\n", "", "/data/vexla/bok.db",
              "/data/vexla", false, false, false},
             {"ini_quoted", "", "[System]\r\nDataBas1=\"/data/v x/bok.db\"\r\n", "", "/data/v x/bok.db",
              "/data/v x", false, false, false},
             {"no_ini_asks", "", nullptr, "/chosen/bok.db", "/chosen/bok.db", "/chosen", false, true, false},
             {"no_ini_no_answer", "", nullptr, "", "", "", false, true, true},
             {"bare_name_on_line", "/db bok.db", "[System]\r\nDataBas1=/other/x.db\r\n", "", "", "", true, true, true},
             {"answer_without_folder", "", nullptr, "bok.db", "", "", false, true, true}}) {
        SCOPED_TRACE(c.name);
        Program p("se", c.vexlaIni);
        p.hooks.pathAnswer = c.askAnswer;
        ASSERT_EQ(p.window.runStartup(c.commandLine), std::nullopt);
        EXPECT_EQ(p.window.state().DataBas, c.DataBas);
        EXPECT_EQ(p.window.state().msSökväg, c.msSökväg);
        EXPECT_EQ(p.window.state().Kommandorad, c.Kommandorad);
        EXPECT_EQ(!p.hooks.calls.empty() && p.hooks.calls.back() == "ask", c.asked);
        EXPECT_EQ(p.window.pathLabel(), std::string(" ") + c.DataBas);
        EXPECT_EQ(p.window.info() == p.texts.TextTillAndra("R1774"), c.showsR1774);
        // One blank in front of the path: the job buttons are on, also without a path.
        for (QPushButton* b : p.jobButtons()) EXPECT_TRUE(b->isEnabled()) << b->objectName().toStdString();
    }
}

TEST(StartupJobs, UnattendedJobEndsTheProgramWithItsStatus) {
    Program p("se", "[System]\r\nDataBas1=/srv/bok.db\r\n");
    p.hooks.unattendedAnswer = 3;
    EXPECT_EQ(p.window.runStartup("/ak"), 3);
    ASSERT_EQ(p.hooks.calls.size(), 1u);
    // The path is settled before the job runs.
    EXPECT_EQ(p.window.state().DataBas, "/srv/bok.db");
    EXPECT_EQ(p.window.state().msSökväg, "/srv");
}

TEST(StartupJobs, OptionNamingNoJobOpensTheWindow) {
    Program p("se", "[System]\r\nDataBas1=/srv/bok.db\r\n");
    EXPECT_EQ(p.window.runStartup("/a x"), std::nullopt);
    EXPECT_EQ(p.hooks.calls, std::vector<std::string>{"unattended /a x"});
    EXPECT_EQ(p.window.pathLabel(), " /srv/bok.db");
}

TEST(StartupJobs, DeclinedPathQuestionEndsTheProgram) {
    Program p("se");
    p.hooks.pathAnswer = std::nullopt;
    EXPECT_EQ(p.window.runStartup(""), 0);
    EXPECT_TRUE(p.fakes.messages.shown.empty());
}

// The language file decides the language, the banner and the captions; the
// design leaves every caption empty, so without a file they stay empty.
TEST(StartupTexts, TheLanguageFileGivesLanguageBannerAndCaptions) {
    for (const auto& [file, språk] : {std::pair<const char*, std::string>{"se", "se"}, {"en", "en"}, {nullptr, "en"}}) {
        SCOPED_TRACE(file ? file : "no file");
        Program p(file, "[System]\r\nDataBas1=/srv/bok.db\r\n");
        p.window.runStartup("");
        const auto text = [&](const char* code) { return p.texts.TextTillAndra(code); };
        frmAdmin& w = p.window;
        EXPECT_EQ(w.state().Språk, språk);
        EXPECT_EQ(w.imgResurs[0]->isHidden(), språk != "se");
        EXPECT_EQ(w.imgResurs[1]->isHidden(), språk == "se");
        EXPECT_EQ(w.windowTitle().toStdString(), text("R1825"));
        EXPECT_EQ(w.cmdKomprimera->text().toStdString(), text("R1841") + " && " + text("R1843"));
        EXPECT_EQ(w.cmdKomprimera->toolTip().toStdString(), text("R1842") + ". " + text("R1844"));
        EXPECT_EQ(w.cmdKundReg[1]->text().toStdString(), text("R1827"));
        EXPECT_EQ(w.cmdKundReg[1]->toolTip().toStdString(), text("R1828"));
        EXPECT_EQ(w.Frame1->title().toStdString(), text("R1847"));
        EXPECT_EQ(w.cmdDB->text().toStdString(), text("R1837"));
        EXPECT_EQ(w.Label1->text().toStdString(), text("R1852"));
        EXPECT_TRUE(p.fakes.messages.shown.empty());
    }
}

TEST(MainWindow, EmptyPathLabelDisablesJobButtonsButNotTheOthers) {
    Program p("se", "[System]\r\nDataBas1=/srv/bok.db\r\n");
    p.window.runStartup("");
    p.window.setPathLabel("");
    for (QPushButton* b : p.jobButtons()) EXPECT_FALSE(b->isEnabled()) << b->objectName().toStdString();
    EXPECT_TRUE(p.window.cmdDB->isEnabled());
    EXPECT_TRUE(p.window.cdmStäng->isEnabled());
    p.window.setPathLabel(" /x/y.db");
    for (QPushButton* b : p.jobButtons()) EXPECT_TRUE(b->isEnabled());
}

// Close, Esc and the window's close box all end the program's window (and
// the log with it), none of them asks anything.
TEST(MainWindow, EveryWayOfClosingCloses) {
    const std::vector<std::pair<const char*, std::function<void(frmAdmin&)>>> ways{
        {"button", [](frmAdmin& w) { w.cdmStäng->click(); }},
        {"escape", [](frmAdmin& w) { QTest::keyClick(&w, Qt::Key_Escape); }},
        {"close box", [](frmAdmin& w) { w.close(); }}}; for (const auto& [name, close] : ways) {
        Program p("se", "[System]\r\nDataBas1=/srv/bok.db\r\n");
        p.window.runStartup("");
        p.window.show();
        close(p.window);
        EXPECT_FALSE(p.window.isVisible()) << name;
        EXPECT_TRUE(p.fakes.messages.shown.empty()) << name;
    }
}

}  // namespace
}  // namespace vexla
