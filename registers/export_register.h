// The export of a register to a register file, as the export button of each
// register pair runs it after the login: choose the file (asking before an
// existing file is replaced), run the register's query on a connection of
// its own and write the file, then tell the result in the information line.
// The database is held from the start of the writing to its end only.
//
// The file is written under a fresh temporary name beside the target
// (FileSystem::createFile), made durable, and only then renamed over the
// target, keeping the mode and owner of the file it replaces. An export
// that fails half way therefore leaves the user's earlier file as it was,
// rather than a file cut off where the error struck; the partial temporary
// file is removed. A target that is no regular file, or is the database in
// use under any name, is refused with a message naming it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "registers/register_file_writer.h"
#include "session/job_context.h"

namespace vexla {

// The outcome of one export: the record count `n` (0 when nothing was
// written, -1 for an empty register), what the file holds that will not
// come back unchanged, and the failure that stopped it (described), or
// `stopped` when the user stopped it (nothing written then either).
struct ExportOutcome {
    std::int32_t n = 0;
    RegisterFileCounts counts;
    std::optional<Error> failure;
    bool stopped = false;
    FileLayout layout;       // what the file was written as: the file type chosen in the save dialog
    double heldSeconds = 0;  // how long taking its snapshot kept the booking system's commits out
};

// Exports register `kind` (0 customers, 1 resources, 2 bookings).
//  1. Asks for the file with the save dialog (flags 0x200804, the file types
//     R9690 " (*.skv)" and R9691 " (*.csv)", title R1793, the program
//     folder, the register's default name with the suffix of the type). For
//     an existing file it beeps and asks "path R1794 ?" (Yes/No, question
//     icon); No asks again with the default name of the type chosen. The
//     type chosen decides the layout: the register file, or the spreadsheet
//     file in `encoding`.
//  2. Cancel, or a bare pattern ("*.skv", "*.csv"): n = 0, nothing written.
//  3. Stores the path as the last export path, empties the information
//     line, and as the long part of the job (ctx.runLong) opens the database
//     exclusively, counts the register's records, opens the export query and
//     writes the file, closing the database again at the end, reporting
//     the records written of that count and stopping when asked.
//     n = the record count, or -1 when the register is empty (the file then
//     holds the header line).
// Any engine or file error (the database in use among them), or a stop:
// n = 0, the failure or `stopped` in the outcome, and the earlier file at the
// path untouched.
ExportOutcome exportRegister(JobContext& ctx, std::int16_t kind, SheetEncoding encoding = SheetEncoding::Utf8);

// Tells the outcome as the window does: a failure's description in an OK
// box, then the information line (exportResultText). A database that would
// not open (in use, missing, no database) is told as the exclusive-use test
// tells it instead (reportRefusal), naming its holder where it is known.
void showExport(JobContext& ctx, std::int16_t kind, const ExportOutcome& outcome);

// The information line after an export of register `kind`:
//  n = -1: R1738, with "!" for the bookings; stopped: R9200;
//  n = 0: R1739;
//  otherwise: n, " ", R1740, " ", the last export path.
// When characters were written as '?' (R9020) or records will not come
// back unchanged through an import (R9021 for a register file, R9692 for a
// spreadsheet), a sentence with each count follows: ". 3 R9020." (after a
// text ending in "!" only the blank). The records are then named: "R9693
// 2, 37, 46." (", …" after the first kNamedNotReturnable; nothing without
// an ID column), and for a register file "R9694." follows.
std::string exportResultText(std::int16_t kind, const ExportOutcome& outcome, const std::string& lastExportPath,
                             TextSource& texts);

}  // namespace vexla
