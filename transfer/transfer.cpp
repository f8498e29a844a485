#include "transfer/transfer.h"

#include <filesystem>
#include <variant>

#include "common/console_platform.h"
#include "common/file_writing.h"
#include "common/platform.h"
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
#include "session/windowless_admin.h"
#include "texts/mtexter.h"
#include "transfer/console.h"
#include "transfer/links.h"
#include "transfer/options.h"
#include "transfer/password.h"

namespace vexla::transfer {

namespace {

// The texts of the help, line by line: the general help, or one command's.
std::vector<const char*> helpCodes(const std::optional<Command>& command) {
    if (!command)
        return {"R9060", "R9061", "R9062", "R9063", "R9064", "R9447", "R9448",
                "R9493", "R9494", "R9065", "R9066", "R9456", "R9495"};
    switch (*command) {
        case Command::Export: return {"R9067", "R9073", "R9074", "R9068", "R9066"};
        case Command::Import: return {"R9069", "R9073", "R9074", "R9070", "R9071", "R9072", "R9121", "R9122", "R9066"};
        case Command::Compact: return {"R9075", "R9063", "R9066"};
        case Command::Copy: return {"R9076", "R9077", "R9064", "R9066"};
        case Command::Check: return {"R9445", "R9449", "R9447", "R9456"};
        case Command::Recover: return {"R9446", "R9455", "R9448", "R9456"};
        case Command::Backups: return {"R9491", "R9493", "R9495"};
        case Command::Restore: return {"R9492", "R9494", "R9495"};
    }
    return {};
}

void printHelp(std::FILE* to, TextSource& texts, const std::optional<Command>& command) {
    for (const char* code : helpCodes(command)) {
        std::fprintf(to, "%s\n", texts.TextTillAndra(code).c_str());
        // The options of the files a job writes, after the usage line.
        if (command == Command::Compact && std::string_view(code) == "R9075")
            std::fprintf(to, "%s\n", texts.TextTillAndra("R9161").c_str());
        if (command == Command::Copy && std::string_view(code) == "R9077")
            std::fprintf(to, "%s\n", texts.TextTillAndra("R9162").c_str());
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

// One run of one command, with the window's stand-ins around the job.
class Run {
public:
    Run(Environment& env, const Options& o)
        : env_(env),
          o_(o),
          status_(env.err, env.terminal),
          progress_(status_, env.texts, env.stopSignal),
          messages_(env.console, status_, o.force ? MsgAnswer::Yes : MsgAnswer::No),
          dialogs_(fullPath(o.out)),
          window_(env.engine, env.files, messages_, env.texts, env.programFolder),
          platform_{messages_, dialogs_, pointer_, env.clock, env.locale, env.files, env.programFolder},
          ctx_{window_, platform_, env.texts, o.fullCheck} {
        window_.onInfo = [this](const std::string& text) { status_.show(text); };
        ctx_.progress = &progress_;
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

private:
    // Prints `lines` on `to`, each as the terminal shows a line.
    void print(std::FILE* to, const std::vector<std::string>& lines);
    int login();
    // The status of a job that failed with `e`: another program holding the
    // database, or a file (the database among them) that failed.
    static int failure(const Error& e) {
        const bool held = e.number == db::err::OpenedExclusively || e.number == db::err::RecordLocked;
        return held ? exitcode::InUse : exitcode::FileError;
    }
    // Ends the job as the window would: its last information line is the result.
    int finish(int status);
    // The status of a job stopped by a signal: 128 plus its number.
    int interrupted() const { return exitcode::Interrupted + (env_.stopSignal ? env_.stopSignal() : 0); }
    void complain(const char* code, const std::string& detail = {});
    std::string text(const char* code) { return env_.texts.TextTillAndra(code); }

    Environment& env_;
    const Options& o_;
    StatusLine status_;
    TerminalProgress progress_;
    RunMessageBoxes messages_;
    ScriptedFileDialogs dialogs_;
    NoMousePointer pointer_;
    WindowlessAdmin window_;
    Platform platform_;
    JobContext ctx_;
};

int Run::finish(int status) {
    status_.clear();
    if (!window_.info().empty()) std::fprintf(env_.out, "%s\n", window_.info().c_str());
    std::fflush(env_.out);
    return status;
}

void Run::complain(const char* code, const std::string& detail) {
    status_.clear();
    std::fprintf(env_.err, "%s%s%s\n", text(code).c_str(), detail.empty() ? "" : ": ", detail.c_str());
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
        password = env_.askPassword(text("R1051") + " ");
    if (!password) {
        complain("R9083");
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
    if (*admitted) return exitcode::Ok;
    messages_.beep();
    messages_.show(text("R0137") + "\r\n" + text("R0138"), text("R1885"), MsgIcon::Critical, MsgButtons::Ok);
    return exitcode::LoginRefused;
}

int Run::exportRegister() {
    // Asked before the login, so a script learns it without typing a password.
    const std::string out = fullPath(o_.out);
    if (!o_.force && env_.files.exists(out)) {
        complain("R9084", out);
        return exitcode::FileError;
    }
    if (const int refused = login()) return refused;
    const ExportOutcome outcome = vexla::exportRegister(ctx_, o_.kind);
    showExport(ctx_, o_.kind, outcome);
    if (outcome.stopped) return finish(interrupted());
    if (outcome.failure) return finish(failure(*outcome.failure));
    return finish(outcome.n == 0 ? exitcode::FileError : exitcode::Ok);
}

// A text of CR LF lines as lines of a terminal.
std::string terminalLines(std::string text) {
    for (std::size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at)) text.erase(at, 1);
    return text;
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
    const std::string in = fullPath(o_.in);
    if (const int refused = login()) return refused;
    AdminState& state = window_.state();

    // What the mapping dialog would list: the file's fields and the table's.
    const auto fileFields = registerFileFields(in, messages_, env_.texts);
    if (!fileFields) return finish(exitcode::FileError);
    // Held from here to the end of the import; the login before held nothing.
    auto db = env_.engine.OpenDatabase(state.DataBas, true);
    if (!db) {
        reportOpeningFailure(ctx_, db.error());
        return finish(failure(db.error()));
    }
    const auto fields = databaseFields(**db, reg, state.Språk);
    if (!fields) {
        messages_.show(numberAndDescription(describedFileError(fields.error(), env_.texts)), kProgramTitle,
                       MsgIcon::Critical, MsgButtons::Ok);
        return finish(exitcode::FileError);
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
        if (!unlinked.empty()) std::fprintf(env_.err, "%s\n", unlinked.c_str());
    } else {
        const std::string mapFile = fullPath(o_.map);
        const auto lines = readMappingLines(mapFile);
        if (!lines) {
            messages_.show(std::to_string(lines.error().number) + " " +
                               describedFileError(lines.error(), env_.texts).description + ": " + mapFile,
                           kProgramTitle, MsgIcon::Critical, MsgButtons::Ok);
            return finish(exitcode::FileError);
        }
        auto mapped = mappedLinks(*lines, captions, *fileFields);
        if (const auto* line = std::get_if<std::string>(&mapped)) {
            complain("R9085", *line);
            return exitcode::Usage;
        }
        links = std::move(std::get<LinkTable>(mapped));
    }
    if (links.empty()) {  // the file fits none of the register's fields
        messages_.beep();
        messages_.show(text("R1806") + "!", kProgramTitle, MsgIcon::Critical, MsgButtons::Ok);
        return finish(exitcode::Unchanged);
    }

    // The report may never replace the database or the file being imported.
    std::unique_ptr<SkippedLinesReport> report;
    const std::string reportPath = o_.report.empty() ? "" : fullPath(o_.report);
    const auto reportFailed = [&](const Error& e) {
        complain("R9372", reportPath + " (" + numberAndDescription(describedFileError(e, env_.texts)) + ")");
    };
    if (!o_.report.empty()) {
        auto created = SkippedLinesReport::create(env_.files, reportPath, {state.DataBas, in}, env_.texts);
        if (!created) {
            reportFailed(created.error());
            return exitcode::FileError;
        }
        report = std::move(*created);
    }
    ImportServices services{**db, state.Språk};
    watchImport(services, &progress_);
    if (report) report->attach(services);
    const ImportOutcome outcome = vexla::importRegister(links, request, services);
    const Status reportWritten = report ? report->finish(outcome) : Status{};
    status_.clear();
    if (outcome.stopped()) {
        if (outcome.stop != ImportStop::Cancelled) messages_.beep();
        messages_.show(importStopMessage(outcome, in, env_.texts), kProgramTitle, MsgIcon::Critical, MsgButtons::Ok);
        window_.setInfo(importInfoLine(outcome, env_.texts));
        return finish(outcome.stop == ImportStop::Cancelled ? interrupted() : stopStatus(outcome));
    }
    window_.setInfo(terminalLines(importSummary(outcome, o_.dryRun, env_.texts)));
    if (!reportWritten) {
        reportFailed(reportWritten.error());
        return finish(exitcode::FileError);
    }
    const bool skipped = outcome.skipped() > 0;
    return finish(skipped ? exitcode::Skipped : exitcode::Ok);
}

int Run::compact() {
    const CompactionOutcome outcome = compactDatabase(ctx_);
    showCompaction(ctx_, outcome);
    if (outcome.stopped()) return finish(interrupted());
    return finish(outcome.compacted() ? exitcode::Ok : failure(*outcome.failure));
}

int Run::copy() {
    std::optional<CopyInterval> interval;
    if (o_.from) {
        // The interval dialog's own check of its OK button.
        if (!(*o_.to > *o_.from)) {
            messages_.beep();
            messages_.show(text("R1795") + "!", kProgramTitle, MsgIcon::Critical, MsgButtons::Ok);
            return exitcode::Usage;
        }
        interval = CopyInterval{*o_.from, *o_.to};
    }
    if (auto tested = testExclusiveUse(ctx_, "", false); !tested) {
        reportRefusal(ctx_, tested.error());
        return finish(failure(tested.error()));
    }
    const std::string& database = window_.state().DataBas;
    const std::string chosen = fullPath(o_.out);
    const std::string name = withDatabaseExtension(ctx_, chosen);
    if (chosen == database || name == database) {
        messages_.beep();
        messages_.show(text("R1747"), kProgramTitle, MsgIcon::None, MsgButtons::Ok);
        return finish(exitcode::FileError);
    }
    // The window's save dialog asks before a file is replaced; here --force answers.
    if (!o_.force && env_.files.exists(name)) {
        complain("R9084", name);
        return exitcode::FileError;
    }
    const CopyOutcome outcome = copyDatabase(ctx_, name, interval);
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
    for (const std::string& line : lines) std::fprintf(to, "%s\n", terminalLines(line).c_str());
    std::fflush(to);
}

int Run::check() {
    const CheckOutcome outcome = checkDatabase(ctx_);
    if (outcome.stopped()) return finish(interrupted());
    print(outcome.failure ? env_.err : env_.out, checkLines(ctx_, outcome));
    if (outcome.failure) return outcome.held() ? exitcode::InUse : exitcode::FileError;
    if (outcome.damaged()) return exitcode::Damaged;
    return outcome.linksBroken() ? exitcode::LinksBroken : exitcode::Ok;
}

int Run::recover() {
    const std::string target = fullPath(o_.out);
    // Asked first, so a script learns it without waiting for a rescue.
    if (!o_.force && env_.files.exists(target)) {
        complain("R9084", target);
        return exitcode::FileError;
    }
    const RescueOutcome outcome = rescueDatabase(ctx_, target, o_.force);
    if (outcome.stopped()) return finish(interrupted());
    print(outcome.failure ? env_.err : env_.out, rescueLines(ctx_, outcome));
    if (outcome.failure) return outcome.held() ? exitcode::InUse : exitcode::FileError;
    return exitcode::Ok;
}

int Run::listBackups() {
    auto backups = vexla::listBackups(ctx_);
    if (!backups) {
        if (backups.error().number == kStoppedByUser) return finish(interrupted());
        messages_.show(numberAndDescription(backups.error()), kProgramTitle, MsgIcon::Critical, MsgButtons::Ok);
        return finish(exitcode::FileError);
    }
    print(env_.out, backupListLines(ctx_, *backups));
    return finish(exitcode::Ok);
}

int Run::restore() {
    const RestoreOutcome outcome = restoreBackup(ctx_, fullPath(o_.backup));
    window_.setInfo("");  // the lines below say it
    if (outcome.refused()) {
        reportRefusal(ctx_, *outcome.failure);
        return finish(failure(*outcome.failure));
    }
    print(outcome.failure && !outcome.stopped() ? env_.err : env_.out, restoreReportLines(ctx_, outcome));
    if (outcome.stopped()) return finish(interrupted());
    if (outcome.backupRefused) return finish(exitcode::Refused);
    if (outcome.failure) return finish(failure(*outcome.failure));
    return finish(exitcode::Ok);
}

}  // namespace

int runTransfer(const std::vector<std::string>& args, Environment& env) {
    const auto parsed = parseArguments(args);
    if (const auto* wrong = std::get_if<UsageError>(&parsed)) {
        std::fprintf(env.err, "%s: %s\n%s\n", env.texts.TextTillAndra(wrong->code).c_str(), wrong->detail.c_str(),
                     env.texts.TextTillAndra("R9065").c_str());
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
    Run run(env, o);
    switch (*o.command) {
        case Command::Export: return run.exportRegister();
        case Command::Import: return run.importRegister();
        case Command::Compact: return run.compact();
        case Command::Copy: return run.copy();
        case Command::Check: return run.check();
        case Command::Recover: return run.recover();
        case Command::Backups: return run.listBackups();
        case Command::Restore: return run.restore();
    }
    return exitcode::Usage;
}

}  // namespace vexla::transfer
