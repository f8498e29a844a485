#include "transfer/console.h"

#include "db/errors.h"

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

MsgAnswer RunMessageBoxes::show(const std::string& text, const std::string& title, MsgIcon icon,
                                MsgButtons buttons) {
    if (buttons != MsgButtons::Ok) return questions_;
    ++shown;
    if (icon == MsgIcon::Critical) ++critical;
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

void WatchedEngine::note(const Error& e) {
    if (e.number == db::err::OpenedExclusively || e.number == db::err::RecordLocked) heldElsewhere_ = true;
}

Result<std::unique_ptr<db::Database>> WatchedEngine::OpenDatabase(const std::string& path, bool exclusive) {
    auto opened = inner_.OpenDatabase(path, exclusive);
    if (!opened) note(opened.error());
    return opened;
}

Status WatchedEngine::CompactDatabase(const std::string& source, const std::string& destination,
                                      const std::string& locale) {
    Status s = inner_.CompactDatabase(source, destination, locale);
    if (!s) note(s.error());
    return s;
}

Result<db::DatabaseFence> WatchedEngine::FenceDatabase(const std::string& path) {
    auto fence = inner_.FenceDatabase(path);
    if (!fence) note(fence.error());
    return fence;
}

void ConsoleWindow::setInfo(const std::string& text) {
    info_ = text;
    status_.show(text);
}

}  // namespace vexla::transfer
