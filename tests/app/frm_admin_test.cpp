// The main window's start-up, driven with a fake platform and the real
// language files in a temporary program folder; every window as a small
// screen, a screen reader and a keyboard user meet it; and the placement
// rule itself, case by case.
#include "app/frm_admin.h"

#include <QAccessible>
#include <QApplication>
#include <QGroupBox>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <set>
#include <thread>

#include <gtest/gtest.h>

#include "app/progress_window.h"
#include "common/qt/screen_fit.h"
#include "login/frm_login.h"
#include "login/kryptera.h"
#include "maintenance/gui/frm_intervall.h"
#include "maintenance/gui/frm_kontroll.h"
#include "maintenance/gui/frm_sokvag.h"
#include "registers/export_register.h"
#include "registers/gui/frm_koppla_falt.h"
#include "tests/app/program_world.h"
#include "tests/db/db_test_support.h"
#include "tests/support/qt_app.h"
#include "texts/text_codes.h"
#include "tools/sample_generator.h"

// Rectangles in failure messages as x,y wxh.
void PrintTo(const QRect& r, std::ostream* os) {
    *os << r.x() << ',' << r.y() << ' ' << r.width() << 'x' << r.height();
}

namespace vexla {
namespace {

using testing::Program;
using testing::ProgramWindow;
using testing::TempFolder;

// The frame a window manager adds once it maps a window (openbox's, with room
// to spare). The offscreen screen reports no frame at all, as an X server
// does for a window not yet decorated: the window must leave room for it.
constexpr QMargins kWindowManagerFrame(2, 24, 2, 6);

// The language file's words as the window reads them: the Swedish one
// says "Kontakta Trevanto.", every other text is its code.
class LanguageTexts final : public TextSource {
public:
    explicit LanguageTexts(std::string contact) : contact_(std::move(contact)) {}
    std::string TextTillAndra(const std::string& code) override {
        return code == txt::ContactTrevanto ? contact_ : code;
    }

private:
    std::string contact_;
};

// The bar writes the share in the installed language's form, as the terminal does.
TEST(ProgressWindowBar, WritesTheShareInTheLanguagesForm) {
    testing::ensureSmallScreenApplication();
    for (const auto& [contact, shown] : {std::pair{"Kontakta Trevanto.", "25\u00a0%"}, {"Contact Trevanto.", "25%"}}) {
        LanguageTexts texts(contact);
        SharedProgress progress;
        progress.report(1, 4, ProgressUnit::Steps);
        ProgressWindow window(nullptr, progress, texts);
        EXPECT_EQ(window.bar->text().toStdString(), shown) << contact;
    }
}

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
    for (const PathCase& c :
         {PathCase{"quoted_db", "/db \"/srv/vexla/bok.db\"", "[System]\r\nDataBas1=/other/x.db\r\n", "",
                   "/srv/vexla/bok.db", "/srv/vexla", true, false, false},
          PathCase{"d_quoted", "/d \"/srv/data with blank/bok.db\"", nullptr, "", "/srv/data with blank/bok.db",
                   "/srv/data with blank", true, false, false},
          PathCase{"ini_trimmed", "", "[system]\r\n  databas1 =  /data/vexla/bok.db  \r\n", "", "/data/vexla/bok.db",
                   "/data/vexla", false, false, false},
          PathCase{"ini_quoted", "", "[System]\r\nDataBas1=\"/data/v x/bok.db\"\r\n", "", "/data/v x/bok.db",
                   "/data/v x", false, false, false},
          PathCase{"ini_utf8_as_linux_editors_write_it", "", "\xEF\xBB\xBF[System]\nDataBas1=/srv/r\xC3\xA5/bok.db\n",
                   "", "/srv/r\xC3\xA5/bok.db", "/srv/r\xC3\xA5", false, false, false},
          PathCase{"no_ini_asks", "", nullptr, "/chosen/bok.db", "/chosen/bok.db", "/chosen", false, true, false},
          PathCase{"no_ini_no_answer", "", nullptr, "", "", "", false, true, true},
          PathCase{"bare_name_on_line", "/db bok.db", "[System]\r\nDataBas1=/other/x.db\r\n", "", "", "", true, true,
                   true},
          PathCase{"answer_without_folder", "", nullptr, "bok.db", "", "", false, true, true}}) {
        SCOPED_TRACE(c.name);
        Program p("se", c.vexlaIni);
        p.hooks.pathAnswer = c.askAnswer;
        ASSERT_EQ(p.start(c.commandLine), std::nullopt);
        const AdminState& state = p.window.state();
        EXPECT_EQ(std::tie(state.DataBas, state.msSökväg, state.Kommandorad),
                  std::tuple(std::string(c.DataBas), std::string(c.msSökväg), c.Kommandorad));
        EXPECT_EQ(!p.hooks.calls.empty() && p.hooks.calls.back() == "ask", c.asked);
        EXPECT_EQ(p.window.pathLabel(), std::string(" ") + c.DataBas);
        EXPECT_EQ(p.window.info() == p.texts.TextTillAndra("R1774"), c.showsR1774);
        // One blank in front of the path: the job buttons are on, also without a
        // path; an empty label turns them off, and not the others.
        for (const char* label : {"", " /x/y.db"}) {
            p.window.setPathLabel(label);
            for (QPushButton* b : p.jobButtons())
                EXPECT_EQ(b->isEnabled(), *label != 0) << b->objectName().toStdString();
            EXPECT_TRUE(p.window.cmdDB->isEnabled() && p.window.cdmStäng->isEnabled());
        }
    }
}

// A database chosen in the window is the user's next start's, below /d;
// an unattended job keeps to the system's Vexla.ini.
TEST(StartupPath, TheWindowsChoiceIsKeptForTheUser) {
    const std::string mine = "[System]\nDataBas1=/home/\xC3\xA5sa/bok.db\n";
    struct UserCase {
        const char *name, *commandLine;
        std::optional<std::string> userIni;
        const char *askAnswer, *DataBas;
        std::optional<std::string> userIniAfter;
    };
    for (const UserCase& c : {
             UserCase{"user_before_system", "", mine, "", "/home/\xC3\xA5sa/bok.db", mine},
             UserCase{"d_before_user", "/db \"/srv/d/bok.db\"", mine, "", "/srv/d/bok.db", mine},
             UserCase{"job_reads_the_system_only", "/a k", mine, "", "/srv/sys/bok.db", mine},
             UserCase{"empty_user_value", "", "[System]\nDataBas1=\n", "", "/srv/sys/bok.db", "[System]\nDataBas1=\n"},
             UserCase{"answer_kept", "", std::nullopt, "/chosen/bok.db", "/chosen/bok.db",
                      "[System]\nDataBas1=/chosen/bok.db\n"},
             UserCase{"refused_answer_not_kept", "", std::nullopt, "bok.db", "", std::nullopt},
         }) {
        SCOPED_TRACE(c.name);
        const bool system = c.askAnswer[0] == 0;
        Program p("se", system ? "[System]\r\nDataBas1=/srv/sys/bok.db\r\n" : nullptr);
        if (c.userIni) p.dir.write("config/vexla-admin/Vexla.ini", *c.userIni);
        p.hooks.pathAnswer = c.askAnswer;
        ASSERT_EQ(p.start(c.commandLine), std::nullopt);
        EXPECT_EQ(p.window.state().DataBas, c.DataBas);
        EXPECT_EQ(std::filesystem::exists(p.userIni()) ? std::optional(p.dir.read("config/vexla-admin/Vexla.ini"))
                                                       : std::nullopt,
                  c.userIniAfter);
    }
}

// The database button keeps a new choice; its dialog, over the window not yet
// shown, stands in the middle of the screen.
TEST(MainWindow, TheDatabaseButtonKeepsTheChoiceForTheUser) {
    TempFolder data;
    const std::string db = data.file("ny.db");
    db::testing::makeDatabase(db, "CREATE TABLE Person (ID LONG);");
    Program p("se", "[System]\r\nDataBas1=/srv/sys/bok.db\r\n");
    ASSERT_EQ(p.start(""), std::nullopt);
    for (const bool confirm : {false, true}) {
        QPoint centre, middle;
        QTimer::singleShot(0, [&] {
            frmSökväg& d = p.window.pathDialog();
            centre = d.geometry().marginsAdded(kWindowManagerFrame).center();
            middle = d.screen()->availableGeometry().center();
            d.txtSökvägBox->setText(QString::fromStdString(db));
            (confirm ? d.cmdOk : d.cmdAvbryt)->click();
        });
        p.window.cmdDB_Click();
        EXPECT_LE((centre - middle).manhattanLength(), 10) << "centred, within the rounding of a layout";
        EXPECT_EQ(std::filesystem::exists(p.userIni()), confirm);
    }
    EXPECT_EQ(p.dir.read("config/vexla-admin/Vexla.ini"), "[System]\nDataBas1=" + db + "\n");
    EXPECT_EQ(p.window.state().DataBas, db);
}

TEST(StartupJobs, DeclinedPathQuestionEndsTheProgram) {
    Program p("se");
    p.hooks.pathAnswer = std::nullopt;
    EXPECT_EQ(p.start(""), 0);
}

// The language file decides the language, the banner and the captions; the
// design leaves every caption empty, so without a file they stay empty.
TEST(StartupTexts, TheLanguageFileGivesLanguageBannerAndCaptions) {
    for (const auto& [file, språk] : {std::pair<const char*, std::string>{"se", "se"}, {"en", "en"}, {nullptr, "en"}}) {
        SCOPED_TRACE(file ? file : "no file");
        Program p(file, "[System]\r\nDataBas1=/srv/bok.db\r\n");
        p.start("");
        const auto text = [&](const char* code) { return p.texts.TextTillAndra(code); };
        frmAdmin& w = p.window;
        EXPECT_EQ(w.state().Språk, språk);
        EXPECT_EQ(w.imgResurs[0]->isHidden(), språk != "se");
        EXPECT_EQ(w.imgResurs[1]->isHidden(), språk == "se");
        EXPECT_EQ(w.windowTitle().toStdString(), text("R1825"));
        EXPECT_EQ(w.cmdKomprimera->text().toStdString(), text("R1841") + " && " + text("R1843"));
        EXPECT_EQ(w.cmdKomprimera->toolTip().toStdString(), text("R1842") + ". " + text("R1844"));
        EXPECT_EQ(w.cmdKundReg[1]->toolTip().toStdString(), text("R1828"));
        EXPECT_EQ(w.Frame1->title().toStdString(), text("R1847"));
        EXPECT_TRUE(p.fakes.messages.shown.empty());
    }
}

// Close, Esc and the window's close box all end the program's window (and
// the log with it), none of them asks anything.
TEST(MainWindow, EveryWayOfClosingCloses) {
    const std::vector<std::pair<const char*, std::function<void(frmAdmin&)>>> ways{
        {"button", [](frmAdmin& w) { w.cdmStäng->click(); }},
        {"escape", [](frmAdmin& w) { QTest::keyClick(&w, Qt::Key_Escape); }},
        {"close box", [](frmAdmin& w) { w.close(); }}};
    for (const auto& [name, close] : ways) {
        Program p("se", "[System]\r\nDataBas1=/srv/bok.db\r\n");
        p.start("");
        p.window.show();
        close(p.window);
        EXPECT_FALSE(p.window.isVisible()) << name;
        EXPECT_TRUE(p.fakes.messages.shown.empty()) << name;
    }
}

// A long export and import run on the worker: the window keeps taking
// events, the job buttons wait, Cancel leaves files and register as they
// were, and a run to its end brings the bar to its total.
TEST(MainWindow, LongJobsRunOnTheWorkerAndStopAtCancel) {
    using namespace std::chrono_literals;
    TempFolder data;
    const std::string db = data.file("bok.db"), out = data.file("ResursReg.skv");
    // An engine made slow: each stored record runs a count first.
    db::testing::makeDatabase(db,
                              "CREATE TABLE Person (ID LONG, Omfattning LONG); WITH RECURSIVE n(i) AS (SELECT 1 UNION"
                              " ALL SELECT i + 1 FROM n WHERE i < 20000) INSERT INTO Person SELECT i, i FROM n;"
                              " CREATE TRIGGER slow AFTER INSERT ON Person BEGIN"
                              " SELECT length(hex(randomblob(20000))); END;");
    Program p("se", ("[System]\r\nDataBas1=" + db + "\r\n").c_str());
    ASSERT_EQ(p.start(""), std::nullopt);
    p.fakes.files.beforeCall = [](const std::string& op) {
        if (op == "write") std::this_thread::sleep_for(60ms);  // and each block of the export's file
    };
    frmKopplaFält mapping(p.window, &p.window, p.platform, p.texts, p.links, &p.window.runner());
    mapping.Tag = "Resurser";
    const auto rows = [&] { return db::testing::queryWithSqlite(db, "SELECT count(*) FROM Person"); };

    // Looks every 10 ms while the job runs; presses Cancel at the third look.
    const auto run = [&](bool cancel, const std::function<void()>& job) {
        int looks = 0;
        bool buttonsWaited = true;
        QTimer timer;
        QObject::connect(&timer, &QTimer::timeout, [&] {
            ProgressWindow* shown = p.window.runner().progressWindow();
            if (!shown || !shown->isVisible()) return;
            buttonsWaited = buttonsWaited && !p.window.cmdKomprimera->isEnabled() && !p.window.cmdDB->isEnabled();
            if (++looks == 3 && cancel) shown->cancel->click();
        });
        timer.start(10);
        const std::vector<std::string> before = data.list();
        job();
        EXPECT_GE(looks, 3);
        EXPECT_TRUE(buttonsWaited);
        EXPECT_TRUE(p.window.cmdKomprimera->isEnabled());
        if (cancel) {
            EXPECT_EQ(data.list(), before);
        } else {
            EXPECT_EQ(p.window.runner().progressWindow()->bar->value(), 1000);
        }
    };
    for (const bool cancel : {true, false}) {
        SCOPED_TRACE(cancel ? "cancelled" : "to the end");
        JobContext ctx = p.window.jobContext();
        p.fakes.dialogs.choices = {out};
        run(cancel, [&] { EXPECT_EQ(exportRegister(ctx, 1).stopped, cancel); });
    }
    mapping.Form_Activate();
    p.fakes.dialogs.choices = {out};
    mapping.cmdMall_Click();
    mapping.cmdAuto_Click();
    for (const bool cancel : {true, false}) {
        SCOPED_TRACE(cancel ? "import cancelled" : "import to the end");
        run(cancel, [&] { mapping.cmdOk_Click(); });
        EXPECT_EQ(rows(), std::vector<std::string>{cancel ? "20000" : "40000"});
    }
}

// Answers the next modal dialog of type D once it waits for the user, while
// the returned timer lives. An answer that leaves the dialog open (a refused
// login) is followed by Cancel, so that a failing test ends.
template <class D>
std::unique_ptr<QTimer> whenWaiting(const std::function<void(D&)>& answer) {
    auto poll = std::make_unique<QTimer>();
    QTimer* t = poll.get();
    QObject::connect(t, &QTimer::timeout, [t, answer] {
        auto* d = dynamic_cast<D*>(QApplication::activeModalWidget());
        if (!d || !d->isVisible()) return;
        t->stop();
        answer(*d);
        if (d->isVisible()) static_cast<QDialog*>(d)->reject();
    });
    t->start(10);
    return poll;
}

// The window holds the database only while a job runs: while a login
// waits, after an export, while the mapping dialog waits and after its
// import, and while the interval dialog waits, another program gets the
// database for itself.
TEST(MainWindow, HoldsTheDatabaseOnlyWhileAJobRuns) {
    TempFolder data;
    const std::string db = data.file("bok.db"), out = data.file("ResursReg.skv");
    db::testing::makeDatabase(db,
                              "CREATE TABLE Users (ID INTEGER PRIMARY KEY, Namn VARCHAR(50), Losenord VARCHAR(100),"
                              " GruppID LONG); INSERT INTO Users VALUES (1, 'admin', '" +
                                  KrypteraLösenord("vexla") +
                                  "', 1); CREATE TABLE Person (ID LONG, Omfattning LONG);"
                                  " INSERT INTO Person VALUES (1, 10), (2, 20);");
    Program p("se", ("[System]\r\nDataBas1=" + db + "\r\n").c_str());
    ASSERT_EQ(p.start(""), std::nullopt);
    std::vector<std::string> free;  // where another program got the database
    const auto look = [&](const char* when) {
        if (db::testing::anotherProgramGetsIt(db)) free.push_back(when);
    };
    const auto logIn = [&] {
        return whenWaiting<frmLogin>([&](frmLogin& login) {
            look("login waits");
            login.txtUserName->setText("admin");
            login.txtPassword->setText("vexla");
            login.cmdOk->click();
        });
    };
    auto login = logIn();
    p.fakes.dialogs.choices = {out};
    p.window.cmdResursReg[1]->click();
    ASSERT_EQ(p.window.info(), "2 " + p.texts.TextTillAndra("R1740") + " " + out);
    look("after export");
    login = logIn();
    const auto mapping = whenWaiting<frmKopplaFält>([&](frmKopplaFält& d) {
        look("mapping waits");
        p.fakes.dialogs.choices = {out};
        d.cmdMall_Click();
        d.cmdAuto_Click();
        d.cmdOk_Click();
    });
    p.window.cmdResursReg[0]->click();
    look("after import");
    p.fakes.messages.answers = {MsgAnswer::Yes};  // a copy of an interval
    const auto interval = whenWaiting<frmIntervall>([&](frmIntervall& d) {
        look("interval waits");
        d.cmdAvbryt->click();
    });
    p.window.cmdKopiera->click();
    EXPECT_EQ(db::testing::queryWithSqlite(db, "SELECT count(*) FROM Person"), std::vector<std::string>{"4"});
    EXPECT_EQ(free, (std::vector<std::string>{"login waits", "after export", "login waits", "mapping waits",
                                              "after import", "interval waits"}));
}

// A compaction that meets a damaged file asks whether to check it; No ends
// there, Yes opens the check dialog with the check already run.
TEST(MainWindow, AJobMeetingADamagedFileOffersTheCheck) {
    Program p("se");
    const std::string db = p.dir.file("bok.db");
    ASSERT_TRUE(sample::makeSampleDatabase(db, sample::Options{}));
    {
        std::fstream f(db, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(static_cast<std::streamoff>(std::filesystem::file_size(db) / 2 / 4096 * 4096));
        f.write(std::string(4096, '\xff').data(), 4096);
    }
    ASSERT_EQ(p.start("/d \"" + db + "\""), std::nullopt);
    const std::string question = p.texts.TextTillAndra("R9391") + "?";
    const auto asked = [&] {
        int n = 0;
        for (const auto& box : p.fakes.messages.shown) n += box.text == question;
        return n;
    };
    p.fakes.messages.answers = {MsgAnswer::Ok, MsgAnswer::No};
    p.window.cmdKomprimera->click();
    EXPECT_EQ(asked(), 1);
    std::string report;
    const auto dialog =
        whenWaiting<frmKontroll>([&](frmKontroll& d) { report = d.txtResultat->toPlainText().toStdString(); });
    p.fakes.messages.answers = {MsgAnswer::Ok, MsgAnswer::Yes};
    p.window.cmdKomprimera->click();
    EXPECT_EQ(asked(), 2);
    EXPECT_EQ(report.rfind(p.texts.TextTillAndra("R9431"), 0), 0u) << report;
}

// A caption as read aloud: the access key's "&" gone, "&&" a plain "&".
QString withoutAccessKey(QString caption) {
    caption.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    caption.remove(QLatin1Char('&'));
    return caption.replace(QLatin1Char('\x01'), QLatin1Char('&'));
}

// The widgets Tab stops at, from `first` round to it again.
std::vector<QWidget*> tabStops(QWidget* first) {
    std::vector<QWidget*> stops{first};
    for (QWidget* w = first->nextInFocusChain(); w != first; w = w->nextInFocusChain())
        if ((w->focusPolicy() & Qt::TabFocus) && !w->focusProxy() && w->isVisible() && w->isEnabled())
            stops.push_back(w);
    return stops;
}

// `shown` with the frame fits the screen, centred on the main window, its
// bottom row of buttons in view.
void expectFitsTheScreen(const Program& p, const QWidget& shown, const std::vector<const char*>& bottomRow) {
    const QRect screen = shown.screen()->availableGeometry();
    ASSERT_EQ(screen.size(), QSize(1024, 768));
    const QRect frame = shown.geometry().marginsAdded(kWindowManagerFrame);
    EXPECT_TRUE(screen.contains(frame)) << ::testing::PrintToString(frame);
    if (&shown != &p.window) {
        EXPECT_NEAR(frame.center().x(), p.window.geometry().marginsAdded(kWindowManagerFrame).center().x(), 2);
    }
    for (const char* name : bottomRow) {
        const auto* w = shown.findChild<QWidget*>(QString::fromUtf8(name));
        ASSERT_NE(w, nullptr) << name;
        EXPECT_TRUE(w->isVisible()) << name;
        EXPECT_EQ(w->visibleRegion().boundingRect(), w->rect()) << name << " is cut off";
        EXPECT_TRUE(shown.rect().contains(QRect(w->mapTo(&shown, QPoint()), w->size()))) << name;
    }
}

// Each window fits the screen (expectFitsTheScreen). Each control Tab
// reaches has an accessible name taken from its caption or its label, Tab
// walks them in reading order, every button has an access key of its own,
// and Enter presses the intended one.
class EveryWindow : public ::testing::TestWithParam<std::tuple<ProgramWindow, const char*>> {};

TEST_P(EveryWindow, FitsTheScreenAndEveryTabStopIsNamedAndInReadingOrder) {
    const auto& [window, language] = GetParam();
    Program program(language);
    ASSERT_EQ(program.startOnTheDatabase(), std::nullopt);
    program.window.show();
    QWidget* shown = window.open(program);
    std::vector<std::string> expected = window.tabOrder;
    // The designed default button, before a focused button stands in for it.
    std::vector<std::string> defaults;
    for (const QPushButton* b : shown->findChildren<QPushButton*>())
        if (b->isDefault()) defaults.push_back(b->objectName().toStdString());
    EXPECT_EQ(defaults, std::vector<std::string>{window.defaultButton});
    shown->show();
    QApplication::processEvents();
    expectFitsTheScreen(program, *shown, window.bottomRow);

    std::vector<QWidget*> stops;
    for (QWidget* w : tabStops(shown))
        if (w != shown) stops.push_back(w);
    std::vector<std::string> order;
    std::set<int> keys;
    for (QWidget* w : stops) {
        const std::string object = w->objectName().toStdString();
        order.push_back(object);
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
        ASSERT_NE(a, nullptr) << object;
        const QString name = a->text(QAccessible::Name);
        EXPECT_FALSE(name.trimmed().isEmpty()) << object << " has no accessible name";
        if (auto* button = qobject_cast<QAbstractButton*>(w)) {
            EXPECT_EQ(name, withoutAccessKey(button->text()));
            const QKeySequence key = QKeySequence::mnemonic(button->text());
            ASSERT_EQ(key.count(), 1) << object << " has no access key in '" << button->text().toStdString() << "'";
            EXPECT_TRUE(keys.insert(key[0].toCombined()).second) << object << " shares its access key";
        }
    }
    // The cycle may start anywhere; compare from the first expected control.
    const auto start = std::find(order.begin(), order.end(), expected.front());
    ASSERT_NE(start, order.end());
    std::rotate(order.begin(), start, order.end());
    EXPECT_EQ(order, expected);
    shown->hide();
}

INSTANTIATE_TEST_SUITE_P(Windows, EveryWindow,
                         ::testing::Combine(::testing::ValuesIn(testing::programWindows()),
                                            ::testing::Values("se", "en")),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) + "_" + std::get<1>(info.param);
                         });

// The placement, on an area at 100,0 of 1000x700 with a frame of 1,20,1,5.
TEST(FittedGeometry, ShrinksCentresAndKeepsTheFrameInside) {
    const QRect area(100, 0, 1000, 700);
    const QMargins frame(1, 20, 1, 5);
    struct Case {
        const char* what;
        QRect owner;
        QSize wanted, minimum;
        QRect expected;  // without the frame
    } cases[] = {
        {"fits: centred on the owner", QRect(300, 100, 400, 300), {200, 100}, {0, 0}, QRect(400, 207, 200, 100)},
        {"no owner: centred on the area", QRect(), {200, 100}, {0, 0}, QRect(500, 307, 200, 100)},
        {"too tall: the frame fills the height",
         QRect(300, 100, 400, 300),
         {200, 900},
         {0, 0},
         QRect(400, 20, 200, 675)},
        {"too wide: the frame fills the width", QRect(), {1500, 100}, {0, 0}, QRect(101, 307, 998, 100)},
        {"owner at the right edge: moved in", QRect(900, 600, 200, 100), {300, 100}, {0, 0}, QRect(799, 595, 300, 100)},
        {"owner at the top left: moved in", QRect(100, 0, 50, 50), {300, 200}, {0, 0}, QRect(101, 20, 300, 200)},
        {"minimum beyond the area: the title bar stays", QRect(), {200, 900}, {200, 800}, QRect(500, 20, 200, 800)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(fittedGeometry(area, c.owner, c.wanted, c.minimum, frame), c.expected) << c.what;
}

}  // namespace
}  // namespace vexla
