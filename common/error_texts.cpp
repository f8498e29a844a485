#include "common/error_texts.h"
#include "texts/text_codes.h"

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
    {5, txt::ErrInternal},                      // invalid procedure call
    {7, txt::ErrOutOfMemory},                   // out of memory
    {52, txt::ErrFileAccess},                   // bad file name or number
    {53, txt::ErrFileNotFound},                 // file not found
    {58, txt::ErrFileExists},                   // file already exists
    {59, txt::LineLongerThan1MB},               // bad record length: a register file line too long
    {61, txt::ErrDiskFull},                     // disk full
    {70, txt::ErrAccessDenied},                 // permission denied
    {75, txt::ErrFileAccess},                   // path/file access error
    {76, txt::ErrFolderNotFound},               // path not found
    {91, txt::ErrInternal},                     // object not set
    {321, txt::RegisterFileNotRegular},         // invalid file format: no regular file
    {3000, txt::ErrEngine},                     // an engine failure without a number of its own
    {3001, txt::ErrInternal},                   // invalid argument
    {3021, txt::ErrInternal},                   // no current record
    {3022, txt::ErrDuplicate},                  // duplicate key
    {3024, txt::ErrFileNotFound},               // database file not found
    {3026, txt::ErrDiskFull},                   // not enough space on disk
    {3027, txt::ErrAccessDenied},               // read-only
    {3034, txt::ErrInternal},                   // commit without a transaction
    {3043, txt::ErrFileAccess},                 // disk or network error
    {3044, txt::ErrFolderNotFound},             // invalid path
    {3049, txt::ErrNotADatabase},               // corrupt database
    {3051, txt::ErrCannotOpenDatabase},         // cannot open the file
    {3061, txt::ErrQuery},                      // too few parameters
    {3065, txt::ErrInternal},                   // cannot execute a select query
    {3075, txt::ErrQuery},                      // syntax error in an expression or a date
    {3078, txt::ErrNoSuchTableOrField},         // table not found
    {3127, txt::ErrNoSuchTableOrField},         // unknown field in INSERT INTO
    {3128, txt::ErrQuery},                      // DELETE without a table
    {3129, txt::ErrQuery},                      // invalid SQL statement
    {3131, txt::ErrQuery},                      // FROM clause
    {3134, txt::ErrQuery},                      // INSERT INTO statement
    {3138, txt::ErrQuery},                      // ORDER BY clause
    {3139, txt::ErrQuery},                      // duplicate output destination
    {3141, txt::ErrQuery},                      // SELECT statement
    {3142, txt::ErrQuery},                      // characters after the end
    {3163, txt::ErrValueDoesNotFit},            // field too small
    {3201, txt::ErrValueMissingOrAgainstRule},  // related record required
    {3204, txt::ErrFileExists},                 // database already exists
    {3219, txt::ErrInternal},                   // invalid operation
    {3260, txt::ErrDatabaseInUse},              // locked by another program
    {3265, txt::ErrInternal},                   // item not found
    {3314, txt::ErrValueMissingOrAgainstRule},  // required value missing
    {3317, txt::ErrValueMissingOrAgainstRule},  // validation rule
    {3343, txt::ErrNotADatabase},               // unrecognised database format
    {3346, txt::ErrQuery},                      // value count mismatch
    {3349, txt::ErrValueDoesNotFit},            // numeric overflow
    {3356, txt::ErrDatabaseInUse},              // opened exclusively by another program
    {3420, txt::ErrInternal},                   // object closed
    {3464, txt::ErrValueDoesNotFit},            // data type mismatch
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
