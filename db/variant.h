// Field values and the engine's type codes. A field's value is one of the
// kinds the booking database stores, or Null; a Yes/No value reads as bool,
// a date/time as DateTime, a counter or integer as a 64-bit integer.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "common/datetime.h"

namespace vexla::db {

// The type codes a field reports, as the booking system's engine numbers them.
namespace dao {
constexpr int Boolean = 1;
constexpr int Byte = 2;
constexpr int Integer = 3;
constexpr int Long = 4;
constexpr int Currency = 5;
constexpr int Single = 6;
constexpr int Double = 7;
constexpr int Date = 8;
constexpr int Text = 10;
constexpr int LongBinary = 11;
constexpr int Memo = 12;

// Options of Execute and OpenRecordset.
constexpr int FailOnError = 128;
constexpr int OpenSnapshot = 4;
constexpr int ForwardOnly = 256;
constexpr int ReadOnly = 4;
}  // namespace dao

struct Null {
    friend bool operator==(Null, Null) = default;
};

using Variant = std::variant<Null, bool, std::int64_t, double, DateTime, std::string>;

inline bool isNull(const Variant& v) { return std::holds_alternative<Null>(v); }

// The value as a number when it is one (Yes/No as -1 and 0, the way the
// engine compares them); nothing for Null, text and dates.
inline std::optional<double> numericValue(const Variant& v) {
    if (const auto* i = std::get_if<std::int64_t>(&v)) return static_cast<double>(*i);
    if (const auto* d = std::get_if<double>(&v)) return *d;
    if (const auto* b = std::get_if<bool>(&v)) return *b ? -1.0 : 0.0;
    return std::nullopt;
}

// The cheap view of one field of the current record: what the file holds,
// before any conversion. `text` stays valid until the recordset moves or
// closes. A date/time column holds its text in stored form (see
// stored_format.h); a Yes/No column holds the integer 0 or 1.
struct RawValue {
    enum class Kind : std::uint8_t { Null, Integer, Real, Text };
    Kind kind = Kind::Null;
    std::int64_t integer = 0;
    double real = 0;
    std::string_view text;
};

}  // namespace vexla::db
