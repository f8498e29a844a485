#include "common/text.h"

namespace vexla {

namespace {

std::string_view trimmed(std::string_view text, std::string_view blanks) {
    const auto first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

}  // namespace

std::string_view trimBlanks(std::string_view text) { return trimmed(text, " "); }

std::string_view trimSpace(std::string_view text) { return trimmed(text, " \t"); }

std::string withLfLineEnds(std::string text) {
    for (std::size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at)) text.erase(at, 1);
    return text;
}

}  // namespace vexla
