#include "session/command_line.h"

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

const char W = '\\';
const char U = '/';

// The options are cut and cleaned as they always were, with either path separator.
TEST(CommandLine, ParsingCutsAndCleansTheOptions) {
    for (const LineCase& c : std::initializer_list<LineCase>{
             // Lines written for Windows.
             {"db_then_quoted_path", R"(/db "C:\Data\bok.db")", W, {true, R"(C:\Data\bok.db)", R"(C:\Data)", false, "", false}},
             // The blank and the opening quote are the two skipped characters.
             {"d_then_quoted_path", R"(/d "C:\Data\bok.db")", W, {true, R"(C:\Data\bok.db)", R"(C:\Data)", false, "", false}},
             {"upper_d_unquoted_loses_drive_letter", R"(/D C:\x.db)", W, {true, R"(:\x.db)", ":", false, "", false}},
             {"value_without_backslash_is_cleared", "/db bok.db", W, {true, "", "", false, "", false}},
             {"case_of_value_kept", R"(/DB "C:\Data\Bok.DB")", W, {true, R"(C:\Data\Bok.DB)", R"(C:\Data)", false, "", false}},
             {"blanks_inside_quotes_kept_folder_trimmed", R"(/db " C:\x\y.db ")", W, {true, R"( C:\x\y.db )", R"(C:\x)", false, "", false}},
             {"blanks_outside_quotes_trimmed", R"(/db   "C:\x\y.db"   )", W, {true, R"(C:\x\y.db)", R"(C:\x)", false, "", false}},
             {"opening_quote_alone_dropped", R"(/db "C:\x\y.db)", W, {true, R"(C:\x\y.db)", R"(C:\x)", false, "", false}},
             {"only_first_d_counts", R"(/db "C:\a\x.db" /db "C:\b\y.db")", W, {true, R"(C:\a\x.db)", R"(C:\a)", false, "", false}},
             {"job_first_then_path", R"(/ak /db "C:\Data\bok.db")", W, {true, R"(C:\Data\bok.db)", R"(C:\Data)", true, "k", true}},
             {"path_first_then_job", R"(/db "C:\Data\bok.db" /ak)", W, {true, R"(C:\Data\bok.db)", R"(C:\Data)", true, "k", true}},
             // One character between /d and the next slash: a value length of -1.
             {"slash_at_p_plus_3_gives_empty_value", R"(/dx/ak)", W, {true, "", "", true, "k", true}},
             {"slash_at_p_plus_4_gives_empty_value", R"(/db /ak)", W, {true, "", "", true, "k", true}},
             {"slash_right_behind_d_takes_the_rest", R"(/d/x\y.db)", W, {true, R"(\y.db)", "", false, "", false}},
             {"upper_a_joined", "/AK", W, {false, "", "", true, "K", true}},
             {"a_blank_letter", "/a k", W, {false, "", "", true, "k", true}},
             {"a_quoted_letter", R"(/a "r")", W, {false, "", "", true, "r", true}},
             {"a_other_letter_names_no_job", "/a x", W, {false, "", "", true, "x", false}},
             {"a_two_letters_names_no_job", "/akk", W, {false, "", "", true, "kk", false}},
             {"a_alone", "/a", W, {false, "", "", true, "", false}},
             {"a_empty_quotes", R"(/a "")", W, {false, "", "", true, "", false}},
             {"a_lone_quote", R"(/a ")", W, {false, "", "", true, "", false}},
             {"a_value_ends_at_next_slash", R"(/a r /d "C:\x.db")", W, {true, R"(C:\x.db)", "C:", true, "r", true}},
             {"a_right_before_d", "/a/d", W, {true, "", "", true, "", false}},
             {"empty_line", "", W, {false, "", "", false, "", false}},
             {"no_option", R"(C:\Data\bok.db)", W, {false, "", "", false, "", false}},
             // Lines with POSIX paths; those of the shell arguments below are parsed there.
             {"option_letters_inside_quotes_ignored", R"(/db "/app/data/bok.db")", U, {true, "/app/data/bok.db", "/app/data", false, "", false}},
             {"quoted_path_before_job", R"(/db "/srv/a b/x.db" /ar)", U, {true, "/srv/a b/x.db", "/srv/a b", true, "r", true}},
             {"file_in_root_has_empty_folder", R"(/db "/x.db")", U, {true, "/x.db", "", false, "", false}},
             {"backslash_is_no_separator_here", R"(/db "C:\Data\bok.db")", U, {true, "", "", false, "", false}},
             {"job_option_only_in_quotes", R"("/ak")", U, {false, "", "", false, "", false}}}) {
        SCOPED_TRACE(std::string(c.name) + ": [" + c.L + "]");
        expectParsed(parseCommandLine(c.L, c.separator), c.want);
    }
}

// Arguments as a POSIX shell hands them over, joined into L and parsed.
TEST(CommandLine, ShellArgumentsAreJoinedWithPathsQuotedAndParsed) {
    struct ArgsCase {
        const char* name;
        std::vector<std::string> args;
        std::string L;
        Expected want;
    };
    for (const ArgsCase& c : std::initializer_list<ArgsCase>{
             {"job_and_path_with_blank", {"/ak", "/db", "/srv/data with blank/bok.db"}, R"(/ak /db "/srv/data with blank/bok.db")", {true, "/srv/data with blank/bok.db", "/srv/data with blank", true, "k", true}},
             // A path that begins like an option is still a path.
             {"path_starting_with_d", {"/d", "/data/bok.db"}, R"(/d "/data/bok.db")", {true, "/data/bok.db", "/data", false, "", false}},
             {"path_starting_with_a", {"/db", "/Archive/bok.db", "/ac"}, R"(/db "/Archive/bok.db" /ac)", {true, "/Archive/bok.db", "/Archive", true, "c", true}},
             {"upper_job", {"/AK"}, "/AK", {false, "", "", true, "K", true}},
             {"job_letter_apart", {"/a", "k"}, "/a k", {false, "", "", true, "k", true}},
             {"option_with_blank_left_open", {"/a k"}, "/a k", {false, "", "", true, "k", true}},
             {"plain_file_name", {"/db", "bok.db"}, "/db bok.db", {true, "", "", false, "", false}},
             {"name_with_blank", {"/db", "my bok.db"}, R"(/db "my bok.db")", {true, "", "", false, "", false}},
             {"no_arguments", {}, "", {false, "", "", false, "", false}}}) {
        SCOPED_TRACE(c.name);
        const std::string L = joinArguments(c.args);
        EXPECT_EQ(L, c.L);
        expectParsed(parseCommandLine(L, kPathSeparator), c.want);
    }
}

TEST(CommandLine, InfoArgumentsAreRecognisedApartFromTheOptions) {
    for (const auto& [args, want] : std::initializer_list<std::pair<std::vector<std::string>, InfoRequest>>{
             {{"--help"}, InfoRequest::Help}, {{"-h"}, InfoRequest::Help}, {{"--version"}, InfoRequest::Version},
             {{"/ak", "--version"}, InfoRequest::Version}, {{"--version", "--help"}, InfoRequest::Version},
             {{"/ak", "/db", "/x.db"}, InfoRequest::None}, {{"-H", "--HELP"}, InfoRequest::None},
             {{"--helpme"}, InfoRequest::None}, {{}, InfoRequest::None}}) {
        EXPECT_EQ(infoRequest(args), want) << ::testing::PrintToString(args);
    }
}

}  // namespace
}  // namespace vexla
