#include "maintenance/exclusive_test.h"

#include "db/errors.h"

namespace vexla {

namespace {

void closeShared(AdminState& state) {
    if (state.db) (void)state.db->Close();
    state.db.reset();
}

// The report of a failed opening. The path named is always the database path,
// also when another path was tested.
void reportFailure(JobContext& ctx, const Error& failure) {
    const Error e = ctx.described(failure);
    ctx.platform.messages.beep();
    const std::string& path = ctx.main.state().DataBas;
    const std::string crlf = "\r\n";
    std::string line;
    std::string box;
    switch (e.number) {
        case db::err::OpenedExclusively:
            line = ctx.text("R1784") + "! " + path + ": " + ctx.now();
            box = ctx.text("R1784") + "!" + crlf + ctx.text("R1785") + " " + ctx.text("R0558") + "!" + crlf +
                  ctx.text("R1786");
            break;
        case db::err::FileNotFound:
            line = ctx.text("R1787") + "! " + path + ":" + ctx.now();
            box = ctx.text("R1787") + "!" + crlf + crlf + ctx.text("R1788") + ".";
            break;
        case db::err::UnrecognizedFormat:
            line = ctx.text("R1789") + "! " + path + ":" + ctx.now();
            box = ctx.text("R1789") + "!" + crlf + crlf + ctx.text("R1788");
            break;
        default:
            line = ctx.text("R1755") + ": " + std::to_string(e.number) + crlf + e.description + path + ":" +
                   ctx.now();
            box = ctx.text("R1755") + ": " + std::to_string(e.number) + crlf + e.description + crlf +
                  ctx.text("R1756") + "!";
            break;
    }
    if (ctx.main.state().Kommandorad)
        ctx.main.Logg(line);
    else
        ctx.platform.messages.show(box, kProgramTitle, MsgIcon::Critical, MsgButtons::Ok);
}

// Opens the database exclusively (the program's own connection closed
// first, so it never makes the test fail); with `hold` also fences it and
// answers the open connection instead of closing it.
std::optional<ExclusiveHold> test(JobContext& ctx, const std::string& path, bool hold) {
    AdminState& state = ctx.main.state();
    const std::string target = path.empty() ? state.DataBas : path;
    closeShared(state);
    auto opened = ctx.main.engine().OpenDatabase(target, true);
    if (!opened) {
        reportFailure(ctx, opened.error());
        return std::nullopt;
    }
    ExclusiveHold held;
    held.connection = std::move(*opened);
    if (hold) {
        auto fence = ctx.main.engine().FenceDatabase(target);
        if (!fence) {
            (void)held.connection->Close();
            reportFailure(ctx, fence.error());
            return std::nullopt;
        }
        held.fence = std::move(*fence);
        return held;
    }
    (void)held.connection->Close();
    held.connection.reset();
    return held;
}

}  // namespace

std::optional<ExclusiveHold> testAndHold(JobContext& ctx, const std::string& path) { return test(ctx, path, true); }

bool TestaExklusiv(JobContext& ctx, const std::string& path) { return test(ctx, path, false).has_value(); }

}  // namespace vexla
