#include "maintenance/exclusive_test.h"

namespace vexla {

Result<ExclusiveHold> testExclusiveUse(JobContext& ctx, const std::string& path, bool hold) {
    AdminState& state = ctx.main.state();
    const std::string target = path.empty() ? state.DataBas : path;
    if (state.db) (void)state.db->Close();
    state.db.reset();
    auto opened = ctx.main.engine().OpenDatabase(target, true);
    if (!opened) return ctx.described(opened.error());
    ExclusiveHold held;
    held.connection = std::move(*opened);
    if (!hold) {
        (void)held.connection->Close();
        held.connection.reset();
        return held;
    }
    auto fence = ctx.main.engine().FenceDatabase(target);
    if (!fence) {
        (void)held.connection->Close();
        return ctx.described(fence.error());
    }
    held.fence = std::move(*fence);
    return held;
}

void reportRefusal(JobContext& ctx, const Error& refusal) {
    const ExclusiveRefusal said = describeRefusal(refusal, ctx.main.state().DataBas, ctx.now(), ctx.texts);
    // The line says it also when the box does not: a window started with /d
    // logs the refusal instead of showing a box.
    ctx.main.setInfo(said.line);
    ctx.platform.messages.beep();
    if (ctx.main.state().Kommandorad)
        ctx.main.Logg(said.line);
    else
        ctx.platform.messages.show(said.box, kProgramTitle, MsgIcon::Critical, MsgButtons::Ok);
}

bool TestaExklusiv(JobContext& ctx, const std::string& path) {
    auto tested = testExclusiveUse(ctx, path, false);
    if (!tested) reportRefusal(ctx, tested.error());
    return tested.ok();
}

}  // namespace vexla
