// The first lines of a register file as the import would take them, for the
// mapping dialog to show before anything changes: each line's values as the
// register would store them, and whether the import would store the line,
// skip it or stop at it, and why. It reads only the lines it shows, so it
// costs the same for a file of ten lines and one of ten million.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "common/platform/text_source.h"
#include "db/engine.h"
#include "registers/import.h"
#include "registers/link_table.h"
#include "registers/value_text.h"

namespace vexla {

// How the import would fare with a line.
enum class PreviewMark { Stored, Skipped, Stops };

// How far the register took a line's values: converted, and the keys
// checked by an insert rolled back after (or not to be checked: emptied
// first); converted, but the keys not checked (no transaction could be
// begun for the inserts); or not at all, the file's texts shown as they are
// (no register to ask, or its insert could not be prepared).
enum class PreviewCheck { Checked, KeysUnchecked, AsInFile };

struct PreviewLine {
    long line = 0;  // its number in the file, the header being line 1
    // Per link, in link order: the value as the register would store it,
    // written as the export writes it; the file's own text where the value
    // was not converted (refused, a field missing, or no register to ask).
    std::vector<std::string> values;
    PreviewMark mark = PreviewMark::Stored;
    ImportStop why = ImportStop::None;  // for a marked line: what the import would stop or skip it for
    std::string column;                 // Refused: the caption of the value's column
    std::string value;                  // Refused: the value as the file has it
    PreviewCheck check = PreviewCheck::Checked;
    // Per column of ImportPreview::unlinked, in its order: the file's text there.
    std::vector<std::string> unlinked;
};

struct ImportPreview {
    std::vector<PreviewLine> lines;
    bool converted = false;  // the register converted the values
    // Why the values were not converted (the register's failure; none
    // without a register), or the keys not checked.
    std::optional<Error> notConverted, keysUnchecked;
    // The rollback of the inserts failed (the engine undoes them when the
    // file is next opened): for the caller to tell (txt::NotRolledBack).
    std::optional<Error> notRolledBack;
    // The file could not be read on (a line too long, not UTF-8, a read
    // error): the preview ends there, at this line with this reason.
    ImportStop fileStop = ImportStop::None;
    long fileStopLine = 0;
    // The columns of the file no link takes that hold a value on a line shown
    // (of the header's field count), counted on those lines only.
    std::vector<UnlinkedColumn> unlinked;
};

// The first `maxLines` lines after the header of request.path (empty lines,
// which the import passes over, not counted), read exactly as the import
// reads them and, with `database` (none: the file alone), converted by the
// same INSERT the import prepares, each value bound by the import's rules.
// Each line that fits is inserted inside a transaction that is always
// rolled back, so that a key the register holds already (or an earlier
// line of the file) and a missing required value are found as the import
// finds them; with request.deleteFirst nothing is inserted (the register's
// keys do not count then). Without the register, or when its INSERT cannot
// be prepared, the values are the file's texts and only the field count is
// checked, and each line says so (PreviewCheck::AsInFile); when no
// transaction can be begun for the inserts, the keys go unchecked and each
// line says that. The database is left exactly as it was. The lines' values
// and marks follow request.deleteFirst: a line the import would skip
// without it stops the import with it. A header that does not split ends
// the preview at line 1, as the import stops there.
ImportPreview previewImport(const LinkTable& links, const ImportRequest& request, db::Database* database,
                            std::string_view Språk, const ValueTextFormat& format, std::size_t maxLines);

// The note of a marked line in the program's language ("hoppas över: fel
// antal fält", "stoppar importen: Rabatt: 'tio' ..."); for a line stored,
// txt::PreviewAsInFile when its values are the file's texts,
// txt::PreviewKeysUnchecked when its keys were not checked, else empty.
std::string previewMarkText(const PreviewLine& line, TextSource& texts);

// The note under the preview: why its lines were not converted
// (txt::PreviewUnconverted) or their keys not checked
// (txt::PreviewKeysUnchecked), with the error's number and description where
// one is known (`unopened`: the database could not be opened), and the line
// the file cannot be read on from (txt::CannotReadOnFromLine); "" when
// there is none.
std::string previewNote(const ImportPreview& preview, const Error* unopened, TextSource& texts);

}  // namespace vexla
