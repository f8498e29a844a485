// Trimming, in the two senses the program's inputs need.
#pragma once

#include <string_view>

namespace vexla {

// `text` without its leading and trailing blanks (spaces only, as the
// command line, Vexla.ini values, the path dialog and register files trim).
std::string_view trimBlanks(std::string_view text);

// `text` without its leading and trailing spaces and tabs (ini keys and
// values, typed numbers and dates).
std::string_view trimSpace(std::string_view text);

}  // namespace vexla
