// Text comparison the way the booking system's Swedish users expect it:
// letter case never matters (ANNA = anna, ÅSA = åsa, ÖRJAN = örjan,
// ÉLISE = élise); the alphabet runs a-z, then å, ä, ö, with æ sorting as ä,
// ø as ö and ü as y; an accented letter sorts with its base letter
// (é with e) but is not equal to it (José differs from Jose). Digits and ASCII
// punctuation sort before letters, other characters after them by code point.
//
// The engine registers this as a collation on every connection and applies
// it in the statements it generates (never in the file's schema, so that a
// plain sqlite3 shell still reads the file).
#pragma once

#include <string_view>

struct sqlite3;

namespace vexla::db {

inline constexpr const char* kSwedishCollation = "VEXLA_SV_NOCASE";

// Negative, zero or positive as a sorts before, equal to or after b.
int compareSwedish(std::string_view a, std::string_view b);

inline bool equalSwedish(std::string_view a, std::string_view b) { return compareSwedish(a, b) == 0; }

// Registers the collation on a connection; an SQLite result code.
int registerSwedishCollation(sqlite3* db);

}  // namespace vexla::db
