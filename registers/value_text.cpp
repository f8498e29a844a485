#include "registers/value_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

#include "common/cp1252.h"
#include "common/datetime.h"
#include "db/stored_format.h"

namespace vexla {

namespace {

// Replaces the '.' of a number written by to_chars with the regional separator.
void useDecimalSeparator(std::string& out, std::size_t from, const std::string& decimal) {
    if (decimal == ".") return;
    const std::size_t dot = out.find('.', from);
    if (dot != std::string::npos) out.replace(dot, 1, decimal);
}

// A number that is the nearest double to a decimal of at most four decimals
// and `significantDigits` digits, in 0.0001 <= |value| < 10^significantDigits
// (no exponent): printed with that many digits it is that decimal (fewer
// digits than a double keeps always come back), so its digits are written
// straight from the integer, without to_chars's general rounding, many times
// slower. Anything else answers false and is left to to_chars.
bool appendShortDecimal(std::string& out, double value, int significantDigits, const std::string& decimal) {
    static constexpr double kScale[] = {1, 10, 100, 1000, 10000};
    const double magnitude = std::fabs(value);
    if (!(magnitude >= 1e-4 && magnitude < 1e15) || significantDigits > 15) return false;
    for (int places = 0; places < 5; ++places) {
        const double scaled = std::nearbyint(magnitude * kScale[places]);
        if (scaled >= 1e15 || scaled / kScale[places] != magnitude) continue;
        char digits[24];
        const auto r = std::to_chars(digits, digits + sizeof digits, static_cast<std::int64_t>(scaled));
        const auto length = static_cast<int>(r.ptr - digits);
        if (length > significantDigits) return false;
        if (value < 0) out += '-';
        if (length <= places) {
            out += '0';
            out += decimal;
            out.append(static_cast<std::size_t>(places - length), '0');
            out.append(digits, static_cast<std::size_t>(length));
        } else {
            out.append(digits, static_cast<std::size_t>(length - places));
            if (places > 0) (out += decimal).append(r.ptr - places, static_cast<std::size_t>(places));
        }
        return true;
    }
    return false;
}

void appendInteger(std::string& out, std::int64_t value) {
    char buf[24];
    const auto r = std::to_chars(buf, buf + sizeof buf, value);
    out.append(buf, static_cast<std::size_t>(r.ptr - buf));
}

// Text as stored: Windows-1252, each CR LF folded into ESC. Checks for what
// the import would read differently: a ";" adds a field, a lone CR or LF
// ends the line, an ESC comes back as CR LF.
void appendText(std::string& out, std::string_view text, ValueNotes& notes) {
    const std::size_t start = out.size();
    notes.replaced += appendUtf8AsCp1252(out, text);
    char* const begin = out.data() + start;
    char* const end = out.data() + out.size();
    bool needsLook = false;
    for (const char* p = begin; p < end; ++p) {
        const char c = *p;
        if (c == ';' || c == '\r' || c == '\n' || c == '\x1b') {
            needsLook = true;
            break;
        }
    }
    if (!needsLook) return;
    char* w = begin;
    for (const char* p = begin; p < end; ++p) {
        const char c = *p;
        if (c == '\r' && p + 1 < end && p[1] == '\n') {
            *w++ = '\x1b';
            ++p;
            continue;
        }
        if (c == ';' || c == '\r' || c == '\n' || c == '\x1b') notes.notReturnable = true;
        *w++ = c;
    }
    out.resize(static_cast<std::size_t>(w - out.data()));
}

// The pictures of the Swedish settings give the stored form's own digits,
// written at once: a register export writes millions of them. `text` is
// the stored form `t` was read from, if any (its digits are t's).
bool appendIsoDate(std::string& out, const DateTime& t, const ValueTextFormat& format, std::string_view text = {}) {
    if (format.shortDate != "yyyy-MM-dd" || format.longTime != "HH:mm:ss") return false;
    char stored[db::kStoredDateTimeLength];
    if (text.size() == sizeof stored) {
        text.copy(stored, sizeof stored);
        stored[10] = ' ';
    } else {
        db::formatStoredDateTime(t, stored);
    }
    if (t.isZeroDate())
        out.append(stored + 11, 8);
    else
        out.append(stored, t.isMidnight() ? 10 : sizeof stored);
    return true;
}

// A date in the regional pictures; `t` is a valid date.
void appendDate(std::string& out, const DateTime& t, const ValueTextFormat& format) {
    if (appendIsoDate(out, t, format)) return;
    const std::size_t start = out.size();
    appendGeneral(out, t, format.shortDate, format.longTime);
    // Pictures are ASCII or Latin text from the regional settings: encode
    // the rare one that is not ASCII.
    const auto high = [](char c) { return static_cast<unsigned char>(c) >= 0x80; };
    if (std::none_of(out.begin() + static_cast<std::ptrdiff_t>(start), out.end(), high)) return;
    const std::string text = out.substr(start);
    out.resize(start);
    appendUtf8AsCp1252(out, text);
}

void appendNumber(std::string& out, double value, ValueClass cls, const ValueTextFormat& format) {
    if (cls == ValueClass::Currency)
        appendCurrency(out, value, format.decimalSeparator);
    else
        appendGeneralNumber(out, value, cls == ValueClass::Single ? 7 : 15, format.decimalSeparator);
}

}  // namespace

ValueTextFormat valueTextFormatFrom(LocaleInfo& locale) {
    ValueTextFormat f;
    auto pick = [&](LocaleItem item, std::string& into, const char* fallback) {
        auto v = locale.value(item);
        into = v && !v->empty() ? *v : fallback;
    };
    pick(LocaleItem::ShortDate, f.shortDate, "yyyy-MM-dd");
    pick(LocaleItem::TimeFormat, f.longTime, "HH:mm:ss");
    pick(LocaleItem::DecimalSeparator, f.decimalSeparator, ".");
    return f;
}

ValueClass valueClassOf(int daoType) {
    switch (daoType) {
        case db::dao::Boolean: return ValueClass::Boolean;
        case db::dao::Byte:
        case db::dao::Integer:
        case db::dao::Long: return ValueClass::Integer;
        case db::dao::Currency: return ValueClass::Currency;
        case db::dao::Single: return ValueClass::Single;
        case db::dao::Double: return ValueClass::Double;
        case db::dao::Date: return ValueClass::Date;
        default: return ValueClass::Text;
    }
}

void appendGeneralNumber(std::string& out, double value, int significantDigits, const std::string& decimal) {
    if (value == 0 || !std::isfinite(value)) {  // no "-0"; the engine stores no NaN or infinity
        out += '0';
        return;
    }
    char buf[40];
    if (appendShortDecimal(out, value, significantDigits, decimal)) return;
    const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, significantDigits);
    const std::size_t start = out.size();
    for (char* p = buf; p < r.ptr; ++p) out += *p == 'e' ? 'E' : *p;
    useDecimalSeparator(out, start, decimal);
}

void appendCurrency(std::string& out, double value, const std::string& decimal) {
    const double rounded = std::nearbyint(value * 10000.0) / 10000.0;
    if (rounded == 0) {
        out += '0';
        return;
    }
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, rounded, std::chars_format::fixed, 4);
    const char* end = r.ptr;
    while (end[-1] == '0') --end;
    if (end[-1] == '.') --end;
    const std::size_t start = out.size();
    out.append(buf, static_cast<std::size_t>(end - buf));
    useDecimalSeparator(out, start, decimal);
}

void appendValueText(std::string& out, const db::RawValue& value, ValueClass cls, const ValueTextFormat& format,
                     ValueNotes& notes) {
    using Kind = db::RawValue::Kind;
    switch (value.kind) {
        case Kind::Null:
            // An empty field comes back as 0, False or the zero date in
            // every column but a text: the record would return changed.
            if (cls != ValueClass::Text) notes.notReturnable = true;
            return;
        case Kind::Integer:
            if (cls == ValueClass::Boolean) {
                out += value.integer != 0 ? "True" : "False";
            } else if (cls == ValueClass::Date) {
                DateTime t;
                if (db::dateFromSerial(static_cast<double>(value.integer), t))
                    appendDate(out, t, format);
                else
                    appendInteger(out, value.integer);
            } else if (cls == ValueClass::Currency || cls == ValueClass::Single || cls == ValueClass::Double) {
                appendNumber(out, static_cast<double>(value.integer), cls, format);
            } else {
                appendInteger(out, value.integer);
            }
            return;
        case Kind::Real:
            if (cls == ValueClass::Boolean) {
                out += value.real != 0 ? "True" : "False";
            } else if (cls == ValueClass::Date) {
                DateTime t;
                if (db::dateFromSerial(value.real, t))
                    appendDate(out, t, format);
                else
                    appendGeneralNumber(out, value.real, 15, format.decimalSeparator);
            } else {
                appendNumber(out, value.real, cls == ValueClass::Integer ? ValueClass::Double : cls, format);
            }
            return;
        case Kind::Text:
            if (cls == ValueClass::Date) {
                DateTime t;
                if (db::parseStoredDateTime(value.text, t)) {
                    if (!appendIsoDate(out, t, format, value.text)) appendDate(out, t, format);
                    return;
                }
            }
            appendText(out, value.text, notes);
            return;
    }
}

}  // namespace vexla
