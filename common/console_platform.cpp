#include "common/console_platform.h"

#include "common/text.h"

namespace vexla {

MsgAnswer ConsoleMessageBoxes::show(const std::string& text, const std::string& title, MsgIcon, MsgButtons buttons) {
    std::fprintf(out_, "%s: %s\n", title.c_str(), withLfLineEnds(text).c_str());
    std::fflush(out_);
    // Nobody can answer: Ok, or the safe No/Cancel that changes nothing.
    switch (buttons) {
        case MsgButtons::Ok: return MsgAnswer::Ok;
        case MsgButtons::YesNo:
        case MsgButtons::YesNoDefaultNo: return MsgAnswer::No;
        case MsgButtons::YesNoCancel: return MsgAnswer::Cancel;
    }
    return MsgAnswer::Cancel;
}

}  // namespace vexla
