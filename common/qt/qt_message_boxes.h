// Message boxes, beep and mouse pointer on Qt Widgets.
#pragma once

#include "common/platform/message_boxes.h"
#include "common/platform/mouse_pointer.h"

namespace vexla {

class QtMessageBoxes final : public MessageBoxes {
public:
    MsgAnswer show(const std::string& text, const std::string& title, MsgIcon icon, MsgButtons buttons) override;
    void beep() override;
};

class QtMousePointer final : public MousePointer {
public:
    ~QtMousePointer() override;
    void setBusy(bool busy) override;

private:
    bool busy_ = false;
};

}  // namespace vexla
