#include "texts/text_tag.h"

namespace vexla {

TextTag parseTextTag(std::string_view tag) {
    TextTag codes;
    std::string_view captionPart = tag;
    if (const std::size_t semicolon = tag.find(';'); semicolon != std::string_view::npos) {
        captionPart = tag.substr(0, semicolon);
        codes.toolTip = std::string(tag.substr(semicolon + 1));
    }
    if (const std::size_t plus = captionPart.find('+'); plus != std::string_view::npos) {
        codes.second = std::string(captionPart.substr(plus + 1));
        captionPart = captionPart.substr(0, plus);
    }
    codes.caption = std::string(captionPart);
    return codes;
}

std::string textTag(std::string_view caption, std::string_view toolTip) {
    std::string tag(caption);
    tag += ';';
    tag += toolTip;
    return tag;
}

}  // namespace vexla
