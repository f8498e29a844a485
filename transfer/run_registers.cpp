#include "texts/text_codes.h"
#include "transfer/run.h"

#include <utility>
#include <variant>

#include "common/file_writing.h"
#include "common/input_file.h"
#include "common/text.h"
#include "db/errors.h"
#include "registers/export_register.h"
#include "registers/field_mapping.h"
#include "registers/import_plan.h"
#include "registers/import_texts.h"
#include "registers/transfer_logging.h"
#include "session/exclusive_refusal.h"
#include "transfer/json_report.h"
#include "transfer/links.h"

namespace vexla::transfer {

namespace {

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

}  // namespace

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
    const ExportOutcome outcome =
        vexla::exportRegister(ctx_, o_.kind, o_.windows1252 ? SheetEncoding::Windows1252 : SheetEncoding::Utf8);
    const QJsonObject figures = exportFigures(outcome);
    for (auto it = figures.begin(); it != figures.end(); ++it) figures_[it.key()] = it.value();
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

int Run::importRegister() {
    const bool fromStandardInput = o_.in == kStandardStream;
    if (fromStandardInput && !scratch_->made()) return noScratch();
    const std::string in = fromStandardInput ? streamFile() : fullPath(o_.in);
    // The name the user gave, not the copy of standard input.
    const ImportSource source{*registerByKind(o_.kind), in, fromStandardInput ? std::string(kStandardStream) : in,
                              fromStandardInput};
    if (const int refused = refusedImportSource(source)) return refused;
    if (const int refused = login()) return refused;
    CountOnlyProgress countOnly(progress_);
    if (const int failed = receiveStandardInput(source, countOnly)) return failed;
    return importFile(source, fromStandardInput ? static_cast<JobProgress*>(&countOnly) : &progress_);
}

// A pipe (`<(...)`, /dev/fd/N) or a device is never read as a register
// file: said before the login, with the way that reads a pipe. 0, or the
// run's status after the refusal is told.
int Run::refusedImportSource(const ImportSource& source) {
    const auto given = source.fromStandardInput ? Result<FileInfo>(FileInfo{}) : env_.files.info(source.path, true);
    if (const FileKind kind = given ? given->kind : FileKind::Missing;
        kind == FileKind::Fifo || kind == FileKind::Device || kind == FileKind::Socket) {
        complain(readingRefusalFor(kind), source.path);
        std::fprintf(env_.err, "%s\n", text(txt::ReadStandardInputWithInDash).c_str());
        return exitcode::FileError;
    }
    return exitcode::Ok;
}

// Standard input, for an import that reads it, received whole into the
// scratch file before the import starts: the import reads its file twice.
// 0 (at once for a named file), or the run's status after the failure or
// the stop is told.
int Run::receiveStandardInput(const ImportSource& source, JobProgress& progress) {
    if (!source.fromStandardInput) return exitcode::Ok;
    if (const Status received = receiveStream(env_.in, source.path, &progress); !received) {
        if (received.error().number == kStoppedByUser) return finish(interrupted());
        messages_.show(numberAndDescription(describedFileError(received.error(), env_.texts)), kProgramTitle,
                       MsgIcon::Critical, MsgButtons::Ok);
        return finish(failure(received.error()));
    }
    return exitcode::Ok;
}

// An import given up before its first line is logged all the same, with
// why; answers `status`, the result line printed unless it is a usage error.
int Run::importGivenUp(const ImportSource& source, int status) {
    logRefusedImport(ctx_, std::string(source.reg.name), source.shown, o_.dryRun, whyItFailed());
    return status == exitcode::Usage ? status : finish(status);
}

// The import of a file at hand: what the mapping dialog would list (the
// file's fields and the table's), their links, the plan and its report of
// skipped lines (--report), then the import itself, with the database held
// from its opening to the end (the login before held nothing). The run's status.
int Run::importFile(const ImportSource& source, JobProgress* progress) {
    const AdminState& state = window_.state();
    Error refusal;
    const auto fileFields = registerFileFields(source.path, messages_, env_.texts, &refusal);
    if (!fileFields) {
        noteFailure(refusal);
        return importGivenUp(source, exitcode::FileError);
    }
    auto db = env_.engine.OpenDatabase(state.DataBas, true);
    if (!db) {
        reportOpeningFailure(ctx_, db.error());
        return importGivenUp(source, failure(db.error()));
    }
    const ClosedAtEnd closed(ctx_, **db);
    const auto fields = databaseFields(**db, source.reg, state.Språk);
    if (!fields) {
        messages_.show(numberAndDescription(describedFileError(fields.error(), env_.texts)), kProgramTitle,
                       MsgIcon::Critical, MsgButtons::Ok);
        return importGivenUp(source, exitcode::FileError);
    }
    std::vector<std::string> captions;
    std::vector<int> types;
    std::vector<std::string> linkCaptions;
    for (const DatabaseField& field : *fields) {
        captions.push_back(field.caption), types.push_back(field.typeCode);
        linkCaptions.push_back(linkCaption(field));
    }
    LinkTable links;
    if (const int refused = linkFields(captions, linkCaptions, *fileFields, links))
        return importGivenUp(source, refused);
    ImportPlan plan(std::string(source.reg.name), source.path, std::move(types), std::move(links), *fileFields,
                    {o_.deleteFirst, o_.dryRun, o_.ignoreColumns});
    // The report may never replace the database or the file being imported.
    const SystemLogNotices notices = ctx_.notices();
    if (!o_.report.empty()) {
        if (const Status made = plan.reportTo(env_.files, fullPath(o_.report), state.DataBas, env_.texts, notices);
            !made) {
            reportNotWritable(made.error());
            return importGivenUp(source, exitcode::FileError);
        }
    }
    return runImport(source, **db, plan, notices, progress);
}

// The links of the file's fields to the register's `captions`, into
// `links`: by name for --map auto, each link carrying its field's entry of
// `linkCaptions` (the fields left unlinked told as the dialog's information
// line would tell them), else from the mapping file.
// 0, or the status the import gives up with, its refusal told.
int Run::linkFields(const std::vector<std::string>& captions, const std::vector<std::string>& linkCaptions,
                    const std::vector<std::string>& fileFields, LinkTable& links) {
    if (o_.map == "auto") {
        const auto pairs = autoLinkPairs(captions, fileFields);
        links = autoLinks(pairs, linkCaptions, fileFields);
        const std::string unlinked = unlinkedFieldsText(unlinkedFileFields(pairs, fileFields, env_.texts), env_.texts);
        if (!unlinked.empty() && !o_.quiet) std::fprintf(env_.err, "%s\n", unlinked.c_str());
        return exitcode::Ok;
    }
    const std::string mapFile = fullPath(o_.map);
    const auto lines = readMappingLines(mapFile);
    if (!lines) {
        const Error& e = lines.error();
        // A refusal of its kind names the file itself.
        const bool named = refusedKind(e) != FileKind::Regular;
        messages_.show(std::to_string(e.number) + " " + describedFileError(e, env_.texts).description +
                           (named ? "" : ": " + mapFile),
                       kProgramTitle, MsgIcon::Critical, MsgButtons::Ok);
        return exitcode::FileError;
    }
    auto mapped = mappedLinks(*lines, captions, fileFields);
    if (const auto* line = std::get_if<std::string>(&mapped)) {
        complain(txt::MappingLineNamesNoField, *line);
        return exitcode::Usage;
    }
    links = std::move(std::get<LinkTable>(mapped));
    return exitcode::Ok;
}

// The report of skipped lines (--report) could not be made or finished.
void Run::reportNotWritable(const Error& e) {
    complain(txt::ReportNotWritable,
             fullPath(o_.report) + " (" + numberAndDescription(describedFileError(e, env_.texts)) + ")");
}

// Runs `plan` (the database `db` held), watched by `progress`, with
// `notices` (its report's own) told what is left behind; keeps its figures
// for --json and its hold and logs it; then tells how it ended. The run's status.
int Run::runImport(const ImportSource& source, db::Database& db, ImportPlan& plan, const SystemLogNotices& notices,
                   JobProgress* progress) {
    ImportServices services{db, window_.state().Språk};
    services.notices = &notices;
    services.engine = &env_.engine;
    watchImport(services, progress);
    // The JSON object is the product: a standard output that stops taking
    // writes ends the import as a stop does, rolled back.
    OutputWatch output(env_.out);
    if (o_.json)
        services.cancelled = [&output, asked = services.cancelled] { return (asked && asked()) || output.lost(); };
    std::vector<SkippedLine> skippedLines;
    if (o_.json)
        services.skipped = [&skippedLines](long line, SkipReason why, std::string_view) {
            skippedLines.push_back({line, why});
        };
    const ImportOutcome outcome = plan.run(services);
    figures_ = importFigures(outcome, skippedLines, o_.dryRun);
    held_ = outcome.heldSeconds;
    ImportRequest logged = plan.request();
    logged.path = source.shown;
    logImport(ctx_, logged, outcome);
    status_.clear();
    return importEnd(source, outcome, output, plan.reportWritten());
}

// Tells how the import ended, as the window would, and answers the run's
// status: standard output lost under the JSON object, a stop (a signal's,
// or the import's own), the report that could not be finished, lines
// skipped, or done.
int Run::importEnd(const ImportSource& source, const ImportOutcome& outcome, const OutputWatch& output,
                   const Status& reportWritten) {
    if (outcome.stop == ImportStop::Cancelled && !output.found()) {
        outLost_ = true;
        window_.setInfo("");
        complain(txt::StandardOutputFailed, oneLine(output.found().error(), env_.texts));
        return finish(exitcode::FileError);
    }
    if (outcome.stopped()) {
        if (outcome.stop != ImportStop::Cancelled) messages_.beep();
        if (const long ours = importStopNumber(outcome); ours != 0)
            noteNumber(ours);
        else if (outcome.error.number != 0)
            noteNumber(reportedNumber(outcome.error));
        messages_.show(importStopMessage(outcome, source.shown, env_.texts), kProgramTitle, MsgIcon::Critical,
                       MsgButtons::Ok);
        if (outcome.stop == ImportStop::ValuesUnlinked)
            std::fprintf(env_.err, "%s\n", text(txt::IgnoreColumnHint).c_str());
        window_.setInfo(importInfoLine(outcome, env_.texts));
        return finish(outcome.stop == ImportStop::Cancelled ? interrupted() : stopStatus(outcome));
    }
    window_.setInfo(withLfLineEnds(importSummary(outcome, o_.dryRun, env_.texts)));
    if (!reportWritten) {
        reportNotWritable(reportWritten.error());
        return finish(exitcode::FileError);
    }
    const bool skipped = outcome.skipped() > 0;
    return finish(skipped ? exitcode::Skipped : exitcode::Ok);
}

}  // namespace vexla::transfer
