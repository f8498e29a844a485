// Every window as a screen reader and a keyboard user meet it: each control
// Tab reaches has an accessible name taken from its caption or its label,
// Tab walks all of them in the order they are read on the screen, every
// button has an access key of its own, and Enter presses the intended one.
#include <QAccessible>
#include <QApplication>
#include <QKeySequence>
#include <QListWidget>
#include <QPushButton>
#include <QTreeWidget>
#include <QWidget>

#include <functional>
#include <memory>
#include <set>

#include <gtest/gtest.h>

#include "app/frm_admin.h"
#include "db/gui/frm_intervall.h"
#include "db/gui/frm_sokvag.h"
#include "db/sqlite_engine.h"
#include "login/frm_login.h"
#include "registers/gui/frm_koppla_falt.h"
#include "tests/support/fake_platform.h"
#include "tests/support/qt_app.h"
#include "tests/support/source_tree.h"

namespace vexla {
namespace {

using testing::FakePlatform;
using testing::TempFolder;
using testing::sourceFile;

// The main window started on a database path, in the language of `language`.
struct Program {
    explicit Program(const std::string& language)
        : platform(fakes.platform(prepare(dir, language))),
          texts(dir.file("bin/Lang.ini"), fakes.messages),
          window(platform, engine, texts, hooks) {
        window.runStartup("/d \"" + dir.file("bok.db") + "\"");
    }
    static std::string prepare(const TempFolder& dir, const std::string& language) {
        testing::ensureQApplication();
        dir.write("bin/Lang.ini", sourceFile("texts/" + language + "/Lang.ini"));
        return dir.path();
    }

    TempFolder dir;
    FakePlatform fakes;
    Platform platform;
    mTexter texts;
    db::SqliteEngine engine;
    NoStartupJobs hooks;
    frmAdmin window;
    std::unique_ptr<db::Database> shared;
    std::int16_t links = 0;
    std::unique_ptr<QDialog> dialog;  // a dialog made for the test; goes before its owner
};

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

struct Window {
    const char* name;
    const char* defaultButton;
    // Shows the window and answers the object names Tab must visit, in order.
    std::function<std::pair<QWidget*, std::vector<std::string>>(Program&)> open;
};

class Accessibility : public ::testing::TestWithParam<std::tuple<Window, const char*>> {};

TEST_P(Accessibility, EveryTabStopIsNamedAndInReadingOrder) {
    const auto& [window, language] = GetParam();
    Program program(language);
    auto [shown, expected] = window.open(program);
    // The designed default button, before a focused button stands in for it.
    std::vector<std::string> defaults;
    for (const QPushButton* b : shown->findChildren<QPushButton*>())
        if (b->isDefault()) defaults.push_back(b->objectName().toStdString());
    EXPECT_EQ(defaults, std::vector<std::string>{window.defaultButton});
    shown->show();
    QApplication::processEvents();

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

std::vector<std::string> names(std::initializer_list<const char*> list) { return {list.begin(), list.end()}; }

const Window kWindows[] = {
    {"frmAdmin", "cmdKomprimera",
     [](Program& p) {
         return std::make_pair<QWidget*>(&p.window,
                                         names({"cmdKundReg(0)", "cmdKundReg(1)", "cmdBokningReg(0)",
                                                "cmdBokningReg(1)", "cmdResursReg(0)", "cmdResursReg(1)", "cmdDB",
                                                "cmdKomprimera", "cmdKopiera", "cdmStäng"}));
     }},
    {"frmLogin", "cmdOk",
     [](Program& p) {
         p.dialog = std::make_unique<frmLogin>(&p.window, p.platform, p.texts,
                                               SharedDatabase{p.engine, p.shared, p.window.state().DataBas});
         return std::make_pair<QWidget*>(p.dialog.get(),
                                         names({"txtUserName", "txtPassword", "cmdOk", "cmdAvbryt"}));
     }},
    {"frmKopplaFalt", "cmdOk",
     [](Program& p) {
         auto* d = new frmKopplaFält(p.window, &p.window, p.platform, p.texts, p.links);
         p.dialog.reset(d);
         // As they are once a file is chosen and links made.
         for (QWidget* w : std::initializer_list<QWidget*>{d->lstFilFält, d->lstFält, d->lvKopplingar, d->cmdAuto,
                                                           d->cmdLäggTill, d->cmdTaBort, d->cmdTaBortAlla, d->cmdOk})
             w->setEnabled(true);
         return std::make_pair<QWidget*>(
             d, names({"cmdMall", "lstFilFält", "lstFält", "cmdAuto", "cmdLäggTill", "lvKopplingar",
                             "cmdTaBort", "cmdTaBortAlla", "chkTaBort", "cmdOk", "cmdAvbryt"}));
     }},
    {"frmSokvag", "cmdOk",
     [](Program& p) {
         auto& d = p.window.pathDialog();
         d.Form_Load(p.window.state().DataBas);
         return std::make_pair<QWidget*>(&d, names({"txtSökväg", "cmdBläddra", "cmdOk", "cmdAvbryt"}));
     }},
    {"frmIntervall", "cmdOk",
     [](Program& p) {
         auto& d = p.window.intervalDialog();
         d.Form_Load();
         return std::make_pair<QWidget*>(&d, names({"DTPStartTid", "DTPSlutTid", "cmdOk", "cmdAvbryt"}));
     }},
};

INSTANTIATE_TEST_SUITE_P(Windows, Accessibility,
                         ::testing::Combine(::testing::ValuesIn(kWindows), ::testing::Values("se", "en")),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) + "_" + std::get<1>(info.param);
                         });

}  // namespace
}  // namespace vexla
