// The platform of a run without a window system (the unattended job from
// cron, vexla-transfer, --help): message boxes on standard error, no mouse
// pointer, no file dialog.
#pragma once

#include <cstdio>

#include "common/platform/file_dialog_host.h"
#include "common/platform/message_boxes.h"
#include "common/platform/mouse_pointer.h"

namespace vexla {

// A box writes its text to `out` and answers as if its default button had
// been pressed.
class ConsoleMessageBoxes final : public MessageBoxes {
public:
    explicit ConsoleMessageBoxes(std::FILE* out = stderr) : out_(out) {}
    MsgAnswer show(const std::string& text, const std::string& title, MsgIcon icon, MsgButtons buttons) override;
    void beep() override {}

private:
    std::FILE* out_;
};

// No pointer to turn into an hourglass.
class NoMousePointer final : public MousePointer {
public:
    void setBusy(bool) override {}
};

// Every file dialog is cancelled: nobody is there to choose.
class NoFileDialogs final : public FileDialogHost {
public:
    bool getOpenFileName(OpenFileName&) override { return false; }
    bool getSaveFileName(OpenFileName&) override { return false; }
};

}  // namespace vexla
