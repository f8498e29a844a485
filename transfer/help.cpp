#include "transfer/help.h"
#include "texts/text_codes.h"

#include <string_view>
#include <vector>

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

}  // namespace

void printHelp(std::FILE* to, TextSource& texts, const std::optional<Command>& command) {
    for (const char* code : helpCodes(command)) {
        std::fprintf(to, "%s\n", texts.TextTillAndra(code).c_str());
        // The options of the files a job writes, after the usage line.
        if (command == Command::Compact && std::string_view(code) == txt::CompactUsage)
            std::fprintf(to, "%s\n", texts.TextTillAndra(txt::CompactHelpFullCheck).c_str());
        if (command == Command::Copy && std::string_view(code) == txt::CopyHelpInterval)
            for (const char* next : {txt::CopyHelpMoments, txt::CopyHelpForce})
                std::fprintf(to, "%s\n", texts.TextTillAndra(next).c_str());
        // Every command takes --locale as it takes --wait.
        if (std::string_view(code) == txt::TransferHelpWait)
            std::fprintf(to, "%s\n", texts.TextTillAndra(txt::TransferHelpLocale).c_str());
    }
}

}  // namespace vexla::transfer
