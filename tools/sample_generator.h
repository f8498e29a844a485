// The demo booking database: customers (Kund), resources (Person), bookings
// (Bokning), preliminary bookings (PrelBokning) and the users of the login
// (Users), with the columns of the field catalogue that suit each register.
// The same options and seed always give the same file contents.
//
// The full variant is as untidy as real registers: nulls in every kind of
// column, ";" and apostrophes inside texts, and one column per register that
// the field catalogue does not know. The clean variant (clean = true) holds
// only what a register file carries back unchanged through an export and an
// import: no ";" or quote characters in any text, no null outside text
// columns, every column known to the catalogue.
#pragma once

#include <cstdint>
#include <string>

#include "common/result.h"

namespace vexla::sample {

struct Options {
    long customers = 200;
    long resources = 40;
    long bookings = 5000;
    std::uint64_t seed = 1;
    bool clean = false;
};

struct Summary {
    long customers = 0;     // with positive ID
    long placeholders = 0;  // ID -1 and lower
    long resources = 0;
    long bookings = 0;
    long preliminary = 0;
    long users = 0;
};

// The demo logins, both with the password "vexla": "admin" (group 1, an
// administrator) and "anna" (group 2).
inline constexpr const char* kDemoPassword = "vexla";

// Creates the database at path, which must not exist (error 58 "File
// already exists."; a missing folder is 76 "Path not found."). A failed run
// removes the file it created.
Result<Summary> makeSampleDatabase(const std::string& path, const Options& options);

}  // namespace vexla::sample
