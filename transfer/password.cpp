#include "transfer/password.h"

#include <termios.h>
#include <unistd.h>

namespace vexla::transfer {

std::optional<std::string> readPasswordLine(std::FILE* in) {
    std::string line;
    int c = 0;
    while ((c = std::fgetc(in)) != EOF && c != '\n') line += static_cast<char>(c);
    if (c == EOF && line.empty()) return std::nullopt;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

std::optional<std::string> askPasswordOnTerminal(const std::string& prompt) {
    if (!::isatty(STDIN_FILENO)) return std::nullopt;
    termios saved{};
    if (::tcgetattr(STDIN_FILENO, &saved) != 0) return std::nullopt;
    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    quiet.c_lflag |= ECHONL;  // the Enter still moves to a new line
    std::fprintf(stderr, "%s", prompt.c_str());
    std::fflush(stderr);
    if (::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) != 0) return std::nullopt;
    auto line = readPasswordLine(stdin);
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    return line;
}

}  // namespace vexla::transfer
