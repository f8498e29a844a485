// The help of vexla-transfer: the general help and each command's, in the
// user's language.
#pragma once

#include <cstddef>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "common/platform/text_source.h"
#include "transfer/options.h"

namespace vexla::transfer {

// Prints on `to` the help of `command`, or the general help without one.
// On a terminal each line is wrapped to the terminal's width (wrapHelpLine);
// a pipe or a file gets every text on one line, as scripts read it.
void printHelp(std::FILE* to, TextSource& texts, const std::optional<Command>& command);

// `line` broken at spaces into lines of at most `width` characters (UTF-8
// code points; a word longer than that stands alone). The lines after the
// first hang at the column where an option's description begins: after the
// first run of two spaces in an indented line, or after the option and its
// <value> when one space parts them; an unindented line hangs at 0. A line
// that fits, or a width of 0, comes back unchanged.
std::vector<std::string> wrapHelpLine(const std::string& line, std::size_t width);

}  // namespace vexla::transfer
