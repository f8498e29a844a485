#include "db/jobs/testa_exklusiv.h"

#include "db/errors.h"

namespace vexla {

namespace {

void closeShared(AdminState& state) {
    if (state.db) (void)state.db->Close();
    state.db.reset();
}

// The report of a failed opening. The path named is always the database path,
// also when another path was tested.
void reportFailure(JobContext& ctx, const Error& e) {
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

// Opens and closes; with `fence` also takes the fence while our own
// connection still holds the file, so no other process can slip in between
// the close and the job's first step.
std::optional<db::DatabaseFence> test(JobContext& ctx, const std::string& path, bool fence) {
    AdminState& state = ctx.main.state();
    const std::string target = path.empty() ? state.DataBas : path;
    closeShared(state);
    auto opened = ctx.main.engine().OpenDatabase(target, true);
    if (!opened) {
        reportFailure(ctx, opened.error());
        return std::nullopt;
    }
    state.db = std::move(*opened);
    Result<db::DatabaseFence> held = db::DatabaseFence();
    if (fence) held = ctx.main.engine().FenceDatabase(target);
    closeShared(state);
    if (!held) {
        reportFailure(ctx, held.error());
        return std::nullopt;
    }
    return std::move(*held);
}

}  // namespace

std::optional<db::DatabaseFence> testExclusiveAndFence(JobContext& ctx, const std::string& path) {
    return test(ctx, path, true);
}

bool TestaExklusiv(JobContext& ctx, const std::string& path) { return test(ctx, path, false).has_value(); }

}  // namespace vexla
