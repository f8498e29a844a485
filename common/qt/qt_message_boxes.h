// Message boxes, beep and mouse pointer on Qt Widgets.
#pragma once

#include "common/platform/message_boxes.h"
#include "common/platform/mouse_pointer.h"

namespace vexla {

class TextSource;

class QtMessageBoxes final : public MessageBoxes {
public:
    MsgAnswer show(const std::string& text, const std::string& title, MsgIcon icon, MsgButtons buttons) override;
    void beep() override;
    // Where the buttons' captions come from once the language file is open
    // (the language texts themselves report through these boxes, so they
    // come later); until then the toolkit's own captions serve.
    void captionButtonsFrom(TextSource* texts) { texts_ = texts; }

private:
    TextSource* texts_ = nullptr;
};

class QtMousePointer final : public MousePointer {
public:
    ~QtMousePointer() override;
    void setBusy(bool busy) override;

private:
    bool busy_ = false;
};

}  // namespace vexla
