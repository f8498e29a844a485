// The window's way to the check, the rescue and the restore: what each asks,
// and that nothing changes unless the user says so.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "maintenance/care_from_window.h"
#include "tests/db/db_test_support.h"
#include "tests/maintenance/job_test_support.h"
#include "tests/support/source_tree.h"

namespace vexla {
namespace {

using testing::fileBytes;
using testing::JobWorld;

// A page in the middle of the file overwritten.
void damage(const std::string& path) {
    std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(static_cast<std::streamoff>(std::filesystem::file_size(path) / 2 / 4096 * 4096));
    f.write(std::string(4096, '\xff').data(), 4096);
}

// A compaction that meets a damaged file points to the check; a check that
// finds damage says so first and leads to the rescue, which asks for its
// file: never the database itself, and nothing at all when cancelled.
TEST(CareFromWindow, ACheckFindingDamageLeadsToARescueIntoAChosenFile) {
    JobWorld w;
    damage(w.db);
    const std::string damaged = fileBytes(w.db), target = w.dir.file("räddad.db");
    EXPECT_FALSE(w.compactInWindow());
    ASSERT_EQ(w.boxTexts().size(), 1u);
    EXPECT_NE(w.boxTexts()[0].find("\r\nR9392"), std::string::npos) << w.boxTexts()[0];
    EXPECT_EQ(fileBytes(w.db), damaged);
    w.fakes.messages.shown.clear();
    const CareShown checked = checkFromWindow(w.ctx, false);
    EXPECT_TRUE(checked.damaged);
    ASSERT_FALSE(checked.lines.empty());
    EXPECT_EQ(checked.lines[0], "R9431");
    EXPECT_EQ(w.window.info(), "R9431");

    w.fakes.dialogs.choices = {""};
    EXPECT_TRUE(rescueFromWindow(w.ctx).lines.empty());
    w.fakes.dialogs.choices = {w.db, target};
    const CareShown rescued = rescueFromWindow(w.ctx);
    EXPECT_EQ(w.boxTexts(), std::vector<std::string>{"R1747"});
    EXPECT_FALSE(rescued.lines.empty());
    EXPECT_FALSE(w.rowsIn(target).empty());
    EXPECT_EQ(fileBytes(w.db), damaged);
}

// The restore asks first, No being the default, naming what changes; No
// leaves the database as it was, Yes puts the backup back.
TEST(CareFromWindow, TheRestoreChangesNothingUntilTheUserSaysYes) {
    JobWorld w;
    const std::string backup = w.dir.file("Vexla2026-12-01.db");
    std::filesystem::copy_file(w.db, backup);
    const auto before = w.rowsIn(backup);
    {
        db::SqliteEngine engine;
        auto opened = engine.OpenDatabase(w.db, true);
        ASSERT_TRUE(opened && (*opened)->Execute("DELETE FROM Bokning WHERE ID > 100") && (*opened)->Close());
    }
    const std::string current = fileBytes(w.db);
    const BackupsShown listed = backupsFromWindow(w.ctx);
    ASSERT_EQ(listed.backups.size(), 1u);
    ASSERT_EQ(listed.lines.size(), 3u);

    w.fakes.messages.answers = {MsgAnswer::No};
    EXPECT_TRUE(restoreFromWindow(w.ctx, listed.backups[0]).lines.empty());
    ASSERT_EQ(w.fakes.messages.shown.size(), 1u);
    const testing::ShownBox& asked = w.fakes.messages.shown[0];
    EXPECT_EQ(asked.buttons, MsgButtons::YesNoDefaultNo);
    EXPECT_NE(asked.text.find(backup + " R9394: R1831 "), std::string::npos) << asked.text;
    EXPECT_EQ(fileBytes(w.db), current);

    w.fakes.messages.answers = {MsgAnswer::Yes};
    const CareShown restored = restoreFromWindow(w.ctx, listed.backups[0]);
    EXPECT_TRUE(restored.changed);
    EXPECT_EQ(w.rowsIn(w.db), before);
}

// The first column of the first row of `sql` on the file `path`.
long long one(const std::string& path, const std::string& sql) {
    return std::stoll(db::testing::queryWithSqlite(path, sql).at(0));
}

// Overwrites a middle leaf page of `object`; answers the rows or entries
// on the leaves before it in the tree's order (a table's scan reads those
// before it meets the fault) and on it.
std::pair<long, long> overwriteLeafOf(const std::string& path, const std::string& object) {
    const std::string where = " FROM dbstat WHERE name = '" + object + "' AND pagetype = 'leaf'";
    const std::string pick =
        where + " ORDER BY path LIMIT 1 OFFSET " + std::to_string(one(path, "SELECT count(*)" + where) / 2);
    const long long page = one(path, "SELECT pageno" + pick);
    const long before = static_cast<long>(
        one(path, "SELECT coalesce(sum(ncell), 0)" + where + " AND path < (SELECT path" + pick + ")"));
    const long cells = static_cast<long>(one(path, "SELECT ncell" + pick));
    std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp((page - 1) * 4096);
    f.write(std::string(4096, '\xff').data(), 4096);
    return {before, cells};
}

// A check of a damaged file answers a row per register and index in the
// user's words: what was read, what a whole reading of the same register
// says it should hold, whole or damaged. The engine's own names and lines
// stay in the details.
TEST(CareFromWindow, ACheckOfADamagedFileShowsEachRegisterAndIndexReadOfExpected) {
    struct Case {
        const char* object;   // the page overwritten is one of its leaves
        const char* damaged;  // the row that says so
        bool tableLoses;      // the bookings themselves lose rows
    };
    for (const Case& c :
         {Case{"Bokning", "R1831", true}, Case{"BokningKundID", "R9436 BokningKundID (R1831)", false}}) {
        SCOPED_TRACE(c.object);
        JobWorld w;
        const long bookings = w.rowsIn(w.db).at("Bokning");
        const auto [before, lost] = overwriteLeafOf(w.db, c.object);
        const CareShown shown = checkFromWindow(w.ctx, false);
        std::map<std::string, CheckRow> byName;
        for (const CheckRow& r : shown.rows) byName[r.name] = r;
        ASSERT_TRUE(byName.count(c.damaged));
        EXPECT_FALSE(byName[c.damaged].whole);
        // A table reads up to its fault; an index's own pages hold entries too.
        if (c.tableLoses) {
            EXPECT_EQ(byName[c.damaged].read, before);
        }
        EXPECT_LE(byName[c.damaged].read, bookings - lost);
        EXPECT_EQ(byName[c.damaged].expected, std::optional<long>(bookings));
        EXPECT_EQ(byName["R1831"].whole, !c.tableLoses);
        EXPECT_EQ(byName["R9436 BokningStartTid (R1831)"].read, bookings);
        ASSERT_TRUE(byName.count("R9786 R1847"));  // the key index of the resources
        EXPECT_TRUE(byName["R9786 R1847"].whole);
        for (const CheckRow& r : shown.rows) EXPECT_EQ(r.name.find("sqlite_"), std::string::npos) << r.name;
        // The engine's lines (indented in the details) never in the main view.
        ASSERT_GT(shown.details.size(), 2u);
        EXPECT_EQ(shown.details[1].rfind("  ", 0), 0u);
        for (const std::string& line : shown.lines)
            for (const std::string& detail : shown.details)
                EXPECT_TRUE(detail[0] != ' ' || line.find(detail.substr(2)) == std::string::npos);
        EXPECT_EQ(shown.lines, std::vector<std::string>{"R9431"});
    }
}

// The restore's question on a damaged file says what could be read of each
// register and of how many, and never that the counts are alike.
TEST(CareFromWindow, TheRestoreQuestionOnADamagedFileSaysWhatCouldBeRead) {
    JobWorld w;
    const std::string backup = w.dir.file("Vexla2026-12-01.db");
    std::filesystem::copy_file(w.db, backup);
    const auto rows = w.rowsIn(w.db);
    const long before = overwriteLeafOf(w.db, "Bokning").first;
    const BackupsShown listed = backupsFromWindow(w.ctx);
    ASSERT_EQ(listed.backups.size(), 1u);
    w.fakes.messages.answers = {MsgAnswer::No};
    EXPECT_TRUE(restoreFromWindow(w.ctx, listed.backups[0]).lines.empty());
    ASSERT_EQ(w.fakes.messages.shown.size(), 1u);
    const auto n = [](long v) { return std::to_string(v); };
    EXPECT_EQ(w.fakes.messages.shown[0].text,
              backup + " R9394: R1826 " + n(rows.at("Kund")) + " \u2192 " + n(rows.at("Kund")) + ", R1847 " +
                  n(rows.at("Person")) + " \u2192 " + n(rows.at("Person")) + ", R1831: R9789 " + n(before) + " R9790 " +
                  n(rows.at("Bokning")) + " \u2192 " + n(rows.at("Bokning")) + ".\r\nR9395?");
}

}  // namespace
}  // namespace vexla
