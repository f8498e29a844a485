// The mapping dialog's import: the preview of the file through the links, the
// try run, OK. Each asks what the plan needs asked and renders its outcome.
#include "registers/gui/frm_koppla_falt.h"
#include "texts/text_codes.h"

#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QTreeWidget>

#include "common/file_writing.h"
#include "common/open_save_dialog.h"
#include "registers/import.h"
#include "registers/import_confirmation.h"
#include "registers/import_plan.h"
#include "registers/import_preview.h"
#include "registers/import_texts.h"
#include "registers/register_folders.h"
#include "registers/register_kind.h"
#include "registers/transfer_logging.h"
#include "session/exclusive_refusal.h"

namespace vexla {

namespace {

constexpr int kTypeRole = Qt::UserRole;

QString q(const std::string& s) { return QString::fromStdString(s); }

// Skipped lines in yellow, a line that stops the import in red, the values
// of a column no link takes in orange.
const QColor kSkipped(255, 243, 196), kStops(255, 214, 214), kNotLinked(255, 200, 140);

// One row's cells of the preview, shaded `shade` when it is valid.
void fillRow(QTableWidget& grid, int row, const QStringList& cells, const QColor& shade, int unlinkedFrom) {
    for (int c = 0; c < cells.size(); ++c) {
        auto* item = new QTableWidgetItem(cells[c]);
        const QColor color = c >= unlinkedFrom ? kNotLinked : shade;
        if (color.isValid()) {
            item->setBackground(color);
            item->setForeground(QColor(Qt::black));
        }
        grid.setItem(row, c, item);
    }
}

}  // namespace

ImportPlan frmKopplaFält::importPlan(bool dryRun) const {
    std::vector<int> types;
    for (int i = 0; i < lstFält->count(); ++i) types.push_back(lstFält->item(i)->data(kTypeRole).toInt());
    std::vector<std::string> fileFields;
    for (int i = 0; i < lstFilFält->count(); ++i) fileFields.push_back(lstFilFält->item(i)->text().toStdString());
    return ImportPlan(Tag, lblMallNamn->text().toStdString(), std::move(types), linkTable(), std::move(fileFields),
                      {chkTaBort->isChecked(), dryRun, {}});
}

// The preview's rows come from previewImport, which reads only the lines
// it shows; the database is held for the moment it converts them. The
// columns no link takes that hold a value on those lines follow the linked
// ones, marked as not linked.
void frmKopplaFält::refreshPreview() {
    grdFörhandsvisning->clear();
    grdFörhandsvisning->setRowCount(0);
    grdFörhandsvisning->setColumnCount(0);
    lblFörhandsvisning->hide();
    const LinkTable links = linkTable();
    if (lblMallNamn->text().isEmpty() || links.empty()) return;
    AdminState& state = main_.state();
    auto db = main_.engine().OpenDatabase(state.DataBas, true);
    const ImportPreview preview = previewImport(links, importPlan(false).request(), db ? db->get() : nullptr,
                                                state.Språk, valueTextFormatFrom(platform_.locale), kPreviewLines);
    const JobContext ctx{main_, platform_, texts_};
    if (preview.notRolledBack) ctx.notice(txt::NotRolledBack, state.DataBas, *preview.notRolledBack);
    if (db) ctx.close(**db);
    // The note right after the line number: on a wide file it stays in view.
    QStringList headers{q(texts_.TextTillAndra(txt::LineWord)), q(texts_.TextTillAndra(txt::NoteColumn))};
    for (const LinkRow& link : links) headers << q(link.caption);
    const int unlinkedFrom = static_cast<int>(headers.size());
    for (const UnlinkedColumn& c : preview.unlinked)
        headers << q(texts_.TextTillAndra(txt::ColumnWord) + " " + std::to_string(c.column) +
                     (c.caption.empty() ? "" : " \"" + c.caption + "\"") + ": " +
                     texts_.TextTillAndra(txt::PreviewColumnNotLinked));
    grdFörhandsvisning->setColumnCount(static_cast<int>(headers.size()));
    grdFörhandsvisning->setHorizontalHeaderLabels(headers);
    grdFörhandsvisning->setRowCount(static_cast<int>(preview.lines.size()));
    for (int r = 0; r < static_cast<int>(preview.lines.size()); ++r) {
        const PreviewLine& line = preview.lines[static_cast<std::size_t>(r)];
        QStringList cells{QString::number(line.line), q(previewMarkText(line, texts_))};
        for (const std::string& v : line.values) cells << q(v);
        for (std::size_t c = 0; c < preview.unlinked.size(); ++c)
            cells << (c < line.unlinked.size() ? q(line.unlinked[c]) : QString());
        const QColor shade = line.mark == PreviewMark::Stops     ? kStops
                             : line.mark == PreviewMark::Skipped ? kSkipped
                                                                 : QColor();
        fillRow(*grdFörhandsvisning, r, cells, shade, unlinkedFrom);
    }
    grdFörhandsvisning->resizeColumnsToContents();
    const std::string note = previewNote(preview, db ? nullptr : &db.error(), texts_);
    lblFörhandsvisning->setText(q(note));
    lblFörhandsvisning->setVisible(!note.empty());
}

// Refused without links (the box shown); asked, with the columns named,
// whether values no link takes are to be left out (No being the default).
bool frmKopplaFält::valuesAccepted(ImportPlan& plan) {
    platform_.pointer.setBusy(true);
    const auto refused = plan.refusal();
    platform_.pointer.setBusy(false);
    if (!refused) return true;
    if (refused->stop == ImportStop::ValuesUnlinked) {
        const std::string question = unlinkedColumnsText(refused->unlinked, texts_) + "\r\n\r\n" +
                                     texts_.TextTillAndra(txt::ImportWithoutUnlinkedQuestion) + "?";
        if (platform_.messages.show(question, kProgramTitle, MsgIcon::Question, MsgButtons::YesNoDefaultNo) !=
            MsgAnswer::Yes)
            return false;
        plan.ignore(refused->unlinked);
        return true;
    }
    platform_.messages.beep();
    platform_.messages.show(importStopMessage(*refused, plan.request().path, texts_), kProgramTitle, MsgIcon::Critical,
                            MsgButtons::Ok);
    return false;
}

// Asked with the register's count of this moment and the file's records
// as the staging run stored them; Enter must not empty the register. A
// register that cannot be counted stops the import before its question.
bool frmKopplaFält::emptyingAccepted(ImportPlan& plan, long fileRecords) {
    const RegisterKind* reg = registerByName(Tag);
    if (!plan.request().deleteFirst || !reg) return true;
    JobContext ctx{main_, platform_, texts_, false, runner_, nullptr};
    Result<long> inRegister = Error{};
    if (auto db = main_.engine().OpenDatabase(main_.state().DataBas, true); !db) {
        inRegister = db.error();
    } else {
        inRegister = recordsDeletedFirst(**db, *reg);
        ctx.close(**db);
    }
    if (!inRegister) {
        platform_.messages.beep();
        platform_.messages.show(uncountedText(inRegister.error(), texts_), kProgramTitle, MsgIcon::Critical,
                                MsgButtons::Ok);
        return false;
    }
    return platform_.messages.show(deleteFirstQuestion(Tag, *inRegister, fileRecords, texts_), kProgramTitle,
                                   MsgIcon::Question, MsgButtons::YesNoDefaultNo) == MsgAnswer::Yes;
}

std::optional<ImportOutcome> frmKopplaFält::runImport(ImportPlan& plan, bool staging) {
    AdminState& state = main_.state();
    // The import holds the database from here to its end, and only then:
    // the connection closes when this click's work is done, whatever the outcome.
    JobContext ctx{main_, platform_, texts_, false, runner_, nullptr};
    auto db = main_.engine().OpenDatabase(state.DataBas, true);
    if (!db) {
        reportOpeningFailure(ctx, db.error());
        return std::nullopt;
    }
    main_.setInfo("");
    // The import runs on the worker while the progress window shows the
    // bytes of the file read; its Cancel stops the import and rolls it back.
    ImportOutcome outcome;
    ctx.runLong([&](JobContext& worker) {
        const SystemLogNotices notices = worker.notices();
        ImportServices services{**db, state.Språk};
        services.notices = &notices;
        services.engine = &main_.engine();
        watchImport(services, worker.progress);
        outcome = staging ? plan.stage(services) : plan.run(services);
    });
    ctx.close(**db);
    return outcome;
}

// The try run is the import with its changes undone at the end: the same
// worker, progress and Cancel, and the summary the import would give.
void frmKopplaFält::cmdProva_Click() {
    ImportPlan plan = importPlan(true);
    if (!valuesAccepted(plan)) return;
    const auto outcome = runImport(plan);
    if (!outcome || outcome->stop == ImportStop::Cancelled) return;
    if (outcome->stopped()) {
        platform_.messages.beep();
        platform_.messages.show(importStopMessage(*outcome, plan.request().path, texts_), kProgramTitle,
                                MsgIcon::Critical, MsgButtons::Ok);
        return;
    }
    const std::string summary = importSummary(*outcome, true, texts_);
    if (outcome->skipped() == 0) {
        platform_.messages.show(summary, kProgramTitle, MsgIcon::Information, MsgButtons::Ok);
        return;
    }
    if (platform_.messages.show(summary + "\r\n\r\n" + texts_.TextTillAndra(txt::SaveSkippedReportQuestion) + "?",
                                kProgramTitle, MsgIcon::Question, MsgButtons::YesNo) == MsgAnswer::Yes)
        saveSkippedLines(plan);
}

// The skipped lines are written by a second try run into the report the
// user names, so that no run keeps them all in memory.
void frmKopplaFält::saveSkippedLines(ImportPlan& plan) {
    const std::string path = OpenSaveDialog(platform_.fileDialogs, platform_.messages, -1, 0x200806,
                                            texts_.TextTillAndra(txt::TextFilesFilter) + " (*.txt)|*.txt|",
                                            texts_.TextTillAndra(txt::SaveReportAs),
                                            registerFileFolder(platform_, Tag, main_.state().msSökväg), "");
    if (path.empty() || path == "*.txt") return;
    const SystemLogNotices notices = JobContext{main_, platform_, texts_}.notices();
    Status written = plan.reportTo(platform_.files, path, main_.state().DataBas, texts_, notices);
    if (written) {
        if (!runImport(plan)) return;
        written = plan.reportWritten();
    }
    if (!written) {
        JobContext ctx{main_, platform_, texts_, false, runner_, nullptr};
        platform_.messages.show(path + "\r\n" + numberAndDescription(ctx.described(written.error())), kProgramTitle,
                                MsgIcon::Critical, MsgButtons::Ok);
    }
}

// An import that empties the register first reads and stores the whole
// file on the staging copy before anything is asked: a file it cannot take
// is refused there, with nothing asked and nothing changed, and the
// question comes only for an import that would go in whole. Its Yes puts
// the staged rows in place in one short transaction.
void frmKopplaFält::cmdOk_Click() {
    ImportPlan plan = importPlan(false);
    if (!valuesAccepted(plan)) return;
    if (plan.request().deleteFirst) {
        const auto staged = runImport(plan, true);
        if (!staged) return;
        if (staged->stopped()) return showImported(plan, *staged);
        if (!emptyingAccepted(plan, staged->inserted)) return;
    }
    const auto run = runImport(plan);
    if (run) showImported(plan, *run);
}

void frmKopplaFält::showImported(const ImportPlan& plan, const ImportOutcome& outcome) {
    JobContext ctx{main_, platform_, texts_, false, runner_, nullptr};
    logImport(ctx, plan.request(), outcome);
    main_.setInfo(importResultLine(outcome, texts_));
    if (outcome.deletedFirst) chkTaBort->setChecked(false);
    if (outcome.stop == ImportStop::Cancelled) return;  // the dialog stays, links and all, for another try
    if (outcome.stopped()) {
        platform_.messages.beep();
        platform_.messages.show(importStopMessage(outcome, plan.request().path, texts_), kProgramTitle,
                                outcome.unchanged() ? MsgIcon::Critical : MsgIcon::Exclamation, MsgButtons::Ok);
        if (outcome.stop == ImportStop::NoSeparator) {
            // The file is no register file: choose another.
            lblMallNamn->clear();
            cmdMall->setFocus();
        }
        if (!outcome.committed) return;
    }
    if (outcome.skipped() > 0)
        platform_.messages.show(importSummary(outcome, false, texts_), kProgramTitle, MsgIcon::Exclamation,
                                MsgButtons::Ok);
    if (outcome.inserted != 0) accept();
}

}  // namespace vexla
