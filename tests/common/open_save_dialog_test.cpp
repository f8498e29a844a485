#include "common/open_save_dialog.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "common/platform.h"
#include "tests/support/fake_platform.h"

namespace vexla {
namespace {

using namespace std::string_literals;

std::string repeat(const std::string& s, int n) { return n > 0 ? s + repeat(s, n - 1) : ""; }

// Every non-zero mode saves; the filter reaches the dialog NUL separated; the
// file buffer holds the default name padded to 254 characters (not bytes).
TEST(OpenSaveDialog, HandsTheDialogItsRecord) {
    struct Case {
        std::int16_t saveMode;
        std::string filter, dialogFilter, defaultName;
        std::size_t blanks;  // padded behind the name
    };
    for (const Case& c : {Case{0, "Registerfil (*.skv)|*.skv|", "Registerfil (*.skv)\0*.skv\0"s, "", 254},
                          Case{-1, "Registerfil (*.skv)|*.skv", "Registerfil (*.skv)\0*.skv\0"s, "Interval.db", 243},
                          Case{1, "A|*.a|B|*.b", "A\0*.a\0B\0*.b\0"s, std::string(254, 'x'), 0},
                          Case{-32768, "", "\0"s, "Kopia å.db", 244}, Case{0, "|", "\0"s, repeat("ö", 254), 0}}) {
        SCOPED_TRACE(c.filter);
        testing::FakeFileDialogs host;
        testing::FakeMessageBoxes messages;
        const std::uint32_t flags = ofn::OverwritePrompt | ofn::CreatePrompt;
        OpenSaveDialog(host, messages, c.saveMode, flags, c.filter, "Titel", "/srv/data", c.defaultName);
        EXPECT_EQ(host.saves, std::vector<bool>{c.saveMode != 0});
        ASSERT_EQ(host.asked.size(), 1u);
        const OpenFileName& r = host.asked[0];
        EXPECT_EQ(std::tie(r.filter, r.file, r.maxFile, r.fileTitle, r.maxFileTitle, r.title, r.initialDir, r.flags),
                  std::make_tuple(c.dialogFilter, c.defaultName + std::string(c.blanks, ' '), 255,
                                  std::string(254, ' '), 255, "Titel"s, "/srv/data"s, flags));
        EXPECT_TRUE(messages.shown.empty());
    }
}

// The answer is the file text up to its NUL; a cancelled dialog answers nothing, whatever its buffer holds.
TEST(OpenSaveDialog, AnswersTheChosenFileUpToItsNul) {
    for (const auto& [chosen, want] : {std::pair<std::string, std::string>{"/srv/vexla/bok.db", "/srv/vexla/bok.db"},
                                       {"/srv/bok.db\0  ny.db   "s, "/srv/bok.db"},
                                       {"/srv/a b.db  ", "/srv/a b.db  "},  // blanks the host left are kept
                                       {"\0"s, ""}}) {                      // cancelled
        testing::FakeFileDialogs host;
        host.choices = {chosen};
        host.leftOnCancel = "/written/before/cancel";
        testing::FakeMessageBoxes messages;
        EXPECT_EQ(OpenSaveDialog(host, messages, 0, ofn::FileMustExist, "A|*.a", "T", "/srv", "bok.db"), want)
            << chosen;
        EXPECT_TRUE(messages.shown.empty());
    }
}

TEST(OpenSaveDialog, DefaultNameTooLongForTheBufferIsReportedAndGivesNothing) {
    for (const std::string& name : {std::string(255, 'x'), repeat("ä", 255)}) {
        testing::FakeFileDialogs host;
        host.choices = {"/srv/chosen.db"};
        testing::FakeMessageBoxes messages;
        EXPECT_EQ(OpenSaveDialog(host, messages, -1, 0, "A|*.a", "T", "/srv", name), "");
        EXPECT_TRUE(host.asked.empty()) << "the dialog must not be shown";
        EXPECT_EQ(messages.shown,
                  (std::vector<testing::ShownBox>{{"5\r\nFel har uppstått! Kontakta Trevanto\r\nInvalid "
                                                   "procedure call or argument\r\nFunktioner.OpenSaveDialog ",
                                                   kProgramTitle, MsgIcon::None, MsgButtons::Ok}}));
    }
}

}  // namespace
}  // namespace vexla
