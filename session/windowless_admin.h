// The main window as the jobs see it, for a run without a window: the
// unattended job from cron and vexla-transfer. It holds the shared state,
// keeps the information line's last text (handing each new one to
// `onInfo`, for a status line) and writes the activity log Logg.txt in the
// program folder.
#pragma once

#include <functional>
#include <string>

#include "session/activity_log.h"
#include "session/admin_state.h"

namespace vexla {

class WindowlessAdmin final : public AdminWindow {
public:
    // `messages` tells a failure of the activity log, in the words of `texts`;
    // the log's lines are mirrored to `systemLog`.
    WindowlessAdmin(db::DBEngine& engine, FileSystem& files, MessageBoxes& messages, TextSource& texts,
                    const std::string& programFolder, SystemLog& systemLog = SystemLog::none())
        : engine_(engine), log_(files, messages, texts, programFolder, systemLog) {}

    AdminState& state() override { return state_; }
    db::DBEngine& engine() override { return engine_; }
    void setInfo(const std::string& text) override {
        info_ = text;
        if (onInfo) onInfo(text);
    }
    std::string info() const override { return info_; }
    void setPathLabel(const std::string& text) override { label_ = text; }
    std::string pathLabel() const override { return label_; }
    void Logg(const std::string& text) override { log_.Logg(text); }
    void LoggNotice(const std::string& text) override { log_.LoggNotice(text); }
    void closeAllFiles() override { log_.closeAll(); }
    ActivityLog& activityLog() { return log_; }

    std::function<void(const std::string&)> onInfo;

private:
    AdminState state_;
    db::DBEngine& engine_;
    ActivityLog log_;
    std::string info_, label_;
};

}  // namespace vexla
