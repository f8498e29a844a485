#include "registers/export_register.h"
#include "texts/text_codes.h"

#include <algorithm>
#include <array>
#include <chrono>

#include "common/background_output.h"
#include "common/file_writing.h"
#include "common/open_save_dialog.h"
#include "common/paths.h"
#include "registers/read_ahead.h"
#include "registers/register_folders.h"
#include "registers/register_kind.h"
#include "registers/transfer_logging.h"
#include "session/damaged_file.h"
#include "session/exclusive_refusal.h"

namespace vexla {

namespace {

constexpr std::uint32_t kSaveFlags = ofn::LongNames | ofn::PathMustExist | ofn::HideReadOnly;  // 0x200804

// The file types of the save dialog, in the order of FileFormat.
constexpr std::array<const char*, 2> kPatterns{"*.skv", "*.csv"};

// The register's default name with the suffix of file type `type` (1-based).
std::string defaultName(const RegisterKind& reg, int type) {
    const std::string_view name = reg.defaultFile.substr(0, reg.defaultFile.rfind('.'));
    return std::string(name) + (kPatterns[static_cast<std::size_t>(type - 1)] + 1);
}

bool barePattern(const std::string& path) {
    return std::find(kPatterns.begin(), kPatterns.end(), path) != kPatterns.end();
}

// The save dialog and the overwrite question, until the user settles on a
// path or cancels (""). A refused path does not come back as the proposal:
// the dialog starts again from the register's default name, in the folder
// of the refused path, with the type chosen (`type`, 1-based, receives it).
// The folder of a path settled on is remembered for the register, so its
// next dialog starts there.
std::string chooseExportPath(JobContext& ctx, const RegisterKind& reg, int& type) {
    Platform& p = ctx.platform;
    const std::string filter = ctx.texts.TextTillAndra(txt::RegisterFileType) + " (*.skv)|*.skv|" +
                               ctx.texts.TextTillAndra(txt::SpreadsheetFileType) + " (*.csv)|*.csv";
    const std::string title = ctx.texts.TextTillAndra(txt::ExportRegisterTitle);
    std::string folder = registerFileFolder(p, reg.name, ctx.main.state().msSökväg);
    for (;;) {
        if (type < 1 || type > static_cast<int>(kPatterns.size())) type = 1;
        const std::string path = OpenSaveDialog(p.fileDialogs, p.messages, -1, kSaveFlags, filter, title, folder,
                                                defaultName(reg, type), &type);
        if (type < 1 || type > static_cast<int>(kPatterns.size())) type = 1;
        if (path.empty() || barePattern(path)) return path;
        // A standard stream takes the text in place: nothing there is replaced.
        if (!isStandardStream(path) && p.files.exists(path)) {
            p.messages.beep();
            const std::string question = path + " " + ctx.texts.TextTillAndra(txt::AlreadyExistsReplaceQuestion) + " ?";
            if (p.messages.show(question, kProgramTitle, MsgIcon::Question, MsgButtons::YesNo) != MsgAnswer::Yes) {
                folder = folderOf(path);
                continue;
            }
        }
        rememberRegisterFolder(p, reg.name, path);
        return path;
    }
}

// The records the export will write, for the progress's total: the
// register table's count (the customers' few reserved records with it, so
// the bar may end a little short; the last report puts it at its end). 0
// when the count fails; the export itself then says why.
std::uint64_t recordsToWrite(db::Database& db, const RegisterKind& reg) {
    auto count = db.TableRecordCount(reg.table);
    return count && *count > 0 ? static_cast<std::uint64_t>(*count) : 0;
}

// Writes the register file of `rs` into `file` in three steps at once, on
// threads of their own: the engine reads the next rows, the lines of the last
// ones are made, and the system copies the lines before into the file. Every
// byte is in `file` when it answers, or the threads have ended.
Result<RegisterFileCounts> writeBeside(db::Recordset& rs, OutputFile& file, std::string_view Språk,
                                       const ValueTextFormat& format, const ExportProgress& progress,
                                       const FileLayout& layout) {
    ReadAhead rows(rs);
    BackgroundOutput background(file);
    auto counts = writeRegisterFile(rows, background, Språk, format, progress, layout);
    if (!counts) return counts;
    if (auto s = background.flush(); !s) return s.error();
    return counts;
}

// Opens the query on the database's snapshot `db`, writes the temporary
// file and puts it in place.
Result<RegisterFileCounts> writeFrom(JobContext& ctx, db::Database& db, const RegisterKind& reg,
                                     const std::string& path, const FileLayout& layout) {
    AdminState& state = ctx.main.state();
    const std::uint64_t total = recordsToWrite(db, reg);
    ctx.report(0, total, ProgressUnit::Rows);
    auto rs = db.OpenRecordset(reg.exportQuery);
    if (!rs) return rs.error();

    // A new file takes the place of the old one only when whole; it keeps
    // the mode and owner of the file it replaces, and the database itself
    // and its own files (under any name) are never replaced. Standard
    // output and standard error take the text in place.
    Placement placement;
    placement.database = state.DataBas;
    placement.toStream = true;
    if (!isStandardStream(path)) ctx.removeAbandonedFiles(folderOf(path));
    auto file = ctx.platform.files.createFile(path, placement);
    if (!file) {
        (*rs)->Close();
        return file.error();
    }
    const ValueTextFormat format = valueTextFormatFrom(ctx.platform.locale);
    auto counts = writeBeside(
        **rs, **file, state.Språk, format,
        [&](long records) { return ctx.advance(static_cast<std::uint64_t>(records), total, ProgressUnit::Rows); },
        layout);
    (*rs)->Close();

    Status done = counts ? (*file)->commit() : Status(counts.error());
    if (!done) {
        closeAbandoned(**file, ctx.notices());  // the target is untouched
        return done.error();
    }
    ctx.report(counts->records, counts->records, ProgressUnit::Rows);
    return counts;
}

// Opens the database for this export alone and writes from it; the
// database is closed again when it returns, whatever the outcome (a
// snapshot's scratch file with it).
Result<RegisterFileCounts> writeExport(JobContext& ctx, const RegisterKind& reg, const std::string& path,
                                       const FileLayout& layout, double& held) {
    const auto began = std::chrono::steady_clock::now();
    auto db = ctx.main.engine().OpenSnapshot(ctx.main.state().DataBas);
    held = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    if (!db) return db.error();
    auto counts = writeFrom(ctx, **db, reg, path, layout);
    ctx.close(**db);
    return counts;
}

}  // namespace

ExportOutcome exportRegister(JobContext& ctx, std::int16_t kind, SheetEncoding encoding) {
    ExportOutcome outcome;
    const RegisterKind* reg = registerByKind(kind);
    if (!reg) return outcome;

    int type = 1;
    const std::string path = chooseExportPath(ctx, *reg, type);
    if (path.empty() || barePattern(path)) return outcome;
    outcome.layout = {type == 2 ? FileFormat::Spreadsheet : FileFormat::Register, encoding};
    ctx.main.state().lastExportPath = path;
    ctx.main.setInfo("");

    Result<RegisterFileCounts> counts = stoppedByUser();
    ctx.runLong([&](JobContext& worker) {
        worker.platform.pointer.setBusy(true);
        counts = writeExport(worker, *reg, path, outcome.layout, outcome.heldSeconds);
        worker.platform.pointer.setBusy(false);
    });
    if (!counts && counts.error().number == kStoppedByUser) {
        outcome.stopped = true;
    } else if (!counts) {
        outcome.failure = withDamageAdvice(ctx, describedFileError(counts.error(), ctx.texts));
    } else {
        outcome.counts = *counts;
        outcome.n = counts->records == 0 ? -1 : static_cast<std::int32_t>(counts->records);
    }
    logExport(ctx, kind, path, outcome);
    return outcome;
}

void showExport(JobContext& ctx, std::int16_t kind, const ExportOutcome& outcome) {
    if (outcome.failure && isOpeningRefusal(*outcome.failure)) {
        reportRefusal(ctx, *outcome.failure);
        return;
    }
    if (outcome.failure)
        ctx.platform.messages.show(outcome.failure->description, kProgramTitle, MsgIcon::None, MsgButtons::Ok);
    ctx.main.setInfo(exportResultText(kind, outcome, ctx.main.state().lastExportPath, ctx.texts));
}

std::string exportResultText(std::int16_t kind, const ExportOutcome& outcome, const std::string& lastExportPath,
                             TextSource& texts) {
    std::string text;
    if (outcome.stopped) return texts.TextTillAndra(txt::ExportStopped);
    if (outcome.n == -1)
        text = texts.TextTillAndra(txt::RegisterHoldsNoRecords) + (kind == 2 ? "!" : "");
    else if (outcome.n == 0)
        return texts.TextTillAndra(txt::NothingWasExported);
    else
        text = std::to_string(outcome.n) + " " + texts.TextTillAndra(txt::RecordsExportedTo) + " " + lastExportPath;

    auto sentence = [&](std::size_t count, const char* code) {
        if (count == 0) return;
        text += text.back() == '!' || text.back() == '.' ? " " : ". ";
        text += std::to_string(count) + " " + texts.TextTillAndra(code) + ".";
    };
    const bool sheet = outcome.layout.format == FileFormat::Spreadsheet;
    sentence(outcome.counts.replaced, txt::CharactersWrittenAsQuestionMarks);
    sentence(static_cast<std::size_t>(outcome.counts.notReturnable),
             sheet ? txt::SheetRecordsNotImportableUnchanged : txt::RecordsNotImportableUnchanged);
    const std::vector<std::string>& ids = outcome.counts.notReturnableIds;
    if (outcome.counts.notReturnable == 0) return text;
    if (!ids.empty()) {
        text += " " + texts.TextTillAndra(txt::NotReturnableIdsAre);
        for (std::size_t i = 0; i < ids.size(); ++i) text += (i == 0 ? " " : ", ") + ids[i];
        text += outcome.counts.notReturnable > static_cast<long>(ids.size()) ? ", …." : ".";
    }
    if (!sheet) text += " " + texts.TextTillAndra(txt::SuggestSpreadsheet) + ".";
    return text;
}

}  // namespace vexla
