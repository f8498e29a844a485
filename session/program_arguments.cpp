#include "session/program_arguments.h"
#include "texts/text_codes.h"

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

#include "common/paths.h"
#include "session/job_context.h"

namespace vexla {

namespace {

enum class Meaning { Help, Version, HasDatabase, Database, Wait, WindowsDatabase, WindowsJob };

// How an option's word is recognised and where its value is.
enum class Form {
    Alone,     // the whole word, no value
    Next,      // the whole word; the value is the next argument, whatever it is
    Attached,  // the word starts with it; the value is the rest of the word
    Windows,   // a Windows option word of that letter (windowsOptionLetter); the value is
               // attached to a word longer than `attachedAfter`, else the next argument
};

struct OptionRow {
    std::string_view word;
    Form form;
    Meaning meaning;
    std::size_t attachedAfter = 0;
};

// Every option vexla-admin takes. /d skips one more character than /a before
// its value ("/db PATH"), so "/db" still wants the next argument.
constexpr std::array<OptionRow, 11> kOptions{{
    {"-h", Form::Alone, Meaning::Help},
    {"--help", Form::Alone, Meaning::Help},
    {"--version", Form::Alone, Meaning::Version},
    {"--has-database", Form::Alone, Meaning::HasDatabase},
    {"-d", Form::Next, Meaning::Database},
    {"--database", Form::Next, Meaning::Database},
    {"--database=", Form::Attached, Meaning::Database},
    {"--wait", Form::Next, Meaning::Wait},
    {"--wait=", Form::Attached, Meaning::Wait},
    {"/d", Form::Windows, Meaning::WindowsDatabase, 3},
    {"/a", Form::Windows, Meaning::WindowsJob, 2},
}};

const OptionRow* matchOption(const std::string& arg) {
    for (const OptionRow& row : kOptions) {
        const bool matches = row.form == Form::Windows    ? windowsOptionLetter(arg) == row.word[1]
                             : row.form == Form::Attached ? arg.starts_with(row.word)
                                                          : arg == row.word;
        if (matches) return &row;
    }
    return nullptr;
}

// A word that may stand as the value of a Windows option: no option itself.
bool mayBeWindowsValue(const std::string& arg) { return !matchOption(arg) && !arg.starts_with('-'); }

ProgramArguments usage(const char* code, const std::string& argument) {
    ProgramArguments wrong;
    wrong.request = Request::Usage;
    wrong.complaint = code;
    wrong.argument = argument;
    return wrong;
}

// Sets a Linux database path as /d would set its value; a bare file name
// is in the current folder.
void setDatabase(CommandLine& options, const std::string& path, char separator) {
    options.hasDatabaseOption = true;
    options.Kommandorad = true;
    options.DataBas = path.find(separator) == std::string::npos ? std::string(".") + separator + path : path;
    options.msSökväg = folderOfPath(options.DataBas, separator).value_or("");
}

}  // namespace

ProgramArguments readProgramArguments(const std::vector<std::string>& args, char separator) {
    std::vector<std::string> windowsWords;  // the Windows options and their values, in order
    std::optional<std::string> linuxPath;   // set only when it is the first database option
    bool windowsDatabaseSeen = false;
    int wait = 10;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const OptionRow* row = matchOption(arg);
        if (!row) return usage(arg.starts_with('-') ? txt::UnknownOption : txt::UnexpectedArgument, arg);
        const bool hasNext = i + 1 < args.size();
        switch (row->meaning) {
            case Meaning::Help: return ProgramArguments{Request::Help, {}, {}, {}};
            case Meaning::Version: return ProgramArguments{Request::Version, {}, {}, {}};
            case Meaning::HasDatabase: return ProgramArguments{Request::HasDatabase, {}, {}, {}};
            case Meaning::Database: {
                if (row->form == Form::Next && !hasNext) return usage(txt::OptionNeedsValue, arg);
                const std::string path = row->form == Form::Next ? args[++i] : arg.substr(row->word.size());
                if (path.empty()) return usage(txt::OptionNeedsValue, row->form == Form::Next ? arg : "--database");
                if (!linuxPath && !windowsDatabaseSeen) linuxPath = path;
                break;
            }
            case Meaning::Wait: {
                if (row->form == Form::Next && !hasNext) return usage(txt::OptionNeedsValue, arg);
                const std::string value = row->form == Form::Next ? args[++i] : arg.substr(row->word.size());
                const auto seconds = waitSecondsFrom(value);
                if (!seconds) return usage(txt::InvalidValue, "--wait " + value);
                wait = *seconds;
                break;
            }
            case Meaning::WindowsDatabase:
            case Meaning::WindowsJob:
                windowsWords.push_back(arg);
                if (arg.size() <= row->attachedAfter) {
                    if (!hasNext || !mayBeWindowsValue(args[i + 1])) return usage(txt::OptionNeedsValue, arg);
                    windowsWords.push_back(args[++i]);
                }
                if (row->meaning == Meaning::WindowsDatabase) windowsDatabaseSeen = true;
                break;
        }
    }
    ProgramArguments result;
    result.waitSeconds = wait;
    result.options = parseCommandLine(joinArguments(windowsWords), separator);
    const CommandLine& o = result.options;
    if (o.hasJobOption && !o.namesJob)
        return o.jobValue.empty() ? usage(txt::OptionNeedsValue, "/a") : usage(txt::UnknownUnattendedJob, o.jobValue);
    if (linuxPath) setDatabase(result.options, *linuxPath, separator);
    return result;
}

}  // namespace vexla
