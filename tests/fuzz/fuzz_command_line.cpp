// The command line: parseCommandLine on arbitrary text, and the way the
// program's arguments are joined into that text and read back.
//
// Input: the whole input is one command line L as the parser sees it; the
// same bytes split at LF are also a list of program arguments.
//
// What must hold:
//   - for any L: an option's value is a piece of L (cut, trimmed, never
//     made up); /d gives a path only when it names a folder, and the folder
//     is the path up to its last separator; namesJob says whether the job
//     is k, c or r; Kommandorad follows from the options found;
//   - for any arguments: joinArguments never loses an argument's words;
//   - "/d" PATH and "/a" JOB given as separate arguments, in either order,
//     come back as PATH (without leading blanks) and JOB whatever the path
//     holds (blanks, slashes, option-like pieces such as "/a" or "/D"),
//     as long as it holds no double quote.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "session/command_line.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

using namespace vexla;
using vexla::fuzz::printable;

std::string lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return s;
}

std::string leftTrimBlanks(const std::string& s) {
    const std::size_t first = s.find_first_not_of(' ');
    return first == std::string::npos ? std::string() : s.substr(first);
}

// An argument joinArguments passes as it is although it starts like an option.
bool optionWord(const std::string& arg) {
    const std::string l = lower(arg.substr(0, 2));
    return (l == "/d" || l == "/a") && arg.find('/', 1) == std::string::npos;
}

void checkAnyLine(const std::string& L, char separator) {
    const CommandLine c = parseCommandLine(L, separator);
    if (!c.DataBas.empty()) vexla::fuzz::Stages::hit("any line, path found");
    if (c.namesJob) vexla::fuzz::Stages::hit("any line, job named");
    const std::string what = "L='" + printable(L) + "'";
    VEXLA_FUZZ_CHECK(c.Kommandorad == (c.hasDatabaseOption || c.hasJobOption), what);
    if (c.hasDatabaseOption || c.hasJobOption) VEXLA_FUZZ_CHECK(L.find('/') != std::string::npos, what);
    if (!c.hasDatabaseOption) VEXLA_FUZZ_CHECK(c.DataBas.empty() && c.msSökväg.empty(), what);
    if (!c.hasJobOption) VEXLA_FUZZ_CHECK(c.jobValue.empty() && !c.namesJob, what);
    if (c.hasDatabaseOption) VEXLA_FUZZ_CHECK(lower(L).find("/d") != std::string::npos, what);
    if (c.hasJobOption) VEXLA_FUZZ_CHECK(lower(L).find("/a") != std::string::npos, what);

    VEXLA_FUZZ_CHECK(c.DataBas.empty() || L.find(c.DataBas) != std::string::npos,
                     "DataBas '" + printable(c.DataBas) + "' is not a piece of " + what);
    VEXLA_FUZZ_CHECK(c.jobValue.empty() || L.find(c.jobValue) != std::string::npos,
                     "job '" + printable(c.jobValue) + "' is not a piece of " + what);

    if (c.DataBas.empty()) {
        VEXLA_FUZZ_CHECK(c.msSökväg.empty(), what);
    } else {
        const std::size_t last = c.DataBas.rfind(separator);
        VEXLA_FUZZ_CHECK(last != std::string::npos, "a path without a folder was taken: " + what);
        VEXLA_FUZZ_CHECK(c.msSökväg == trimBlanks(c.DataBas.substr(0, last)), "wrong folder: " + what);
        VEXLA_FUZZ_CHECK(folderOfPath(c.DataBas, separator) == c.msSökväg, what);
    }
    const std::string job = lower(c.jobValue);
    VEXLA_FUZZ_CHECK(c.namesJob == (job == "k" || job == "c" || job == "r"), what);

    // Cleaning keeps a piece of its input and is what parsing applied.
    const std::string cleaned = cleanOptionValue(L);
    VEXLA_FUZZ_CHECK(cleaned.empty() || L.find(cleaned) != std::string::npos, what);
    VEXLA_FUZZ_CHECK(cleaned.size() <= L.size(), what);
}

std::vector<std::string> splitLines(std::string_view text) {
    std::vector<std::string> out;
    for (;;) {
        const std::size_t lf = text.find('\n');
        out.emplace_back(text.substr(0, lf));
        if (lf == std::string_view::npos) return out;
        text.remove_prefix(lf + 1);
    }
}

void checkRoundTrip(const std::string& path, const std::string& job) {
    if (path.find('"') != std::string::npos || job.find('"') != std::string::npos) return;
    if (optionWord(path) || optionWord(job)) return;
    vexla::fuzz::Stages::hit(path.find('/') != std::string::npos ? "round trip, path with folder" : "round trip, bare name");
    const std::string expectedPath = path.find('/') != std::string::npos ? leftTrimBlanks(path) : std::string();
    const std::vector<std::vector<std::string>> orders = {
        {"/d", path, "/a", job}, {"/a", job, "/d", path}, {"/D", path, "/A", job}, {"/d", path}, {"/a", job}};
    for (const auto& args : orders) {
        const std::string L = joinArguments(args);
        const CommandLine c = parseCommandLine(L, '/');
        const bool hasD = args[0] == "/d" || args[0] == "/D" || args.size() == 4;
        const bool hasA = !(args.size() == 2 && hasD);
        const std::string what = "L='" + printable(L) + "'";
        VEXLA_FUZZ_CHECK(c.hasDatabaseOption == hasD, what);
        VEXLA_FUZZ_CHECK(c.hasJobOption == hasA, what);
        if (hasD) VEXLA_FUZZ_CHECK(c.DataBas == expectedPath, "path '" + printable(c.DataBas) + "' from " + what);
        if (hasA) VEXLA_FUZZ_CHECK(c.jobValue == job, "job '" + printable(c.jobValue) + "' from " + what);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string L(reinterpret_cast<const char*>(data), size);
    checkAnyLine(L, '/');
    checkAnyLine(L, '\\');

    const std::vector<std::string> args = splitLines(L);
    const std::string joined = joinArguments(args);
    for (const std::string& arg : args) {
        const std::string what = "argument '" + printable(arg) + "' lost in '" + printable(joined) + "'";
        VEXLA_FUZZ_CHECK(joined.find(arg) != std::string::npos, what);
    }
    checkAnyLine(joined, '/');

    checkRoundTrip(args[0], args.size() > 1 ? args[1] : std::string("k"));
    return 0;
}
