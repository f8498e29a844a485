#include "session/transfer_log.h"

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
    const char* kind = e.kind == Kind::Export ? "R9548" : e.kind == Kind::Import ? "R9546" : "R9547";
    std::string line = e.time + " " + text(kind) + " " + texts.TextTillAndra(e.registerCode) + ": " + oneLine(e.file) +
                       "; " + text("R9549") + " " + e.loginName + ", " + text("R9550") + " " + e.systemUser + "; ";
    if (e.kind == Kind::Export)
        line += std::to_string(e.records) + " " + text("R9551");
    else
        line += std::to_string(e.records) + " " + text("R9552") + ", " + std::to_string(e.deleted) + " " +
                text("R9553") + ", " + std::to_string(e.skipped) + " " + text("R9554");
    return line + "; " + text("R9555") + ": " + (e.ending.empty() ? text("R9556") : oneLine(e.ending));
}

void logTransfer(JobContext& ctx, TransferLogEntry entry) {
    entry.time = ctx.now();
    entry.loginName = ctx.main.state().loginName;
    entry.systemUser = systemUserName();
    ctx.main.Logg(transferLogLine(entry, ctx.texts));
}

}  // namespace vexla
