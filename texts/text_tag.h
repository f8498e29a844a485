// The design-time tag of a control, taken apart into its text codes.
//
//   A        caption A
//   A;C      caption A, tooltip C
//   A+B      caption: the text of A followed directly by the text of B
//   A+B;C    caption A followed by B, tooltip C
//
// A tag is split at its first ';' into a caption part and a tooltip code,
// and the caption part at its first '+' into the caption code and the
// second code. So the combination A+B;C works as one would expect. In
// A;C+B the '+' stands in the tooltip part and is not special there: the
// tooltip code is "C+B", which names no text, so no tooltip is set. No
// window of the program uses either combination.
#pragma once

#include <string>
#include <string_view>

namespace vexla {

struct TextTag {
    std::string caption;  // caption code; may be empty (";C", "+B")
    std::string second;   // code whose text is appended to the caption, or ""
    std::string toolTip;  // tooltip code, or ""
};

// The codes of `tag`. Codes are taken as written: no blanks are trimmed.
// Never fails; an empty tag gives three empty codes.
TextTag parseTextTag(std::string_view tag);

// The tag "A;C" of a control with caption code A and tooltip code C.
std::string textTag(std::string_view caption, std::string_view toolTip);

}  // namespace vexla
