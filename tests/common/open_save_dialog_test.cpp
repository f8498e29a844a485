#include "common/open_save_dialog.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "common/platform.h"
#include "tests/support/fake_platform.h"

namespace vexla {
namespace {

using namespace std::string_literals;

// Records which dialog was asked for and with what record, and answers
// with a scripted file text.
class RecordingHost final : public FileDialogHost {
public:
    std::optional<std::string> answer;  // nullopt: the user cancels
    std::vector<bool> saves;
    std::vector<OpenFileName> records;

    bool getOpenFileName(OpenFileName& ofn) override { return reply(ofn, false); }
    bool getSaveFileName(OpenFileName& ofn) override { return reply(ofn, true); }

private:
    bool reply(OpenFileName& ofn, bool save) {
        saves.push_back(save);
        records.push_back(ofn);
        if (!answer) {
            ofn.file = "/written/before/cancel";
            return false;
        }
        ofn.file = *answer;
        return true;
    }
};

struct RecordCase {
    const char* name;
    std::int16_t saveMode;
    std::string filter;
    bool wantSave;
    std::string wantFilter;  // NUL separated
};

std::ostream& operator<<(std::ostream& os, const RecordCase& c) { return os << c.name; }

class DialogRecord : public ::testing::TestWithParam<RecordCase> {};

// Every non-zero mode saves; the filter reaches the dialog NUL separated.
TEST_P(DialogRecord, ChoosesTheDialogAndPreparesTheFilter) {
    RecordingHost host;
    testing::FakeMessageBoxes messages;
    OpenSaveDialog(host, messages, GetParam().saveMode, 0, GetParam().filter, "T", "/srv", "");
    ASSERT_EQ(host.records.size(), 1u);
    EXPECT_EQ(host.saves[0], GetParam().wantSave);
    EXPECT_EQ(host.records[0].filter, GetParam().wantFilter);
}

INSTANTIATE_TEST_SUITE_P(
    Records, DialogRecord,
    ::testing::Values(RecordCase{"with_final_bar", 0, "Registerfil (*.skv)|*.skv|", false, "Registerfil (*.skv)\0*.skv\0"s},
                      RecordCase{"without_final_bar", -1, "Registerfil (*.skv)|*.skv", true, "Registerfil (*.skv)\0*.skv\0"s},
                      RecordCase{"two_pairs", 1, "A|*.a|B|*.b", true, "A\0*.a\0B\0*.b\0"s},
                      RecordCase{"empty", -32768, "", true, "\0"s},
                      RecordCase{"bar_alone", 0, "|", false, "\0"s}),
    [](const auto& info) { return std::string(info.param.name); });

struct BufferCase {
    const char* name;
    std::string defaultName;
    std::size_t bytes;   // size of the file buffer handed to the dialog
    std::size_t blanks;  // blanks padded behind the name
};

std::ostream& operator<<(std::ostream& os, const BufferCase& c) { return os << c.name; }

class FileBuffer : public ::testing::TestWithParam<BufferCase> {};

TEST_P(FileBuffer, HoldsTheDefaultNamePaddedTo254Characters) {
    const BufferCase& c = GetParam();
    RecordingHost host;
    testing::FakeMessageBoxes messages;
    OpenSaveDialog(host, messages, -1, ofn::OverwritePrompt | ofn::CreatePrompt, "A|*.a", "Titel", "/srv/data",
                   c.defaultName);
    ASSERT_EQ(host.records.size(), 1u);
    const OpenFileName& r = host.records[0];
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

std::string repeat(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += s;
    return out;
}

INSTANTIATE_TEST_SUITE_P(
    Names, FileBuffer,
    ::testing::Values(BufferCase{"none", "", 254, 254}, BufferCase{"short", "Interval.db", 254, 243},
                      BufferCase{"full", std::string(254, 'x'), 254, 0},
                      BufferCase{"non_ascii_counts_characters", "Kopia å.db", 255, 244},
                      BufferCase{"full_of_non_ascii", repeat("ö", 254), 508, 0}),
    [](const auto& info) { return std::string(info.param.name); });

struct AnswerCase {
    const char* name;
    std::optional<std::string> hostAnswer;
    std::string want;
};

std::ostream& operator<<(std::ostream& os, const AnswerCase& c) { return os << c.name; }

class DialogAnswer : public ::testing::TestWithParam<AnswerCase> {};

TEST_P(DialogAnswer, IsTheFileTextUpToItsNul) {
    RecordingHost host;
    host.answer = GetParam().hostAnswer;
    testing::FakeMessageBoxes messages;
    EXPECT_EQ(OpenSaveDialog(host, messages, 0, ofn::FileMustExist, "A|*.a", "T", "/srv", "bok.db"),
              GetParam().want);
    EXPECT_TRUE(messages.shown.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Answers, DialogAnswer,
    ::testing::Values(AnswerCase{"plain_path", "/srv/vexla/bok.db", "/srv/vexla/bok.db"},
                      AnswerCase{"path_then_nul_and_padding", "/srv/bok.db\0  ny.db   "s, "/srv/bok.db"},
                      AnswerCase{"blanks_the_host_left_are_kept", "/srv/a b.db  ", "/srv/a b.db  "},
                      AnswerCase{"cancel_ignores_the_buffer", std::nullopt, ""},
                      AnswerCase{"chosen_nothing", "\0"s, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(OpenSaveDialogFailure, DefaultNameTooLongForTheBufferIsReportedAndGivesNothing) {
    for (const std::string& name : {std::string(255, 'x'), repeat("ä", 255), std::string(1000, 'y')}) {
        RecordingHost host;
        host.answer = "/srv/chosen.db";
        testing::FakeMessageBoxes messages;
        EXPECT_EQ(OpenSaveDialog(host, messages, -1, 0, "A|*.a", "T", "/srv", name), "");
        EXPECT_TRUE(host.records.empty()) << "the dialog must not be shown";
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_EQ(messages.shown[0].text,
                  "5\r\nFel har uppstått! Kontakta Trevanto\r\nInvalid procedure call or argument\r\n"
                  "Funktioner.OpenSaveDialog ");
        EXPECT_EQ(messages.shown[0].title, kProgramTitle);
        EXPECT_EQ(messages.shown[0].icon, MsgIcon::None);
        EXPECT_EQ(messages.shown[0].buttons, MsgButtons::Ok);
    }
}

}  // namespace
}  // namespace vexla
