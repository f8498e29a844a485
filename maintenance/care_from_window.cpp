#include "maintenance/care_from_window.h"
#include "texts/text_codes.h"

#include "common/open_save_dialog.h"
#include "common/paths.h"
#include "maintenance/database_check.h"
#include "maintenance/database_rescue.h"
#include "maintenance/restore.h"

namespace vexla {

namespace {

// The save dialog's flags: overwrite prompt, hide read-only, no change of
// the working folder, path must exist (as the copy's target dialog).
constexpr std::uint32_t kTargetFlags = 0x282806;

// The first line of `lines`, for the information line.
std::string firstOf(const std::vector<std::string>& lines) { return lines.empty() ? std::string() : lines.front(); }

// "/srv/vexla/bok.db" -> "bok-räddad.db" (R9397)
std::string proposedName(JobContext& ctx, const std::string& database) {
    std::string name = database.substr(database.find_last_of(kPathSeparator) + 1);
    if (name.size() > 3 && name.compare(name.size() - 3, 3, ".db") == 0) name.resize(name.size() - 3);
    return name + "-" + ctx.text(txt::RescuedSuffix) + ".db";
}

}  // namespace

CareShown checkFromWindow(JobContext& ctx, bool full) {
    ctx.main.setInfo("");
    CheckOutcome outcome;
    ctx.runLong([&](JobContext& worker) {
        worker.fullCheck = full;
        outcome = checkDatabase(worker);
    });
    CareShown shown{checkLines(ctx, outcome), outcome.damaged(), false};
    ctx.main.setInfo(firstOf(shown.lines));
    return shown;
}

CareShown rescueFromWindow(JobContext& ctx) {
    const AdminState& state = ctx.main.state();
    std::string target;
    for (;;) {
        target = OpenSaveDialog(ctx.platform.fileDialogs, ctx.platform.messages, -1, kTargetFlags,
                                ctx.text(txt::DatabaseFilesFilter) + " (*.db)|*.db", ctx.text(txt::RescueRowsTo),
                                state.msSökväg, proposedName(ctx, state.DataBas));
        if (target != state.DataBas) break;
        ctx.platform.messages.beep();
        ctx.platform.messages.show(ctx.text(txt::CopyCannotReplaceDatabase), kProgramTitle, MsgIcon::None,
                                   MsgButtons::Ok);
    }
    if (target.empty()) return {};
    ctx.main.setInfo("");
    RescueOutcome outcome;
    // The dialog has asked before a file of that name is replaced.
    ctx.runLong([&](JobContext& worker) { outcome = rescueDatabase(worker, target, true); });
    CareShown shown{rescueLines(ctx, outcome), false, false};
    ctx.main.setInfo(firstOf(shown.lines));
    return shown;
}

BackupsShown backupsFromWindow(JobContext& ctx) {
    Result<std::vector<BackupEntry>> backups = std::vector<BackupEntry>{};
    ctx.runLong([&](JobContext& worker) { backups = listBackups(worker); });
    if (!backups) return {{}, {numberAndDescription(ctx.described(backups.error()))}};
    BackupsShown shown{*backups, backupListLines(ctx, *backups)};
    return shown;
}

CareShown restoreFromWindow(JobContext& ctx, const BackupEntry& chosen) {
    RegisterCounts now;
    ctx.runLong([&](JobContext& worker) { now = databaseCounts(worker); });
    const std::string question = chosen.path + " " + ctx.text(txt::IsPutBackQuestion) + ": " +
                                 restoreChangeText(ctx, now, chosen.counts) + ".\r\n" +
                                 ctx.text(txt::CurrentKeptFirstContinue) + "?";
    if (ctx.platform.messages.show(question, kProgramTitle, MsgIcon::Question, MsgButtons::YesNoDefaultNo) !=
        MsgAnswer::Yes)
        return {};
    ctx.main.setInfo("");
    RestoreOutcome outcome;
    ctx.runLong([&](JobContext& worker) { outcome = restoreBackup(worker, chosen.path); });
    CareShown shown{restoreReportLines(ctx, outcome), false, outcome.restoredOk()};
    ctx.main.setInfo(outcome.failure && !outcome.stopped() ? firstOf(shown.lines) : restoreInfoLine(ctx, outcome));
    return shown;
}

}  // namespace vexla
