// The command line L (split at LF, also a list of arguments): an option's
// value is a piece of L, /d's folder is its path's; joinArguments loses no
// argument, and "/d" PATH and "/a" JOB come back in either order unless
// they hold a double quote.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "session/command_line.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

using namespace vexla;
using vexla::fuzz::printable;

std::string lower(std::string s) {
    for (char& c : s) c = c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
    return s;
}

void checkAnyLine(const std::string& L, char separator) {
    const CommandLine c = parseCommandLine(L, separator);
    const std::string what = "L='" + printable(L) + "'";
    VEXLA_FUZZ_CHECK(c.Kommandorad == (c.hasDatabaseOption || c.hasJobOption), what);
    VEXLA_FUZZ_CHECK(!c.hasDatabaseOption ? c.DataBas.empty() : lower(L).find("/d") != std::string::npos, what);
    VEXLA_FUZZ_CHECK(!c.hasJobOption ? c.jobValue.empty() : lower(L).find("/a") != std::string::npos, what);
    VEXLA_FUZZ_CHECK(
        L.find(c.DataBas) != std::string::npos && L.find(c.jobValue) != std::string::npos,
        "DataBas '" + printable(c.DataBas) + "' or job '" + printable(c.jobValue) + "' is not a piece of " + what);
    const auto folder = folderOfPath(c.DataBas, separator);
    VEXLA_FUZZ_CHECK(c.DataBas.empty() ? c.msSökväg.empty() : folder && *folder == c.msSökväg,
                     "folder '" + printable(c.msSökväg) + "' of " + what);
    const std::string job = lower(c.jobValue);
    VEXLA_FUZZ_CHECK(c.namesJob == (job == "k" || job == "c" || job == "r"), what);
    const std::string cleaned = cleanOptionValue(L);
    VEXLA_FUZZ_CHECK(L.find(cleaned) != std::string::npos, "cleaning made up '" + printable(cleaned) + "' of " + what);
    if (!c.DataBas.empty()) vexla::fuzz::stage("any line, path found");
}

// What joinArguments passes as it is: an option word, or a double quote.
bool passedAsItIs(const std::string& arg) {
    const std::string start = lower(arg.substr(0, 2));
    return arg.find('"') != std::string::npos ||
           ((start == "/d" || start == "/a") && arg.find('/', 1) == std::string::npos);
}

void checkRoundTrip(const std::string& path, const std::string& job) {
    if (passedAsItIs(path) || passedAsItIs(job)) return;
    const bool folder = path.find('/') != std::string::npos;
    vexla::fuzz::stage(folder ? "round trip, path with folder" : "round trip, bare name");
    const std::string expectedPath = folder ? path.substr(std::min(path.find_first_not_of(' '), path.size())) : "";
    using Args = std::vector<std::string>;
    for (const Args& args : {Args{"/d", path, "/a", job}, Args{"/a", job, "/d", path}, Args{"/D", path, "/A", job},
                             Args{"/d", path}, Args{"/a", job}}) {
        const CommandLine c = parseCommandLine(joinArguments(args), '/');
        const bool hasD = args.size() == 4 || args[0] == "/d", hasA = args.size() == 4 || args[0] == "/a";
        const std::string what = "L='" + printable(joinArguments(args)) + "'";
        VEXLA_FUZZ_CHECK(c.hasDatabaseOption == hasD && c.hasJobOption == hasA, what);
        VEXLA_FUZZ_CHECK(!hasD || c.DataBas == expectedPath, "path '" + printable(c.DataBas) + "' from " + what);
        VEXLA_FUZZ_CHECK(!hasA || c.jobValue == job, "job '" + printable(c.jobValue) + "' from " + what);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string L(reinterpret_cast<const char*>(data), size);
    checkAnyLine(L, '/');
    checkAnyLine(L, '\\');

    std::vector<std::string> args(1);
    for (char c : L) c == '\n' ? (void)args.emplace_back() : args.back().push_back(c);
    const std::string joined = joinArguments(args);
    for (const std::string& arg : args)
        VEXLA_FUZZ_CHECK(joined.find(arg) != std::string::npos,
                         "argument '" + printable(arg) + "' lost in '" + printable(joined) + "'");
    checkAnyLine(joined, '/');
    checkRoundTrip(args[0], args.size() > 1 ? args[1] : std::string("k"));
    return 0;
}
