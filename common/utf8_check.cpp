#include "common/utf8_check.h"

#include <cstdint>
#include <cstring>

namespace vexla {

void Utf8Check::feed(std::string_view bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const unsigned char* const end = p + bytes.size();
    while (p < end && !broken_) {
        if (need_ == 0) {
            // Most of a register file is ASCII: skip it eight bytes at a time.
            std::uint64_t word;
            while (end - p >= 8 && (std::memcpy(&word, p, 8), (word & 0x8080808080808080ULL) == 0)) p += 8;
            if (p == end) break;
            const unsigned char b = *p++;
            if (b < 0x80) continue;
            low_ = 0x80, high_ = 0xBF;
            if (b >= 0xC2 && b <= 0xDF) {
                need_ = 1;
            } else if (b >= 0xE0 && b <= 0xEF) {
                need_ = 2;
                if (b == 0xE0) low_ = 0xA0;   // overlong
                if (b == 0xED) high_ = 0x9F;  // surrogates
            } else if (b >= 0xF0 && b <= 0xF4) {
                need_ = 3;
                if (b == 0xF0) low_ = 0x90;   // overlong
                if (b == 0xF4) high_ = 0x8F;  // beyond U+10FFFF
            } else {
                broken_ = true;  // a continuation byte without a lead, or a byte UTF-8 never uses
            }
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
