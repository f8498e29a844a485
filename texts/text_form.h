// A window, as the language texts see it: its tag (the text code of its
// title) and its controls in the window's own control order.
#pragma once

#include <cstddef>
#include <string>

#include "common/result.h"
#include "texts/text_control.h"

namespace vexla {

class TextForm {
public:
    virtual ~TextForm() = default;
    // The design-time tag: a single text code, or "" for no title text.
    virtual std::string tag() const = 0;
    virtual Status setTitle(const std::string& title) = 0;
    virtual std::size_t controlCount() const = 0;
    // The control at `index` (0 to controlCount() - 1), in control order.
    virtual TextControl& control(std::size_t index) = 0;
};

}  // namespace vexla
