#include "session/command_line.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "session/program_arguments.h"

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

// The arguments as a shell hands them over: the Windows spellings give what
// they always gave, the Linux ones the same, anything else the usage error
// that names it ("code: argument").
TEST(ProgramArguments, ReadsBothSpellingsAndNamesWhatItCannotRead) {
    struct Row {
        std::vector<std::string> args;
        Request request;
        Expected want;
        std::string complaint;
        int wait = 10;  // the seconds --wait gave (ten without it)
    };
    const Expected none{false, "", "", false, "", false};
    const Expected srv{true, "/srv/bok.db", "/srv", false, "", false};
    const auto run = [](std::vector<std::string> args, Expected want) {
        return Row{std::move(args), Request::Run, std::move(want), ""};
    };
    const auto usage = [&](std::vector<std::string> args, std::string complaint) {
        return Row{std::move(args), Request::Usage, none, std::move(complaint)};
    };
    for (const Row& r : {
             // Windows spellings; a path that begins like an option is still a path.
             run({"/ak", "/db", "/srv/a b/bok.db"}, {true, "/srv/a b/bok.db", "/srv/a b", true, "k", true}),
             run({"/d", "/data/bok.db"}, {true, "/data/bok.db", "/data", false, "", false}),
             run({"/DB", "/Archive/bok.db", "/AC"}, {true, "/Archive/bok.db", "/Archive", true, "C", true}),
             run({"/a", "k"}, {false, "", "", true, "k", true}),
             run({"/a k"}, {false, "", "", true, "k", true}),
             run({"/A", "\"r\""}, {false, "", "", true, "r", true}),
             run({"/db", "bok.db"}, {true, "", "", false, "", false}),
             run({}, none),
             // Linux spellings; the first database option of either spelling counts.
             run({"-d", "/srv/bok.db"}, srv),
             run({"--database", "/srv/bok.db"}, srv),
             run({"--database=/srv/bok.db", "/d", "/x/y.db"}, srv),
             run({"/d", "/x/y.db", "-d", "/srv/bok.db"}, {true, "/x/y.db", "/x", false, "", false}),
             run({"-d", "bok.db", "/a", "r"}, {true, "./bok.db", ".", true, "r", true}),
             Row{{"/ak", "--wait", "600"}, Request::Run, {false, "", "", true, "k", true}, "", 600},
             Row{{"/ak", "--wait", "0"}, Request::Run, {false, "", "", true, "k", true}, "", 0},
             Row{{"--wait=86400", "/ak"}, Request::Run, {false, "", "", true, "k", true}, "", 86400},
             Row{{"-h", "--bogus"}, Request::Help, none, ""},
             Row{{"/ak", "--help"}, Request::Help, none, ""},
             Row{{"-d", "/x.db", "--version"}, Request::Version, none, ""},
             Row{{"/ak", "--has-database", "--bogus"}, Request::HasDatabase, none, ""},
             // What cannot be read, named.
             usage({"--compact"}, "R9079: --compact"),
             usage({"/ak", "--wait"}, "R9080: --wait"),
             usage({"/ak", "--wait", "-5"}, "R9082: --wait -5"),
             usage({"/ak", "--wait=86401"}, "R9082: --wait 86401"),
             usage({"/ak", "--wait", "1m"}, "R9082: --wait 1m"),
             usage({"-H"}, "R9079: -H"),
             usage({"--bogus", "--version"}, "R9079: --bogus"),
             usage({"--database"}, "R9080: --database"),
             usage({"--database="}, "R9080: --database"),
             usage({"/db"}, "R9080: /db"),
             usage({"/a"}, "R9080: /a"),
             usage({"/a", "/db", "/x.db"}, "R9080: /a"),
             usage({"/a", "\"\""}, "R9080: /a"),
             usage({"/a", "x"}, "R9231: x"),
             usage({"/akk", "/d", "/x.db"}, "R9231: kk"),
             usage({"bok.db"}, "R9230: bok.db"),
             usage({"/ak", "k"}, "R9230: k"),
             usage({"/data/bok.db"}, "R9230: /data/bok.db"),
             usage({"-d", "/srv/bok.db", "extra"}, "R9230: extra"),
         }) {
        SCOPED_TRACE(::testing::PrintToString(r.args));
        const ProgramArguments got = readProgramArguments(r.args, kPathSeparator);
        EXPECT_EQ(got.request, r.request);
        EXPECT_EQ(got.complaint.empty() ? "" : got.complaint + ": " + got.argument, r.complaint);
        if (r.request == Request::Run) expectParsed(got.options, r.want);
        EXPECT_EQ(got.waitSeconds, r.wait);
    }
}

}  // namespace
}  // namespace vexla
