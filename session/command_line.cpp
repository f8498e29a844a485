#include "session/command_line.h"

#include <cstddef>

#include "common/ini_file.h"
#include "common/text.h"

namespace vexla {

namespace {

// Only ASCII letters are folded, so that every byte keeps its position and a
// position found in the copy points at the same character of L.
std::string lowercaseCopy(const std::string& text) {
    std::string out = text;
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

bool startsWithNoCase(const std::string& text, const std::string& lowerPrefix) {
    return lowercaseCopy(text.substr(0, lowerPrefix.size())) == lowerPrefix;
}

// Position (from 1) of the first `needle` in `text` at or after position
// `from` that does not stand inside double quotes; 0 when there is none.
std::size_t findOutsideQuotes(const std::string& text, const std::string& needle, std::size_t from) {
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '"') {
            quoted = !quoted;
            continue;
        }
        if (quoted || i + 1 < from) continue;
        if (text.compare(i, needle.size(), needle) == 0) return i + 1;
    }
    return 0;
}

// `count` characters of `text` from position `start` (from 1); fewer when
// the text ends first, none when it starts behind the end.
std::string mid(const std::string& text, std::size_t start, std::size_t count = std::string::npos) {
    if (start < 1 || start > text.size()) return {};
    return text.substr(start - 1, count);
}

// Raw value of an option found at P: the text from P + skip up to the next
// "/" searched from P + searchOffset, or the rest of L when that slash does
// not stand behind the search start. A slash so close that the value would
// have a negative length gives an empty value.
std::string rawValue(const std::string& L, std::size_t P, std::size_t searchOffset, std::size_t skip) {
    const std::size_t Q = findOutsideQuotes(L, "/", P + searchOffset);
    if (Q > P + searchOffset) {
        if (Q < P + skip) return {};
        return mid(L, P + skip, Q - P - skip);
    }
    return mid(L, P + skip);
}

}  // namespace

char windowsOptionLetter(const std::string& arg) {
    if (arg.find('/', 1) != std::string::npos) return 0;
    if (startsWithNoCase(arg, "/d")) return 'd';
    if (startsWithNoCase(arg, "/a")) return 'a';
    return 0;
}

std::string cleanOptionValue(const std::string& raw) {
    std::string value(trimBlanks(raw));
    if (!value.empty() && value.front() == '"') value.erase(0, 1);
    if (!value.empty() && value.back() == '"') value.pop_back();
    return value;
}

std::string joinArguments(const std::vector<std::string>& args) {
    std::string L;
    for (const std::string& arg : args) {
        if (!L.empty()) L += ' ';
        const bool needsQuotes = arg.find_first_of(" /") != std::string::npos && windowsOptionLetter(arg) == 0 &&
                                 arg.find('"') == std::string::npos;
        if (needsQuotes)
            L += '"' + arg + '"';
        else
            L += arg;
    }
    return L;
}

CommandLine parseCommandLine(const std::string& L, char separator) {
    CommandLine result;
    const std::string lower = lowercaseCopy(L);

    if (const std::size_t P = findOutsideQuotes(lower, "/d", 1); P != 0) {
        result.hasDatabaseOption = true;
        result.Kommandorad = true;
        // "/d" and the two characters behind it belong to the option.
        const std::string value = cleanOptionValue(rawValue(L, P, 2, 4));
        if (const auto folder = folderOfPath(value, separator)) {
            result.DataBas = value;
            result.msSökväg = *folder;
        }
    }

    if (const std::size_t P = findOutsideQuotes(lower, "/a", 1); P != 0) {
        result.hasJobOption = true;
        result.Kommandorad = true;
        result.jobValue = cleanOptionValue(rawValue(L, P, 1, 2));
        const std::string job = lowercaseCopy(result.jobValue);
        result.namesJob = job == "k" || job == "c" || job == "r";
    }
    return result;
}

StartingDatabase startingDatabase(const CommandLine& options, const std::string& programFolder,
                                  const std::string& userSettings) {
    StartingDatabase start;
    start.Kommandorad = options.Kommandorad;
    if (options.hasDatabaseOption) {
        start.DataBas = options.DataBas;
        start.msSökväg = options.msSökväg;
        return start;
    }
    const auto dataBas1 = [](const std::string& file) {
        return std::string(trimBlanks(readIniString(file, "System", "DataBas1", 255)));
    };
    if (!userSettings.empty() && !options.hasJobOption) start.DataBas = dataBas1(userSettings);
    if (start.DataBas.empty()) start.DataBas = dataBas1(programFolder + "/Vexla.ini");
    start.msSökväg = folderOfPath(start.DataBas, kPathSeparator).value_or("");
    return start;
}

}  // namespace vexla
