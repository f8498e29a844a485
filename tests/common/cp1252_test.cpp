#include "common/cp1252.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <optional>
#include <string>

namespace vexla {
namespace {

// One conversion through glibc's iconv; nullopt when iconv refuses it.
std::optional<std::string> iconvConvert(const char* to, const char* from, const std::string& in) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    std::string input = in;
    std::string out(in.size() * 4 + 4, '\0');
    char* inPtr = input.data();
    size_t inLeft = input.size();
    char* outPtr = out.data();
    size_t outLeft = out.size();
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

TEST(Cp1252, EveryDefinedByteDecodesAsIconvDoes) {
    ASSERT_TRUE(iconvConvert("UTF-8", "CP1252", "a").has_value()) << "glibc lacks the CP1252 converter";
    for (unsigned b = 0; b < 256; ++b) {
        const std::string byte(1, static_cast<char>(b));
        const std::optional<std::string> expected = iconvConvert("UTF-8", "CP1252", byte);
        if (isUndefinedByte(b)) {
            // Windows passes these through as the C1 control of the same value.
            EXPECT_EQ(cp1252ToUtf8(byte), utf8Of(b)) << "byte " << b;
            EXPECT_EQ(cp1252CodePoint(static_cast<unsigned char>(b)), char32_t(b));
        } else {
            ASSERT_TRUE(expected.has_value()) << "iconv refused byte " << b;
            EXPECT_EQ(cp1252ToUtf8(byte), *expected) << "byte " << b;
        }
    }
}

TEST(Cp1252, EveryBmpCodePointEncodesAsIconvDoes) {
    for (char32_t cp = 1; cp < 0x10000; ++cp) {
        if (cp >= 0xD800 && cp <= 0xDFFF) continue;
        const std::string utf8 = utf8Of(cp);
        const std::optional<std::string> expected = iconvConvert("CP1252", "UTF-8", utf8);
        std::size_t replaced = 99;
        const std::string got = utf8ToCp1252(utf8, &replaced);
        if (cp <= 0xFF && isUndefinedByte(cp)) {
            EXPECT_EQ(got, std::string(1, static_cast<char>(cp)));
            EXPECT_EQ(replaced, 0u);
        } else if (expected) {
            EXPECT_EQ(got, *expected) << "U+" << std::hex << unsigned(cp);
            EXPECT_EQ(replaced, 0u) << "U+" << std::hex << unsigned(cp);
        } else {
            EXPECT_EQ(got, "?") << "U+" << std::hex << unsigned(cp);
            EXPECT_EQ(replaced, 1u) << "U+" << std::hex << unsigned(cp);
            EXPECT_EQ(cp1252Byte(cp), -1);
        }
    }
}

TEST(Cp1252, EachMalformedUtf8ByteBecomesAQuestionMark) {
    struct Case {
        const char* name;
        std::string utf8, cp1252;
        std::size_t replaced;
    };
    for (const Case& c : std::initializer_list<Case>{
             {"TwoStrayContinuations", "\xBF\xBF", "??", 2},
             {"LeadAtEnd", "ab\xC3", "ab?", 1},
             {"LeadBeforeAscii", "\xC3z", "?z", 1},
             {"ThreeByteCutShort", "\xE2\x82z", "??z", 2},
             {"FourByteCutShortAtEnd", "\xF0\x9F\x98", "???", 3},
             {"OverlongTwoByte", "\xC0\xAF", "??", 2},
             {"OverlongThreeByte", "\xE0\x80\xAF", "???", 3},
             {"OverlongFourByte", "\xF0\x80\x80\xAF", "????", 4},
             {"Surrogate", "\xED\xA0\x80", "???", 3},
             {"BeyondUnicode", "\xF4\x90\x80\x80", "????", 4},
             {"LeadF5", "\xF5\x80\x80\x80", "????", 4},
             {"GoodAfterBad", "\x80\xC3\xA5", "?\xE5", 1},
             {"EmojiNotInCodePage", "\xF0\x9F\x98\x80", "?", 1}}) {
        SCOPED_TRACE(c.name);
        std::size_t replaced = 99;
        EXPECT_EQ(utf8ToCp1252(c.utf8, &replaced), c.cp1252);
        EXPECT_EQ(replaced, c.replaced);
    }
}

// The ASCII fast path works in eight-byte blocks; a non-ASCII character at
// every offset around the block edges must come out in its place.
TEST(Cp1252, NonAsciiAtEveryOffsetOfTheBlockPath) {
    for (std::size_t at = 0; at <= 24; ++at) {
        const std::string before(at, 'a');
        const std::string after(24 - at, 'b');
        const std::string utf8 = before + "\xC3\xA4" + after;
        const std::string cp = before + "\xE4" + after;
        EXPECT_EQ(utf8ToCp1252(utf8), cp) << "offset " << at;
        EXPECT_EQ(cp1252ToUtf8(cp), utf8) << "offset " << at;
    }
}

TEST(Cp1252, AppendKeepsWhatIsAlreadyThere) {
    std::string out = "ID;Namn\r\n";
    EXPECT_EQ(appendUtf8AsCp1252(out, "1;\xC3\x85sa\xF0\x9F\x98\x80"), 1u);
    EXPECT_EQ(appendUtf8AsCp1252(out, ";\xE2\x80\x9C"), 0u);
    EXPECT_EQ(out, "ID;Namn\r\n1;\xC5sa?;\x93");

    std::string text = "F\xC3\xB6re: ";
    appendCp1252AsUtf8(text, "\x93" "citat\x94");
    EXPECT_EQ(text, "F\xC3\xB6re: \xE2\x80\x9C" "citat\xE2\x80\x9D");
}

}  // namespace
}  // namespace vexla
