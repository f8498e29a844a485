// The password encoding against vectors worked out by hand from the key's
// Windows-1252 codes (Å Ä Ö å ä ö É È Ê Ë Í Ì Î Ï Ó Ò Ô Õ Ú Ù Û Ü Ý Þ),
// not by the code under test.
#include <gtest/gtest.h>

#include <string>

#include "login/kryptera.h"

namespace vexla {
namespace {

TEST(Encoding, MatchesTheHandWorkedVectors) {
    struct Vector {
        const char* name;
        const char* password;  // UTF-8 as typed
        const char* encoded;   // worked out by hand: code XOR key code, two hex digits each
    };
    for (const Vector& v : std::initializer_list<Vector>{
             {"Empty", "", ""},
             // a 0x61 ^ Å 0xC5 = 0xA4
             {"OneCharacter", "a", "A4"},
             // v 76^C5 e 65^C4 x 78^D6 l 6C^E5 a 61^E4
             {"DemoPassword", "vexla", "B3A1AE8985"},
             // each letter against the 24 key codes in order
             {"TwentyFour", "abcdefghijklmnopqrstuvwx", "A4A6B5818190AEA0A3A1A6A0A3A1BCA2A5A7A9ADAEAAAAA6"},
             // the 25th character meets the key's first character again: y 79^C5 = BC
             {"TwentyFive", "abcdefghijklmnopqrstuvwxy", "A4A6B5818190AEA0A3A1A6A0A3A1BCA2A5A7A9ADAEAAAAA6" "BC"},
             // z 7A^C4 = BE, 0 30^D6 = E6, 1 31^E5 = D4, 2 32^E4 = D6, 3 33^F6 = C5
             {"Thirty", "abcdefghijklmnopqrstuvwxyz0123", "A4A6B5818190AEA0A3A1A6A0A3A1BCA2A5A7A9ADAEAAAAA6BCBEE6D4D6C5"},
             // å E5^C5, ä E4^C4, ö F6^D6
             {"SwedishLetters", "åäö", "202020"},
             // a letter equal to its key letter gives the byte 00
             {"SameAsKey", "Å", "00"},
             // À C0^C5 = 05: a leading zero digit
             {"LeadingZeroDigit", "À", "05"},
             // L 4C^C5, ö F6^C4, s 73^D6, e 65^E5, n 6E^E4, € 80^F6
             {"EuroSign", "Lösen€", "8932A5808A76"},
             // ☃ has no Windows-1252 code and is taken as ? (3F^C4 = FB)
             {"OutsideTheCodePage", "a☃", "A4FB"},
             // a blank is a character like any other: 20^C5 = E5
             {"Blank", " ", "E5"}}) {
        EXPECT_EQ(KrypteraLösenord(v.password), v.encoded) << v.name;
    }
}

TEST(Encoding, KrypteraIsItsOwnInverseAndKeepsTheLength) {
    std::string all;
    for (int c = 0; c < 256; ++c) all += static_cast<char>(c);
    const std::string once = Kryptera(all);
    EXPECT_EQ(once.size(), all.size());
    EXPECT_NE(once, all);
    EXPECT_EQ(Kryptera(once), all);
}

}  // namespace
}  // namespace vexla
