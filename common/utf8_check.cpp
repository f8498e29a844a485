#include "common/utf8_check.h"

#include <cstdint>
#include <cstring>

namespace vexla {

Utf8Lead utf8Lead(unsigned char b) {
    Utf8Lead lead;
    if (b >= 0xC2 && b <= 0xDF) {
        lead.continuations = 1;
    } else if (b >= 0xE0 && b <= 0xEF) {
        lead.continuations = 2;
        if (b == 0xE0) lead.low = 0xA0;   // overlong
        if (b == 0xED) lead.high = 0x9F;  // surrogates
    } else if (b >= 0xF0 && b <= 0xF4) {
        lead.continuations = 3;
        if (b == 0xF0) lead.low = 0x90;   // overlong
        if (b == 0xF4) lead.high = 0x8F;  // beyond U+10FFFF
    }
    return lead;
}

std::size_t asciiRun(const unsigned char* p, const unsigned char* end) {
    const unsigned char* q = p;
    for (std::uint64_t word; end - q >= 8 && (std::memcpy(&word, q, 8), (word & 0x8080808080808080ULL) == 0);) q += 8;
    while (q < end && *q < 0x80) ++q;
    return static_cast<std::size_t>(q - p);
}

void Utf8Check::feed(std::string_view bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const unsigned char* const end = p + bytes.size();
    while (p < end && !broken_) {
        if (need_ == 0) {
            // Most of a register file is ASCII.
            p += asciiRun(p, end);
            if (p == end) break;
            const Utf8Lead lead = utf8Lead(*p++);
            // 0: a continuation byte without a lead, or a byte UTF-8 never uses.
            broken_ = lead.continuations == 0;
            need_ = lead.continuations;
            low_ = lead.low, high_ = lead.high;
            continue;
        }
        const unsigned char b = *p++;
        if (b < low_ || b > high_) {
            broken_ = true;
            need_ = 0;  // broken, not cut
            continue;
        }
        low_ = 0x80, high_ = 0xBF;
        if (--need_ == 0) beyondAscii_ = true;
    }
}

bool isUtf8(std::string_view bytes) {
    Utf8Check check;
    check.feed(bytes);
    return check.wellFormed();
}

}  // namespace vexla
