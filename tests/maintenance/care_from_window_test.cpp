// The window's way to the check, the rescue and the restore: what each asks,
// and that nothing changes unless the user says so.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "maintenance/care_from_window.h"
#include "tests/maintenance/job_test_support.h"

namespace vexla {
namespace {

using testing::JobWorld;

std::string bytesOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

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
    const std::string damaged = bytesOf(w.db), target = w.dir.file("räddad.db");
    EXPECT_FALSE(w.compactInWindow());
    ASSERT_EQ(w.boxTexts().size(), 1u);
    EXPECT_NE(w.boxTexts()[0].find("\r\nR9392"), std::string::npos) << w.boxTexts()[0];
    EXPECT_EQ(bytesOf(w.db), damaged);
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
    EXPECT_EQ(bytesOf(w.db), damaged);
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
    const std::string current = bytesOf(w.db);
    const BackupsShown listed = backupsFromWindow(w.ctx);
    ASSERT_EQ(listed.backups.size(), 1u);
    ASSERT_EQ(listed.lines.size(), 3u);

    w.fakes.messages.answers = {MsgAnswer::No};
    EXPECT_TRUE(restoreFromWindow(w.ctx, listed.backups[0]).lines.empty());
    ASSERT_EQ(w.fakes.messages.shown.size(), 1u);
    const testing::ShownBox& asked = w.fakes.messages.shown[0];
    EXPECT_EQ(asked.buttons, MsgButtons::YesNoDefaultNo);
    EXPECT_NE(asked.text.find(backup + " R9394: R1831 "), std::string::npos) << asked.text;
    EXPECT_EQ(bytesOf(w.db), current);

    w.fakes.messages.answers = {MsgAnswer::Yes};
    const CareShown restored = restoreFromWindow(w.ctx, listed.backups[0]);
    EXPECT_TRUE(restored.changed);
    EXPECT_EQ(w.rowsIn(w.db), before);
}

}  // namespace
}  // namespace vexla
