// Where a script's password comes from: a line of standard input, or the
// terminal with its echo turned off.
#pragma once

#include <cstdio>
#include <optional>
#include <string>

namespace vexla::transfer {

// The first line of `in`, without its LF or CR LF; nothing when `in` ends
// before any character.
std::optional<std::string> readPasswordLine(std::FILE* in);

// Shows `prompt` on standard error and reads one line from the terminal
// without echoing it: standard input when it is a terminal, else the
// controlling terminal (/dev/tty); nothing when there is none or it ends.
// The echo comes back however the reading ends.
std::optional<std::string> askPasswordOnTerminal(const std::string& prompt);

}  // namespace vexla::transfer
