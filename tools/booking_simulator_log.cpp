// The simulator's log: one tab-separated line per write attempt,
//   <seq> <ok|busy|locked|error> <id or 0> <marker> <wait_ms, 3 decimals> <SQLite's message>
// and remarks starting with '#', which a reader of attempts passes over.
#include <cerrno>
#include <charconv>
#include <cstring>
#include <fstream>
#include <stdexcept>

#include "tools/booking_simulator.h"

namespace vexla::sim {

namespace {

// SQLite's messages are one line already; a tab or a line break in one would
// still break the columns, so they are made spaces.
std::string oneField(std::string text) {
    for (char& c : text)
        if (c == '\t' || c == '\n' || c == '\r') c = ' ';
    return text;
}

std::vector<std::string> splitTabs(const std::string& line) {
    std::vector<std::string> fields(1);
    for (const char c : line) {
        if (c == '\t')
            fields.emplace_back();
        else
            fields.back() += c;
    }
    return fields;
}

template <class Number>
bool readWhole(const std::string& text, Number& out) {
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, out);
    return error == std::errc() && stop == end;
}

}  // namespace

std::string formatAttempt(const Attempt& a) {
    char wait[64];
    std::snprintf(wait, sizeof wait, "%.3f", a.waitMs);
    return std::to_string(a.seq) + '\t' + a.outcome + '\t' + std::to_string(a.id) + '\t' + oneField(a.marker) + '\t' +
           wait + '\t' + oneField(a.message);
}

std::optional<Attempt> parseAttempt(const std::string& line) {
    const std::vector<std::string> f = splitTabs(line);
    if (f.size() != 6) return std::nullopt;
    Attempt a;
    a.outcome = f[1];
    a.marker = f[3];
    a.message = f[5];
    const bool known = a.outcome == "ok" || a.outcome == "busy" || a.outcome == "locked" || a.outcome == "error";
    if (!known || !readWhole(f[0], a.seq) || !readWhole(f[2], a.id) || !readWhole(f[4], a.waitMs)) return std::nullopt;
    return a;
}

std::vector<Attempt> readSimLog(const std::string& path) {
    std::ifstream in(path);
    if (!in) throw std::runtime_error("cannot read " + path);
    std::vector<Attempt> attempts;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line.starts_with("#")) continue;
        const std::optional<Attempt> a = parseAttempt(line);
        if (!a) throw std::runtime_error(path + " holds a line that is no attempt: " + line);
        attempts.push_back(*a);
    }
    return attempts;
}

SimLog::~SimLog() {
    if (owned_) std::fclose(out_);
}

bool SimLog::open(const std::string& path, std::string& problem) {
    if (path.empty()) return true;
    std::FILE* file = std::fopen(path.c_str(), "a");
    if (!file) {
        problem = "cannot append to " + path + ": " + std::strerror(errno);
        return false;
    }
    if (owned_) std::fclose(out_);
    out_ = file;
    owned_ = true;
    return true;
}

void SimLog::write(const Attempt& a) {
    ++attempts_;
    if (a.outcome == "ok") ++ok_;
    if (a.waitMs > longestWaitMs_) longestWaitMs_ = a.waitMs;
    std::fprintf(out_, "%s\n", formatAttempt(a).c_str());
    std::fflush(out_);
}

void SimLog::note(const std::string& remark) {
    std::fprintf(out_, "# %s\n", oneField(remark).c_str());
    std::fflush(out_);
}

std::string SimLog::summary() const {
    char line[160];
    std::snprintf(line, sizeof line, "# attempts=%ld ok=%ld failed=%ld longest_wait_ms=%.3f", attempts_, ok_,
                  attempts_ - ok_, longestWaitMs_);
    return line;
}

}  // namespace vexla::sim
