// The password encoding of the booking system's Users table. A password is
// stored as KrypteraLösenord(password): each character's Windows-1252 code
// XOR the code of the key character at the same position (the key of 24
// characters repeating), written as two upper-case hexadecimal digits. The
// booking system writes the same encoding, so key and rules must never
// change.
#pragma once

#include <string>
#include <string_view>

namespace vexla {

// The key, UTF-8; every character is in the upper half of Windows-1252.
inline constexpr std::string_view LösenordsNyckel = "ÅÄÖåäöÉÈÊËÍÌÎÏÓÒÔÕÚÙÛÜÝÞ";

// text: Windows-1252 codes, one byte per character. The result has the same
// length; it may hold any byte, NUL included.
std::string Kryptera(std::string_view text);

// text: Windows-1252 codes. Two upper-case hexadecimal digits per byte.
std::string TillHex(std::string_view text);

// password: UTF-8 as typed. A character that Windows-1252 cannot write is
// encoded as "?" (0x3F), the way the booking system's code page conversion
// writes it, so such passwords compare equal to their "?" form (see
// common/cp1252.h; malformed UTF-8 gives one "?" per byte).
std::string KrypteraLösenord(std::string_view password);

}  // namespace vexla
