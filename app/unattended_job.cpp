#include "app/unattended_job.h"

#include "maintenance/compaction.h"

namespace vexla {

namespace {

// The main window, remembering the last line the job logged: when the job
// fails without a box, that line is its reason.
class RememberingWindow final : public AdminWindow {
public:
    explicit RememberingWindow(AdminWindow& main) : main_(main) {}
    AdminState& state() override { return main_.state(); }
    db::DBEngine& engine() override { return main_.engine(); }
    void setInfo(const std::string& text) override { main_.setInfo(text); }
    std::string info() const override { return main_.info(); }
    void setPathLabel(const std::string& text) override { main_.setPathLabel(text); }
    std::string pathLabel() const override { return main_.pathLabel(); }
    void Logg(const std::string& text) override {
        last = text;
        main_.Logg(text);
    }
    void closeAllFiles() override { main_.closeAllFiles(); }

    std::string last;

private:
    AdminWindow& main_;
};

}  // namespace

MsgAnswer LoggingMessageBoxes::show(const std::string& text, const std::string& title, MsgIcon icon,
                                    MsgButtons buttons) {
    ++shown;
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
    RememberingWindow window(ctx.main);
    JobContext job{window, unattended, ctx.texts, ctx.fullCheck};
    const bool compacted = cmdKomprimera_Click(job);
    // A refusal the job only logged (the database in use, missing, its lock
    // file no file) goes to standard error too, which cron mails.
    if (!compacted && logged.shown == 0 && !window.last.empty())
        p.messages.show(window.last, kProgramTitle, MsgIcon::Critical, MsgButtons::Ok);

    ctx.main.Logg(ctx.text("R1777") + ": " + ctx.now());
    ctx.main.Logg(ctx.text("R1778"));
    ctx.main.Logg(" ");
    ctx.main.closeAllFiles();
    return compacted ? 0 : 1;
}

}  // namespace vexla
