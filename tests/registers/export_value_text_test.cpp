// One value in a register file, by column type: the bytes written and what
// they tell about reading the value back.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#include "registers/value_text.h"

namespace vexla {
namespace {

using Kind = db::RawValue::Kind;
namespace dao = db::dao;

struct ValueCase {
    const char* name;
    int daoType;
    db::RawValue value;
    const char* bytes;
    std::size_t replaced = 0;
    bool notReturnable = false;
};

db::RawValue text(std::string_view t) { return {Kind::Text, 0, 0, t}; }
db::RawValue integer(std::int64_t i) { return {Kind::Integer, i, 0, {}}; }
db::RawValue real(double d) { return {Kind::Real, 0, d, {}}; }

const ValueCase kCases[] = {
    {"NullText", dao::Text, {}, ""},
    {"NullNumber", dao::Long, {}, "", 0, true},
    {"NullDateComesBackAsZeroDate", dao::Date, {}, "", 0, true},
    {"MemoCrLfIsEsc", dao::Memo, text("rad 1\r\nrad 2\r\n"), "rad 1\x1brad 2\x1b"},
    {"LoneCrAndLfStay", dao::Memo, text("a\rb\nc"), "a\rb\nc", 0, true},
    {"SemicolonStays", dao::Text, text("x;y"), "x;y", 0, true},
    {"EscInTextComesBackChanged", dao::Text, text("a\x1b"), "a\x1b", 0, true},
    {"SwedishBooleanWordIsText", dao::Text, text("Sant \xc3\x96rjan \xe2\x82\xac"), "Sant \xd6rjan \x80"},
    {"OutsideCp1252IsQuestionMark", dao::Text, text("\xe2\x86\x92 \xf0\x9f\x98\x80"), "? ?", 2},
    {"True", dao::Boolean, integer(1), "True"},
    {"False", dao::Boolean, integer(0), "False"},
    {"MidnightOnZeroDateIsTime", dao::Date, text("1899-12-30 00:00:00"), "00:00:00"},
    {"DateAlone", dao::Date, text("2024-02-29 00:00:00"), "29.02.2024"},
    {"DateAndTime", dao::Date, text("2024-02-29 13:05:09"), "29.02.2024 13:05:09"},
    {"SerialDate", dao::Date, real(45351.5), "29.02.2024 12:00:00"},
    {"UnreadableDateAsStored", dao::Date, text("someday"), "someday"},
    {"NegativeDecimal", dao::Double, real(-1234.5), "-1234,5"},
    {"FifteenDigits", dao::Double, real(0.1 + 0.2), "0,3"},
    {"NoNegativeZero", dao::Double, real(-0.0), "0"},
    {"SmallUsesExponent", dao::Double, real(0.00001), "1E-05"},
    {"SmallestPlain", dao::Double, real(0.0001), "0,0001"},
    {"LargeUsesExponent", dao::Double, real(123456789012345678.0), "1,23456789012346E+17"},
    {"LargestPlain", dao::Double, real(999999999999999.0), "999999999999999"},
    {"SingleHasSevenDigits", dao::Single, real(static_cast<double>(0.1f)), "0,1"},
    {"CurrencyFourDecimals", dao::Currency, real(12.34006), "12,3401"},
    {"CurrencyNoExponent", dao::Currency, real(1e15), "1000000000000000"},
    {"IntegerInDoubleColumn", dao::Double, integer(7), "7"},
};

// The Swedish pictures, written straight from the digits.
const ValueCase kIsoCases[] = {
    {"DateAlone", dao::Date, text("2024-02-29 00:00:00"), "2024-02-29"},
    {"DateAndTime", dao::Date, text("2024-02-29T13:05:09"), "2024-02-29 13:05:09"},
    {"TimeOnZeroDate", dao::Date, text("1899-12-30 07:00:01"), "07:00:01"},
    {"EarliestYear", dao::Date, text("0100-01-01 00:00:00"), "0100-01-01"},
    {"SerialDate", dao::Date, real(45351.5), "2024-02-29 12:00:00"},
    {"NoSuchDayAsStored", dao::Date, text("2023-02-29 00:00:00"), "2023-02-29 00:00:00"},
};

void expectBytes(const ValueTextFormat& format, const ValueCase& c) {
    SCOPED_TRACE(c.name);
    std::string out = "prefix";
    ValueNotes notes;
    appendValueText(out, c.value, valueClassOf(c.daoType), format, notes);
    EXPECT_EQ(std::tuple(out, notes.replaced, notes.notReturnable),
              std::tuple("prefix" + std::string(c.bytes), c.replaced, c.notReturnable));
}

TEST(ValueText, WritesTheFileBytes) {
    for (const ValueCase& c : kCases) expectBytes({"dd.MM.yyyy", "HH:mm:ss", ","}, c);
    for (const ValueCase& c : kIsoCases) expectBytes({"yyyy-MM-dd", "HH:mm:ss", ","}, c);
}

// A floating-point number is written as printf's "%.15G" (seven digits in
// a Single column) with the regional decimal separator, whichever way the
// writer takes to it: decimals of every length and size around the limits
// of the plain form, and random bit patterns.
TEST(ValueText, NumbersAreTheGeneralFormOfTheirDigits) {
    std::vector<double> values{0.1 + 0.2,
                               1e15 - 1,
                               999999999999999.9,
                               1e15,
                               1e-4,
                               0.00015,
                               9.99995e-5,
                               static_cast<double>(0.3f),
                               1234567.5,
                               12345678,
                               0.1,
                               2.675,
                               1e-5 * 3};
    for (double scale = 1e-6; scale < 1e17; scale *= 10)
        for (double digits : {1.0, 7.0, 25.0, 1234567.0, 12345678.0, 123456789012345.0, 1234567890123456.0})
            values.push_back(digits * scale);
    std::mt19937_64 bits(34);
    while (values.size() < 4000) {
        const double d = std::ldexp(static_cast<double>(bits() >> 11), -static_cast<int>(bits() % 80));
        values.push_back(bits() % 3 ? std::round(d * 100) / 100 : d);
    }
    for (double v : values)
        for (const auto& [cls, precision] : {std::pair(ValueClass::Double, 15), std::pair(ValueClass::Single, 7)})
            for (double value : {v, -v}) {
                if (value == 0) continue;  // "0" either way, never "-0"
                char expected[64];
                std::snprintf(expected, sizeof expected, "%.*G", precision, value);
                std::string wanted = expected;
                if (auto dot = wanted.find('.'); dot != std::string::npos) wanted[dot] = ',';
                std::string out;
                ValueNotes notes;
                appendValueText(out, real(value), cls, {"yyyy-MM-dd", "HH:mm:ss", ","}, notes);
                ASSERT_EQ(out, wanted) << precision << " digits of " << expected;
            }
}

// A regional picture may hold Latin text; it goes into the file in
// Windows-1252 like any other text, after what the line already holds.
TEST(ValueText, LatinPictureTextIsCp1252) {
    const ValueTextFormat format{"yyyy '\xc3\xa5r'", "HH:mm", ","};
    std::string out = "x;";
    ValueNotes notes;
    appendValueText(out, text("2024-02-29 13:05:09"), ValueClass::Date, format, notes);
    EXPECT_EQ(out, "x;2024 \xe5r 13:05");
}

}  // namespace
}  // namespace vexla
