#include "transfer/run.h"
#include "texts/text_codes.h"

#include <cerrno>
#include <filesystem>

#include "common/file_writing.h"
#include "common/posix_file_system.h"
#include "common/text.h"
#include "common/write_target.h"
#include "db/errors.h"
#include "login/validera.h"
#include "texts/mtexter.h"
#include "transfer/json_report.h"
#include "transfer/password.h"

namespace vexla::transfer {

std::string fullPath(const std::string& path) {
    std::error_code ec;
    const std::filesystem::path full = std::filesystem::absolute(path, ec);
    return ec ? path : full.lexically_normal().string();
}

std::string oneLine(const Error& e, TextSource& texts) {
    return std::to_string(e.number) + " " + describedFileError(e, texts).description;
}

Run::Run(Environment& env, const Options& o)
    : env_(env),
      o_(o),
      scratch_(o.out == kStandardStream || o.in == kStandardStream ? std::make_unique<ScratchFolder>() : nullptr),
      status_(env.err, env.terminal && !o.quiet),
      progress_(status_, env.texts, env.stopSignal),
      messages_(env.console, status_, o.force ? MsgAnswer::Yes : MsgAnswer::No),
      dialogs_(o.out == kStandardStream ? streamFile() : fullPath(o.out), o.spreadsheet ? 2 : 1),
      window_(env.engine, env.files, messages_.besideTheJob(), env.texts, env.programFolder, env.systemLog),
      chosen_(o.locale.value_or(LocaleName::Swedish)),
      platform_{messages_, dialogs_,         pointer_, env.clock, o.locale ? chosen_ : env.locale,
                env.files, env.programFolder},
      ctx_{window_, platform_, env.texts, o.fullCheck} {
    window_.onInfo = [this](const std::string& text) { status_.show(text); };
    ctx_.progress = &progress_;
    ctx_.waitSeconds = o.wait;
    env.engine.SetWait(o.wait);
    env.engine.ReadValuesBy(platform_.locale);
    AdminState& state = window_.state();
    state.DataBas = fullPath(o.db);
    state.msSökväg = folderOfPath(state.DataBas, kPathSeparator).value_or("");
    state.Språk = languageOfTexts(env.texts);
    // Kommandorad stays false: unattended, the exclusive-use test would
    // only write its report to Logg.txt, while a script's caller reads
    // standard error, where the window's message boxes go.
}

int Run::noScratch() {
    const Error e = scratch_->made().error();
    messages_.show(numberAndDescription(describedFileError(e, env_.texts)), kProgramTitle, MsgIcon::Critical,
                   MsgButtons::Ok);
    return finish(failure(e));
}

int Run::failure(const Error& e) {
    noteFailure(e);
    const bool held = e.number == db::err::OpenedExclusively || e.number == db::err::RecordLocked;
    if (held) figures_["holders"] = holdersFigure(e);
    return held ? exitcode::InUse : exitcode::FileError;
}

std::string Run::whyItFailed() {
    const std::string said = complaint_.empty() ? messages_.lastShown : complaint_;
    if (!said.empty() || !failure_) return withLfLineEnds(said);
    return withLfLineEnds(numberAndDescription(describedFileError(*failure_, env_.texts)));
}

int Run::failedWith(const Error& failure, const std::vector<std::string>& lines, bool held) {
    noteFailure(failure);
    messages_.lastShown = lines.empty() ? numberAndDescription(describedFileError(failure, env_.texts)) : lines.front();
    return held ? exitcode::InUse : exitcode::FileError;
}

int Run::refusedTarget(const std::string& target, bool text) {
    Placement placement;
    placement.database = window_.state().DataBas;
    placement.toStream = text;
    const Status s = checkWriteTarget(env_.files, target, placement);
    if (s) return exitcode::Ok;
    messages_.show(numberAndDescription(describedFileError(s.error(), env_.texts)), kProgramTitle, MsgIcon::Critical,
                   MsgButtons::Ok);
    return finish(failure(s.error()));
}

int Run::finish(int status) {
    status_.clear();
    std::string info = window_.info();
    // The scratch file is no name the user gave.
    if (toStandardOutput())
        for (auto at = info.find(streamFile()); at != std::string::npos; at = info.find(streamFile(), at))
            info.replace(at, streamFile().size(), kStandardStream);
    if (!info.empty() && !o_.json && !o_.quiet) std::fprintf(resultStream(), "%s\n", info.c_str());
    std::fflush(resultStream());
    return status;
}

void Run::complain(const char* code, const std::string& detail) {
    status_.clear();
    noteCode(code);
    complaint_ = text(code) + (detail.empty() ? "" : ": ") + detail;
    printError(env_.err, complaint_);
}

namespace {

// The command's word on the command line, for the JSON object and the log.
const char* commandWord(Command command) {
    switch (command) {
        case Command::Export: return "export";
        case Command::Import: return "import";
        case Command::Compact: return "compact";
        case Command::Copy: return "copy";
        case Command::Check: return "check";
        case Command::Recover: return "recover";
        case Command::Backups: return "backups";
        case Command::Restore: return "restore";
    }
    return "";
}

}  // namespace

int Run::report(int status) {
    const bool failed = status != exitcode::Ok && status != exitcode::Skipped;
    const std::string why = failed ? whyItFailed() : "";
    if (o_.json && !(outLost_ && resultStream() == env_.out)) {
        // The check's 7 and 8 are its verdict, which "result" carries: no error of the run.
        const bool verdict =
            o_.command == Command::Check && (status == exitcode::Damaged || status == exitcode::LinksBroken);
        std::optional<ReportedError> error;
        if (failed && !verdict) error = ReportedError{errorNumber_ != 0 ? errorNumber_ : status, why};
        const std::string json = jsonReport(commandWord(*o_.command), status, figures_, error);
        const bool written = std::fputs(json.c_str(), resultStream()) >= 0;
        if (std::fflush(resultStream()) != 0 || !written) {
            // The job's work stands; only its report was lost.
            complain(txt::StandardOutputLostReport, oneLine(fileError(errno, "-", txt::OpWrite), env_.texts));
            status = exitcode::FileError;
        }
    }
    const LogPriority priority = status == exitcode::Ok        ? LogPriority::Notice
                                 : status == exitcode::Skipped ? LogPriority::Warning
                                                               : LogPriority::Error;
    window_.activityLog().toSystemLog(
        priority, jobSummaryLine(env_.texts, std::string("vexla-transfer ") + commandWord(*o_.command), status,
                                 window_.state().DataBas, why, held_));
    return status;
}

int Run::login() {
    std::optional<std::string> password;
    if (o_.passwordStdin)
        password = readPasswordLine(env_.in);
    else if (env_.passwordVariable)
        password = env_.passwordVariable;
    else if (env_.askPassword)
        password = env_.askPassword(text(txt::PasswordLabel) + " ");
    if (!password) {
        complain(txt::NoPasswordGiven);
        return exitcode::Usage;
    }
    AdminState& state = window_.state();
    auto admitted = isAdministrator(LoginDatabase{env_.engine, state.DataBas}, o_.user, *password);
    if (!admitted) {
        // The database would not answer; that is no verdict on the user.
        messages_.show(loginFailureText(admitted.error(), state.DataBas, env_.texts), kProgramTitle, MsgIcon::Critical,
                       MsgButtons::Ok);
        return failure(admitted.error());
    }
    if (*admitted) {
        state.loginName = o_.user;
        return exitcode::Ok;
    }
    noteCode(txt::LoginRefused);
    messages_.beep();
    messages_.show(text(txt::LoginRefused) + "\r\n" + text(txt::CheckUserAndPassword), text(txt::LoginTitle),
                   MsgIcon::Critical, MsgButtons::Ok);
    return exitcode::LoginRefused;
}

void Run::print(std::FILE* to, const std::vector<std::string>& lines) {
    status_.clear();
    if (to == env_.out && (o_.json || o_.quiet)) return;  // the results, not the errors
    for (const std::string& line : lines) std::fprintf(to, "%s\n", withLfLineEnds(line).c_str());
    std::fflush(to);
}

}  // namespace vexla::transfer
