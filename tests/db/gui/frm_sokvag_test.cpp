// The database path dialog driven as a user would: typing, browsing,
// confirming and cancelling.
#include "db/gui/frm_sokvag.h"

#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

#include "tests/db/gui/dialog_test_support.h"
#include "tests/support/fake_admin_window.h"
#include "tests/support/fake_platform.h"
#include "tests/support/qt_app.h"

namespace vexla {
namespace {

using namespace std::string_literals;

// The file dialogs as scripted by FakeFileDialogs, telling open from save.
struct OpenOnlyDialogs final : FileDialogHost {
    testing::FakeFileDialogs fake;
    int opens = 0;
    bool getOpenFileName(OpenFileName& ofn) override {
        ++opens;
        return fake.getOpenFileName(ofn);
    }
    bool getSaveFileName(OpenFileName&) override {
        ADD_FAILURE() << "the database is chosen with the open dialog";
        return false;
    }
};

struct PathDialogTest : ::testing::Test {
    testing::TempFolder dir;
    testing::FakePlatform fakes;
    OpenOnlyDialogs dialogs;
    Platform platform{fakes.messages, dialogs, fakes.pointer, fakes.clock, fakes.locale, fakes.files, dir.path()};
    mTexter texts{dir.file("Lang.ini"), fakes.messages};
    testing::FakeAdminWindow main;
    std::unique_ptr<frmSökväg> d;

    void SetUp() override {
        testing::ensureQApplication();
        dir.write("Lang.ini", "[System]\r\nR1482=V\xE4lj databas\r\nR0840=&Bl\xE4" "ddra...\r\nR0898=&OK\r\n"
                              "R1048=&Avbryt\r\nR1744=Databasfiler\r\nR1823=V\xE4lj databasfil\r\n");
        main.state_.msSökväg = "/data/vexla";
        d = std::make_unique<frmSökväg>(nullptr, main, platform, texts);
    }

    std::string show(const std::string& startPath, std::function<void()> act) {
        return testing::whileShown(*d, std::move(act), [&] { return d->showModal(startPath); });
    }
};

TEST_F(PathDialogTest, LoadAppliesTextsRestoresThePointerAndTrimsTheStartPath) {
    fakes.pointer.busy = true;
    d->Form_Load("  /data/vexla/bok.db  ");
    EXPECT_EQ(d->windowTitle(), QString::fromUtf8("Välj databas"));
    EXPECT_EQ(d->cmdBläddra->text(), QString::fromUtf8("&Bläddra..."));
    EXPECT_EQ(d->cmdOk->text(), QStringLiteral("&OK"));
    EXPECT_EQ(d->cmdAvbryt->text(), QStringLiteral("&Avbryt"));
    EXPECT_EQ(d->txtSökväg(), "/data/vexla/bok.db");
    EXPECT_FALSE(fakes.pointer.busy);
}

struct BrowseCase {
    const char* name;
    std::string answer;  // "" cancels
    bool taken;
};

struct PathDialogBrowse : PathDialogTest, ::testing::WithParamInterface<BrowseCase> {};

TEST_P(PathDialogBrowse, TakesOnlyARealChoice) {
    d->Form_Load("/old/bok.db");
    d->show();
    d->txtSökvägBox->setFocus();
    dialogs.fake.choices.push_back(GetParam().answer);
    d->cmdBläddra->click();

    ASSERT_EQ(dialogs.opens, 1);
    const OpenFileName& asked = dialogs.fake.asked.at(0);
    EXPECT_EQ(asked.flags, 0x201804u);
    EXPECT_EQ(asked.filter, "Databasfiler (*.db)\0*.db\0"s);
    EXPECT_EQ(asked.title, "V\xC3\xA4lj databasfil");
    EXPECT_EQ(asked.initialDir, "/data/vexla");
    EXPECT_EQ(asked.file, std::string(254, ' ')) << "no default name";

    EXPECT_EQ(d->txtSökväg(), GetParam().taken ? GetParam().answer : "/old/bok.db");
    EXPECT_EQ(d->focusWidget(), GetParam().taken ? static_cast<QWidget*>(d->cmdOk) : d->txtSökvägBox);
    d->hide();
}

INSTANTIATE_TEST_SUITE_P(Answers, PathDialogBrowse,
                         ::testing::Values(BrowseCase{"Cancelled", "", false},
                                           BrowseCase{"BarePattern", "*.db", false},
                                           BrowseCase{"ChosenFile", "/data/ny/bok.db", true}),
                         [](const auto& info) { return std::string(info.param.name); });

enum class Leave { Ok, Cancel, CloseBox };

struct ShowingCase {
    const char* name;
    std::string startPath;
    const char* chosen;  // the browser's answer, when it opens
    Leave leave;
    std::string tag, text;
    int browsed;
};

struct PathDialogShowing : PathDialogTest, ::testing::WithParamInterface<ShowingCase> {};

TEST_P(PathDialogShowing, AnswersByTheButtonAndBrowsesAtOnceWithoutAPath) {
    const ShowingCase& c = GetParam();
    if (c.chosen) dialogs.fake.choices.push_back(c.chosen);
    const std::string tag = show(c.startPath, [&] {
        switch (c.leave) {
            case Leave::Ok: d->cmdOk->click(); break;
            case Leave::Cancel: d->cmdAvbryt->click(); break;
            case Leave::CloseBox: d->close(); break;
        }
    });
    EXPECT_EQ(tag, c.tag);
    EXPECT_EQ(d->tag(), c.tag);
    EXPECT_EQ(d->txtSökväg(), c.text);
    EXPECT_EQ(dialogs.opens, c.browsed);
    EXPECT_FALSE(d->isVisible());
}

INSTANTIATE_TEST_SUITE_P(
    Paths, PathDialogShowing,
    ::testing::Values(ShowingCase{"PathConfirmed", " /db/bok.db ", nullptr, Leave::Ok, "Ok", "/db/bok.db", 0},
                      ShowingCase{"PathCancelled", "/db/bok.db", nullptr, Leave::Cancel, "", "/db/bok.db", 0},
                      ShowingCase{"PathClosed", "/db/bok.db", nullptr, Leave::CloseBox, "", "/db/bok.db", 0},
                      ShowingCase{"EmptyBrowsedAndConfirmed", "", "/db/ny.db", Leave::Ok, "Ok", "/db/ny.db", 1},
                      ShowingCase{"BlanksBrowsedAndCancelled", "   ", "", Leave::Cancel, "", "", 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PathDialogTest, OnlyAnUnloadedDialogTakesANewStartPath) {
    EXPECT_EQ(show("/a/bok.db", [&] { d->cmdOk->click(); }), "Ok");
    EXPECT_EQ(show("/b/bok.db", [&] { d->close(); }), "");
    EXPECT_EQ(d->txtSökväg(), "/a/bok.db");
    d->unload();
    EXPECT_EQ(show("/b/bok.db", [&] { d->cmdOk->click(); }), "Ok");
    EXPECT_EQ(d->txtSökväg(), "/b/bok.db");
}

class PathDialogKeyboard : public PathDialogTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(PathDialogKeyboard, ButtonsHaveAccessKeysAndTabFollowsTheLayout) {
    mTexter installed{testing::sourceLangIni(GetParam()), fakes.messages};
    frmSökväg dialog(nullptr, main, platform, installed);
    dialog.Form_Load("/db/bok.db");
    testing::expectDistinctAccessKeys({dialog.cmdBläddra, dialog.cmdOk, dialog.cmdAvbryt});
    testing::expectTabOrder({dialog.txtSökvägBox, dialog.cmdBläddra, dialog.cmdOk, dialog.cmdAvbryt});
    EXPECT_TRUE(dialog.cmdOk->isDefault());
}

INSTANTIATE_TEST_SUITE_P(Languages, PathDialogKeyboard, ::testing::Values("se", "en"));

}  // namespace
}  // namespace vexla
