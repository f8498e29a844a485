// The simulator's command line. Numbers are read whole (from_chars: no
// spaces, no trailing text), so a typing slip is refused, not half read.
#include <charconv>
#include <cmath>

#include "tools/booking_simulator.h"

namespace vexla::sim {

const char* const kSimUsage =
    "vexla-bookingsim DB [--rate N] [--style per-booking|kept-open|idle|report] [--wal] [--busy-timeout S] "
    "[--log FILE] [--duration S] [--count N]";

namespace {

template <class Number>
bool readNumber(const std::string& text, Number low, Number high, Number& out) {
    Number value{};
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || stop != end || !(value >= low && value <= high)) return false;
    out = value;
    return true;
}

bool readStyle(const std::string& text, Style& out) {
    if (text == "per-booking")
        out = Style::PerBooking;
    else if (text == "kept-open")
        out = Style::KeptOpen;
    else if (text == "idle")
        out = Style::Idle;
    else if (text == "report")
        out = Style::Report;
    else
        return false;
    return true;
}

// Takes the value of one option (null when the command line ends after the
// name); false with the problem when either is wrong or the value is missing.
bool takeValue(SimOptions& o, const std::string& name, const std::string* given, std::string& problem) {
    const std::string value = given ? *given : std::string();
    bool read = false;
    std::string wanted;
    if (name == "--rate") {
        wanted = "bookings a second from 1 to 1000";
        read = readNumber(value, 1.0, 1000.0, o.rate);
    } else if (name == "--style") {
        wanted = "per-booking, kept-open, idle or report";
        read = readStyle(value, o.style);
    } else if (name == "--busy-timeout") {
        wanted = "seconds from 0 to 3600";
        read = readNumber(value, 0.0, 3600.0, o.busyTimeout);
    } else if (name == "--duration") {
        wanted = "seconds from 0.001 to 10000000";
        read = readNumber(value, 0.001, 1e7, o.duration);
    } else if (name == "--count") {
        wanted = "a whole number of attempts above 0";
        read = readNumber(value, 1L, 1000000000000L, o.count);
    } else if (name == "--log") {
        wanted = "a file name";
        o.log = value;
        read = !value.empty();
    } else {
        problem = "unknown option " + name;
        return false;
    }
    if (!given)
        problem = name + " needs a value";
    else if (!read)
        problem = name + " takes " + wanted + ", not '" + value + "'";
    return given && read;
}

}  // namespace

std::optional<SimOptions> parseSimArgs(const std::vector<std::string>& args, std::string& problem) {
    SimOptions o;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--wal") {
            o.wal = true;
        } else if (arg.starts_with("-")) {
            const std::string* value = i + 1 < args.size() ? &args[++i] : nullptr;
            if (!takeValue(o, arg, value, problem)) return std::nullopt;
        } else if (!o.db.empty()) {
            problem = "one database only, not also " + arg;
            return std::nullopt;
        } else {
            o.db = arg;
        }
    }
    if (o.db.empty()) {
        problem = "no database named";
        return std::nullopt;
    }
    return o;
}

}  // namespace vexla::sim
