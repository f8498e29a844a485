// The import of a register file into its register: ImporteraRegister, and
// the mapping dialog's OK button that runs it. No window toolkit here: the
// dialog hands over what the import reads of it and takes back what the
// import changes.
//
// What the database sees is what one INSERT statement per line, each run on
// its own, would leave (column list, value rules, errors by number).
// Underneath, every line runs one prepared statement (the column list is the
// same for every line of an import), with its values bound by the same rules
// as literals written into the statement, and the lines are grouped into
// transactions:
//   - a transaction begins at the first line that is inserted after a commit;
//   - it commits once it has been open kImportBatch or longer (checked after
//     each line), before every message box, and at the end of the file; so a
//     message always waits over committed data, and the engine syncs the
//     file twice a second at most rather than once per line;
//   - the "delete first" statement runs inside the first line's transaction.
// Killed at any moment, the import therefore leaves the register as if the
// lines up to some line had been imported one by one: either nothing of the
// import (the delete not done either), or the delete and a prefix of the
// lines. When a failure ends the import, the lines before it are committed,
// as they would have been one by one; only if that commit itself fails (the
// disk is full, say) is the unfinished batch rolled back, which still leaves
// a prefix.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/admin_state.h"
#include "common/platform/message_boxes.h"
#include "common/platform/text_source.h"
#include "db/engine.h"
#include "registers/link_table.h"

namespace vexla {

// What the import reads of the mapping dialog, and changes in it.
struct ImportDialog {
    std::string Tag;                // register name: "Kund", "Resurser" or "Bokningar"
    std::string lblMallNamn;        // full path of the register file; emptied when the file is rejected
    bool chkTaBort = false;         // delete the register first; cleared once the delete ran
    std::vector<int> lstFältTypes;  // the type code (typecode::) of each database field, by position
    bool focusCmdMall = false;      // set when the file is rejected: give cmdMall the focus
};

using SteadyTime = std::chrono::steady_clock::time_point;

// What the import works with besides the dialog.
struct ImportServices {
    db::Database& db;        // the main window's shared connection
    MessageBoxes& messages;  // the beep and the message boxes
    TextSource& texts;       // the installed language file
    std::string Språk;       // "se" or "en", for the captions of the links
    // A monotonic clock; tests step it by hand.
    std::function<SteadyTime()> now = [] { return std::chrono::steady_clock::now(); };
    // Called with the running count of inserted records, at most once per
    // kImportBatch; may be empty.
    std::function<void(std::int32_t)> progress;
};

// The longest a batch of lines stays uncommitted, and the shortest time
// between two progress reports.
inline constexpr std::chrono::milliseconds kImportBatch{500};

// Imports the register file named by dialog.lblMallNamn (blanks around it
// removed) into the register dialog.Tag through the links, one record per
// line after the header line; answers the number of records inserted.
//   - Empty lines are skipped; ESC in a line stands for CR LF.
//   - A line without ";" stops the import: beep, the text of R1799 and "!"
//     in a critical box, lblMallNamn emptied, focusCmdMall set; the count so
//     far is the answer and the lines before stay.
//   - A line with another number of fields than the header is skipped unseen.
//   - With chkTaBort the register's delete statement runs once, just before
//     the first line that is not skipped, and chkTaBort is cleared.
//   - 3022 (the key exists): beep, the text of R1818, "!", CR LF, the line's
//     values joined with ", " and trimmed, CR LF CR LF and the text of R1819
//     in an exclamation box; the line is not counted and the import goes on.
//   - 3314 (a required value is missing): beep, the text of R1817 in a
//     critical box; the answer is 0.
//   - Any other failure (no file, an empty file, a statement or value the
//     engine refuses): beep, the error's number, CR LF, description, CR LF,
//     source in a critical box; the answer is 0. A failure of one line adds
//     a line naming it (R9040) and, when one value was refused, its column
//     (R9041).
std::int32_t ImporteraRegister(const LinkTable& links, ImportDialog& dialog, ImportServices& services);

// The information line while an import runs: a blank, the count, a blank
// and the text of R9042.
std::string importProgressText(TextSource& texts, std::int32_t count);

// The click of the dialog's OK button. Without links: beep, the text of
// R1806 and "!" in a critical box, nothing read, answer false. Otherwise
// runs the import with its progress in the main window's information line
// (unless services.progress is set already), then sets the information
// line to a blank, the count, a blank, the text of R1805 and "!", and
// answers whether the dialog closes (the count is not 0).
bool importOnOk(const LinkTable& links, ImportDialog& dialog, ImportServices& services, AdminWindow& main);

}  // namespace vexla
