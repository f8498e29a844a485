#include "transfer/transfer.h"
#include "texts/text_codes.h"

#include <QJsonObject>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <variant>

#include "common/console_platform.h"
#include "common/file_writing.h"
#include "common/input_file.h"
#include "common/platform.h"
#include "common/posix_file_system.h"
#include "common/text.h"
#include "common/write_target.h"
#include "db/errors.h"
#include "login/validera.h"
#include "maintenance/compaction.h"
#include "maintenance/database_check.h"
#include "maintenance/database_copy.h"
#include "maintenance/database_rescue.h"
#include "maintenance/exclusive_test.h"
#include "maintenance/restore.h"
#include "registers/export_register.h"
#include "registers/field_mapping.h"
#include "registers/import.h"
#include "registers/import_report.h"
#include "registers/import_texts.h"
#include "registers/register_kind.h"
#include "registers/transfer_logging.h"
#include "session/windowless_admin.h"
#include "texts/mtexter.h"
#include "transfer/console.h"
#include "transfer/json_report.h"
#include "transfer/links.h"
#include "transfer/options.h"
#include "transfer/password.h"
#include "transfer/standard_streams.h"

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
            return {txt::ExportUsage,       txt::HelpUser,         txt::HelpPasswordStdin,
                    txt::ExportHelpForce,   txt::ExportHelpStdout, txt::TransferHelpJson,
                    txt::TransferHelpQuiet, txt::TransferHelpWait, txt::TransferExitStatuses};
        case Command::Import:
            return {txt::ImportUsage,           txt::HelpUser,          txt::HelpPasswordStdin,
                    txt::ImportHelpDeleteFirst, txt::ImportHelpMapAuto, txt::ImportHelpMapFile,
                    txt::ImportHelpDryRun,      txt::ImportHelpReport,  txt::ImportHelpStdin,
                    txt::TransferHelpJson,      txt::TransferHelpQuiet, txt::TransferHelpWait,
                    txt::TransferExitStatuses};
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

void printHelp(std::FILE* to, TextSource& texts, const std::optional<Command>& command) {
    for (const char* code : helpCodes(command)) {
        std::fprintf(to, "%s\n", texts.TextTillAndra(code).c_str());
        // The options of the files a job writes, after the usage line.
        if (command == Command::Compact && std::string_view(code) == txt::CompactUsage)
            std::fprintf(to, "%s\n", texts.TextTillAndra(txt::CompactHelpFullCheck).c_str());
        if (command == Command::Copy && std::string_view(code) == txt::CopyHelpInterval)
            std::fprintf(to, "%s\n", texts.TextTillAndra(txt::CopyHelpForce).c_str());
    }
}

// A path of the command line as a file dialog would answer it: full, so the
// messages name the file wherever the script ran, and comparable with the
// database path.
std::string fullPath(const std::string& path) {
    std::error_code ec;
    const std::filesystem::path full = std::filesystem::absolute(path, ec);
    return ec ? path : full.lexically_normal().string();
}

// A write error of standard output on the one line that tells it.
std::string oneLine(const Error& e, TextSource& texts) {
    return std::to_string(e.number) + " " + describedFileError(e, texts).description;
}

// One run of one command, with the window's stand-ins around the job.
class Run {
public:
    Run(Environment& env, const Options& o)
        : env_(env),
          o_(o),
          scratch_(o.out == kStandardStream || o.in == kStandardStream ? std::make_unique<ScratchFolder>() : nullptr),
          status_(env.err, env.terminal && !o.quiet),
          progress_(status_, env.texts, env.stopSignal),
          messages_(env.console, status_, o.force ? MsgAnswer::Yes : MsgAnswer::No),
          dialogs_(o.out == kStandardStream ? streamFile() : fullPath(o.out)),
          window_(env.engine, env.files, messages_.besideTheJob(), env.texts, env.programFolder, env.systemLog),
          platform_{messages_, dialogs_, pointer_, env.clock, env.locale, env.files, env.programFolder},
          ctx_{window_, platform_, env.texts, o.fullCheck} {
        window_.onInfo = [this](const std::string& text) { status_.show(text); };
        ctx_.progress = &progress_;
        ctx_.waitSeconds = o.wait;
        env.engine.SetWait(o.wait);
        AdminState& state = window_.state();
        state.DataBas = fullPath(o.db);
        state.msSökväg = folderOfPath(state.DataBas, kPathSeparator).value_or("");
        state.Språk = languageOfTexts(env.texts);
        // Kommandorad stays false: unattended, the exclusive-use test would
        // only write its report to Logg.txt, while a script's caller reads
        // standard error, where the window's message boxes go.
    }

    int exportRegister();
    int importRegister();
    int compact();
    int copy();
    int check();
    int recover();
    int listBackups();
    int restore();
    // The end of the run after `status`: the JSON object (--json) and the
    // system log's summary line. Answers the run's status: a file error
    // when the JSON object could not be written.
    int report(int status);

private:
    // The file standing for standard input or output in the scratch folder.
    static constexpr const char* kStreamFile = "register.skv";
    std::string streamFile() const { return scratch_ ? scratch_->path() + "/" + kStreamFile : std::string(); }
    // The scratch folder could not be made: told, and the run's status.
    int noScratch() {
        const Error e = scratch_->made().error();
        messages_.show(numberAndDescription(describedFileError(e, env_.texts)), kProgramTitle, MsgIcon::Critical,
                       MsgButtons::Ok);
        return finish(failure(e));
    }
    bool toStandardOutput() const { return o_.command == Command::Export && o_.out == kStandardStream; }
    // Where the texts of a result go: standard error while standard output
    // carries the register file.
    std::FILE* resultStream() const { return toStandardOutput() ? env_.err : env_.out; }
    // The number a script is given for `e`: the system's, where there is one.
    static long reportedNumber(const Error& e) { return e.systemNumber != 0 ? e.systemNumber : e.number; }
    // Notes the number of a failure for the report (the text is the box shown).
    void noteNumber(long number) { errorNumber_ = number; }
    // The same for a failure of a job, kept to word it should nothing have been shown.
    void noteFailure(const Error& e) {
        noteNumber(reportedNumber(e));
        failure_ = e;
    }
    // The same for a complaint of our own: the number of its text code.
    void noteCode(const char* code) { errorNumber_ = std::strtol(code + 1, nullptr, 10); }
    // Prints `lines` on `to`, each as the terminal shows a line.
    void print(std::FILE* to, const std::vector<std::string>& lines);
    int login();
    // The status of a job that failed with `e`: another program holding the
    // database, or a file (the database among them) that failed.
    int failure(const Error& e) {
        noteFailure(e);
        const bool held = e.number == db::err::OpenedExclusively || e.number == db::err::RecordLocked;
        if (held) figures_["holders"] = holdersFigure(e.openers);
        return held ? exitcode::InUse : exitcode::FileError;
    }
    // Ends the job as the window would: its last information line is the result.
    int finish(int status);
    // The status of a job stopped by a signal: 128 plus its number.
    int interrupted() const { return exitcode::Interrupted + (env_.stopSignal ? env_.stopSignal() : 0); }
    void complain(const char* code, const std::string& detail = {});
    // Why the job failed, for a script and the log: the last complaint of
    // our own, else the last message shown, its lines joined by LF; else the
    // failure worded in the user's language, so that it is never empty.
    std::string whyItFailed() {
        const std::string said = complaint_.empty() ? messages_.lastShown : complaint_;
        if (!said.empty() || !failure_) return withLfLineEnds(said);
        return withLfLineEnds(numberAndDescription(describedFileError(*failure_, env_.texts)));
    }
    // Tells a check or rescue that failed (its lines printed): the number
    // for --json, the first line as why, and the status: another program
    // holding the database, or a file that failed.
    int failedWith(const Error& failure, const std::vector<std::string>& lines, bool held) {
        noteFailure(failure);
        messages_.lastShown =
            lines.empty() ? numberAndDescription(describedFileError(failure, env_.texts)) : lines.front();
        return held ? exitcode::InUse : exitcode::FileError;
    }
    std::string text(const char* code) { return env_.texts.TextTillAndra(code); }
    // The one rule for the file the job writes, asked before anything
    // changes (checkWriteTarget; `text`: a standard stream takes it in
    // place): 0, or the run's status after the refusal is told.
    int refusedTarget(const std::string& target, bool text) {
        Placement placement;
        placement.database = window_.state().DataBas;
        placement.toStream = text;
        const Status s = checkWriteTarget(env_.files, target, placement);
        if (s) return exitcode::Ok;
        messages_.show(numberAndDescription(describedFileError(s.error(), env_.texts)), kProgramTitle,
                       MsgIcon::Critical, MsgButtons::Ok);
        return finish(failure(s.error()));
    }
    // The path --out names: standard output for "-".
    std::string outPath() const { return o_.out == kStandardStream ? "/dev/stdout" : fullPath(o_.out); }

    Environment& env_;
    const Options& o_;
    std::unique_ptr<ScratchFolder> scratch_;  // for a register file on standard input or output
    StatusLine status_;
    TerminalProgress progress_;
    RunMessageBoxes messages_;
    ScriptedFileDialogs dialogs_;
    NoMousePointer pointer_;
    WindowlessAdmin window_;
    Platform platform_;
    JobContext ctx_;
    QJsonObject figures_;           // the job's figures for --json
    std::optional<double> held_;    // the job's longest hold of the booking system's commits
    long errorNumber_ = 0;          // the failure's number, 0 while none is known
    std::optional<Error> failure_;  // the job's failure, when one is known
    std::string complaint_;         // the last complaint of our own
    bool outLost_ = false;          // standard output took no writes: no JSON object is tried there
};

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
    std::fprintf(env_.err, "%s\n", complaint_.c_str());
}

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

// The login dialog's check without the dialog: Validera decides, and a
// refusal shows the dialog's refusal message.
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

int Run::exportRegister() {
    // Asked before the login, so a script learns it without typing a password.
    const std::string out = fullPath(o_.out);
    if (!toStandardOutput()) {
        if (const int refused = refusedTarget(out, true)) return refused;
    }
    if (!toStandardOutput() && !isStandardStream(out) && !o_.force && env_.files.exists(out)) {
        complain(txt::FileExistsUseForce, out);
        return exitcode::FileError;
    }
    if (toStandardOutput() && !scratch_->made()) return noScratch();
    if (const int refused = login()) return refused;
    const ExportOutcome outcome = vexla::exportRegister(ctx_, o_.kind);
    figures_["records"] = static_cast<qint64>(outcome.n);
    figures_["held_s"] = heldFigure(outcome.heldSeconds);
    held_ = outcome.heldSeconds;
    showExport(ctx_, o_.kind, outcome);
    if (outcome.stopped) return finish(interrupted());
    if (outcome.failure) return finish(failure(*outcome.failure));
    if (outcome.n == 0) return finish(exitcode::FileError);
    if (toStandardOutput()) {
        if (const Status sent = sendFile(streamFile(), env_.out); !sent) {
            // Nothing is claimed: the file never arrived.
            window_.setInfo("");
            complain(txt::StandardOutputFailed, oneLine(sent.error(), env_.texts));
            return finish(exitcode::FileError);
        }
    }
    return finish(exitcode::Ok);
}

// The exit status of an import that stopped: a file that is no register
// file (its header split by another separator, a line in another encoding
// among them), a full or failing disk, and a save the disk answered with an error
// (the register may then hold the import) are file errors; everything else
// left the register unchanged.
int stopStatus(const ImportOutcome& outcome) {
    switch (outcome.stop) {
        case ImportStop::FileUnreadable:
        case ImportStop::NotRegularFile:
        case ImportStop::NoHeader:
        case ImportStop::LineTooLong:
        case ImportStop::TooManyFields:
        case ImportStop::NulCharacter:
        case ImportStop::WrongSeparator:
        case ImportStop::NotUtf8:
        case ImportStop::UnclosedQuote:
        case ImportStop::OtherEncoding:
        case ImportStop::SavedDespiteError:  // the disk failed while the import was made durable
        case ImportStop::SaveUncertain: return exitcode::FileError;
        case ImportStop::Refused:
            if (outcome.error.number == db::err::NotEnoughSpace || outcome.error.number == db::err::DiskError)
                return exitcode::FileError;
            return exitcode::Unchanged;
        default: return exitcode::Unchanged;
    }
}

int Run::importRegister() {
    const RegisterKind& reg = *registerByKind(o_.kind);
    const bool fromStandardInput = o_.in == kStandardStream;
    if (fromStandardInput && !scratch_->made()) return noScratch();
    const std::string in = fromStandardInput ? streamFile() : fullPath(o_.in);
    // A pipe (`<(...)`, /dev/fd/N) or a device is never read as a register
    // file: said before the login, with the way that reads a pipe.
    const auto given = fromStandardInput ? Result<FileInfo>(FileInfo{}) : env_.files.info(in, true);
    if (const FileKind kind = given ? given->kind : FileKind::Missing;
        kind == FileKind::Fifo || kind == FileKind::Device || kind == FileKind::Socket) {
        complain(readingRefusalFor(kind), in);
        std::fprintf(env_.err, "%s\n", text(txt::ReadStandardInputWithInDash).c_str());
        return exitcode::FileError;
    }
    if (const int refused = login()) return refused;
    AdminState& state = window_.state();
    CountOnlyProgress countOnly(progress_);
    if (fromStandardInput) {
        // Received whole before the import starts: the import reads its file twice.
        if (const Status received = receiveStream(env_.in, in, &countOnly); !received) {
            if (received.error().number == kStoppedByUser) return finish(interrupted());
            messages_.show(numberAndDescription(describedFileError(received.error(), env_.texts)), kProgramTitle,
                           MsgIcon::Critical, MsgButtons::Ok);
            return finish(failure(received.error()));
        }
    }

    // The name the user gave, not the copy of standard input.
    const std::string shownIn = fromStandardInput ? std::string(kStandardStream) : in;
    // An import given up before its first line is logged all the same, with why.
    const auto givenUp = [&](int status) {
        logRefusedImport(ctx_, std::string(reg.name), shownIn, o_.dryRun, whyItFailed());
        return status == exitcode::Usage ? status : finish(status);
    };
    // What the mapping dialog would list: the file's fields and the table's.
    long refusal = 0;
    const auto fileFields = registerFileFields(in, messages_, env_.texts, &refusal);
    if (!fileFields) {
        noteNumber(refusal);
        return givenUp(exitcode::FileError);
    }
    // Held from here to the end of the import; the login before held nothing.
    auto db = env_.engine.OpenDatabase(state.DataBas, true);
    if (!db) {
        reportOpeningFailure(ctx_, db.error());
        return givenUp(failure(db.error()));
    }
    const ClosedAtEnd closed(ctx_, **db);
    const auto fields = databaseFields(**db, reg, state.Språk);
    if (!fields) {
        messages_.show(numberAndDescription(describedFileError(fields.error(), env_.texts)), kProgramTitle,
                       MsgIcon::Critical, MsgButtons::Ok);
        return givenUp(exitcode::FileError);
    }
    std::vector<std::string> captions;
    ImportRequest request{std::string(reg.name), in, o_.deleteFirst, {}, o_.dryRun};
    for (const DatabaseField& field : *fields) {
        captions.push_back(field.caption);
        request.fieldTypes.push_back(field.typeCode);
    }

    LinkTable links;
    if (o_.map == "auto") {
        const auto pairs = autoLinkPairs(captions, *fileFields);
        links = autoLinks(pairs, captions, *fileFields);
        // What the dialog's information line would say.
        const std::string unlinked = unlinkedFieldsText(unlinkedFileFields(pairs, *fileFields, env_.texts), env_.texts);
        if (!unlinked.empty() && !o_.quiet) std::fprintf(env_.err, "%s\n", unlinked.c_str());
    } else {
        const std::string mapFile = fullPath(o_.map);
        const auto lines = readMappingLines(mapFile);
        if (!lines) {
            const Error& e = lines.error();
            // A refusal of its kind names the file itself.
            const bool named = refusedKind(e) != FileKind::Regular;
            messages_.show(std::to_string(e.number) + " " + describedFileError(e, env_.texts).description +
                               (named ? "" : ": " + mapFile),
                           kProgramTitle, MsgIcon::Critical, MsgButtons::Ok);
            return givenUp(exitcode::FileError);
        }
        auto mapped = mappedLinks(*lines, captions, *fileFields);
        if (const auto* line = std::get_if<std::string>(&mapped)) {
            complain(txt::MappingLineNamesNoField, *line);
            return givenUp(exitcode::Usage);
        }
        links = std::move(std::get<LinkTable>(mapped));
    }
    if (links.empty()) {  // the file fits none of the register's fields
        noteCode(txt::LinkAtLeastOneField);
        messages_.beep();
        messages_.show(text(txt::LinkAtLeastOneField) + "!", kProgramTitle, MsgIcon::Critical, MsgButtons::Ok);
        return givenUp(exitcode::Unchanged);
    }

    // The report may never replace the database or the file being imported.
    std::unique_ptr<SkippedLinesReport> report;
    const std::string reportPath = o_.report.empty() ? "" : fullPath(o_.report);
    const auto reportFailed = [&](const Error& e) {
        complain(txt::ReportNotWritable,
                 reportPath + " (" + numberAndDescription(describedFileError(e, env_.texts)) + ")");
    };
    const SystemLogNotices notices = ctx_.notices();
    if (!o_.report.empty()) {
        auto created = SkippedLinesReport::create(env_.files, reportPath, {state.DataBas, in}, env_.texts, notices);
        if (!created) {
            reportFailed(created.error());
            return givenUp(exitcode::FileError);
        }
        report = std::move(*created);
    }
    ImportServices services{**db, state.Språk};
    services.notices = &notices;
    services.engine = &env_.engine;
    watchImport(services, fromStandardInput ? static_cast<JobProgress*>(&countOnly) : &progress_);
    // The JSON object is the product: a standard output that stops taking
    // writes ends the import as a stop does, rolled back.
    OutputWatch output(env_.out);
    if (o_.json)
        services.cancelled = [&output, asked = services.cancelled] { return (asked && asked()) || output.lost(); };
    if (report) report->attach(services);
    std::vector<SkippedLine> skippedLines;
    if (o_.json) {
        services.skipped = [&skippedLines, toReport = services.skipped](long line, SkipReason why,
                                                                        std::string_view lineText) {
            skippedLines.push_back({line, why});
            if (toReport) toReport(line, why, lineText);
        };
    }
    const ImportOutcome outcome = vexla::importRegister(links, request, services);
    figures_ = importFigures(outcome, skippedLines, o_.dryRun);
    held_ = outcome.heldSeconds;
    ImportRequest logged = request;
    logged.path = shownIn;
    logImport(ctx_, logged, outcome);
    const Status reportWritten = report ? report->finish(outcome) : Status{};
    status_.clear();
    if (outcome.stop == ImportStop::Cancelled && !output.found()) {
        outLost_ = true;
        window_.setInfo("");
        complain(txt::StandardOutputFailed, oneLine(output.found().error(), env_.texts));
        return finish(exitcode::FileError);
    }
    if (outcome.stopped()) {
        if (outcome.stop != ImportStop::Cancelled) messages_.beep();
        if (outcome.error.number != 0) noteNumber(reportedNumber(outcome.error));
        messages_.show(importStopMessage(outcome, fromStandardInput ? kStandardStream : in, env_.texts), kProgramTitle,
                       MsgIcon::Critical, MsgButtons::Ok);
        window_.setInfo(importInfoLine(outcome, env_.texts));
        return finish(outcome.stop == ImportStop::Cancelled ? interrupted() : stopStatus(outcome));
    }
    window_.setInfo(withLfLineEnds(importSummary(outcome, o_.dryRun, env_.texts)));
    if (!reportWritten) {
        reportFailed(reportWritten.error());
        return finish(exitcode::FileError);
    }
    const bool skipped = outcome.skipped() > 0;
    return finish(skipped ? exitcode::Skipped : exitcode::Ok);
}

int Run::compact() {
    const CompactionOutcome outcome = compactDatabase(ctx_);
    figures_ = compactionFigures(outcome);
    held_ = outcome.heldSeconds;
    showCompaction(ctx_, outcome);
    if (outcome.stopped()) return finish(interrupted());
    return finish(outcome.compacted() ? exitcode::Ok : failure(*outcome.failure));
}

int Run::copy() {
    std::optional<CopyInterval> interval;
    if (o_.from) {
        // The interval dialog's own check of its OK button.
        if (!(*o_.to > *o_.from)) {
            noteCode(txt::LastStartMustBeLater);
            messages_.beep();
            messages_.show(text(txt::LastStartMustBeLater) + "!", kProgramTitle, MsgIcon::Critical, MsgButtons::Ok);
            return exitcode::Usage;
        }
        interval = CopyInterval{*o_.from, *o_.to};
    }
    // A stream is refused before the copy's rule adds ".db" to its name.
    if (isStandardStream(outPath())) return refusedTarget(outPath(), false);
    if (auto tested = testExclusiveUse(ctx_, "", false); !tested) {
        reportRefusal(ctx_, tested.error());
        return finish(failure(tested.error()));
    }
    const std::string& database = window_.state().DataBas;
    const std::string chosen = fullPath(o_.out);
    const std::string name = withDatabaseExtension(ctx_, chosen);
    if (chosen == database || name == database) {
        noteCode(txt::CopyCannotReplaceDatabase);
        messages_.beep();
        messages_.show(text(txt::CopyCannotReplaceDatabase), kProgramTitle, MsgIcon::None, MsgButtons::Ok);
        return finish(exitcode::FileError);
    }
    if (const int refused = refusedTarget(name, false)) return refused;
    // The window's save dialog asks before a file is replaced; here --force answers.
    if (!o_.force && env_.files.exists(name)) {
        complain(txt::FileExistsUseForce, name);
        return exitcode::FileError;
    }
    const CopyOutcome outcome = copyDatabase(ctx_, name, interval);
    figures_ = copyFigures(outcome);
    held_ = outcome.compaction.heldSeconds;
    showCopy(ctx_, outcome);
    switch (outcome.end) {
        case CopyEnd::Copied: return finish(exitcode::Ok);
        case CopyEnd::NotCompacted:
            if (outcome.compaction.stopped()) return finish(interrupted());
            return finish(failure(*outcome.compaction.failure));
        case CopyEnd::Stopped: return finish(interrupted());
        case CopyEnd::FolderMissing:
            // The window would ask for another file here, under its waiting text.
            window_.setInfo("");
            break;
        case CopyEnd::Failed: return finish(failure(*outcome.failure));
    }
    return finish(exitcode::FileError);
}

void Run::print(std::FILE* to, const std::vector<std::string>& lines) {
    status_.clear();
    if (to == env_.out && (o_.json || o_.quiet)) return;  // the results, not the errors
    for (const std::string& line : lines) std::fprintf(to, "%s\n", withLfLineEnds(line).c_str());
    std::fflush(to);
}

int Run::check() {
    const CheckOutcome outcome = checkDatabase(ctx_);
    figures_ = checkFigures(outcome);
    held_ = outcome.heldSeconds;
    if (outcome.stopped()) return finish(interrupted());
    const std::vector<std::string> lines = checkLines(ctx_, outcome);
    print(outcome.failure ? env_.err : env_.out, lines);
    if (outcome.failure) return failedWith(*outcome.failure, lines, outcome.held());
    if (outcome.damaged()) return exitcode::Damaged;
    return outcome.linksBroken() ? exitcode::LinksBroken : exitcode::Ok;
}

int Run::recover() {
    const std::string target = outPath();
    // Asked first, so a script learns it without waiting for a rescue.
    if (const int refused = refusedTarget(target, false)) return refused;
    if (!o_.force && env_.files.exists(target)) {
        complain(txt::FileExistsUseForce, target);
        return exitcode::FileError;
    }
    const RescueOutcome outcome = rescueDatabase(ctx_, target, o_.force);
    figures_ = rescueFigures(outcome);
    if (outcome.stopped()) return finish(interrupted());
    const std::vector<std::string> lines = rescueLines(ctx_, outcome);
    print(outcome.failure ? env_.err : env_.out, lines);
    if (outcome.failure) return failedWith(*outcome.failure, lines, outcome.held());
    return exitcode::Ok;
}

int Run::listBackups() {
    auto backups = vexla::listBackups(ctx_);
    if (!backups) {
        if (backups.error().number == kStoppedByUser) return finish(interrupted());
        messages_.show(numberAndDescription(backups.error()), kProgramTitle, MsgIcon::Critical, MsgButtons::Ok);
        noteFailure(backups.error());
        return finish(exitcode::FileError);
    }
    figures_ = backupFigures(*backups);
    print(env_.out, backupListLines(ctx_, *backups));
    return finish(exitcode::Ok);
}

int Run::restore() {
    const RestoreOutcome outcome = restoreBackup(ctx_, fullPath(o_.backup));
    figures_ = restoreFigures(outcome);
    held_ = outcome.heldSeconds;
    window_.setInfo("");  // the lines below say it
    if (outcome.refused()) {
        reportRefusal(ctx_, *outcome.failure);
        return finish(failure(*outcome.failure));
    }
    const std::vector<std::string> lines = restoreReportLines(ctx_, outcome);
    print(outcome.failure && !outcome.stopped() ? env_.err : env_.out, lines);
    if (outcome.failure && !lines.empty()) messages_.lastShown = lines.front();
    if (outcome.stopped()) return finish(interrupted());
    if (outcome.backupRefused) {
        noteNumber(outcome.failure ? reportedNumber(*outcome.failure) : 0);
        return finish(exitcode::Refused);
    }
    if (outcome.failure) return finish(failure(*outcome.failure));
    return finish(exitcode::Ok);
}

}  // namespace

int runTransfer(const std::vector<std::string>& args, Environment& env) {
    const auto parsed = parseArguments(args);
    if (const auto* wrong = std::get_if<UsageError>(&parsed)) {
        const std::string said = env.texts.TextTillAndra(wrong->code) + ": " + wrong->detail;
        std::fprintf(env.err, "%s\n%s\n", said.c_str(), env.texts.TextTillAndra(txt::TransferHelpPerCommand).c_str());
        // A script that asked for JSON gets it for a wrong line as well.
        if (std::find(args.begin(), args.end(), "--json") != args.end()) {
            const std::string json = jsonReport(args.front(), exitcode::Usage, {},
                                                ReportedError{std::strtol(wrong->code.c_str() + 1, nullptr, 10), said});
            std::fputs(json.c_str(), env.out);
        }
        return exitcode::Usage;
    }
    const Options& o = std::get<Options>(parsed);
    if (o.version) {
        std::fprintf(env.out, "vexla-transfer %s\n", VEXLA_VERSION);
        return exitcode::Ok;
    }
    if (o.help) {
        printHelp(env.out, env.texts, o.command);
        return exitcode::Ok;
    }
    if (!o.command) {
        printHelp(env.err, env.texts, std::nullopt);
        return exitcode::Usage;
    }
    const bool productOnOut = o.json || (o.command == Command::Export && o.out == kStandardStream);
    if (env.outClosed && productOnOut) {
        // Refused before anything changes: the product would go nowhere.
        std::fprintf(env.err, "%s\n", env.texts.TextTillAndra(txt::StandardOutputClosed).c_str());
        return exitcode::FileError;
    }
    if (const Status writable = productOnOut ? standardOutputTakesWrites(env.out) : Status{}; !writable) {
        // The same for a pipe whose reader is gone or a full device.
        std::fprintf(env.err, "%s: %s\n", env.texts.TextTillAndra(txt::StandardOutputFailed).c_str(),
                     oneLine(writable.error(), env.texts).c_str());
        return exitcode::FileError;
    }
    Run run(env, o);
    int status = exitcode::Usage;
    switch (*o.command) {
        case Command::Export: status = run.exportRegister(); break;
        case Command::Import: status = run.importRegister(); break;
        case Command::Compact: status = run.compact(); break;
        case Command::Copy: status = run.copy(); break;
        case Command::Check: status = run.check(); break;
        case Command::Recover: status = run.recover(); break;
        case Command::Backups: status = run.listBackups(); break;
        case Command::Restore: status = run.restore(); break;
    }
    // A wait that a stop cut short (the engine's busy wait, a read of the
    // terminal or of standard input) fails as a wait or a read would; the
    // job undid what it started all the same, and the status says why.
    const int signal = env.stopSignal ? env.stopSignal() : 0;
    if (signal != 0 && status != exitcode::Ok && status != exitcode::Skipped && status < exitcode::Interrupted)
        status = exitcode::Interrupted + signal;
    return run.report(status);
}

}  // namespace vexla::transfer
