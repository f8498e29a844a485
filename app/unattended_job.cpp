#include "app/unattended_job.h"

#include "maintenance/compaction.h"
#include "maintenance/exclusive_test.h"

namespace vexla {

int runUnattendedJob(JobContext& ctx, MessageBoxes& errors) {
    AdminState& state = ctx.main.state();
    state.Kommandorad = true;
    if (state.DataBas.empty()) {
        ctx.main.Logg(ctx.text("R1774") + "!: " + ctx.now());
        ctx.main.closeAllFiles();
        return 1;
    }
    ctx.main.Logg(" ");
    ctx.main.Logg(ctx.text("R1775"));
    ctx.main.Logg(ctx.text("R1776") + ": " + ctx.now());

    const CompactionOutcome outcome = compactDatabase(ctx);
    if (outcome.failure) {
        const std::string said = outcome.refused()
                                     ? describeRefusal(*outcome.failure, state.DataBas, ctx.now(), ctx.texts).line
                                     : compactionFailureText(outcome, ctx.texts);
        ctx.main.Logg(said);
        errors.show(said, kProgramTitle, MsgIcon::Critical, MsgButtons::Ok);
    }

    ctx.main.Logg(ctx.text("R1777") + ": " + ctx.now());
    ctx.main.Logg(ctx.text("R1778"));
    ctx.main.Logg(" ");
    ctx.main.closeAllFiles();
    return outcome.compacted() ? 0 : 1;
}

}  // namespace vexla
