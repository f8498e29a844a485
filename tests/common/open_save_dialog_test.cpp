#include "common/open_save_dialog.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "common/platform.h"
#include "tests/support/fake_platform.h"

namespace vexla {
namespace {

using namespace std::string_literals;

std::string repeat(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += s;
    return out;
}

// Every non-zero mode saves; the filter reaches the dialog NUL separated.
TEST(OpenSaveDialog, ChoosesTheDialogAndPreparesTheFilter) {
    struct Case {
        std::int16_t saveMode;
        std::string filter;
        bool save;
        std::string dialogFilter;
    };
    for (const Case& c : std::initializer_list<Case>{
             {0, "Registerfil (*.skv)|*.skv|", false, "Registerfil (*.skv)\0*.skv\0"s},
             {-1, "Registerfil (*.skv)|*.skv", true, "Registerfil (*.skv)\0*.skv\0"s},
             {1, "A|*.a|B|*.b", true, "A\0*.a\0B\0*.b\0"s},
             {-32768, "", true, "\0"s},
             {0, "|", false, "\0"s}}) {
        SCOPED_TRACE(c.filter);
        testing::FakeFileDialogs host;
        testing::FakeMessageBoxes messages;
        OpenSaveDialog(host, messages, c.saveMode, 0, c.filter, "T", "/srv", "");
        EXPECT_EQ(host.saves, std::vector<bool>{c.save});
        EXPECT_EQ(host.asked.at(0).filter, c.dialogFilter);
    }
}

TEST(OpenSaveDialog, FileBufferHoldsTheDefaultNamePaddedTo254Characters) {
    struct Case {
        std::string defaultName;
        std::size_t bytes;   // size of the file buffer handed to the dialog
        std::size_t blanks;  // blanks padded behind the name
    };
    for (const Case& c : {Case{"", 254, 254}, Case{"Interval.db", 254, 243}, Case{std::string(254, 'x'), 254, 0},
                          Case{"Kopia å.db", 255, 244},  // the limit counts characters, not bytes
                          Case{repeat("ö", 254), 508, 0}}) {
        SCOPED_TRACE(c.defaultName);
        testing::FakeFileDialogs host;
        testing::FakeMessageBoxes messages;
        OpenSaveDialog(host, messages, -1, ofn::OverwritePrompt | ofn::CreatePrompt, "A|*.a", "Titel", "/srv/data",
                       c.defaultName);
        ASSERT_EQ(host.asked.size(), 1u);
        const OpenFileName& r = host.asked[0];
        EXPECT_EQ(r.file, c.defaultName + std::string(c.blanks, ' '));
        EXPECT_EQ(r.file.size(), c.bytes);
        EXPECT_EQ(r.maxFile, 255);
        EXPECT_EQ(r.fileTitle, std::string(254, ' '));
        EXPECT_EQ(r.maxFileTitle, 255);
        EXPECT_EQ(r.title, "Titel");
        EXPECT_EQ(r.initialDir, "/srv/data");
        EXPECT_EQ(r.flags, ofn::OverwritePrompt | ofn::CreatePrompt);
        EXPECT_TRUE(messages.shown.empty());
    }
}

// The answer is the file text up to its NUL; a cancelled dialog answers nothing, whatever its buffer holds.
TEST(OpenSaveDialog, AnswersTheChosenFileUpToItsNul) {
    for (const auto& [chosen, want] : {std::pair<std::string, std::string>{"/srv/vexla/bok.db", "/srv/vexla/bok.db"},
                                       {"/srv/bok.db\0  ny.db   "s, "/srv/bok.db"},
                                       {"/srv/a b.db  ", "/srv/a b.db  "},  // blanks the host left are kept
                                       {"", ""},                            // cancelled
                                       {"\0"s, ""}}) {
        SCOPED_TRACE(chosen);
        testing::FakeFileDialogs host;
        host.choices = {chosen};
        host.leftOnCancel = "/written/before/cancel";
        testing::FakeMessageBoxes messages;
        EXPECT_EQ(OpenSaveDialog(host, messages, 0, ofn::FileMustExist, "A|*.a", "T", "/srv", "bok.db"), want);
        EXPECT_TRUE(messages.shown.empty());
    }
}

TEST(OpenSaveDialog, DefaultNameTooLongForTheBufferIsReportedAndGivesNothing) {
    for (const std::string& name : {std::string(255, 'x'), repeat("ä", 255), std::string(1000, 'y')}) {
        testing::FakeFileDialogs host;
        host.choices = {"/srv/chosen.db"};
        testing::FakeMessageBoxes messages;
        EXPECT_EQ(OpenSaveDialog(host, messages, -1, 0, "A|*.a", "T", "/srv", name), "");
        EXPECT_TRUE(host.asked.empty()) << "the dialog must not be shown";
        EXPECT_EQ(messages.shown, (std::vector<testing::ShownBox>{{"5\r\nFel har uppstått! Kontakta Trevanto\r\nInvalid "
                                                                  "procedure call or argument\r\nFunktioner.OpenSaveDialog ",
                                                                  kProgramTitle, MsgIcon::None, MsgButtons::Ok}}));
    }
}

}  // namespace
}  // namespace vexla
