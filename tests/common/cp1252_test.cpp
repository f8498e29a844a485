#include "common/cp1252.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <optional>
#include <string>
#include <tuple>

namespace vexla {
namespace {

// One conversion through glibc's iconv; nullopt when iconv refuses it.
std::optional<std::string> iconvConvert(const char* to, const char* from, const std::string& in) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    std::string input = in, out(in.size() * 4 + 4, '\0');
    char *inPtr = input.data(), *outPtr = out.data();
    size_t inLeft = input.size(), outLeft = out.size();
    const size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    if (rc == static_cast<size_t>(-1) || inLeft != 0) return std::nullopt;
    out.resize(out.size() - outLeft);
    return out;
}

// The UTF-8 form of a code point, by iconv as well.
std::string utf8Of(char32_t cp) {
    const char le[4] = {char(cp & 0xFF), char((cp >> 8) & 0xFF), char((cp >> 16) & 0xFF), 0};
    return iconvConvert("UTF-8", "UTF-32LE", std::string(le, 4)).value_or("");
}

bool isUndefinedByte(unsigned b) { return b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D; }

// Each code point's byte decodes back to it, so every byte is checked as well.
TEST(Cp1252, EveryBmpCodePointEncodesAsIconvDoesAndDecodesBack) {
    ASSERT_TRUE(iconvConvert("UTF-8", "CP1252", "a").has_value()) << "glibc lacks the CP1252 converter";
    for (char32_t cp = 1; cp < 0x10000; ++cp) {
        if (cp >= 0xD800 && cp <= 0xDFFF) continue;
        const std::string utf8 = utf8Of(cp);
        const std::optional<std::string> expected = iconvConvert("CP1252", "UTF-8", utf8);
        std::size_t replaced = 99;
        const std::string got = utf8ToCp1252(utf8, &replaced);
        // The five undefined bytes pass through (Windows decodes them as the C1
        // control of the same value); what iconv cannot encode becomes one '?'.
        const auto want = cp <= 0xFF && isUndefinedByte(cp) ? std::make_pair(std::string(1, char(cp)), std::size_t{0})
                          : expected                        ? std::make_pair(*expected, std::size_t{0})
                                                            : std::make_pair(std::string("?"), std::size_t{1});
        EXPECT_EQ(std::make_pair(got, replaced), want) << "U+" << std::hex << unsigned(cp);
        const unsigned char byte = static_cast<unsigned char>(got[0]);
        EXPECT_EQ(std::make_tuple(cp1252Byte(cp), cp1252ToUtf8(got), cp1252CodePoint(byte)),
                  replaced ? std::make_tuple(-1, std::string("?"), U'?') : std::make_tuple(int{byte}, utf8, cp));
    }
}

TEST(Cp1252, EachMalformedUtf8ByteBecomesAQuestionMark) {
    struct Case {
        const char* name;
        std::string utf8, cp1252;
        std::size_t replaced;
    };
    for (const Case& c :
         {Case{"LeadAtEnd", "ab\xC3", "ab?", 1}, Case{"ThreeByteCutShort", "\xE2\x82z", "??z", 2},
          Case{"FourByteCutShortAtEnd", "\xF0\x9F\x98", "???", 3}, Case{"OverlongTwoByte", "\xC0\xAF", "??", 2},
          Case{"Surrogate", "\xED\xA0\x80", "???", 3}, Case{"BeyondUnicode", "\xF4\x90\x80\x80", "????", 4},
          Case{"GoodAfterBad", "\x80\xC3\xA5", "?\xE5", 1}, Case{"EmojiNotInCodePage", "\xF0\x9F\x98\x80", "?", 1}}) {
        std::size_t replaced = 99;
        const std::string got = utf8ToCp1252(c.utf8, &replaced);
        EXPECT_EQ(std::make_pair(got, replaced), std::make_pair(c.cp1252, c.replaced)) << c.name;
    }
}

// The ASCII fast path works in eight-byte blocks; a non-ASCII character at
// every offset around the block edges must come out in its place.
TEST(Cp1252, NonAsciiAtEveryOffsetOfTheBlockPath) {
    for (std::size_t at = 0; at <= 24; ++at) {
        const std::string before(at, 'a'), after(24 - at, 'b');
        EXPECT_EQ(utf8ToCp1252(before + "\xC3\xA4" + after), before + "\xE4" + after) << "offset " << at;
        EXPECT_EQ(cp1252ToUtf8(before + "\xE4" + after), before + "\xC3\xA4" + after) << "offset " << at;
    }
}

}  // namespace
}  // namespace vexla
