#include "transfer/password.h"

#include <termios.h>
#include <unistd.h>

#include <memory>

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
    // Standard input may carry the register file (--in -): then the
    // controlling terminal answers, as it does for ssh and sudo.
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> tty(nullptr, std::fclose);
    std::FILE* in = stdin;
    if (!::isatty(STDIN_FILENO)) {
        tty.reset(std::fopen("/dev/tty", "r"));
        if (!tty) return std::nullopt;
        in = tty.get();
    }
    const int fd = ::fileno(in);
    termios saved{};
    if (::tcgetattr(fd, &saved) != 0) return std::nullopt;
    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    quiet.c_lflag |= ECHONL;  // the Enter still moves to a new line
    std::fprintf(stderr, "%s", prompt.c_str());
    std::fflush(stderr);
    if (::tcsetattr(fd, TCSAFLUSH, &quiet) != 0) return std::nullopt;
    auto line = readPasswordLine(in);
    ::tcsetattr(fd, TCSAFLUSH, &saved);
    return line;
}

}  // namespace vexla::transfer
