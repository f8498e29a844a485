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
    const bool fromCommandLine = want.hasDatabaseOption || want.hasJobOption;
    EXPECT_EQ(std::tie(got.hasDatabaseOption, got.DataBas, got.msSökväg, got.hasJobOption, got.jobValue, got.namesJob,
                       got.Kommandorad),
              std::tie(want.hasDatabaseOption, want.DataBas, want.msSökväg, want.hasJobOption, want.jobValue,
                       want.namesJob, fromCommandLine));
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
    for (const LineCase& c :
         {// Lines written for Windows.
          LineCase{R"(/db "C:\Data\bok.db")", W, {true, R"(C:\Data\bok.db)", R"(C:\Data)", false, "", false}},
          // The blank and the opening quote are the two skipped characters.
          LineCase{R"(/d "C:\Data\bok.db")", W, {true, R"(C:\Data\bok.db)", R"(C:\Data)", false, "", false}},
          LineCase{R"(/D C:\x.db)", W, {true, R"(:\x.db)", ":", false, "", false}},
          LineCase{"/db bok.db", W, {true, "", "", false, "", false}},
          LineCase{R"(/DB "C:\Data\Bok.DB")", W, {true, R"(C:\Data\Bok.DB)", R"(C:\Data)", false, "", false}},
          LineCase{R"(/db " C:\x\y.db ")", W, {true, R"( C:\x\y.db )", R"(C:\x)", false, "", false}},
          LineCase{R"(/db   "C:\x\y.db"   )", W, {true, R"(C:\x\y.db)", R"(C:\x)", false, "", false}},
          LineCase{R"(/db "C:\x\y.db)", W, {true, R"(C:\x\y.db)", R"(C:\x)", false, "", false}},
          LineCase{R"(/db "C:\a\x.db" /db "C:\b\y.db")", W, {true, R"(C:\a\x.db)", R"(C:\a)", false, "", false}},
          LineCase{R"(/ak /db "C:\Data\bok.db")", W, {true, R"(C:\Data\bok.db)", R"(C:\Data)", true, "k", true}},
          LineCase{R"(/db "C:\Data\bok.db" /ak)", W, {true, R"(C:\Data\bok.db)", R"(C:\Data)", true, "k", true}},
          // One character between /d and the next slash: a value length of -1.
          LineCase{R"(/dx/ak)", W, {true, "", "", true, "k", true}},
          LineCase{R"(/db /ak)", W, {true, "", "", true, "k", true}},
          LineCase{R"(/d/x\y.db)", W, {true, R"(\y.db)", "", false, "", false}},
          LineCase{"/AK", W, {false, "", "", true, "K", true}}, LineCase{"/a k", W, {false, "", "", true, "k", true}},
          LineCase{R"(/a "r")", W, {false, "", "", true, "r", true}},
          LineCase{"/a x", W, {false, "", "", true, "x", false}},
          LineCase{"/akk", W, {false, "", "", true, "kk", false}}, LineCase{"/a", W, {false, "", "", true, "", false}},
          LineCase{R"(/a "")", W, {false, "", "", true, "", false}},
          LineCase{R"(/a r /d "C:\x.db")", W, {true, R"(C:\x.db)", "C:", true, "r", true}},
          LineCase{"/a/d", W, {true, "", "", true, "", false}}, LineCase{"", W, {false, "", "", false, "", false}},
          LineCase{R"(C:\Data\bok.db)", W, {false, "", "", false, "", false}},
          // Lines with POSIX paths; those of the shell arguments below are parsed there.
          LineCase{R"(/db "/app/data/bok.db")", U, {true, "/app/data/bok.db", "/app/data", false, "", false}},
          LineCase{R"(/db "/srv/a b/x.db" /ar)", U, {true, "/srv/a b/x.db", "/srv/a b", true, "r", true}},
          LineCase{R"(/db "/x.db")", U, {true, "/x.db", "", false, "", false}},
          LineCase{R"(/db "C:\Data\bok.db")", U, {true, "", "", false, "", false}},
          LineCase{R"("/ak")", U, {false, "", "", false, "", false}}}) {
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
    for (const ArgsCase& c :
         {ArgsCase{{"/ak", "/db", "/srv/data with blank/bok.db"},
                   R"(/ak /db "/srv/data with blank/bok.db")",
                   {true, "/srv/data with blank/bok.db", "/srv/data with blank", true, "k", true}},
          // A path that begins like an option is still a path.
          ArgsCase{{"/d", "/data/bok.db"}, R"(/d "/data/bok.db")", {true, "/data/bok.db", "/data", false, "", false}},
          ArgsCase{{"/db", "/Archive/bok.db", "/ac"},
                   R"(/db "/Archive/bok.db" /ac)",
                   {true, "/Archive/bok.db", "/Archive", true, "c", true}},
          ArgsCase{{"/AK"}, "/AK", {false, "", "", true, "K", true}},
          ArgsCase{{"/a", "k"}, "/a k", {false, "", "", true, "k", true}},
          ArgsCase{{"/a k"}, "/a k", {false, "", "", true, "k", true}},
          ArgsCase{{"/db", "bok.db"}, "/db bok.db", {true, "", "", false, "", false}},
          ArgsCase{{"/db", "my bok.db"}, R"(/db "my bok.db")", {true, "", "", false, "", false}},
          ArgsCase{{}, "", {false, "", "", false, "", false}}}) {
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
