// One line of a register file as the import takes it apart and hands its
// values to the INSERT. The import and everything that shows ahead what the
// import would do use these, so both read a line and convert a value alike.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "common/result.h"
#include "db/engine.h"

namespace vexla {

// What splitting a line found.
enum class LineSplit {
    Ok,
    NulCharacter,   // the line holds a NUL character: the file is no text
    TooManyFields,  // more fields than any register has (kMaxFields)
};

// The buffers a split line's values point into; kept between lines so that
// reading a file allocates once, not per line.
struct LineBuffers {
    std::string expanded;               // the line with ESC turned into CR LF
    std::vector<std::string> unquoted;  // the fields of a spreadsheet-quoted line
};

// Splits `line` into `values`, ESC read as CR LF, at each ";" (by the
// spreadsheet's rules when `quoted`). The values view `line` or `buffers`
// and stay valid until either changes. Answers why the line cannot be a
// record, or LineSplit::Ok.
LineSplit splitImportLine(const std::string& line, bool quoted, LineBuffers& buffers,
                          std::vector<std::string_view>& values);

// Binds the file's text `value` to slot `slot` of the import's INSERT as a
// value of type code `type` (typecode::): a text as written, an empty date
// as 00:00:00, an empty number as 0 and any other without its blanks. The
// engine's refusal of the value when it does not fit its column.
Status bindImportValue(db::PreparedStatement& insert, int slot, int type, std::string_view value);

}  // namespace vexla
