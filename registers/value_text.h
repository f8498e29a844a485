// The text of one value in a register file. The rules follow how the
// booking system has always written these files, so that files made here
// read the same in the spreadsheets and tools that already take them: null
// is an empty field, text goes as stored with each CR LF folded into one
// ESC (0x1B), Yes/No is "True"/"False" in English whatever the language,
// a date/time is the regional short date (and long time when it is not
// midnight, or the time alone on the zero date), and a number is its
// general form with the regional decimal separator and no grouping.
//
// The text is appended already in Windows-1252; characters the code page
// cannot hold become '?' and are counted, because the administrator must
// learn that the file is not a faithful copy.
#pragma once

#include <cstddef>
#include <string>

#include "common/platform/locale_info.h"
#include "db/variant.h"

namespace vexla {

// The regional pictures a register file is written by.
struct ValueTextFormat {
    std::string shortDate = "yyyy-MM-dd";
    std::string longTime = "HH:mm:ss";
    std::string decimalSeparator = ",";
};

// The user's regional settings as a ValueTextFormat. Where the platform
// cannot tell, an ISO picture ("yyyy-MM-dd", "HH:mm:ss") and "." take the
// place of the missing setting: an empty picture would silently drop every
// date from the file.
ValueTextFormat valueTextFormatFrom(LocaleInfo& locale);

// How a column's values are turned into text, from the engine's type code.
enum class ValueClass : unsigned char { Text, Boolean, Date, Integer, Double, Single, Currency };
ValueClass valueClassOf(int daoType);

// What writing values has shown so far about the file being a faithful copy.
struct ValueNotes {
    std::size_t replaced = 0;    // characters written as '?'
    bool notReturnable = false;  // the value would not read back as the same field
};

// Appends the Windows-1252 text of `value` (a column of class `cls`) to
// `out`. A text value holding ";", ESC or a lone CR or LF sets
// notes.notReturnable: the import would split or change it; so does a null
// outside a text column, which the import reads back as 0, False or the
// zero date. A stored value
// that does not suit its column (text in a number column, a date the
// engine cannot read) is written as stored, never dropped.
void appendValueText(std::string& out, const db::RawValue& value, ValueClass cls, const ValueTextFormat& format,
                     ValueNotes& notes);

// The general text form of a number: up to 15 significant digits (7 for a
// single-precision column), an exponent only outside 1E-04..1E+15 as
// "1E-05" / "1,5E+20", a leading "-", no "-0", no grouping, and `decimal`
// in place of the decimal point. Plain ASCII apart from `decimal`.
void appendGeneralNumber(std::string& out, double value, int significantDigits, const std::string& decimal);

// Currency: at most four decimals, trailing zeros dropped, never an exponent.
void appendCurrency(std::string& out, double value, const std::string& decimal);

}  // namespace vexla
