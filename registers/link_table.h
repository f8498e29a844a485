// The links of the field mapping dialog as the import receives them, and the
// column list of the import's INSERT that they spell out.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vexla {

// One link, one row of the dialog's link list, as four texts.
struct LinkRow {
    std::string caption;            // the database field's caption, as the field list shows it
    std::string fieldPosition;      // its 0-based position in the field list, decimal text
    std::string fileFieldName;      // the file field's name; carried along, not used by the import
    std::string fileFieldPosition;  // the file field's 0-based position in every line, decimal text
};

using LinkTable = std::vector<LinkRow>;

// What a database field's value is, as the field list keeps it per entry.
namespace typecode {
constexpr int Other = 0;  // numbers, Yes/No, ...: the value goes in as written, 0 when empty
constexpr int Text = 1;   // text and memo: quotes removed, quoted
constexpr int Date = 2;   // date/time: between # marks, 00:00:00 when empty
}  // namespace typecode

// The type code of an engine field type: 1 for text (10) and memo (12),
// 2 for date/time (8), 0 for every other type.
int typeCodeOfField(int daoType);

// A position text of a link (columns 1 and 3) as a number: decimal digits,
// blanks around them allowed; nothing for anything else.
std::optional<long> linkPosition(std::string_view text);

// The column a link names: RubrikTillKolumn of its caption in language
// Språk, or the caption itself when the catalogue does not know it. Empty
// when both are empty.
std::string linkColumn(const LinkRow& link, std::string_view Språk);

// The column a link fills in register `registerName`: linkColumn, except
// that for "Bokningar" every "Anteckningar" becomes "Anteckning" (both
// share a caption, and bookings only have the latter).
std::string importColumnName(const LinkRow& link, std::string_view registerName, std::string_view Språk);

// The INSERT up to and including ") VALUES(", built from insertHead (for
// example "INSERT INTO Kund (") and the links in order:
//   - a link whose column is empty adds nothing, yet every later link is
//     still preceded by ", " (the first link is never: the test is on the
//     row number, not on what was written), so an empty first column
//     leaves a statement the engine refuses;
//   - a column holding "-" is written as [column];
//   - a trailing ", " is dropped;
//   - the names are those of importColumnName.
// The engine rejects what these rules make of an odd caption exactly as it
// would reject the statement written out with literal values.
std::string importInsertHead(std::string_view insertHead, std::string_view registerName, const LinkTable& links,
                             std::string_view Språk);

}  // namespace vexla
