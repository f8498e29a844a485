#include "session/transfer_log.h"
#include "texts/text_codes.h"

#include "common/system_user.h"

namespace vexla {

namespace {

// A text on one line: each line break (CR LF, CR or LF) a blank.
std::string oneLine(std::string text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        out += text[i] == '\r' || text[i] == '\n' ? ' ' : text[i];
    }
    return out;
}

}  // namespace

std::string transferLogLine(const TransferLogEntry& e, TextSource& texts) {
    auto text = [&](const char* code) { return texts.TextTillAndra(code); };
    using Kind = TransferLogEntry::Kind;
    const char* kind = e.kind == Kind::Export   ? txt::LogExport
                       : e.kind == Kind::Import ? txt::LogImport
                                                : txt::LogTrialImport;
    std::string line = e.time + " " + text(kind) + " " + texts.TextTillAndra(e.registerCode) + ": " + oneLine(e.file) +
                       "; " + text(txt::LogLogin) + " " + e.loginName + ", " + text(txt::LogSystemUser) + " " +
                       e.systemUser + "; ";
    if (e.kind == Kind::Export)
        line += std::to_string(e.records) + " " + text(txt::LogRecordsExported);
    else
        line += std::to_string(e.records) + " " + text(txt::LogRecordsImported) + ", " + std::to_string(e.deleted) +
                " " + text(txt::LogRecordsDeletedFirst) + ", " + std::to_string(e.skipped) + " " +
                text(txt::LogLinesSkipped);
    return line + "; " + text(txt::LogEnded) + ": " + (e.ending.empty() ? text(txt::LogDone) : oneLine(e.ending));
}

void logTransfer(JobContext& ctx, TransferLogEntry entry) {
    entry.time = ctx.now();
    entry.loginName = ctx.main.state().loginName;
    entry.systemUser = systemUserName();
    ctx.main.Logg(transferLogLine(entry, ctx.texts));
}

}  // namespace vexla
