#include "db/swedish_collation.h"

#include <sqlite3.h>

#include <cstdint>

namespace vexla::db {

namespace {

// Decodes one UTF-8 character at s[i]; a byte that starts no valid sequence
// stands for itself above the Unicode range, so invalid text still compares
// consistently.
std::uint32_t next(std::string_view s, size_t& i) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    if (b0 < 0x80) return ++i, b0;
    int len = b0 >= 0xF0 ? 4 : b0 >= 0xE0 ? 3 : b0 >= 0xC2 ? 2 : 0;
    if (len == 0 || i + len > s.size()) return ++i, 0x110000u + b0;
    std::uint32_t cp = b0 & (0x7F >> len);
    for (int k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80) return ++i, 0x110000u + b0;
        cp = (cp << 6) | (b & 0x3F);
    }
    i += len;
    return cp;
}

struct Weight {
    std::uint32_t primary;  // letter identity, case and accent removed
    std::uint8_t accent;    // 0 for the plain letter
};

// Letters weigh 0x1000 + rank (a=0 ... z=25, å=26, ä=27, ö=28); ASCII
// characters other than letters weigh their code below them, every other
// character its code above them.
constexpr std::uint32_t kLetters = 0x1000;

Weight letter(int rank, std::uint8_t accent = 0) { return {kLetters + static_cast<std::uint32_t>(rank), accent}; }

Weight weigh(std::uint32_t c) {
    if (c >= 'A' && c <= 'Z') return letter(static_cast<int>(c - 'A'));
    if (c >= 'a' && c <= 'z') return letter(static_cast<int>(c - 'a'));
    if (c < 0x80) return {c, 0};
    if (c >= 0xC0 && c <= 0xFF && c != 0xD7 && c != 0xF7) {
        const std::uint32_t u = c >= 0xE0 ? c - 0x20 : c;  // upper-case form within Latin-1
        switch (u) {
            case 0xC5: return letter(26);     // Å
            case 0xC4: return letter(27);     // Ä
            case 0xD6: return letter(28);     // Ö
            case 0xC6: return letter(27, 1);  // Æ
            case 0xD8: return letter(28, 1);  // Ø
            case 0xDC: return letter(24, 5);  // Ü with Y
            case 0xC0: return letter(0, 2);   // À
            case 0xC1: return letter(0, 1);   // Á
            case 0xC2: return letter(0, 3);   // Â
            case 0xC3: return letter(0, 4);   // Ã
            case 0xC7: return letter(2, 1);   // Ç
            case 0xC8: return letter(4, 2);   // È
            case 0xC9: return letter(4, 1);   // É
            case 0xCA: return letter(4, 3);   // Ê
            case 0xCB: return letter(4, 4);   // Ë
            case 0xCC: return letter(8, 2);   // Ì
            case 0xCD: return letter(8, 1);   // Í
            case 0xCE: return letter(8, 3);   // Î
            case 0xCF: return letter(8, 4);   // Ï
            case 0xD0: return letter(3, 1);   // Ð
            case 0xD1: return letter(13, 1);  // Ñ
            case 0xD2: return letter(14, 2);  // Ò
            case 0xD3: return letter(14, 1);  // Ó
            case 0xD4: return letter(14, 3);  // Ô
            case 0xD5: return letter(14, 4);  // Õ
            case 0xD9: return letter(20, 2);  // Ù
            case 0xDA: return letter(20, 1);  // Ú
            case 0xDB: return letter(20, 3);  // Û
            case 0xDD: return letter(24, 1);  // Ý
            case 0xDE: return letter(19, 6);  // Þ
            case 0xDF: return letter(18, 6);  // ß
            default: break;
        }
        if (c == 0xFF) return letter(24, 4);  // ÿ
    }
    // Latin Extended-A: pairs of upper and lower case letters.
    if (c >= 0x100 && c <= 0x17F) {
        const bool pairedOdd = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
        const std::uint32_t base = pairedOdd ? ((c & 1) ? c : c - 1) : (c & ~1u);
        return {0x110000u + 0x200 + base, 0};
    }
    return {0x110000u + 0x400 + c, 0};
}

}  // namespace

int compareSwedish(std::string_view a, std::string_view b) {
    int accentOrder = 0;
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        const Weight x = weigh(next(a, i));
        const Weight y = weigh(next(b, j));
        if (x.primary != y.primary) return x.primary < y.primary ? -1 : 1;
        if (accentOrder == 0 && x.accent != y.accent) accentOrder = x.accent < y.accent ? -1 : 1;
    }
    if (i < a.size()) return 1;
    if (j < b.size()) return -1;
    return accentOrder;
}

namespace {

int collate(void*, int lenA, const void* a, int lenB, const void* b) {
    return compareSwedish(std::string_view(static_cast<const char*>(a), static_cast<size_t>(lenA)),
                          std::string_view(static_cast<const char*>(b), static_cast<size_t>(lenB)));
}

}  // namespace

int registerSwedishCollation(sqlite3* db) {
    return sqlite3_create_collation_v2(db, kSwedishCollation, SQLITE_UTF8, nullptr, collate, nullptr);
}

}  // namespace vexla::db
