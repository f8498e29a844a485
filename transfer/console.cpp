#include "transfer/console.h"

namespace vexla::transfer {

void StatusLine::show(const std::string& text) {
    if (!terminal_) return;
    // Back to the start of the line and erase what an earlier, longer text left.
    std::fprintf(err_, "\r%s\x1b[K", text.c_str());
    std::fflush(err_);
    shown_ = true;
}

void StatusLine::clear() {
    if (!shown_) return;
    std::fprintf(err_, "\r\x1b[K");
    std::fflush(err_);
    shown_ = false;
}

MsgAnswer RunMessageBoxes::show(const std::string& text, const std::string& title, MsgIcon icon, MsgButtons buttons) {
    if (buttons != MsgButtons::Ok) return questions_;
    status_.clear();
    return console_.show(text, title, icon, buttons);
}

bool ScriptedFileDialogs::answer(OpenFileName& ofn) {
    if (answered_) return false;
    answered_ = true;
    ofn.file = path_;
    ofn.fileTitle = path_.substr(path_.find_last_of('/') + 1);
    return true;
}

}  // namespace vexla::transfer
