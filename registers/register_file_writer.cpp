#include "registers/register_file_writer.h"

#include <vector>

#include "common/cp1252.h"
#include "common/job_progress.h"
#include "common/utf8_check.h"
#include "registers/field_catalogue.h"

namespace vexla {

namespace {

// How often the progress callback hears of the count: often enough that a
// half-second rhythm can be kept, rarely enough to cost nothing.
constexpr long kProgressEvery = 1024;

// The output file buffers on its own; the line buffer gathers lines so that
// a write call is not made per field. At the file's own buffer size
// (PosixFileSystem's 64 KiB) a chunk goes straight to the file, copied once.
constexpr std::size_t kFlushAt = 1 << 16;

// Windows-1252 bytes beyond ASCII that are valid UTF-8 as well.
bool looksLikeUtf8(std::string_view line) {
    Utf8Check check;
    check.feed(line);
    return check.wellFormed() && check.beyondAscii();
}

// The header in the file's layout, its CR LF included.
std::string headerLine(const db::Recordset& rs, std::string_view Språk, const FileLayout& layout,
                       RegisterFileCounts& counts) {
    std::string line = layout.format == FileFormat::Spreadsheet
                           ? spreadsheetHeaderLine(rs, Språk, layout.encoding, &counts.replaced, &counts.emptyCaption)
                           : registerHeaderLine(rs, Språk, &counts.replaced, &counts.emptyCaption);
    return line += "\r\n";
}

// The position of the ID column, or -1.
int idColumn(const db::Recordset& rs) {
    for (int i = 0; i < rs.FieldCount(); ++i)
        if (rs.name(i) == "ID") return i;
    return -1;
}

// Keeps the ID of a record that will not come back unchanged, while fewer
// than kNamedNotReturnable are kept. The ID is a number: ASCII either way.
void nameNotReturnable(RegisterFileCounts& counts, std::string_view id) {
    if (counts.notReturnableIds.size() < kNamedNotReturnable) counts.notReturnableIds.emplace_back(id);
}

}  // namespace

std::string spreadsheetHeaderLine(const db::Recordset& rs, std::string_view Språk, SheetEncoding encoding,
                                  std::size_t* replaced, bool* emptyCaption) {
    std::string line = encoding == SheetEncoding::Utf8 ? "\xEF\xBB\xBF" : "";
    ValueNotes notes;
    for (int i = 0; i < rs.FieldCount(); ++i) {
        if (i > 0) line += ';';
        const std::string caption = KolumnTillRubrik(rs.name(i), Språk);
        if (caption.empty() && emptyCaption) *emptyCaption = true;
        appendQuotedText(line, caption, encoding, notes);
    }
    if (replaced) *replaced += notes.replaced;
    return line;
}

std::string registerHeaderLine(const db::Recordset& rs, std::string_view Språk, std::size_t* replaced,
                               bool* emptyCaption) {
    std::string line;
    std::size_t count = 0;
    for (int i = 0; i < rs.FieldCount(); ++i) {
        if (i > 0) line += ';';
        const std::string caption = KolumnTillRubrik(rs.name(i), Språk);
        if (caption.empty() && emptyCaption) *emptyCaption = true;
        count += appendUtf8AsCp1252(line, caption);
    }
    if (replaced) *replaced += count;
    return line;
}

Result<RegisterFileCounts> writeRegisterFile(db::Recordset& rs, OutputFile& out, std::string_view Språk,
                                             const ValueTextFormat& format, const ExportProgress& progress,
                                             const FileLayout& layout) {
    RegisterFileCounts counts;
    std::string buffer = headerLine(rs, Språk, layout, counts);
    const bool sheet = layout.format == FileFormat::Spreadsheet;
    const bool markedUtf8 = sheet && layout.encoding == SheetEncoding::Utf8;
    const int id = idColumn(rs);

    const int fieldCount = rs.FieldCount();
    std::vector<ValueClass> classes;
    classes.reserve(static_cast<std::size_t>(fieldCount));
    for (int i = 0; i < fieldCount; ++i) classes.push_back(valueClassOf(rs.type(i)));

    buffer.reserve(kFlushAt * 2);
    while (!rs.Eof()) {
        ValueNotes notes;
        const std::size_t lineStart = buffer.size();
        std::size_t idStart = 0, idEnd = 0;
        for (int i = 0; i < fieldCount; ++i) {
            if (i > 0) buffer += ';';
            if (i == id) idStart = buffer.size();
            if (sheet)
                appendSheetValue(buffer, rs.raw(i), classes[static_cast<std::size_t>(i)], format, layout.encoding,
                                 notes);
            else
                appendValueText(buffer, rs.raw(i), classes[static_cast<std::size_t>(i)], format, notes);
            if (i == id) idEnd = buffer.size();
        }
        // Letters beyond ASCII whose bytes are UTF-8 as well ("Ã©" is the
        // UTF-8 of "é") can make the import take the file for UTF-8.
        if (!notes.notReturnable && !markedUtf8 && looksLikeUtf8(std::string_view(buffer).substr(lineStart)))
            notes.notReturnable = true;
        buffer += "\r\n";
        counts.replaced += notes.replaced;
        if (notes.notReturnable) {
            ++counts.notReturnable;
            if (id >= 0) nameNotReturnable(counts, std::string_view(buffer).substr(idStart, idEnd - idStart));
        }
        ++counts.records;
        if (buffer.size() >= kFlushAt) {
            if (auto s = out.write(buffer); !s) return s.error();
            buffer.clear();
        }
        if (progress && counts.records % kProgressEvery == 0 && !progress(counts.records)) return stoppedByUser();
        if (auto s = rs.MoveNext(); !s) return s.error();
    }
    if (auto s = out.write(buffer); !s) return s.error();
    return counts;
}

}  // namespace vexla
