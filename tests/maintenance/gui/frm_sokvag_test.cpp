// The database path dialog driven as a user would: typing, browsing,
// confirming and cancelling.
#include "maintenance/gui/frm_sokvag.h"

#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

#include "tests/maintenance/gui/dialog_test_support.h"
#include "tests/support/dialog_world.h"
#include "tests/support/fake_admin_window.h"

namespace vexla {
namespace {

using namespace std::string_literals;

struct PathDialogTest : ::testing::Test, testing::DialogWorld {
    testing::FakeAdminWindow main;
    std::unique_ptr<frmSökväg> d;

    void SetUp() override {
        dir.write("Lang.ini",
                  "[System]\r\nR1482=V\xE4lj databas\r\nR0840=&Bl\xE4"
                  "ddra...\r\nR0898=&OK\r\n"
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
    EXPECT_EQ(d->txtSökväg(), "/data/vexla/bok.db");
    EXPECT_FALSE(fakes.pointer.busy);
}

// The open dialog, asked for the database file, gives the path only when it chose a file.
TEST_F(PathDialogTest, BrowsingTakesOnlyARealChoice) {
    // Cancelled, a bare pattern, a file.
    for (const auto& [answer, taken] :
         {std::pair<std::string, bool>{"", false}, {"*.db", false}, {"/data/ny/bok.db", true}}) {
        SCOPED_TRACE(answer);
        fakes.dialogs.asked.clear();
        fakes.dialogs.saves.clear();
        d->Form_Load("/old/bok.db");
        d->show();
        d->txtSökvägBox->setFocus();
        fakes.dialogs.choices.push_back(answer);
        d->cmdBläddra->click();

        ASSERT_EQ(fakes.dialogs.saves, std::vector<bool>{false}) << "the database is chosen with the open dialog";
        const OpenFileName& asked = fakes.dialogs.asked.at(0);
        EXPECT_EQ(asked.flags, 0x201804u);
        EXPECT_EQ(asked.filter, "Databasfiler (*.db)\0*.db\0"s);
        EXPECT_EQ(asked.title, "V\xC3\xA4lj databasfil");
        EXPECT_EQ(asked.initialDir, "/data/vexla");
        EXPECT_EQ(asked.file, std::string(254, ' ')) << "no default name";

        EXPECT_EQ(d->txtSökväg(), taken ? answer : "/old/bok.db");
        EXPECT_EQ(d->focusWidget(), taken ? static_cast<QWidget*>(d->cmdOk) : d->txtSökvägBox);
        d->hide();
    }
}

// The dialog answers by the button that closed it; without a path it browses at once.
TEST_F(PathDialogTest, AnswersByTheButtonAndBrowsesAtOnceWithoutAPath) {
    struct ShowingCase {
        const char* name;
        std::string startPath;
        const char* chosen;  // the browser's answer, when it opens
        std::function<void()> leave;
        std::string tag, text;
        int browsed;
    };
    const auto ok = [&] { d->cmdOk->click(); };
    const auto cancel = [&] { d->cmdAvbryt->click(); };
    const auto closeBox = [&] { d->close(); };
    for (const ShowingCase& c : {ShowingCase{"PathConfirmed", " /db/bok.db ", nullptr, ok, "Ok", "/db/bok.db", 0},
                                 ShowingCase{"PathCancelled", "/db/bok.db", nullptr, cancel, "", "/db/bok.db", 0},
                                 ShowingCase{"PathClosed", "/db/bok.db", nullptr, closeBox, "", "/db/bok.db", 0},
                                 ShowingCase{"EmptyBrowsedAndConfirmed", "", "/db/ny.db", ok, "Ok", "/db/ny.db", 1},
                                 ShowingCase{"BlanksBrowsedAndCancelled", "   ", "", cancel, "", "", 1}}) {
        SCOPED_TRACE(c.name);
        fakes.dialogs.saves.clear();
        d->unload();
        if (c.chosen) fakes.dialogs.choices.push_back(c.chosen);
        const std::string tag = show(c.startPath, c.leave);
        EXPECT_EQ(tag, c.tag);
        EXPECT_EQ(d->tag(), c.tag);
        EXPECT_EQ(d->txtSökväg(), c.text);
        EXPECT_EQ(fakes.dialogs.saves, std::vector<bool>(c.browsed, false));
        EXPECT_FALSE(d->isVisible());
    }
}

TEST_F(PathDialogTest, OnlyAnUnloadedDialogTakesANewStartPath) {
    EXPECT_EQ(show("/a/bok.db", [&] { d->cmdOk->click(); }), "Ok");
    EXPECT_EQ(show("/b/bok.db", [&] { d->close(); }), "");
    EXPECT_EQ(d->txtSökväg(), "/a/bok.db");
    d->unload();
    EXPECT_EQ(show("/b/bok.db", [&] { d->cmdOk->click(); }), "Ok");
    EXPECT_EQ(d->txtSökväg(), "/b/bok.db");
}

}  // namespace
}  // namespace vexla
