// Message boxes for a run without a window system (the unattended job from
// cron, --help): the text goes to standard error and the box answers as if
// its default button had been pressed.
#pragma once

#include <cstdio>

#include "common/platform/message_boxes.h"

namespace vexla {

class ConsoleMessageBoxes final : public MessageBoxes {
public:
    explicit ConsoleMessageBoxes(std::FILE* out = stderr) : out_(out) {}
    MsgAnswer show(const std::string& text, const std::string& title, MsgIcon icon, MsgButtons buttons) override;
    void beep() override {}

private:
    std::FILE* out_;
};

}  // namespace vexla
