#include "maintenance/database_location.h"
#include "texts/text_codes.h"

#include <unistd.h>

#include "common/text.h"
#include "maintenance/exclusive_test.h"

namespace vexla {

std::string inCurrentFolder(const std::string& path) {
    if (path.find(kPathSeparator) != std::string::npos) return path;
    char buffer[4096];
    if (!::getcwd(buffer, sizeof buffer)) return path;
    return std::string(buffer) + kPathSeparator + path;
}

void changeDatabase(JobContext& ctx, PathDialog& dialog) {
    for (;;) {
        if (dialog.showModal(std::string(trimBlanks(ctx.main.pathLabel()))) != "Ok") break;
        const std::string typed = dialog.txtSökväg();
        if (trimBlanks(ctx.main.pathLabel()) == typed) break;
        const std::string path = inCurrentFolder(typed);
        if (!TestaExklusiv(ctx, path)) {
            dialog.unload();
            continue;
        }
        AdminState& state = ctx.main.state();
        state.DataBas = path;
        state.msSökväg = folderOfPath(path, kPathSeparator).value_or("");
        ctx.main.setPathLabel(" " + path);
        ctx.main.setInfo(ctx.text(txt::DatabaseHasBeenChanged));
        break;
    }
    dialog.unload();
}

std::optional<std::string> askForDatabasePath(JobContext& ctx, PathDialog& dialog) {
    const std::string question = ctx.text(txt::NoDatabaseChosenFor) + " " + ctx.text(txt::TheBookingSystem) + "!\r\n" +
                                 ctx.text(txt::ChooseDatabaseNowQuestion) + "?";
    if (ctx.platform.messages.show(question, kProgramTitle, MsgIcon::Exclamation, MsgButtons::YesNo) != MsgAnswer::Yes)
        return std::nullopt;
    dialog.showModal(std::string(trimBlanks(ctx.main.pathLabel())));
    const std::string chosen = dialog.txtSökväg();
    dialog.unload();
    if (chosen.empty()) return std::nullopt;
    return chosen;
}

}  // namespace vexla
