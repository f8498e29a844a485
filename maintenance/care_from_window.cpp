#include "maintenance/care_from_window.h"
#include "texts/text_codes.h"

#include <algorithm>

#include "common/open_save_dialog.h"
#include "common/paths.h"
#include "db/booking_file.h"
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

// What a restore would change in a damaged database (see restoreFromWindow):
// each register's count where it reads whole, else what could be read of
// it and of how many, with the backup's count after the arrow.
std::string damagedChangeText(JobContext& ctx, const CheckOutcome& checked, const RegisterCounts& backup) {
    const auto number = [&](long n) { return n < 0 ? std::string("?") : groupedNumber(ctx, n); };
    const std::vector<CheckRow> rows = checkRows(ctx, checked);
    std::string text;
    for (const auto& [name, then] : {std::pair{"Kund", backup.customers}, std::pair{"Person", backup.resources},
                                     std::pair{"Bokning", backup.bookings}}) {
        const std::string table = name;  // a lambda below takes it, which a structured binding cannot be
        const auto row =
            std::find_if(rows.begin(), rows.end(), [&](const CheckRow& r) { return !r.index && r.table == table; });
        std::string now = ": " + ctx.text(txt::TotalNotCounted);
        if (row != rows.end() && row->whole)
            now = " " + number(row->read);
        else if (row != rows.end())
            now = ": " + ctx.text(txt::CouldRead) + " " + number(row->read) +
                  (row->expected ? " " + ctx.text(txt::OfWord) + " " + number(*row->expected)
                                 : ", " + ctx.text(txt::TotalNotCounted));
        text += (text.empty() ? "" : ", ") + registerWords(ctx, table) + now + " \u2192 " + number(then);
    }
    return text;
}

}  // namespace

CareShown checkFromWindow(JobContext& ctx, bool full) {
    ctx.main.setInfo("");
    CheckOutcome outcome;
    ctx.runLong([&](JobContext& worker) {
        worker.fullCheck = full;
        outcome = checkDatabase(worker);
    });
    CareShown shown{{}, outcome.damaged(), false, checkRows(ctx, outcome), checkLines(ctx, outcome)};
    shown.lines.push_back(firstOf(shown.details));
    if (outcome.damaged() && outcome.unreadable().empty()) shown.lines.push_back(ctx.text(txt::DamageOutsideTables));
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
    CareShown shown{rescueLines(ctx, outcome), false, false, {}, {}};
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

namespace {

// The open dialog's flags for a rescued file: the file and its folder must
// exist, read-only files hidden.
constexpr std::uint32_t kRescuedFlags = 0x201804;

// Asks whether `source` (whose registers count `then`) is to take the
// database's place, then restores the database from it; see
// restoreFromWindow.
CareShown restoreAfterAsking(JobContext& ctx, const std::string& source, const RegisterCounts& then) {
    std::pair<RegisterCounts, bool> now;
    std::optional<CheckOutcome> checked;
    ctx.runLong([&](JobContext& worker) {
        now = databaseCountsAndSoundness(worker);
        // A damaged file's counts say nothing of what is lost: the check reads what is left.
        if (!now.second) checked = checkDatabase(worker);
    });
    if (checked && checked->stopped()) return {};
    const std::string change =
        checked && !checked->sound() ? damagedChangeText(ctx, *checked, then) : restoreChangeText(ctx, now.first, then);
    const std::string question = source + " " + ctx.text(txt::IsPutBackQuestion) + ": " + change + ".\r\n" +
                                 ctx.text(txt::CurrentKeptFirstContinue) + "?";
    if (ctx.platform.messages.show(question, kProgramTitle, MsgIcon::Question, MsgButtons::YesNoDefaultNo) !=
        MsgAnswer::Yes)
        return {};
    ctx.main.setInfo("");
    RestoreOutcome outcome;
    ctx.runLong([&](JobContext& worker) { outcome = restoreBackup(worker, source); });
    CareShown shown{restoreReportLines(ctx, outcome), false, outcome.restoredOk(), {}, {}};
    ctx.main.setInfo(outcome.failure && !outcome.stopped() ? firstOf(shown.lines) : restoreInfoLine(ctx, outcome));
    return shown;
}

}  // namespace

CareShown restoreFromWindow(JobContext& ctx, const BackupEntry& chosen) {
    return restoreAfterAsking(ctx, chosen.path, chosen.counts);
}

CareShown placeRescuedFromWindow(JobContext& ctx) {
    const AdminState& state = ctx.main.state();
    const std::string rescued =
        OpenSaveDialog(ctx.platform.fileDialogs, ctx.platform.messages, 0, kRescuedFlags,
                       ctx.text(txt::DatabaseFilesFilter) + " (*.db)|*.db", ctx.text(txt::ChooseRescuedFile),
                       state.msSökväg, proposedName(ctx, state.DataBas));
    if (rescued.empty()) return {};
    RegisterCounts then;
    ctx.runLong([&](JobContext& worker) {
        const db::BookingFileFacts facts = db::inspectBookingFile(rescued, [&] { return worker.stopRequested(); });
        then = {facts.customers, facts.resources, facts.bookings};
    });
    return restoreAfterAsking(ctx, rescued, then);
}

}  // namespace vexla
