#include "maintenance/exclusive_test.h"

namespace vexla {

Result<ExclusiveHold> testExclusiveUse(JobContext& ctx, const std::string& path, bool hold) {
    const std::string target = path.empty() ? ctx.main.state().DataBas : path;
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

bool TestaExklusiv(JobContext& ctx, const std::string& path) {
    auto tested = testExclusiveUse(ctx, path, false);
    if (!tested) reportRefusal(ctx, tested.error());
    return tested.ok();
}

}  // namespace vexla
