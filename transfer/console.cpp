#include "transfer/console.h"

#include "texts/mtexter.h"

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

void TerminalProgress::report(std::uint64_t done, std::uint64_t total, ProgressUnit unit) {
    const auto now = std::chrono::steady_clock::now();
    const ProgressSnapshot p{done, total, unit};
    // A job may go on reporting its total while it finishes a phase (the
    // interval copy while it makes its indexes): that is drawn only once.
    if (now - drawn_ < std::chrono::milliseconds(200) && (total == 0 || done < total || p == shown_)) return;
    drawn_ = now;
    shown_ = p;
    std::string bar;
    if (total > 0) {
        const int filled = permille(p) / 50;
        bar = "[" + std::string(static_cast<std::size_t>(filled), '#') +
              std::string(20 - static_cast<std::size_t>(filled), '-') + "] " + percentText(permille(p) / 10, texts_) +
              "  ";
    }
    line_.show(bar + progressLabel(p, now - start_, texts_));
}

void printError(std::FILE* err, const std::string& text) {
    std::fprintf(err, "%s: %s\n", kProgramName, text.c_str());
    std::fflush(err);
}

MsgAnswer RunMessageBoxes::show(const std::string& text, const std::string&, MsgIcon icon, MsgButtons buttons) {
    if (buttons != MsgButtons::Ok) return questions_;
    lastShown = text;
    return tell(text, kProgramName, icon, buttons);
}

MsgAnswer RunMessageBoxes::tell(const std::string& text, const std::string& title, MsgIcon icon, MsgButtons buttons) {
    if (buttons != MsgButtons::Ok) return questions_;
    status_.clear();
    return console_.show(text, title, icon, buttons);
}

MsgAnswer RunMessageBoxes::Beside::show(const std::string& text, const std::string& title, MsgIcon icon,
                                        MsgButtons buttons) {
    return run_.tell(text, title, icon, buttons);
}

bool ScriptedFileDialogs::answer(OpenFileName& ofn) {
    if (answered_) return false;
    answered_ = true;
    ofn.file = path_;
    ofn.fileTitle = path_.substr(path_.find_last_of('/') + 1);
    ofn.filterIndex = filterIndex_;
    return true;
}

}  // namespace vexla::transfer
