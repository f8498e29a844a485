// Windows-1252, the 8-bit code page of every file the program shares with
// the booking system (Lang.ini, Vexla.ini, register files, the activity log),
// and UTF-8, the encoding of every std::string inside the program. The
// conversion happens at the file edge only.
//
// The code page is Latin-1 with 27 typographic characters (euro sign, curly
// quotes, dashes, ...) in the bytes 0x80-0x9F. The five bytes it leaves
// undefined there, 0x81 0x8D 0x8F 0x90 0x9D, stand for the C1 control
// characters of the same value, the way Windows converts them, so that every
// byte has a character and every such character survives a round trip.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vexla {

// The Unicode code point of one Windows-1252 byte. Every byte has one.
char32_t cp1252CodePoint(unsigned char byte);

// The Windows-1252 byte of one code point, or -1 when the code page cannot
// hold it (everything above U+00FF except the 27 typographic characters, and
// the C1 controls other than the five undefined bytes).
int cp1252Byte(char32_t codePoint);

// Appends the UTF-8 form of the Windows-1252 bytes to `out`. Never fails.
void appendCp1252AsUtf8(std::string& out, std::string_view cp1252);

// The UTF-8 form of Windows-1252 bytes. Never fails.
std::string cp1252ToUtf8(std::string_view cp1252);

// Appends the Windows-1252 form of UTF-8 text to `out` and answers how many
// '?' it wrote in place of something it could not convert: one for each
// character the code page cannot hold, and one for each byte of malformed
// UTF-8 (a stray continuation byte, a lead byte whose sequence is cut short,
// overlong, a surrogate or beyond U+10FFFF, and the bytes 0xC0 0xC1 0xF5-0xFF).
// ASCII is copied in blocks, so text that is mostly ASCII costs little more
// than a copy; `out` is reserved once for the whole input.
std::size_t appendUtf8AsCp1252(std::string& out, std::string_view utf8);

// The Windows-1252 form of UTF-8 text, converted as appendUtf8AsCp1252 does.
// When `replaced` is given it receives the number of '?' substitutions.
std::string utf8ToCp1252(std::string_view utf8, std::size_t* replaced = nullptr);

}  // namespace vexla
