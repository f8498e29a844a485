// The window's side of a job, on a terminal: the information line, the
// message boxes and the file dialogs when vexla-transfer runs the window's
// jobs from a script.
#pragma once

#include <cstdio>
#include <string>

#include "common/platform/file_dialog_host.h"
#include "common/platform/message_boxes.h"

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
// line has answered it already (--force).
class RunMessageBoxes final : public MessageBoxes {
public:
    RunMessageBoxes(MessageBoxes& console, StatusLine& status, MsgAnswer questions)
        : console_(console), status_(status), questions_(questions) {}
    MsgAnswer show(const std::string& text, const std::string& title, MsgIcon icon, MsgButtons buttons) override;
    void beep() override { console_.beep(); }

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

}  // namespace vexla::transfer
