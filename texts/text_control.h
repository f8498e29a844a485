// One control of a window, as the language texts see it: what kind of
// control it is, its design-time tag (the text codes it shows) and the two
// properties a text can go to. The window toolkit's adapter implements it;
// a property the control refuses answers an Error, which mTexter reports.
#pragma once

#include <string>

#include "common/result.h"

namespace vexla {

// Where a control's caption text goes.
enum class TextControlKind {
    Caption,  // buttons, labels, frames, check boxes, option buttons: the caption
    Input,    // text boxes, lists, list views, combo boxes, pickers, spin boxes,
              // scroll bars: no caption, so the text becomes the tooltip
    Tabs,     // a tabbed control: the caption text is not placed at all
};

class TextControl {
public:
    virtual ~TextControl() = default;
    virtual TextControlKind kind() const = 0;
    // The design-time tag: "", "A", "A;C" or "A+B" (text codes, no blanks).
    virtual std::string tag() const = 0;
    // Sets the caption (UTF-8; '&' marks the access key, "&&" shows one '&').
    virtual Status setCaption(const std::string& text) = 0;
    virtual Status setToolTip(const std::string& text) = 0;
};

}  // namespace vexla
