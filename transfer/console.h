// The window's side of a job, on a terminal: what the jobs take for the main
// window, the message boxes, the file dialogs and the mouse pointer when
// vexla-transfer runs them from a script. The jobs themselves are the
// window's own; only these stand-ins differ.
#pragma once

#include <cstdio>
#include <string>

#include "session/activity_log.h"
#include "session/admin_state.h"
#include "common/platform/file_dialog_host.h"
#include "common/platform/message_boxes.h"
#include "common/platform/mouse_pointer.h"

namespace vexla::transfer {

// The information line as one line on standard error that redraws itself,
// shown only on a terminal: a job's progress there, nothing in a log file.
class StatusLine {
public:
    StatusLine(std::FILE* err, bool terminal) : err_(err), terminal_(terminal) {}
    // Replaces the line's text (nothing happens off a terminal).
    void show(const std::string& text);
    // Removes the line, so the next output starts on a clean line.
    void clear();

private:
    std::FILE* err_;
    bool terminal_;
    bool shown_ = false;
};

// The message boxes of a run nobody answers. A box with an OK button goes
// to `console` (standard error), after the status line is cleared; a
// question is answered `questions` without being shown, since the command
// line has answered it already (--force). Counts what was shown, so the run
// can tell a job that stopped (a critical box) from one that only warned.
class RunMessageBoxes final : public MessageBoxes {
public:
    RunMessageBoxes(MessageBoxes& console, StatusLine& status, MsgAnswer questions)
        : console_(console), status_(status), questions_(questions) {}
    MsgAnswer show(const std::string& text, const std::string& title, MsgIcon icon, MsgButtons buttons) override;
    void beep() override { console_.beep(); }

    int shown = 0;     // boxes with an OK button
    int critical = 0;  // of those, with the critical-stop icon

private:
    MessageBoxes& console_;
    StatusLine& status_;
    MsgAnswer questions_;
};

// The file dialogs answered from the command line: the first dialog chooses
// `path`; any later one is cancelled, so a job that would ask again (a
// refused file) ends rather than asking forever.
class ScriptedFileDialogs final : public FileDialogHost {
public:
    explicit ScriptedFileDialogs(std::string path) : path_(std::move(path)) {}
    bool getOpenFileName(OpenFileName& ofn) override { return answer(ofn); }
    bool getSaveFileName(OpenFileName& ofn) override { return answer(ofn); }

private:
    bool answer(OpenFileName& ofn);
    std::string path_;
    bool answered_ = false;
};

// No pointer to turn into an hourglass on a terminal.
class NoMousePointer final : public MousePointer {
public:
    void setBusy(bool) override {}
};

// The engine, noting whether it was ever refused a database because another
// program holds it (3356, or 3260 for a locked record): the jobs report such
// a refusal in their own words, and the run's exit status tells it apart.
class WatchedEngine final : public db::DBEngine {
public:
    explicit WatchedEngine(db::DBEngine& inner) : inner_(inner) {}
    Result<std::unique_ptr<db::Database>> OpenDatabase(const std::string& path, bool exclusive) override;
    Status CompactDatabase(const std::string& source, const std::string& destination,
                           const std::string& locale) override;
    Result<db::DatabaseFence> FenceDatabase(const std::string& path) override;

    bool heldElsewhere() const { return heldElsewhere_; }

private:
    void note(const Error& e);
    db::DBEngine& inner_;
    bool heldElsewhere_ = false;
};

// The main window as the jobs see it: its state, the information line on
// the status line (the last text kept for the result), the activity log
// Logg.txt in the program folder.
class ConsoleWindow final : public AdminWindow {
public:
    ConsoleWindow(db::DBEngine& engine, StatusLine& status, FileSystem& files, MessageBoxes& messages,
                  const std::string& programFolder)
        : engine_(engine), status_(status), log_(files, messages, programFolder) {}

    AdminState& state() override { return state_; }
    db::DBEngine& engine() override { return engine_; }
    void setInfo(const std::string& text) override;
    std::string info() const override { return info_; }
    void setPathLabel(const std::string& text) override { label_ = text; }
    std::string pathLabel() const override { return label_; }
    void Logg(const std::string& text) override { log_.Logg(text); }
    void closeAllFiles() override { log_.closeAll(); }

private:
    AdminState state_;
    db::DBEngine& engine_;
    StatusLine& status_;
    ActivityLog log_;
    std::string info_, label_;
};

}  // namespace vexla::transfer
