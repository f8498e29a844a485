// Every window fits a 1024x768 screen with the frame a window manager puts
// around it, its bottom row of buttons in view, each dialog centred on the
// main window; and the placement rule itself, case by case.
#include "app/frm_admin.h"

#include <QApplication>
#include <QPushButton>
#include <QScreen>

#include <functional>
#include <memory>

#include <gtest/gtest.h>

#include "common/folders_file.h"
#include "common/qt/screen_fit.h"
#include "db/sqlite_engine.h"
#include "login/frm_login.h"
#include "maintenance/gui/frm_intervall.h"
#include "maintenance/gui/frm_kontroll.h"
#include "maintenance/gui/frm_sokvag.h"
#include "registers/gui/frm_koppla_falt.h"
#include "tests/support/fake_platform.h"
#include "tests/support/qt_app.h"
#include "tests/support/source_tree.h"

// Rectangles in failure messages as x,y wxh.
void PrintTo(const QRect& r, std::ostream* os) {
    *os << r.x() << ',' << r.y() << ' ' << r.width() << 'x' << r.height();
}

namespace vexla {
namespace {

using testing::TempFolder;

// The frame a window manager adds once it maps a window (openbox's, with room
// to spare). The offscreen screen reports no frame at all, as an X server
// does for a window not yet decorated: the window must leave room for it.
constexpr QMargins kWindowManagerFrame(2, 24, 2, 6);

// One 1024x768 screen. Set before the application exists.
void useSmallScreen(const TempFolder& dir) {
    if (QApplication::instance()) return;
    dir.write("screen.json",
              R"({"windowFrameMargins": false, "screens": [{"name": "small", "width": 1024, "height": 768}]})");
    qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + dir.file("screen.json")).c_str());
}

struct NoQuestions final : StartupHooks {
    std::optional<std::string> askForDatabasePath(frmAdmin&) override { return std::nullopt; }
};

struct Program {
    TempFolder dir;
    testing::FakePlatform fakes;
    Platform platform;
    mTexter texts;
    db::SqliteEngine engine;
    NoQuestions hooks;
    testing::RecordingNotices notices;
    FoldersFile chosen;
    frmAdmin window;
    std::int16_t links = 0;
    std::unique_ptr<QDialog> dialog;

    explicit Program(const std::string& lang)
        : platform(fakes.platform(prepare(dir, lang))),
          texts(dir.file("bin/Lang.ini"), fakes.messages),
          chosen(dir.file("user.ini"), fakes.files, notices, "[System]", txt::DatabaseNotRemembered),
          window(platform, engine, texts, hooks, chosen) {}

    // The start-up on a database named on the command line: no question.
    std::optional<int> start() {
        return window.runStartup(startingDatabase(parseCommandLine("/d \"" + dir.file("bok.db") + "\"", kPathSeparator),
                                                  dir.path(), dir.file("user.ini")));
    }

    static std::string prepare(const TempFolder& dir, const std::string& lang) {
        useSmallScreen(dir);
        testing::ensureQApplication();
        dir.write("bin/Lang.ini", testing::sourceFile("texts/" + lang + "/Lang.ini"));
        return dir.path();
    }
};

struct Window {
    const char* name;
    std::function<QWidget*(Program&)> make;
    std::vector<const char*> bottomRow;
};

const Window kWindows[] = {
    {"frmAdmin",
     [](Program& p) { return &p.window; },
     {"cmdDB", "cmdKomprimera", "cmdKopiera", "cmdKontroll", "cdmStäng"}},
    {"frmLogin",
     [](Program& p) {
         p.dialog = std::make_unique<frmLogin>(&p.window, p.platform, p.texts,
                                               LoginDatabase{p.engine, p.window.state().DataBas});
         return p.dialog.get();
     },
     {"cmdOk", "cmdAvbryt"}},
    {"frmKopplaFalt",
     [](Program& p) {
         p.dialog = std::make_unique<frmKopplaFält>(p.window, &p.window, p.platform, p.texts, p.links);
         return p.dialog.get();
     },
     {"chkTaBort", "cmdProva", "cmdOk", "cmdAvbryt"}},
    {"frmSokvag",
     [](Program& p) {
         p.window.pathDialog().Form_Load(p.window.state().DataBas);
         return &p.window.pathDialog();
     },
     {"cmdOk", "cmdAvbryt"}},
    {"frmIntervall",
     [](Program& p) {
         p.window.intervalDialog().Form_Load();
         return &p.window.intervalDialog();
     },
     {"cmdOk", "cmdAvbryt"}},
    {"frmKontroll",
     [](Program& p) {
         p.window.checkDialog().Form_Load();
         return &p.window.checkDialog();
     },
     {"cmdStäng"}},
};

class ScreenFit : public ::testing::TestWithParam<std::tuple<Window, const char*>> {};

TEST_P(ScreenFit, TheWindowAndItsBottomButtonsStayOnTheScreen) {
    const auto& [window, language] = GetParam();
    Program p(language);
    ASSERT_EQ(p.start(), std::nullopt);
    p.window.show();
    QWidget* shown = window.make(p);
    shown->show();
    QApplication::processEvents();
    const QRect screen = shown->screen()->availableGeometry();
    ASSERT_EQ(screen.size(), QSize(1024, 768));
    const QRect frame = shown->geometry().marginsAdded(kWindowManagerFrame);
    EXPECT_TRUE(screen.contains(frame)) << ::testing::PrintToString(frame);
    if (shown != &p.window) {
        EXPECT_NEAR(frame.center().x(), p.window.geometry().marginsAdded(kWindowManagerFrame).center().x(), 2);
    }
    for (const char* name : window.bottomRow) {
        const auto* w = shown->findChild<QWidget*>(QString::fromUtf8(name));
        ASSERT_NE(w, nullptr) << name;
        EXPECT_TRUE(w->isVisible()) << name;
        EXPECT_EQ(w->visibleRegion().boundingRect(), w->rect()) << name << " is cut off";
        EXPECT_TRUE(shown->rect().contains(QRect(w->mapTo(shown, QPoint()), w->size()))) << name;
    }
    shown->hide();
}

INSTANTIATE_TEST_SUITE_P(Windows, ScreenFit,
                         ::testing::Combine(::testing::ValuesIn(kWindows), ::testing::Values("se", "en")),
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
