// Trimming, in the two senses the program's inputs need, and the line
// ends of a message for a terminal.
#pragma once

#include <string>
#include <string_view>

namespace vexla {

// `text` without its leading and trailing blanks (spaces only, as the
// command line, Vexla.ini values, the path dialog and register files trim).
std::string_view trimBlanks(std::string_view text);

// `text` without its leading and trailing spaces and tabs (ini keys and
// values, typed numbers and dates).
std::string_view trimSpace(std::string_view text);

// `text` with each CR LF line break made a plain LF, as a terminal or a
// script reads a message that is worded for a message box.
std::string withLfLineEnds(std::string text);

}  // namespace vexla
