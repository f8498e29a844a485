// The program's text codes by name: txt::VerdictDamaged is "R9431". Code
// names a text by its constant, so a reader knows what a line says; the
// words themselves stay in Lang.ini, looked up by the code at run time.
//
// The header is data without includes (and one constexpr reading of it), so
// every layer may name a text, the platform's error texts in common/ among them.
#pragma once

namespace vexla {

namespace txt {
#define VEXLA_TEXT_CODE(code, name) inline constexpr char name[] = #code;
#include "texts/text_codes.inc"
#undef VEXLA_TEXT_CODE

// The number a failure told by one of our texts is given (--json, the
// log): the code's digits, 9622 for "R9622".
constexpr long number(const char* code) {
    long n = 0;
    for (const char* c = code + 1; *c >= '0' && *c <= '9'; ++c) n = n * 10 + (*c - '0');
    return n;
}
}  // namespace txt

// The whole table, for the test that holds it against the language files.
struct NamedTextCode {
    const char* code;
    const char* name;
};

inline constexpr NamedTextCode kTextCodes[] = {
#define VEXLA_TEXT_CODE(code, name) {#code, #name},
#include "texts/text_codes.inc"
#undef VEXLA_TEXT_CODE
};

}  // namespace vexla
