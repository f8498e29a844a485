#include "app/unattended_job.h"
#include "texts/text_codes.h"

#include <utility>

#include "db/errors.h"
#include "maintenance/compaction.h"
#include "maintenance/exclusive_test.h"

namespace vexla {

namespace {

bool heldByAnother(const Error& e) {
    return e.number == db::err::OpenedExclusively || e.number == db::err::RecordLocked;
}

// Waits, as long as `waitAgain` allows, until nobody else holds the
// database; any other answer of the test is left to the compaction's own.
void waitWhileHeld(JobContext& ctx, const std::function<bool()>& waitAgain) {
    if (!waitAgain) return;
    for (;;) {
        auto tested = testExclusiveUse(ctx, "", false);
        if (tested || !heldByAnother(tested.error()) || !waitAgain()) return;
    }
}

}  // namespace

UnattendedEnd runUnattendedJob(JobContext& ctx, MessageBoxes& errors, const std::function<bool()>& waitAgain) {
    AdminState& state = ctx.main.state();
    state.Kommandorad = true;
    if (state.DataBas.empty()) {
        ctx.main.Logg(ctx.text(txt::NoValidDatabasePath) + "!: " + ctx.now());
        ctx.main.closeAllFiles();
        const std::string said = ctx.text(txt::NoValidDatabasePath);
        errors.show(said, kProgramTitle, MsgIcon::Critical, MsgButtons::Ok);
        return {unattended::Failed, said};
    }
    ctx.main.Logg(" ");
    ctx.main.Logg(ctx.text(txt::UnattendedCompactionHeading));
    ctx.main.Logg(ctx.text(txt::Started) + ": " + ctx.now());

    KeptNotices notices;
    KeptNotices* const before = std::exchange(ctx.keptNotices, &notices);
    waitWhileHeld(ctx, waitAgain);
    const CompactionOutcome outcome = compactDatabase(ctx);
    ctx.keptNotices = before;
    UnattendedEnd end;
    end.heldSeconds = outcome.heldSeconds;
    if (outcome.failure) {
        end.reason = outcome.refused() ? describeRefusal(*outcome.failure, state.DataBas, ctx.now(), ctx.texts).line
                                       : compactionFailureText(outcome, ctx.texts);
        ctx.main.Logg(end.reason);
        errors.show(end.reason, kProgramTitle, MsgIcon::Critical, MsgButtons::Ok);
        end.status = outcome.refused() && heldByAnother(*outcome.failure) ? unattended::InUse : unattended::Failed;
    }

    ctx.main.Logg(ctx.text(txt::Finished) + ": " + ctx.now());
    ctx.main.Logg(ctx.text(txt::LogRule));
    ctx.main.Logg(" ");
    for (const std::string& line : notices.take()) ctx.main.LoggNotice(line);
    ctx.main.closeAllFiles();
    return end;
}

}  // namespace vexla
