#include "db/conversion.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "common/text.h"
#include "db/errors.h"
#include "db/stored_format.h"

namespace vexla::db {

StoredValue StoredValue::ofInteger(std::int64_t v) {
    StoredValue s;
    s.kind_ = Kind::Integer;
    s.integer_ = v;
    return s;
}

StoredValue StoredValue::ofReal(double v) {
    StoredValue s;
    s.kind_ = Kind::Real;
    s.real_ = v;
    return s;
}

StoredValue StoredValue::ofText(std::string_view borrowed, Kind kind) {
    StoredValue s;
    s.kind_ = kind;
    s.borrowed_ = borrowed;
    return s;
}

StoredValue StoredValue::ofOwnText(std::string_view text) {
    StoredValue s;
    s.kind_ = Kind::Text;
    s.own_ = true;
    s.len_ = static_cast<std::uint8_t>(std::min(text.size(), sizeof s.buf_));
    std::memcpy(s.buf_, text.data(), s.len_);
    return s;
}

std::size_t characterCount(std::string_view utf8) {
    std::size_t n = 0;
    for (unsigned char c : utf8) n += (c & 0xC0) != 0x80;
    return n;
}

namespace {

// A value between parsing and storing: what it is, whatever it came from.
struct Scalar {
    enum class Kind : std::uint8_t { Null, Bool, Int, Real, Text, Date } kind = Kind::Null;
    bool boolean = false;
    std::int64_t integer = 0;
    double real = 0;
    std::string_view text;  // Text: the text; Int/Real: the number as written, when known
    DateTime date;
};

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
        if (x != y) return false;
    }
    return true;
}

// [+-] digits [. digits] [e [+-] digits], or [+-] . digits ...; "." as point.
bool parseNumber(std::string_view s, Scalar& out) {
    if (s.empty()) return false;
    size_t i = 0;
    bool negative = false;
    if (s[0] == '+' || s[0] == '-') {
        negative = s[0] == '-';
        ++i;
    }
    const size_t start = i;
    size_t intDigits = 0, fracDigits = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, ++intDigits;
    bool isReal = false;
    if (i < s.size() && s[i] == '.') {
        isReal = true;
        ++i;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, ++fracDigits;
    }
    if (intDigits + fracDigits == 0) return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        isReal = true;
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
        size_t expDigits = 0;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, ++expDigits;
        if (expDigits == 0) return false;
    }
    if (i != s.size()) return false;
    const char* first = s.data() + start;
    const char* last = s.data() + s.size();
    if (!isReal) {
        std::uint64_t u = 0;
        const auto r = std::from_chars(first, last, u);
        const std::uint64_t limit = negative ? std::uint64_t{1} << 63 : (std::uint64_t{1} << 63) - 1;
        if (r.ec == std::errc() && u <= limit) {
            out.kind = Scalar::Kind::Int;
            out.integer = negative ? static_cast<std::int64_t>(0 - u) : static_cast<std::int64_t>(u);
            out.text = s;
            return true;
        }
    }
    double d = 0;
    const auto r = std::from_chars(first, last, d);
    if (r.ec != std::errc() || !std::isfinite(d)) return false;
    out.kind = Scalar::Kind::Real;
    out.real = negative ? -d : d;
    out.text = s;
    return true;
}

bool parseTruth(std::string_view s, bool& value) {
    for (const char* t : {"True", "Yes", "On"})
        if (equalsIgnoringCase(s, t)) return value = true, true;
    for (const char* f : {"False", "No", "Off"})
        if (equalsIgnoringCase(s, f)) return value = false, true;
    return false;
}

Result<Scalar> fromLiteral(const Literal& literal, const DatePictures& pictures) {
    Scalar s;
    switch (literal.kind) {
        case Literal::Kind::Null: return s;
        case Literal::Kind::Boolean:
            s.kind = Scalar::Kind::Bool;
            s.boolean = literal.boolean;
            return s;
        case Literal::Kind::Text:
            s.kind = Scalar::Kind::Text;
            s.text = literal.text;
            return s;
        case Literal::Kind::Number:
            if (!parseNumber(literal.text, s)) return insertSyntax();
            return s;
        case Literal::Kind::Date: {
            const auto date = parseDateLiteral(literal.text, pictures);
            if (!date) return dateSyntax("#" + std::string(literal.text) + "#");
            s.kind = Scalar::Kind::Date;
            s.date = *date;
            return s;
        }
    }
    return s;
}

Result<std::int64_t> toInteger(double d, const ColumnType& column) {
    const double r = std::nearbyint(d);  // the default rounding mode: half to even
    if (!(r >= -9.2e18 && r <= 9.2e18)) return numericOverflow();
    const auto v = static_cast<std::int64_t>(r);
    if (v < column.minimum || v > column.maximum) return numericOverflow();
    return v;
}

StoredValue dateText(const DateTime& t) {
    char buf[kStoredDateTimeLength];
    formatStoredDateTime(t, buf);
    return StoredValue::ofOwnText(std::string_view(buf, sizeof buf));
}

StoredValue numberText(const Scalar& s) {
    if (!s.text.empty()) return StoredValue::ofText(s.text);
    char buf[40];
    const auto r = s.kind == Scalar::Kind::Int ? std::to_chars(buf, buf + sizeof buf, s.integer)
                                               : std::to_chars(buf, buf + sizeof buf, s.real);
    return StoredValue::ofOwnText(std::string_view(buf, r.ptr - buf));
}

Result<StoredValue> checkLength(StoredValue v, const ColumnType& column) {
    if (column.maxLength > 0 && characterCount(v.text()) > static_cast<std::size_t>(column.maxLength))
        return fieldTooSmall();
    return v;
}

Result<StoredValue> store(const Scalar& s, const ColumnType& column, const DatePictures& pictures);
using K = Scalar::Kind;

// A text stored in a number column is read as a number first, then stored as
// that number would be.
Result<StoredValue> storeTextAsNumber(const Scalar& s, const ColumnType& column, const DatePictures& pictures) {
    Scalar n;
    if (!parseNumber(trimSpace(s.text), n)) return typeMismatch();
    return store(n, column, pictures);
}

Result<StoredValue> storeBoolean(const Scalar& s, const ColumnType& column, const DatePictures& pictures) {
    switch (s.kind) {
        case K::Bool: return StoredValue::ofInteger(s.boolean ? 1 : 0);
        case K::Int: return StoredValue::ofInteger(s.integer != 0 ? 1 : 0);
        case K::Real: return StoredValue::ofInteger(s.real != 0 ? 1 : 0);
        case K::Text: {
            bool truth = false;
            if (parseTruth(trimSpace(s.text), truth)) return StoredValue::ofInteger(truth ? 1 : 0);
            return storeTextAsNumber(s, column, pictures);
        }
        default: return typeMismatch();
    }
}

Result<StoredValue> storeInteger(const Scalar& s, const ColumnType& column, const DatePictures& pictures) {
    switch (s.kind) {
        case K::Bool: return StoredValue::ofInteger(s.boolean ? -1 : 0);
        case K::Int:
            if (s.integer < column.minimum || s.integer > column.maximum) return numericOverflow();
            return StoredValue::ofInteger(s.integer);
        case K::Real: {
            auto v = toInteger(s.real, column);
            if (!v) return v.error();
            return StoredValue::ofInteger(*v);
        }
        case K::Text: return storeTextAsNumber(s, column, pictures);
        default: return typeMismatch();
    }
}

Result<StoredValue> storeReal(const Scalar& s) {
    switch (s.kind) {
        case K::Bool: return StoredValue::ofReal(s.boolean ? -1.0 : 0.0);
        case K::Int: return StoredValue::ofReal(static_cast<double>(s.integer));
        case K::Real: return StoredValue::ofReal(s.real);
        case K::Text: {
            Scalar n;
            if (!parseNumber(trimSpace(s.text), n)) return typeMismatch();
            return StoredValue::ofReal(n.kind == K::Int ? static_cast<double>(n.integer) : n.real);
        }
        default: return typeMismatch();
    }
}

Result<StoredValue> storeDateTime(const Scalar& s, const DatePictures& pictures) {
    switch (s.kind) {
        case K::Date: return dateText(s.date);
        case K::Int:
        case K::Real: {
            DateTime t;
            if (!dateFromSerial(s.kind == K::Int ? static_cast<double>(s.integer) : s.real, t)) return typeMismatch();
            return dateText(t);
        }
        case K::Text: {
            const auto date = parseDateLiteral(s.text, pictures);
            if (!date) return typeMismatch();
            return dateText(*date);
        }
        default: return typeMismatch();
    }
}

Result<StoredValue> storeText(const Scalar& s, const ColumnType& column) {
    switch (s.kind) {
        case K::Text: return checkLength(StoredValue::ofText(s.text), column);
        case K::Int:
        case K::Real: return checkLength(numberText(s), column);
        case K::Bool: return checkLength(StoredValue::ofText(s.boolean ? "True" : "False"), column);
        case K::Date: return checkLength(dateText(s.date), column);
        default: return typeMismatch();
    }
}

Result<StoredValue> storeAny(const Scalar& s) {
    switch (s.kind) {
        case K::Bool: return StoredValue::ofInteger(s.boolean ? 1 : 0);
        case K::Int: return StoredValue::ofInteger(s.integer);
        case K::Real: return StoredValue::ofReal(s.real);
        case K::Text: return StoredValue::ofText(s.text);
        case K::Date: return dateText(s.date);
        default: return typeMismatch();
    }
}

Result<StoredValue> store(const Scalar& s, const ColumnType& column, const DatePictures& pictures) {
    if (s.kind == K::Null) return StoredValue::null();
    switch (column.storage) {
        case Storage::Boolean: return storeBoolean(s, column, pictures);
        case Storage::Integer: return storeInteger(s, column, pictures);
        case Storage::Real: return storeReal(s);
        case Storage::DateTime: return storeDateTime(s, pictures);
        case Storage::Text: return storeText(s, column);
        case Storage::Binary:
            if (s.kind == K::Text) return StoredValue::ofText(s.text, StoredValue::Kind::Blob);
            return typeMismatch();
        case Storage::Any: return storeAny(s);
    }
    return typeMismatch();
}

}  // namespace

Result<StoredValue> storeLiteral(const Literal& literal, const ColumnType& column, const DatePictures& pictures) {
    auto s = fromLiteral(literal, pictures);
    if (!s) return s.error();
    return store(*s, column, pictures);
}

Result<StoredValue> storeVariant(const Variant& value, const ColumnType& column, const DatePictures& pictures) {
    Scalar s;
    if (const auto* b = std::get_if<bool>(&value)) {
        s.kind = Scalar::Kind::Bool;
        s.boolean = *b;
    } else if (const auto* i = std::get_if<std::int64_t>(&value)) {
        s.kind = Scalar::Kind::Int;
        s.integer = *i;
    } else if (const auto* d = std::get_if<double>(&value)) {
        if (!std::isfinite(*d)) return typeMismatch();
        s.kind = Scalar::Kind::Real;
        s.real = *d;
    } else if (const auto* t = std::get_if<DateTime>(&value)) {
        if (!isValid(*t)) return typeMismatch();
        s.kind = Scalar::Kind::Date;
        s.date = *t;
    } else if (const auto* str = std::get_if<std::string>(&value)) {
        s.kind = Scalar::Kind::Text;
        s.text = *str;
    }
    return store(s, column, pictures);
}

Result<Literal> parseBareLiteral(std::string_view text, std::string_view decimalSeparator, std::string& scratch) {
    const std::string_view s = trimSpace(text);
    Literal literal;
    if (equalsIgnoringCase(s, "Null")) return literal;
    if (equalsIgnoringCase(s, "True") || equalsIgnoringCase(s, "False")) {
        literal.kind = Literal::Kind::Boolean;
        literal.boolean = equalsIgnoringCase(s, "True");
        return literal;
    }
    std::string_view number = s;
    if (!decimalSeparator.empty() && decimalSeparator != "." && s.find(decimalSeparator) != std::string_view::npos) {
        scratch.assign(s);
        const size_t at = scratch.find(decimalSeparator);
        scratch.replace(at, decimalSeparator.size(), ".");
        number = scratch;
    }
    Scalar probe;
    if (!parseNumber(number, probe)) return insertSyntax();
    literal.kind = Literal::Kind::Number;
    literal.text = number;
    return literal;
}

}  // namespace vexla::db
