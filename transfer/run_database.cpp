#include "texts/text_codes.h"
#include "transfer/run.h"

#include "common/file_writing.h"
#include "maintenance/compaction.h"
#include "maintenance/database_check.h"
#include "maintenance/database_copy.h"
#include "maintenance/database_rescue.h"
#include "maintenance/exclusive_test.h"
#include "maintenance/restore.h"
#include "transfer/json_report.h"

namespace vexla::transfer {

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

}  // namespace vexla::transfer
