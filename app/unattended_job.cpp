#include "app/unattended_job.h"

#include "db/jobs/komprimera.h"

namespace vexla {

MsgAnswer LoggingMessageBoxes::show(const std::string& text, const std::string& title, MsgIcon icon,
                                    MsgButtons buttons) {
    main_.Logg(text);
    return inner_.show(text, title, icon, buttons);
}

std::optional<int> runUnattendedJob(JobContext& ctx, const CommandLine& options) {
    AdminState& state = ctx.main.state();
    state.Kommandorad = true;
    if (state.DataBas.empty()) {
        ctx.main.Logg(ctx.text("R1774") + "!: " + ctx.now());
        ctx.main.closeAllFiles();
        return 1;
    }
    if (!options.namesJob) return std::nullopt;

    ctx.main.Logg(" ");
    ctx.main.Logg(ctx.text("R1775"));
    ctx.main.Logg(ctx.text("R1776") + ": " + ctx.now());

    LoggingMessageBoxes logged(ctx.main, ctx.platform.messages);
    const Platform& p = ctx.platform;
    Platform unattended{logged, p.fileDialogs, p.pointer, p.clock, p.locale, p.files, p.programFolder};
    JobContext job{ctx.main, unattended, ctx.texts};
    const bool compacted = cmdKomprimera_Click(job);

    ctx.main.Logg(ctx.text("R1777") + ": " + ctx.now());
    ctx.main.Logg(ctx.text("R1778"));
    ctx.main.Logg(" ");
    ctx.main.closeAllFiles();
    return compacted ? 0 : 1;
}

}  // namespace vexla
