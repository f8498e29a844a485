#include "common/cp1252.h"

#include <array>
#include <cstdint>
#include <cstring>

#include "common/utf8_check.h"

namespace vexla {

namespace {

// Code points of the bytes 0x80-0x9F; the rest of the code page is Latin-1.
// The undefined bytes 0x81 0x8D 0x8F 0x90 0x9D keep their own value.
constexpr std::array<char32_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

// The UTF-8 bytes of every code page byte, worked out once at compile time
// so that decoding a byte is one table look-up and a short copy.
struct Utf8Char {
    char bytes[3] = {};
    std::uint8_t length = 0;
};

constexpr Utf8Char toUtf8(char32_t cp) {
    Utf8Char c;
    if (cp < 0x80) {
        c.bytes[0] = static_cast<char>(cp);
        c.length = 1;
    } else if (cp < 0x800) {
        c.bytes[0] = static_cast<char>(0xC0 | (cp >> 6));
        c.bytes[1] = static_cast<char>(0x80 | (cp & 0x3F));
        c.length = 2;
    } else {  // every code point of the code page lies below U+10000
        c.bytes[0] = static_cast<char>(0xE0 | (cp >> 12));
        c.bytes[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        c.bytes[2] = static_cast<char>(0x80 | (cp & 0x3F));
        c.length = 3;
    }
    return c;
}

constexpr char32_t codePointOf(unsigned byte) {
    return byte >= 0x80 && byte <= 0x9F ? kHighControls[byte - 0x80] : char32_t(byte);
}

constexpr std::array<Utf8Char, 256> makeDecodeTable() {
    std::array<Utf8Char, 256> table{};
    for (unsigned b = 0; b < 256; ++b) table[b] = toUtf8(codePointOf(b));
    return table;
}

constexpr std::array<Utf8Char, 256> kDecode = makeDecodeTable();

// Decodes one well-formed multi-byte UTF-8 sequence at p, answering its
// length, or 0 when the bytes at p do not begin one (the caller then
// replaces the single byte at p).
std::size_t decodeSequence(const unsigned char* p, const unsigned char* end, char32_t& cp) {
    const Utf8Lead lead = utf8Lead(p[0]);
    const std::size_t length = lead.continuations + 1;
    if (lead.continuations == 0 || static_cast<std::size_t>(end - p) < length) return 0;
    if (p[1] < lead.low || p[1] > lead.high) return 0;
    cp = p[0] & (0x7F >> length);  // the lead byte's payload: 5, 4 or 3 bits
    for (std::size_t i = 1; i < length; ++i) {
        if ((p[i] & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (p[i] & 0x3F);
    }
    return length;
}

}  // namespace

char32_t cp1252CodePoint(unsigned char byte) { return codePointOf(byte); }

int cp1252Byte(char32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<int>(cp);
    switch (cp) {
        case 0x81:
        case 0x8D:
        case 0x8F:
        case 0x90:
        case 0x9D: return static_cast<int>(cp);
        case 0x20AC: return 0x80;
        case 0x201A: return 0x82;
        case 0x0192: return 0x83;
        case 0x201E: return 0x84;
        case 0x2026: return 0x85;
        case 0x2020: return 0x86;
        case 0x2021: return 0x87;
        case 0x02C6: return 0x88;
        case 0x2030: return 0x89;
        case 0x0160: return 0x8A;
        case 0x2039: return 0x8B;
        case 0x0152: return 0x8C;
        case 0x017D: return 0x8E;
        case 0x2018: return 0x91;
        case 0x2019: return 0x92;
        case 0x201C: return 0x93;
        case 0x201D: return 0x94;
        case 0x2022: return 0x95;
        case 0x2013: return 0x96;
        case 0x2014: return 0x97;
        case 0x02DC: return 0x98;
        case 0x2122: return 0x99;
        case 0x0161: return 0x9A;
        case 0x203A: return 0x9B;
        case 0x0153: return 0x9C;
        case 0x017E: return 0x9E;
        case 0x0178: return 0x9F;
        default: return -1;
    }
}

void appendCp1252AsUtf8(std::string& out, std::string_view in) {
    const auto* p = reinterpret_cast<const unsigned char*>(in.data());
    const auto* end = p + in.size();
    out.reserve(out.size() + in.size());
    while (p < end) {
        const std::size_t run = asciiRun(p, end);
        out.append(reinterpret_cast<const char*>(p), run);
        p += run;
        for (; p < end && *p >= 0x80; ++p) {
            const Utf8Char& c = kDecode[*p];
            out.append(c.bytes, c.length);
        }
    }
}

std::string cp1252ToUtf8(std::string_view in) {
    std::string out;
    appendCp1252AsUtf8(out, in);
    return out;
}

std::size_t appendUtf8AsCp1252(std::string& out, std::string_view in) {
    const auto* p = reinterpret_cast<const unsigned char*>(in.data());
    const auto* end = p + in.size();
    std::size_t replaced = 0;
    out.reserve(out.size() + in.size());  // the result is never longer
    while (p < end) {
        const std::size_t run = asciiRun(p, end);
        out.append(reinterpret_cast<const char*>(p), run);
        p += run;
        while (p < end && *p >= 0x80) {
            char32_t cp = 0;
            const std::size_t length = decodeSequence(p, end, cp);
            const int byte = length ? cp1252Byte(cp) : -1;
            if (byte < 0) {
                out += '?';
                ++replaced;
            } else {
                out += static_cast<char>(byte);
            }
            p += length ? length : 1;
        }
    }
    return replaced;
}

std::string utf8ToCp1252(std::string_view in, std::size_t* replaced) {
    std::string out;
    const std::size_t count = appendUtf8AsCp1252(out, in);
    if (replaced) *replaced = count;
    return out;
}

}  // namespace vexla
