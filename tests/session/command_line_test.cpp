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
             {R"(/db "C:\Data\bok.db")", W, {true, R"(C:\Data\bok.db)", R"(C:\Data)", false, "", false}},
             // The blank and the opening quote are the two skipped characters.
             {R"(/d "C:\Data\bok.db")", W, {true, R"(C:\Data\bok.db)", R"(C:\Data)", false, "", false}},
             {R"(/D C:\x.db)", W, {true, R"(:\x.db)", ":", false, "", false}},
             {"/db bok.db", W, {true, "", "", false, "", false}},
             {R"(/DB "C:\Data\Bok.DB")", W, {true, R"(C:\Data\Bok.DB)", R"(C:\Data)", false, "", false}},
             {R"(/db " C:\x\y.db ")", W, {true, R"( C:\x\y.db )", R"(C:\x)", false, "", false}},
             {R"(/db   "C:\x\y.db"   )", W, {true, R"(C:\x\y.db)", R"(C:\x)", false, "", false}},
             {R"(/db "C:\x\y.db)", W, {true, R"(C:\x\y.db)", R"(C:\x)", false, "", false}},
             {R"(/db "C:\a\x.db" /db "C:\b\y.db")", W, {true, R"(C:\a\x.db)", R"(C:\a)", false, "", false}},
             {R"(/ak /db "C:\Data\bok.db")", W, {true, R"(C:\Data\bok.db)", R"(C:\Data)", true, "k", true}},
             {R"(/db "C:\Data\bok.db" /ak)", W, {true, R"(C:\Data\bok.db)", R"(C:\Data)", true, "k", true}},
             // One character between /d and the next slash: a value length of -1.
             {R"(/dx/ak)", W, {true, "", "", true, "k", true}},
             {R"(/db /ak)", W, {true, "", "", true, "k", true}},
             {R"(/d/x\y.db)", W, {true, R"(\y.db)", "", false, "", false}},
             {"/AK", W, {false, "", "", true, "K", true}},
             {"/a k", W, {false, "", "", true, "k", true}},
             {R"(/a "r")", W, {false, "", "", true, "r", true}},
             {"/a x", W, {false, "", "", true, "x", false}},
             {"/akk", W, {false, "", "", true, "kk", false}},
             {"/a", W, {false, "", "", true, "", false}},
             {R"(/a "")", W, {false, "", "", true, "", false}},
             {R"(/a r /d "C:\x.db")", W, {true, R"(C:\x.db)", "C:", true, "r", true}},
             {"/a/d", W, {true, "", "", true, "", false}},
             {"", W, {false, "", "", false, "", false}},
             {R"(C:\Data\bok.db)", W, {false, "", "", false, "", false}},
             // Lines with POSIX paths; those of the shell arguments below are parsed there.
             {R"(/db "/app/data/bok.db")", U, {true, "/app/data/bok.db", "/app/data", false, "", false}},
             {R"(/db "/srv/a b/x.db" /ar)", U, {true, "/srv/a b/x.db", "/srv/a b", true, "r", true}},
             {R"(/db "/x.db")", U, {true, "/x.db", "", false, "", false}},
             {R"(/db "C:\Data\bok.db")", U, {true, "", "", false, "", false}},
             {R"("/ak")", U, {false, "", "", false, "", false}}}) {
        SCOPED_TRACE("[" + c.L + "]");
        expectParsed(parseCommandLine(c.L, c.separator), c.want);
    }
}

// Arguments as a POSIX shell hands them over, joined into L and parsed.
TEST(CommandLine, ShellArgumentsAreJoinedWithPathsQuotedAndParsed) {
    struct ArgsCase {
        std::vector<std::string> args;
        std::string L;
        Expected want;
    };
    for (const ArgsCase& c : std::initializer_list<ArgsCase>{
             {{"/ak", "/db", "/srv/data with blank/bok.db"},
              R"(/ak /db "/srv/data with blank/bok.db")",
              {true, "/srv/data with blank/bok.db", "/srv/data with blank", true, "k", true}},
             // A path that begins like an option is still a path.
             {{"/d", "/data/bok.db"}, R"(/d "/data/bok.db")", {true, "/data/bok.db", "/data", false, "", false}},
             {{"/db", "/Archive/bok.db", "/ac"},
              R"(/db "/Archive/bok.db" /ac)",
              {true, "/Archive/bok.db", "/Archive", true, "c", true}},
             {{"/AK"}, "/AK", {false, "", "", true, "K", true}},
             {{"/a", "k"}, "/a k", {false, "", "", true, "k", true}},
             {{"/a k"}, "/a k", {false, "", "", true, "k", true}},
             {{"/db", "bok.db"}, "/db bok.db", {true, "", "", false, "", false}},
             {{"/db", "my bok.db"}, R"(/db "my bok.db")", {true, "", "", false, "", false}},
             {{}, "", {false, "", "", false, "", false}}}) {
        SCOPED_TRACE(c.L);
        const std::string L = joinArguments(c.args);
        EXPECT_EQ(L, c.L);
        expectParsed(parseCommandLine(L, kPathSeparator), c.want);
    }
}

TEST(CommandLine, InfoArgumentsAreRecognisedApartFromTheOptions) {
    using Row = std::pair<std::vector<std::string>, InfoRequest>;
    for (const auto& [args, want] :
         {Row{{"--help"}, InfoRequest::Help}, Row{{"-h"}, InfoRequest::Help}, Row{{"--version"}, InfoRequest::Version},
          Row{{"/ak", "--version"}, InfoRequest::Version}, Row{{"--version", "--help"}, InfoRequest::Version},
          Row{{"/ak", "/db", "/x.db"}, InfoRequest::None}, Row{{"-H", "--HELP"}, InfoRequest::None},
          Row{{"--helpme"}, InfoRequest::None}, Row{{}, InfoRequest::None}}) {
        EXPECT_EQ(infoRequest(args), want) << ::testing::PrintToString(args);
    }
}

}  // namespace
}  // namespace vexla
