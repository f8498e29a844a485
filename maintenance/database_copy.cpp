#include "maintenance/database_copy.h"

#include "session/command_line.h"
#include "common/open_save_dialog.h"
#include "common/file_writing.h"
#include "db/lock_file.h"
#include "maintenance/compaction.h"
#include "maintenance/exclusive_test.h"

namespace vexla {

namespace {

enum class CopyMode { Whole, Interval, Cancelled };

CopyMode askForMode(JobContext& ctx, IntervalDialog& interval) {
    switch (ctx.platform.messages.show(ctx.text("R1742") + "?", kProgramTitle, MsgIcon::Question,
                                       MsgButtons::YesNoCancel)) {
        case MsgAnswer::Yes:
            if (interval.showModal() != "Avbryt") return CopyMode::Interval;
            interval.unload();
            return CopyMode::Cancelled;
        case MsgAnswer::No: return CopyMode::Whole;
        default: return CopyMode::Cancelled;
    }
}

// The target file, or "" when the user cancelled. The database itself is
// refused and asked for again.
std::string chooseTarget(JobContext& ctx, CopyMode mode) {
    const bool limited = mode == CopyMode::Interval;
    for (;;) {
        std::string name = OpenSaveDialog(ctx.platform.fileDialogs, ctx.platform.messages, -1, 0x282806,
                                          ctx.text("R1744") + " (*.db)|*.db", ctx.text(limited ? "R1745" : "R1746"),
                                          ctx.main.state().msSökväg, limited ? "Interval.db" : "Copy.db");
        if (name != ctx.main.state().DataBas) return name;
        ctx.platform.messages.beep();
        ctx.platform.messages.show(ctx.text("R1747"), kProgramTitle, MsgIcon::None, MsgButtons::Ok);
    }
}

// Copies the database while an exclusive connection holds it, so nobody
// changes it half way (the bytes are read past the lock, not through it).
// The copy gets the database's mode and, as far as the system permits, its
// owner and group: it is never open to more people than the database. The
// database itself, under any name, is never the target.
Status copyDatabase(JobContext& ctx, const std::string& target) {
    const std::string& path = ctx.main.state().DataBas;
    auto connection = ctx.main.engine().OpenDatabase(path, true);
    if (!connection) return connection.error();
    FileSystem& files = ctx.platform.files;
    Status s;
    auto database = files.info(path, true);
    if (!database) s = database.error();
    if (s) {
        Placement placement;
        placement.mode = database->mode;
        placement.owner = std::make_pair(database->uid, database->gid);
        placement.protect = {path, db::lockFilePath(path)};
        s = copyDurably(files, path, target, placement);
    }
    (void)(*connection)->Close();
    return s;
}

// ISO form: the engine reads it whatever the system's date format, and it
// keeps the whole date and time.
std::string dateLiteral(const DateTime& t) { return "#" + formatPicture(t, "yyyy-MM-dd HH:mm:ss") + "#"; }

}  // namespace

void RensaBokningar(JobContext& ctx, const std::string& path, const DateTime& first, const DateTime& last) {
    auto opened = ctx.main.engine().OpenDatabase(path, true);
    Status s = opened ? Status() : Status(opened.error());
    if (s) s = (*opened)->BeginTrans();
    for (const char* table : {"PrelBokning", "Bokning"}) {
        const std::string from = std::string("DELETE FROM ") + table + " WHERE StartTid ";
        if (s) s = (*opened)->Execute(from + "< " + dateLiteral(first), db::dao::FailOnError);
        if (s) s = (*opened)->Execute(from + "> " + dateLiteral(last), db::dao::FailOnError);
    }
    if (s) s = (*opened)->CommitTrans();
    if (opened) {
        if (!s) (void)(*opened)->Rollback();
        (void)(*opened)->Close();
    }
    if (!s) ctx.platform.messages.show(s.error().description, kProgramTitle, MsgIcon::None, MsgButtons::Ok);
}

std::string withDatabaseExtension(JobContext& ctx, std::string name) {
    if (!name.empty() && name.back() == kPathSeparator) name += ctx.text("R1748") + ".db";
    if (name.find('.') == std::string::npos) name += ".db";
    return name;
}

CopyEnd copyDatabaseTo(JobContext& ctx, const std::string& name, const std::optional<CopyInterval>& interval,
                       const std::function<void()>& pruned) {
    ctx.platform.pointer.setBusy(true);
    ctx.main.setInfo(ctx.text("R1749") + "...");
    if (Status s = copyDatabase(ctx, name); !s) {
        ctx.platform.messages.beep();
        ctx.platform.pointer.setBusy(false);
        if (s.error().number == fserr::PathNotFound) {
            // The folder that is missing is named: the user may have typed it.
            ctx.platform.messages.show(ctx.text("R1753") + ": " + folderOf(name) + "\r\n\r\n" + ctx.text("R1754"),
                                       kProgramTitle,
                                       MsgIcon::Information, MsgButtons::Ok);
            return CopyEnd::FolderMissing;
        }
        ctx.platform.messages.show(ctx.text("R17") + ": " + numberAndDescription(ctx.described(s.error())) + "\r\n" +
                                       ctx.text("R0690"),
                                   kProgramTitle, MsgIcon::Critical, MsgButtons::Ok);
        ctx.main.setInfo("");
        return CopyEnd::Failed;
    }
    bool compacted = false;
    if (interval) {
        RensaBokningar(ctx, name, interval->first, interval->last);
        if (pruned) pruned();
        compacted = cmdKomprimera_Click(ctx);
        ctx.main.setInfo(ctx.text("R1750") + " '" + name + "' " + ctx.text("R1751") + "!");
    } else {
        compacted = cmdKomprimera_Click(ctx);
        ctx.main.setInfo(ctx.text("R1752") + name);
    }
    ctx.platform.pointer.setBusy(false);
    return compacted ? CopyEnd::Copied : CopyEnd::NotCompacted;
}

void cmdKopiera_Click(JobContext& ctx, IntervalDialog& interval) {
    if (!TestaExklusiv(ctx, "")) return;
    const CopyMode mode = askForMode(ctx, interval);
    if (mode == CopyMode::Cancelled) {
        ctx.main.setInfo(ctx.text("R1743"));
        return;
    }
    for (;;) {
        const std::string chosen = chooseTarget(ctx, mode);
        if (chosen.empty()) {
            ctx.main.setInfo(ctx.text("R1743"));
            return;
        }
        std::optional<CopyInterval> limits;
        if (mode == CopyMode::Interval) limits = CopyInterval{interval.DTPStartTid(), interval.DTPSlutTid()};
        const std::string name = withDatabaseExtension(ctx, chosen);
        // The save dialog asked before replacing the file it was given; a
        // completed name may be another file that is there.
        if (name != chosen && ctx.platform.files.exists(name)) {
            ctx.platform.messages.beep();
            if (ctx.platform.messages.show(name + " " + ctx.text("R1794") + " ?", kProgramTitle, MsgIcon::Question,
                                           MsgButtons::YesNo) != MsgAnswer::Yes)
                continue;
        }
        if (copyDatabaseTo(ctx, name, limits, [&] { interval.unload(); }) != CopyEnd::FolderMissing) return;
    }
}

}  // namespace vexla
