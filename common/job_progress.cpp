#include "common/job_progress.h"
#include "texts/text_codes.h"

#include <algorithm>
#include <cstdio>

namespace vexla {

void SharedProgress::report(std::uint64_t done, std::uint64_t total, ProgressUnit unit) {
    done_.store(done, std::memory_order_relaxed);
    total_.store(total, std::memory_order_relaxed);
    unit_.store(static_cast<std::uint8_t>(unit), std::memory_order_relaxed);
}

ProgressSnapshot SharedProgress::snapshot() const {
    return {done_.load(std::memory_order_relaxed), total_.load(std::memory_order_relaxed),
            static_cast<ProgressUnit>(unit_.load(std::memory_order_relaxed))};
}

std::optional<std::chrono::seconds> timeLeft(std::uint64_t done, std::uint64_t total,
                                             std::chrono::steady_clock::duration elapsed) {
    using namespace std::chrono;
    if (done == 0 || total == 0 || done > total || elapsed < seconds(1)) return std::nullopt;
    const double perUnit = duration<double>(elapsed).count() / static_cast<double>(done);
    return seconds(static_cast<long long>(perUnit * static_cast<double>(total - done) + 0.5));
}

std::string clockText(std::chrono::seconds t) {
    const long long s = t.count();
    char text[32];
    if (s >= 3600)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", s / 3600, s / 60 % 60, s % 60);
    else
        std::snprintf(text, sizeof text, "%lld:%02lld", s / 60, s % 60);
    return text;
}

namespace {

// 1234567 -> "1 234 567": long counts read at a glance in both languages.
std::string grouped(std::uint64_t n) {
    std::string digits = std::to_string(n), out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ' ';
        out += digits[i];
    }
    return out;
}

}  // namespace

std::string progressLabel(const ProgressSnapshot& p, std::chrono::steady_clock::duration elapsed, TextSource& texts) {
    if (p.unit == ProgressUnit::Waiting)
        return texts.TextTillAndra(txt::WaitingForBookingSystem) + " " + grouped(p.total) + " s";
    const bool bytes = p.unit == ProgressUnit::Bytes;
    const auto shown = [&](std::uint64_t n) { return grouped(bytes ? (n + 500000) / 1000000 : n); };
    const char* unit = bytes ? txt::UnitMegabytes : p.unit == ProgressUnit::Steps ? txt::UnitSteps : txt::UnitRecords;
    std::string s = shown(p.done);
    if (p.total > 0) s += " " + texts.TextTillAndra(txt::ProgressOf) + " " + shown(p.total);
    s += " " + texts.TextTillAndra(unit);
    if (const auto left = timeLeft(p.done, p.total, elapsed))
        s += ", " + texts.TextTillAndra(txt::TimeLeftAbout) + " " + clockText(*left);
    return s;
}

int permille(const ProgressSnapshot& p) {
    if (p.total == 0) return 0;
    return static_cast<int>(std::min<std::uint64_t>(p.done, p.total) * 1000 / p.total);
}

Error stoppedByUser() { return Error{kStoppedByUser, "User interrupt occurred", "Vexla Admin"}; }

}  // namespace vexla
