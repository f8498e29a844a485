#include "session/exclusive_refusal.h"
#include "texts/text_codes.h"

#include <cstdio>

#include "common/file_writing.h"
#include "common/platform.h"
#include "db/errors.h"

namespace vexla {

ExclusiveRefusal describeRefusal(const Error& refusal, const std::string& path, const std::string& now,
                                 TextSource& texts) {
    const auto text = [&](const char* code) { return texts.TextTillAndra(code); };
    const std::string crlf = "\r\n";
    switch (refusal.number) {
        case db::err::OpenedExclusively:
        case db::err::RecordLocked: {
            const std::string holder =
                refusal.keptOpenSeconds >= 0 ? keptOpenText(refusal, texts) : holderText(refusal.holder, texts);
            const std::string who = holder.empty() ? "" : holder + ".";
            return {text(txt::DatabaseOpenInAnotherProgram) + "!" + crlf + (who.empty() ? "" : who + crlf) +
                        text(txt::CloseDatabaseIn) + " " + text(txt::TheBookingSystem) + "!" + crlf +
                        text(txt::ThenTryAgain),
                    text(txt::DatabaseOpenInAnotherProgram) + "! " +
                        (who.empty() || refusal.keptOpenSeconds >= 0 ? "" : who + " ") + path + ": " + now};
        }
        case db::err::FileNotFound:
            return {text(txt::DatabaseFileNotFound) + "!" + crlf + crlf + text(txt::CheckDatabasePath) + ".",
                    text(txt::DatabaseFileNotFound) + "! " + path + ":" + now};
        case db::err::UnrecognizedFormat:
            return {text(txt::NotARecognisedDatabase) + "!" + crlf + crlf + text(txt::CheckDatabasePath),
                    text(txt::NotARecognisedDatabase) + "! " + path + ":" + now};
        default: {
            const std::string head = text(txt::DatabaseCouldNotBeOpened) + ": " + std::to_string(refusal.number) +
                                     crlf + describedFileError(refusal, texts).description;
            // The line names the path once: the description may already.
            const bool named = head.find(path) != std::string::npos;
            return {head + crlf + text(txt::DatabaseCannotBeUsedNow) + "!",
                    head + (named ? "" : " " + path) + ": " + now};
        }
    }
}

std::string keptOpenText(const Error& refusal, TextSource& texts) {
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.0f", refusal.keptOpenSeconds);
    std::string text = texts.TextTillAndra(txt::TransactionKeptOpenFor) + " " + seconds + " s";
    std::string openers;
    for (const Holder& h : refusal.openers)
        openers += (openers.empty() ? "" : ", ") + h.program + " (" + texts.TextTillAndra(txt::InUseProcess) + " " +
                   std::to_string(h.pid) + ", " + texts.TextTillAndra(txt::InUseUser) + " " + h.user + ")";
    if (!openers.empty()) text += ". " + texts.TextTillAndra(txt::ProgramsWithFileOpen) + ": " + openers;
    return text;
}

std::string holderText(const Holder& holder, TextSource& texts) {
    if (!holder.known()) return "";
    const auto text = [&](const char* code) { return texts.TextTillAndra(code); };
    return text(txt::InUseBy) + " " + (holder.program.empty() ? "?" : holder.program) + " (" +
           (holder.user.empty() ? "" : text(txt::InUseUser) + " " + holder.user + ", ") + text(txt::InUseHost) + " " +
           holder.host + ", " + text(txt::InUseProcess) + " " + std::to_string(holder.pid) + ")";
}

bool isOpeningRefusal(const Error& e) {
    switch (e.number) {
        case db::err::OpenedExclusively:
        case db::err::RecordLocked:
        case db::err::FileNotFound:
        case db::err::UnrecognizedFormat: return true;
        default: return false;
    }
}

void reportRefusal(JobContext& ctx, const Error& refusal) {
    const ExclusiveRefusal said = describeRefusal(refusal, ctx.main.state().DataBas, ctx.now(), ctx.texts);
    // The line says it also when the box does not: a window started with /d
    // logs the refusal instead of showing a box.
    ctx.main.setInfo(said.line);
    ctx.platform.messages.beep();
    if (ctx.main.state().Kommandorad)
        ctx.main.Logg(said.line);
    else
        ctx.platform.messages.show(said.box, kProgramTitle, MsgIcon::Critical, MsgButtons::Ok);
}

void reportOpeningFailure(JobContext& ctx, const Error& e) {
    if (isOpeningRefusal(e)) return reportRefusal(ctx, e);
    ctx.platform.messages.beep();
    ctx.platform.messages.show(numberAndDescription(ctx.described(e)), kProgramTitle, MsgIcon::Critical,
                               MsgButtons::Ok);
}

}  // namespace vexla
