// The change of database and the start-up question for a missing path.
#include <unistd.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "maintenance/database_location.h"
#include "tests/maintenance/job_test_support.h"
#include "tests/maintenance/scripted_dialogs.h"

namespace vexla {
namespace {

using testing::JobWorld;
using testing::ScriptedPathDialog;
namespace fs = std::filesystem;

struct World : JobWorld {
    World() {
        other = dir.file("other.db");
        fs::copy_file(db, other);
        window.label = " " + db;
    }
    std::string other;
    ScriptedPathDialog dialog;
};

TEST(ChangeOfDatabase, APathThatPassesTheTestIsTakenOver) {
    World w;
    w.dialog.answers = {{"Ok", w.other}};
    changeDatabase(w.ctx, w.dialog);
    EXPECT_EQ(std::tie(w.window.state_.DataBas, w.window.state_.msSökväg, w.window.label),
              std::tuple(w.other, w.dir.path(), " " + w.other));
    EXPECT_EQ(w.window.infos, std::vector<std::string>{"R1741"});
    EXPECT_EQ(w.dialog.startPaths, std::vector<std::string>{w.db});
}

TEST(ChangeOfDatabase, CancelOrTheSamePathChangesNothing) {
    for (const auto& answer : {std::pair<std::string, std::string>{"", "x.db"}, {"Ok", "@"}}) {
        World w;
        w.dialog.answers = {{answer.first, answer.second == "@" ? w.db : answer.second}};
        changeDatabase(w.ctx, w.dialog);
        EXPECT_EQ(w.window.state_.DataBas, w.db);
        EXPECT_EQ(w.window.label, " " + w.db);
        EXPECT_TRUE(w.window.infos.empty());
        EXPECT_TRUE(w.fakes.messages.shown.empty());
        EXPECT_EQ(w.dialog.unloads, 1);
    }
}

TEST(ChangeOfDatabase, AFailingPathIsReportedAndTheDialogComesBack) {
    World w;
    w.dialog.answers = {{"Ok", w.dir.file("missing.db")}, {"Ok", w.other}};
    changeDatabase(w.ctx, w.dialog);
    // The report names the database in use, as every exclusive-use report does.
    EXPECT_EQ(w.boxTexts(), std::vector<std::string>{"R1787!\r\n\r\nR1788."});
    EXPECT_EQ(w.dialog.startPaths, (std::vector<std::string>{w.db, w.db}));
    EXPECT_EQ(w.window.state_.DataBas, w.other);
}

TEST(ChangeOfDatabase, ABareFileNameIsTakenInTheCurrentFolder) {
    World w;
    const fs::path before = fs::current_path();
    fs::current_path(w.dir.path());
    w.dialog.answers = {{"Ok", "other.db"}};
    changeDatabase(w.ctx, w.dialog);
    fs::current_path(before);
    EXPECT_EQ(std::tie(w.window.state_.DataBas, w.window.state_.msSökväg), std::tuple(w.other, w.dir.path()));
}

// Whether to choose a database now: No ends the program; after Yes only the
// dialog's text box counts, not how it was closed.
TEST(StartupQuestion, OnlyTheTextBoxCounts) {
    struct Question {
        MsgAnswer answer;
        std::pair<std::string, std::string> dialog;  // its tag and text box
        std::optional<std::string> expected;
    };
    for (const Question& q :
         {Question{MsgAnswer::No, {"Ok", "/x/bok.db"}, std::nullopt}, Question{MsgAnswer::Yes, {"", ""}, std::nullopt},
          Question{MsgAnswer::Yes, {"", "/x/bok.db"}, "/x/bok.db"},
          Question{MsgAnswer::Yes, {"Ok", "bok.db"}, "bok.db"}}) {
        World w;
        w.window.label.clear();
        w.fakes.messages.answers = {q.answer};
        w.dialog.answers = {q.dialog};
        EXPECT_EQ(askForDatabasePath(w.ctx, w.dialog), q.expected);
        const testing::ShownBox box{"R1781 R0558!\r\nR1782?", kProgramTitle, MsgIcon::Exclamation, MsgButtons::YesNo};
        EXPECT_EQ(w.fakes.messages.shown, std::vector<testing::ShownBox>{box});
        EXPECT_EQ(w.dialog.startPaths.size(), q.answer == MsgAnswer::Yes ? 1u : 0u);
    }
}

}  // namespace
}  // namespace vexla
