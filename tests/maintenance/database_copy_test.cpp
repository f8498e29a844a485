// The copy of the database, whole or limited to an interval of bookings.
#include <algorithm>
#include <filesystem>

#include <gtest/gtest.h>

#include "db/errors.h"
#include "maintenance/compaction.h"
#include "maintenance/database_copy.h"
#include "tests/maintenance/job_test_support.h"
#include "tests/maintenance/scripted_dialogs.h"

namespace vexla {
namespace {

using testing::JobWorld;
using testing::ScriptedIntervalDialog;
namespace fs = std::filesystem;

struct World : JobWorld {
    ScriptedIntervalDialog interval;
    void run() { askAndCopyDatabase(ctx, interval); }
};

std::vector<DateTime> startTimes(JobWorld& w, const std::string& path, const char* table) {
    auto database = w.window.engine_.OpenDatabase(path, true).value();
    std::vector<DateTime> times;
    auto rs = database->OpenRecordset(std::string("SELECT StartTid FROM ") + table).value();
    for (; !rs->Eof(); (void)rs->MoveNext()) times.push_back(std::get<DateTime>(rs->value(0).value()));
    rs->Close();
    (void)database->Close();
    std::sort(times.begin(), times.end());
    return times;
}

TEST(WholeCopy, CopiesEveryRowAndCompactsTheDatabase) {
    World w;
    const auto rows = w.rowsIn(w.db);
    w.fakes.messages.answers = {MsgAnswer::No};
    w.fakes.dialogs.choices = {w.dir.file("kopia")};
    w.run();
    EXPECT_EQ(w.rowsIn(w.dir.file("kopia.db")), rows);
    EXPECT_EQ(w.rowsIn(w.db), rows);
    EXPECT_TRUE(fs::exists(w.dir.file(backupName(w.fakes.clock.time))));
    EXPECT_EQ(w.window.infos.back(), "R1752" + w.dir.file("kopia.db"));
    EXPECT_EQ(w.boxTexts(), std::vector<std::string>{"R1742?"});
    ASSERT_EQ(w.fakes.dialogs.asked.size(), 1u);
    EXPECT_EQ(std::tie(w.fakes.dialogs.asked[0].title, w.fakes.dialogs.asked[0].flags), std::tuple("R1746", 0x282806u));
    EXPECT_FALSE(w.fakes.pointer.busy);
}

// Bookings that start exactly at either end of the interval stay; the
// database itself keeps all of them.
TEST(IntervalCopy, KeepsTheBookingsStartingInsideTheInterval) {
    World w;
    for (const char* table : {"Bokning", "PrelBokning"}) {
        SCOPED_TRACE(table);
        const auto all = startTimes(w, w.db, table);
        ASSERT_GT(all.size(), 10u);
        w.interval.first = all[all.size() / 4];
        w.interval.last = all[all.size() / 2];
        const auto kept = std::count_if(
            all.begin(), all.end(), [&](const DateTime& t) { return t >= w.interval.first && t <= w.interval.last; });
        const std::string target = w.dir.file(std::string(table) + ".db");
        w.fakes.messages.answers = {MsgAnswer::Yes};
        w.fakes.dialogs.choices = {target};
        w.run();
        EXPECT_EQ(static_cast<long>(startTimes(w, target, table).size()), kept);
        EXPECT_EQ(startTimes(w, w.db, table), all);
        EXPECT_EQ(w.window.infos.back(), "R1750 '" + target + "' R1751!");
        EXPECT_EQ(w.fakes.dialogs.asked.back().title, "R1745");
    }
    EXPECT_EQ(w.interval.unloads, 2);
}

TEST(CopyCancelled, AtAnyQuestionSaysSoAndWritesNothing) {
    struct Cancel {
        MsgAnswer answer;  // to the question whether to limit the copy
        std::string intervalTag;
    };
    // At the question, in the interval dialog, in the file dialog.
    for (const Cancel& c :
         {Cancel{MsgAnswer::Cancel, "OK"}, Cancel{MsgAnswer::Yes, "Avbryt"}, Cancel{MsgAnswer::No, "OK"}}) {
        World w;
        w.fakes.messages.answers = {c.answer};
        w.interval.tag = c.intervalTag;
        const auto files = std::distance(fs::directory_iterator(w.dir.path()), fs::directory_iterator());
        w.run();
        EXPECT_EQ(w.window.infos, std::vector<std::string>{"R1743"});
        EXPECT_EQ(std::distance(fs::directory_iterator(w.dir.path()), fs::directory_iterator()), files);
    }
}

TEST(CopyTarget, GetsTheDatabaseExtensionOnlyWhenItHasNoDot) {
    for (const auto& [chosen, written] : std::vector<std::pair<std::string, std::string>>{
             {"kopia", "kopia.db"}, {"kopia.bak", "kopia.bak"}, {"a.b/", "a.b/R1748.db"}, {"a.b/kopia", "a.b/kopia"}}) {
        World w;
        fs::create_directory(w.dir.file("a.b"));
        w.fakes.messages.answers = {MsgAnswer::No};
        w.fakes.dialogs.choices = {w.dir.file(chosen)};
        w.run();
        EXPECT_TRUE(fs::exists(w.dir.file(written))) << chosen;
    }
}

TEST(CopyRefusals, TheDatabaseItselfAndAMissingFolderAskAgain) {
    World w;
    w.fakes.messages.answers = {MsgAnswer::No};
    w.fakes.dialogs.choices = {w.db, w.dir.file("no/such/folder/kopia.db"), w.dir.file("kopia.db")};
    w.run();
    EXPECT_EQ(w.boxTexts(), (std::vector<std::string>{"R1742?", "R1747",
                                                      "R1753: " + w.dir.file("no/such/folder") + "\r\n\r\nR1754"}));
    EXPECT_EQ(w.fakes.messages.beeps, 2);
    EXPECT_TRUE(fs::exists(w.dir.file("kopia.db")));
}

TEST(CopyRefusals, AnyOtherErrorStopsWithItsNumber) {
    World w;
    w.fakes.messages.answers = {MsgAnswer::No};
    w.fakes.dialogs.choices = {w.dir.file("kopia.db")};
    w.fakes.files.failCall("commit", 1, Error{61, "Disk full", "Vexla Admin"});
    w.run();
    EXPECT_EQ(w.boxTexts(), (std::vector<std::string>{"R1742?", "R17: 61\r\nR9277\r\nR0690"}));
    EXPECT_EQ(w.window.infos.back(), "");
    EXPECT_FALSE(fs::exists(w.dir.file("kopia.db")));
    for (const auto& entry : fs::directory_iterator(w.dir.path())) EXPECT_NE(entry.path().extension(), ".part");
    EXPECT_FALSE(w.fakes.pointer.busy);
}

// The save dialog asked about the name it was given; a completed name that
// is another file there is asked about in turn, and No asks for a name again.
TEST(CopyRefusals, AnExistingCompletedNameIsReplacedOnlyWhenAllowed) {
    World w;
    w.dir.write("kopia.db", "earlier");
    w.fakes.messages.answers = {MsgAnswer::No, MsgAnswer::No};
    w.fakes.dialogs.choices = {w.dir.file("kopia")};
    w.run();
    EXPECT_EQ(w.boxTexts(), (std::vector<std::string>{"R1742?", w.dir.file("kopia.db") + " R1794 ?"}));
    EXPECT_EQ(w.dir.read("kopia.db"), "earlier");
    EXPECT_EQ(w.window.infos.back(), "R1743");
}

TEST(PruneBookings, AFailureLeavesTheCopyWhole) {
    World w;
    const auto rows = w.rowsIn(w.db);
    fs::copy_file(w.db, w.dir.file("kopia.db"));
    auto holder = w.window.engine_.OpenDatabase(w.dir.file("kopia.db"), true).value();
    const Status pruned = pruneBookings(w.ctx, w.dir.file("kopia.db"), w.interval.first, w.interval.last);
    (void)holder->Close();
    ASSERT_FALSE(pruned);
    EXPECT_EQ(pruned.error().number, db::err::OpenedExclusively);
    EXPECT_EQ(w.rowsIn(w.dir.file("kopia.db")), rows);
}

}  // namespace
}  // namespace vexla
