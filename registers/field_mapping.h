// What the field mapping dialog works out, without its window: the database
// fields of a register, the file fields of a chosen register file, and the
// automatic linking by equal names. The dialog shows these; the scripted
// import (vexla-transfer) uses them directly, so both link alike.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/platform/message_boxes.h"
#include "common/platform/text_source.h"
#include "common/result.h"
#include "db/engine.h"
#include "registers/link_table.h"
#include "registers/register_kind.h"

namespace vexla {

// One entry of the dialog's list of database fields.
struct DatabaseField {
    std::string caption;  // KolumnTillRubrik of the column; empty for a column the catalogue does not know
    int typeCode = typecode::Other;
    std::string column;  // the column's own name in the table
};

// The caption a link to `field` carries: its caption, or for a column the
// catalogue does not know its own name, which the import takes as it is.
inline std::string linkCaption(const DatabaseField& field) {
    return field.caption.empty() ? field.column : field.caption;
}

// The columns of the register's table in the engine's order, each with its
// caption in language Språk and its type code. The error of the query when
// the table cannot be read.
Result<std::vector<DatabaseField>> databaseFields(db::Database& database, const RegisterKind& reg,
                                                  std::string_view Språk);

// The file fields of the register file at `path`, read from its header line
// as headerFieldsForLinking splits it. Refusals are shown as the dialog
// shows them and answer nothing:
//   - the file cannot be opened or read: the text of R9106, ": ", the path,
//     CR LF, the error's number and description in a critical box; a path
//     that is no regular file: the text of R9107, ": " and the path;
//   - no first line, or an empty one: beep, the text of R1800 and "!" in a
//     critical box;
//   - a first line split by tabs or commas instead of ";": beep,
//     foreignSeparatorText and "." likewise;
//   - any other first line without ";": beep, the text of R1798 and "!";
//   - a first line longer than 1 MB or of more than 1,000 fields: beep, the
//     text of R9104 or R9105 and "!";
//   - a first line that is not UTF-8 although the file's first block is
//     (a header longer than the block): beep, the text of R9250 and ".".
// `why`, when given, learns the refusal: the file error as it came, else
// numbered by its text code (0 for a foreign separator, which has none).
std::optional<std::vector<std::string>> registerFileFields(const std::string& path, MessageBoxes& messages,
                                                           TextSource& texts, Error* why = nullptr);

// The automatic linking: each file field, in file order, paired with the
// first database field whose caption equals it exactly (letter case and
// blanks count); a file field without one gets no pair. A file field without
// a name gets none either, unless the whole header equals the captions in
// order (the export's own layout): then it pairs with the column at its own
// position, one the catalogue does not know. Answers (database field
// position, file field position) in that order.
std::vector<std::pair<int, int>> autoLinkPairs(const std::vector<std::string>& captions,
                                               const std::vector<std::string>& fileFields);

// The file fields that `pairs` leaves without a link, by name; a field
// without a name as R9041 and its 1-based position ("kolumn 16").
std::vector<std::string> unlinkedFileFields(const std::vector<std::pair<int, int>>& pairs,
                                            const std::vector<std::string>& fileFields, TextSource& texts);

// The text of R9123, ": " and the names joined by ", "; empty for no names.
std::string unlinkedFieldsText(const std::vector<std::string>& names, TextSource& texts);

}  // namespace vexla
