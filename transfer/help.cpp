#include "transfer/help.h"
#include "texts/text_codes.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <string_view>

#include "db/conversion.h"

namespace vexla::transfer {

namespace {

// The texts of the help, line by line: the general help, or one command's.
std::vector<const char*> helpCodes(const std::optional<Command>& command) {
    if (!command)
        return {txt::TransferUsage,
                txt::TransferHelpExport,
                txt::TransferHelpImport,
                txt::TransferHelpCompact,
                txt::TransferHelpCopy,
                txt::TransferHelpCheck,
                txt::TransferHelpRecover,
                txt::TransferHelpBackups,
                txt::TransferHelpRestore,
                txt::TransferHelpJson,
                txt::TransferHelpQuiet,
                txt::TransferHelpWait,
                txt::TransferHelpPerCommand,
                txt::TransferExitStatuses,
                txt::CheckRecoverExitStatuses,
                txt::BackupsRestoreExitStatuses};
    switch (*command) {
        case Command::Export:
            return {txt::ExportUsage,       txt::HelpUser,           txt::HelpPasswordStdin,   txt::ExportHelpForce,
                    txt::ExportHelpFormat,  txt::ExportHelpEncoding, txt::ExportHelpStdout,    txt::TransferHelpJson,
                    txt::TransferHelpQuiet, txt::TransferHelpWait,   txt::TransferExitStatuses};
        case Command::Import:
            return {txt::ImportUsage,       txt::HelpUser,
                    txt::HelpPasswordStdin, txt::ImportHelpDeleteFirst,
                    txt::ImportHelpMapAuto, txt::ImportHelpMapFile,
                    txt::ImportHelpDryRun,  txt::ImportHelpIgnoreColumn,
                    txt::ImportHelpReport,  txt::ImportHelpStdin,
                    txt::TransferHelpJson,  txt::TransferHelpQuiet,
                    txt::TransferHelpWait,  txt::TransferExitStatuses};
        case Command::Compact:
            return {txt::CompactUsage,      txt::TransferHelpCompact, txt::TransferHelpJson,
                    txt::TransferHelpQuiet, txt::TransferHelpWait,    txt::TransferExitStatuses};
        case Command::Copy:
            return {txt::CopyUsage,         txt::CopyHelpInterval, txt::TransferHelpCopy,    txt::TransferHelpJson,
                    txt::TransferHelpQuiet, txt::TransferHelpWait, txt::TransferExitStatuses};
        case Command::Check:
            return {txt::CheckUsage,        txt::CheckHelpFull,    txt::TransferHelpCheck,       txt::TransferHelpJson,
                    txt::TransferHelpQuiet, txt::TransferHelpWait, txt::CheckRecoverExitStatuses};
        case Command::Recover:
            return {txt::RecoverUsage,      txt::RecoverHelpOut,   txt::TransferHelpRecover,     txt::TransferHelpJson,
                    txt::TransferHelpQuiet, txt::TransferHelpWait, txt::CheckRecoverExitStatuses};
        case Command::Backups:
            return {txt::BackupsUsage,      txt::TransferHelpBackups, txt::TransferHelpJson,
                    txt::TransferHelpQuiet, txt::TransferHelpWait,    txt::BackupsRestoreExitStatuses};
        case Command::Restore:
            return {txt::RestoreUsage,      txt::TransferHelpRestore, txt::TransferHelpJson,
                    txt::TransferHelpQuiet, txt::TransferHelpWait,    txt::BackupsRestoreExitStatuses};
    }
    return {};
}

// The columns of the terminal `to` writes to: its window's width, else
// COLUMNS, else 80; 0 when `to` is no terminal.
std::size_t terminalColumns(std::FILE* to) {
    const int fd = fileno(to);
    if (fd < 0 || isatty(fd) == 0) return 0;
    winsize size{};
    if (ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    if (const char* columns = std::getenv("COLUMNS"))
        if (const long n = std::strtol(columns, nullptr, 10); n > 0 && n < 10000) return static_cast<std::size_t>(n);
    return 80;
}

// Where the description of an option line begins (see wrapHelpLine).
std::size_t hangOf(const std::string& line) {
    const std::size_t indent = line.find_first_not_of(' ');
    if (indent == 0 || indent == std::string::npos) return 0;
    if (const std::size_t gap = line.find("  ", indent); gap != std::string::npos)
        return line.find_first_not_of(' ', gap);
    // "--wait <seconds> wait up to ...": past the option and its values.
    std::size_t at = indent;
    while (at < line.size() && (line[at] == '-' || line[at] == '<')) {
        const std::size_t end = line.find(' ', at);
        if (end == std::string::npos) return 0;
        at = end + 1;
    }
    return at;
}

}  // namespace

std::vector<std::string> wrapHelpLine(const std::string& line, std::size_t width) {
    if (width == 0 || db::characterCount(line) <= width) return {line};
    std::size_t hang = hangOf(line);
    // A narrow terminal gives the description all but the line's own indent.
    if (hang + 20 > width) hang = std::min(hang, line.find_first_not_of(' '));
    std::vector<std::string> lines{line.substr(0, hang)};
    const std::string indent(hang, ' ');
    std::size_t used = db::characterCount(lines.back());
    bool empty = true;  // the current line holds no word yet
    for (std::size_t at = hang; at < line.size();) {
        const std::size_t end = std::min(line.find(' ', at), line.size());
        const std::string_view word(line.data() + at, end - at);
        at = end + 1;
        if (word.empty()) continue;
        if (!empty && used + 1 + db::characterCount(word) > width) {
            lines.push_back(indent);
            used = hang, empty = true;
        }
        if (!empty) lines.back() += ' ', ++used;
        lines.back() += word;
        used += db::characterCount(word);
        empty = false;
    }
    return lines;
}

void printHelp(std::FILE* to, TextSource& texts, const std::optional<Command>& command) {
    const std::size_t width = terminalColumns(to);
    const auto print = [&](const char* code) {
        for (const std::string& line : wrapHelpLine(texts.TextTillAndra(code), width))
            std::fprintf(to, "%s\n", line.c_str());
    };
    for (const char* code : helpCodes(command)) {
        print(code);
        // The options of the files a job writes, after the usage line.
        if (command == Command::Compact && std::string_view(code) == txt::CompactUsage)
            print(txt::CompactHelpFullCheck);
        if (command == Command::Copy && std::string_view(code) == txt::CopyHelpInterval)
            for (const char* next : {txt::CopyHelpMoments, txt::CopyHelpForce}) print(next);
        // Every command takes --locale as it takes --wait.
        if (std::string_view(code) == txt::TransferHelpWait) print(txt::TransferHelpLocale);
    }
}

}  // namespace vexla::transfer
