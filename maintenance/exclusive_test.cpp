#include "maintenance/exclusive_test.h"

#include "db/errors.h"

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

ExclusiveRefusal describeRefusal(JobContext& ctx, const Error& e) {
    const std::string& path = ctx.main.state().DataBas;
    const std::string crlf = "\r\n";
    switch (e.number) {
        case db::err::OpenedExclusively:
            return {ctx.text("R1784") + "!" + crlf + ctx.text("R1785") + " " + ctx.text("R0558") + "!" + crlf +
                        ctx.text("R1786"),
                    ctx.text("R1784") + "! " + path + ": " + ctx.now()};
        case db::err::FileNotFound:
            return {ctx.text("R1787") + "!" + crlf + crlf + ctx.text("R1788") + ".",
                    ctx.text("R1787") + "! " + path + ":" + ctx.now()};
        case db::err::UnrecognizedFormat:
            return {ctx.text("R1789") + "!" + crlf + crlf + ctx.text("R1788"),
                    ctx.text("R1789") + "! " + path + ":" + ctx.now()};
        default: {
            const std::string head = ctx.text("R1755") + ": " + std::to_string(e.number) + crlf + e.description;
            return {head + crlf + ctx.text("R1756") + "!", head + path + ":" + ctx.now()};
        }
    }
}

void reportRefusal(JobContext& ctx, const Error& refusal) {
    const ExclusiveRefusal said = describeRefusal(ctx, refusal);
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
