#include "app/command_line.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace vexla {
namespace {

// What a command line should leave behind: the database option's path and
// folder, and the job option's value.
struct Expected {
    bool hasDatabaseOption;
    std::string DataBas;
    std::string msSökväg;
    bool hasJobOption;
    std::string jobValue;
    bool namesJob;
};

void expectParsed(const CommandLine& got, const Expected& want) {
    EXPECT_EQ(got.hasDatabaseOption, want.hasDatabaseOption);
    EXPECT_EQ(got.DataBas, want.DataBas);
    EXPECT_EQ(got.msSökväg, want.msSökväg);
    EXPECT_EQ(got.hasJobOption, want.hasJobOption);
    EXPECT_EQ(got.jobValue, want.jobValue);
    EXPECT_EQ(got.namesJob, want.namesJob);
    EXPECT_EQ(got.Kommandorad, want.hasDatabaseOption || want.hasJobOption);
}

struct LineCase {
    const char* name;
    std::string L;
    char separator;
    Expected want;
};

std::ostream& operator<<(std::ostream& os, const LineCase& c) { return os << c.name << ": [" << c.L << "]"; }

class ParseCommandLine : public ::testing::TestWithParam<LineCase> {};

TEST_P(ParseCommandLine, CutsAndCleansTheOptions) {
    expectParsed(parseCommandLine(GetParam().L, GetParam().separator), GetParam().want);
}

const char W = '\\';
const char U = '/';

INSTANTIATE_TEST_SUITE_P(
    LinesWrittenForWindows, ParseCommandLine,
    ::testing::Values(
        LineCase{"db_then_quoted_path", R"(/db "C:\Data\bok.db")", W, {true, R"(C:\Data\bok.db)", R"(C:\Data)", false, "", false}},
        // The blank and the opening quote are the two skipped characters.
        LineCase{"d_then_quoted_path", R"(/d "C:\Data\bok.db")", W, {true, R"(C:\Data\bok.db)", R"(C:\Data)", false, "", false}},
        LineCase{"upper_d_unquoted_loses_drive_letter", R"(/D C:\x.db)", W, {true, R"(:\x.db)", ":", false, "", false}},
        LineCase{"value_without_backslash_is_cleared", "/db bok.db", W, {true, "", "", false, "", false}},
        LineCase{"case_of_value_kept", R"(/DB "C:\Data\Bok.DB")", W, {true, R"(C:\Data\Bok.DB)", R"(C:\Data)", false, "", false}},
        LineCase{"blanks_inside_quotes_kept_folder_trimmed", R"(/db " C:\x\y.db ")", W, {true, R"( C:\x\y.db )", R"(C:\x)", false, "", false}},
        LineCase{"blanks_outside_quotes_trimmed", R"(/db   "C:\x\y.db"   )", W, {true, R"(C:\x\y.db)", R"(C:\x)", false, "", false}},
        LineCase{"opening_quote_alone_dropped", R"(/db "C:\x\y.db)", W, {true, R"(C:\x\y.db)", R"(C:\x)", false, "", false}},
        LineCase{"only_first_d_counts", R"(/db "C:\a\x.db" /db "C:\b\y.db")", W, {true, R"(C:\a\x.db)", R"(C:\a)", false, "", false}},
        LineCase{"job_first_then_path", R"(/ak /db "C:\Data\bok.db")", W, {true, R"(C:\Data\bok.db)", R"(C:\Data)", true, "k", true}},
        LineCase{"path_first_then_job", R"(/db "C:\Data\bok.db" /ak)", W, {true, R"(C:\Data\bok.db)", R"(C:\Data)", true, "k", true}},
        // One character between /d and the next slash: a value length of -1.
        LineCase{"slash_at_p_plus_3_gives_empty_value", R"(/dx/ak)", W, {true, "", "", true, "k", true}},
        LineCase{"slash_at_p_plus_4_gives_empty_value", R"(/db /ak)", W, {true, "", "", true, "k", true}},
        LineCase{"slash_right_behind_d_takes_the_rest", R"(/d/x\y.db)", W, {true, R"(\y.db)", "", false, "", false}},
        LineCase{"upper_a_joined", "/AK", W, {false, "", "", true, "K", true}},
        LineCase{"a_blank_letter", "/a k", W, {false, "", "", true, "k", true}},
        LineCase{"a_quoted_letter", R"(/a "r")", W, {false, "", "", true, "r", true}},
        LineCase{"a_other_letter_names_no_job", "/a x", W, {false, "", "", true, "x", false}},
        LineCase{"a_two_letters_names_no_job", "/akk", W, {false, "", "", true, "kk", false}},
        LineCase{"a_alone", "/a", W, {false, "", "", true, "", false}},
        LineCase{"a_empty_quotes", R"(/a "")", W, {false, "", "", true, "", false}},
        LineCase{"a_lone_quote", R"(/a ")", W, {false, "", "", true, "", false}},
        LineCase{"a_value_ends_at_next_slash", R"(/a r /d "C:\x.db")", W, {true, R"(C:\x.db)", "C:", true, "r", true}},
        LineCase{"a_right_before_d", "/a/d", W, {true, "", "", true, "", false}},
        LineCase{"empty_line", "", W, {false, "", "", false, "", false}},
        LineCase{"no_option", R"(C:\Data\bok.db)", W, {false, "", "", false, "", false}}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    LinesWithPosixPaths, ParseCommandLine,
    ::testing::Values(
        LineCase{"db_then_quoted_path", R"(/db "/srv/vexla/bok.db")", U, {true, "/srv/vexla/bok.db", "/srv/vexla", false, "", false}},
        LineCase{"d_then_quoted_path", R"(/d "/srv/vexla/bok.db")", U, {true, "/srv/vexla/bok.db", "/srv/vexla", false, "", false}},
        LineCase{"job_then_path_with_blank", R"(/ak /db "/srv/data with blank/bok.db")", U, {true, "/srv/data with blank/bok.db", "/srv/data with blank", true, "k", true}},
        LineCase{"option_letters_inside_quotes_ignored", R"(/db "/app/data/bok.db")", U, {true, "/app/data/bok.db", "/app/data", false, "", false}},
        LineCase{"quoted_path_before_job", R"(/db "/srv/a b/x.db" /ar)", U, {true, "/srv/a b/x.db", "/srv/a b", true, "r", true}},
        LineCase{"file_in_root_has_empty_folder", R"(/db "/x.db")", U, {true, "/x.db", "", false, "", false}},
        LineCase{"backslash_is_no_separator_here", R"(/db "C:\Data\bok.db")", U, {true, "", "", false, "", false}},
        LineCase{"job_option_only_in_quotes", R"("/ak")", U, {false, "", "", false, "", false}}),
    [](const auto& info) { return std::string(info.param.name); });

// Arguments as a POSIX shell hands them over, joined into L and parsed.
struct ArgsCase {
    const char* name;
    std::vector<std::string> args;
    std::string L;
    Expected want;
};

std::ostream& operator<<(std::ostream& os, const ArgsCase& c) { return os << c.name; }

class ShellArguments : public ::testing::TestWithParam<ArgsCase> {};

TEST_P(ShellArguments, JoinQuotesPathsAndParses) {
    const std::string L = joinArguments(GetParam().args);
    EXPECT_EQ(L, GetParam().L);
    expectParsed(parseCommandLine(L, kPathSeparator), GetParam().want);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, ShellArguments,
    ::testing::Values(
        ArgsCase{"db_path", {"/db", "/srv/vexla/bok.db"}, R"(/db "/srv/vexla/bok.db")", {true, "/srv/vexla/bok.db", "/srv/vexla", false, "", false}},
        ArgsCase{"d_path", {"/d", "/srv/vexla/bok.db"}, R"(/d "/srv/vexla/bok.db")", {true, "/srv/vexla/bok.db", "/srv/vexla", false, "", false}},
        ArgsCase{"job_and_path_with_blank", {"/ak", "/db", "/srv/data with blank/bok.db"}, R"(/ak /db "/srv/data with blank/bok.db")", {true, "/srv/data with blank/bok.db", "/srv/data with blank", true, "k", true}},
        // A path that begins like an option is still a path.
        ArgsCase{"path_starting_with_d", {"/d", "/data/bok.db"}, R"(/d "/data/bok.db")", {true, "/data/bok.db", "/data", false, "", false}},
        ArgsCase{"path_starting_with_a", {"/db", "/Archive/bok.db", "/ac"}, R"(/db "/Archive/bok.db" /ac)", {true, "/Archive/bok.db", "/Archive", true, "c", true}},
        ArgsCase{"upper_job", {"/AK"}, "/AK", {false, "", "", true, "K", true}},
        ArgsCase{"job_letter_apart", {"/a", "k"}, "/a k", {false, "", "", true, "k", true}},
        ArgsCase{"job_letter_unquoted_by_shell", {"/a", "r"}, "/a r", {false, "", "", true, "r", true}},
        ArgsCase{"other_letter", {"/a", "x"}, "/a x", {false, "", "", true, "x", false}},
        ArgsCase{"a_alone", {"/a"}, "/a", {false, "", "", true, "", false}},
        ArgsCase{"option_with_blank_left_open", {"/a k"}, "/a k", {false, "", "", true, "k", true}},
        ArgsCase{"plain_file_name", {"/db", "bok.db"}, "/db bok.db", {true, "", "", false, "", false}},
        ArgsCase{"name_with_blank", {"/db", "my bok.db"}, R"(/db "my bok.db")", {true, "", "", false, "", false}},
        ArgsCase{"no_arguments", {}, "", {false, "", "", false, "", false}}),
    [](const auto& info) { return std::string(info.param.name); });

struct InfoCase {
    const char* name;
    std::vector<std::string> args;
    InfoRequest want;
};

std::ostream& operator<<(std::ostream& os, const InfoCase& c) { return os << c.name; }

class InfoArguments : public ::testing::TestWithParam<InfoCase> {};

TEST_P(InfoArguments, AreRecognisedApartFromTheOptions) {
    EXPECT_EQ(infoRequest(GetParam().args), GetParam().want);
}

INSTANTIATE_TEST_SUITE_P(
    Requests, InfoArguments,
    ::testing::Values(InfoCase{"long_help", {"--help"}, InfoRequest::Help},
                      InfoCase{"short_help", {"-h"}, InfoRequest::Help},
                      InfoCase{"version", {"--version"}, InfoRequest::Version},
                      InfoCase{"after_an_option", {"/ak", "--version"}, InfoRequest::Version},
                      InfoCase{"first_one_decides", {"--version", "--help"}, InfoRequest::Version},
                      InfoCase{"options_only", {"/ak", "/db", "/x.db"}, InfoRequest::None},
                      InfoCase{"case_matters", {"-H", "--HELP"}, InfoRequest::None},
                      InfoCase{"longer_word", {"--helpme"}, InfoRequest::None},
                      InfoCase{"none", {}, InfoRequest::None}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vexla
