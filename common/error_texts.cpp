#include "common/error_texts.h"

#include <algorithm>
#include <iterator>

namespace vexla {

namespace {

struct WordedNumber {
    long number;
    const char* code;
};

// Numbers from the file system (common/platform/file_system.h), the register
// file reader and the engine (db/errors.h); sorted by number.
constexpr WordedNumber kWorded[] = {
    {5, "R9273"},     // invalid procedure call
    {7, "R9280"},     // out of memory
    {52, "R9278"},    // bad file name or number
    {53, "R9274"},    // file not found
    {58, "R9279"},    // file already exists
    {59, "R9104"},    // bad record length: a register file line too long
    {61, "R9277"},    // disk full
    {70, "R9276"},    // permission denied
    {75, "R9278"},    // path/file access error
    {76, "R9275"},    // path not found
    {91, "R9273"},    // object not set
    {321, "R9107"},   // invalid file format: no regular file
    {3000, "R9281"},  // an engine failure without a number of its own
    {3001, "R9273"},  // invalid argument
    {3021, "R9273"},  // no current record
    {3022, "R9288"},  // duplicate key
    {3024, "R9274"},  // database file not found
    {3026, "R9277"},  // not enough space on disk
    {3027, "R9276"},  // read-only
    {3034, "R9273"},  // commit without a transaction
    {3043, "R9278"},  // disk or network error
    {3044, "R9275"},  // invalid path
    {3049, "R9282"},  // corrupt database
    {3051, "R9283"},  // cannot open the file
    {3061, "R9285"},  // too few parameters
    {3065, "R9273"},  // cannot execute a select query
    {3075, "R9285"},  // syntax error in an expression or a date
    {3078, "R9286"},  // table not found
    {3127, "R9286"},  // unknown field in INSERT INTO
    {3128, "R9285"},  // DELETE without a table
    {3129, "R9285"},  // invalid SQL statement
    {3131, "R9285"},  // FROM clause
    {3134, "R9285"},  // INSERT INTO statement
    {3138, "R9285"},  // ORDER BY clause
    {3139, "R9285"},  // duplicate output destination
    {3141, "R9285"},  // SELECT statement
    {3142, "R9285"},  // characters after the end
    {3163, "R9287"},  // field too small
    {3201, "R9289"},  // related record required
    {3204, "R9279"},  // database already exists
    {3219, "R9273"},  // invalid operation
    {3260, "R9284"},  // locked by another program
    {3265, "R9273"},  // item not found
    {3314, "R9289"},  // required value missing
    {3317, "R9289"},  // validation rule
    {3343, "R9282"},  // unrecognised database format
    {3346, "R9285"},  // value count mismatch
    {3349, "R9287"},  // numeric overflow
    {3356, "R9284"},  // opened exclusively by another program
    {3420, "R9273"},  // object closed
    {3464, "R9287"},  // data type mismatch
};

}  // namespace

std::string errorTextCode(long number) {
    const auto* found = std::lower_bound(std::begin(kWorded), std::end(kWorded), number,
                                         [](const WordedNumber& w, long n) { return w.number < n; });
    return found != std::end(kWorded) && found->number == number ? found->code : "";
}

std::vector<long> wordedErrorNumbers() {
    std::vector<long> numbers;
    for (const WordedNumber& w : kWorded) numbers.push_back(w.number);
    return numbers;
}

std::string errorDescription(const Error& e, TextSource& texts) {
    const std::string code = errorTextCode(e.number);
    if (e.worded || code.empty()) return e.description;
    std::string text = texts.TextTillAndra(code);
    if (text.empty()) return e.description;
    return e.subject.empty() ? text : text + ": " + e.subject;
}

}  // namespace vexla
