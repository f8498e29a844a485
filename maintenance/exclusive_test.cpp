#include "maintenance/exclusive_test.h"

#include <chrono>
#include <thread>

#include "db/errors.h"

namespace vexla {

namespace {

// Opens `target` with our fence, waiting while another job of ours holds
// it, up to the job's wait (a stop ends the wait).
Result<std::unique_ptr<db::Database>> openFenced(JobContext& ctx, const std::string& target) {
    const auto began = std::chrono::steady_clock::now();
    for (;;) {
        auto opened = ctx.main.engine().OpenDatabase(target, true);
        const bool ours =
            !opened && opened.error().number == db::err::OpenedExclusively && opened.error().holder.known();
        const double waited = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
        if (!ours || waited >= ctx.waitSeconds || ctx.stopRequested()) return opened;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}

}  // namespace

Result<ExclusiveHold> testExclusiveUse(JobContext& ctx, const std::string& path, bool hold) {
    const std::string target = path.empty() ? ctx.main.state().DataBas : path;
    auto opened = openFenced(ctx, target);
    if (!opened) return ctx.described(opened.error());
    ExclusiveHold held;
    held.connection = std::move(*opened);
    if (!hold) {
        ctx.close(*held.connection);
        held.connection.reset();
        return held;
    }
    auto fence = ctx.main.engine().FenceDatabase(target);
    if (!fence) {
        ctx.close(*held.connection);
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
