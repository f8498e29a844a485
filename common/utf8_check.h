// Whether bytes are UTF-8, checked as they stream past: a register file may
// come from a tool that writes UTF-8 without a byte-order mark, and the
// reader tells it from Windows-1252 by its bytes alone. The check is strict
// (no overlong forms, no surrogates, nothing beyond U+10FFFF, no 0xC0 0xC1
// 0xF5-0xFF), so that Windows-1252 text with letters beyond ASCII almost
// never passes: such a letter is a lone byte from 0x80 up, and UTF-8 wants
// every one of those in a sequence of a lead byte and continuation bytes.
#pragma once

#include <cstddef>
#include <string_view>

namespace vexla {

// What a byte allows as the lead of a UTF-8 sequence: how many continuation
// bytes follow it (0: it leads none), and the range of the first of them,
// narrowed where the sequence would be overlong, a surrogate or beyond
// U+10FFFF. The others range 0x80-0xBF.
struct Utf8Lead {
    unsigned continuations = 0;
    unsigned char low = 0x80, high = 0xBF;
};
Utf8Lead utf8Lead(unsigned char byte);

// The number of ASCII bytes from p on (eight at a time where it can).
std::size_t asciiRun(const unsigned char* p, const unsigned char* end);

class Utf8Check {
public:
    // Checks the next bytes; a character may run over from the bytes fed last.
    void feed(std::string_view bytes);

    // A byte broke the rules: the bytes are not UTF-8.
    bool broken() const { return broken_; }
    // At least one whole character beyond ASCII was seen.
    bool beyondAscii() const { return beyondAscii_; }
    // The bytes so far end inside a character (it may go on in the next ones).
    bool cut() const { return need_ > 0; }
    // Everything fed so far is UTF-8, whole characters only.
    bool wellFormed() const { return !broken_ && need_ == 0; }

private:
    unsigned need_ = 0;                       // continuation bytes still to come
    unsigned char low_ = 0x80, high_ = 0xBF;  // the range of the next continuation byte
    bool broken_ = false, beyondAscii_ = false;
};

// Whether `bytes` are UTF-8 of whole characters.
bool isUtf8(std::string_view bytes);

}  // namespace vexla
