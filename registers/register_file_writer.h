// Writes one register file from an open recordset: the header line of
// captions, then one line per record, every line ending in CR LF. Rows are
// read through the recordset's raw values and the text goes straight into
// the buffered output file, one reused line buffer in between, so memory
// stays flat however long the register is.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "common/platform/file_system.h"
#include "common/result.h"
#include "db/engine.h"
#include "registers/spreadsheet_text.h"
#include "registers/value_text.h"

namespace vexla {

// What a written register file holds, and what in it will not come back
// unchanged through an import.
struct RegisterFileCounts {
    long records = 0;           // record lines written
    std::size_t replaced = 0;   // characters written as '?', header included
    long notReturnable = 0;     // records the import would skip or change
    bool emptyCaption = false;  // a column the field catalogue does not know
    // The ID column's value of the first kNamedNotReturnable records not returnable.
    std::vector<std::string> notReturnableIds;
};

// How many of the records that will not come back unchanged are named.
inline constexpr std::size_t kNamedNotReturnable = 20;

// The two layouts of the file: the register file the booking system reads
// (Windows-1252, nothing quoted, a line break in a value folded into ESC),
// or the spreadsheet file (spreadsheet_text.h).
enum class FileFormat : unsigned char { Register, Spreadsheet };
struct FileLayout {
    FileFormat format = FileFormat::Register;
    SheetEncoding encoding = SheetEncoding::Utf8;  // a spreadsheet file's
};

// The header line (without CR LF), in Windows-1252: the caption of each
// column of `rs` in language `Språk`, joined by ";". A column unknown to
// the catalogue gives an empty caption and sets *emptyCaption.
std::string registerHeaderLine(const db::Recordset& rs, std::string_view Språk, std::size_t* replaced,
                               bool* emptyCaption);

// Called now and then during the writing with the records written so far;
// it decides itself whether to show anything. Answering false stops the
// writing, which then ends with stoppedByUser().
using ExportProgress = std::function<bool(long records)>;

// The header line of a spreadsheet file (without CR LF): the same captions,
// each quoted, in `encoding`, behind a byte-order mark for UTF-8.
std::string spreadsheetHeaderLine(const db::Recordset& rs, std::string_view Språk, SheetEncoding encoding,
                                  std::size_t* replaced, bool* emptyCaption);

// Writes the header and every record from the current position of `rs` to
// its end into `out`, in `layout`. The first engine or file error ends the writing and is
// returned; what was written until then stays in `out`. A record whose
// line, beyond ASCII, is UTF-8 as well counts as not returnable (the import
// could take the file for UTF-8), except in a file that says it is UTF-8 by
// its mark. A column with an empty caption does not: the import links it
// back by its place while the header is the register's own.
Result<RegisterFileCounts> writeRegisterFile(db::Recordset& rs, OutputFile& out, std::string_view Språk,
                                             const ValueTextFormat& format, const ExportProgress& progress = {},
                                             const FileLayout& layout = {});

}  // namespace vexla
