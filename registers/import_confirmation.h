// What the window tells the administrator around an import that empties the
// register first: the question before it (how many records go, how many
// lines come), and the information line after it (both counts).
#pragma once

#include <string>

#include "common/platform/text_source.h"
#include "common/result.h"
#include "db/engine.h"
#include "registers/import.h"
#include "registers/register_kind.h"

namespace vexla {

// "Alla 1 000 000 bokningar tas bort och ersätts av filens 999 000 rader.
// Fortsätta?": `inRegister` records of register `registerName` ("Kund",
// "Resurser", "Bokningar") replaced by the `fileLines` lines of the file,
// the counts grouped by thousands as the language writes them. The
// customers' question adds that the internal ones (ID -1 and lower) stay.
std::string deleteFirstQuestion(const std::string& registerName, long inRegister, long fileLines, TextSource& texts);

// The records the register's "delete first" would remove now: all but those
// its condition spares (customers with ID -1 and lower). The engine's error
// when the table cannot be read.
Result<long> recordsDeletedFirst(db::Database& database, const RegisterKind& reg);

// The records of a register file: its lines after the header that are not
// empty, read as the import reads them (scanRegisterFile). The reader's
// error when the file cannot be read to its end.
Result<long> registerFileRecords(const std::string& path);

// The message of an import stopped because its counts could not be made:
// txt::RecordsNotCounted "!", CR LF, the error's number, CR LF, its description.
std::string uncountedText(const Error& e, TextSource& texts);

// The main window's line after an import: importInfoLine, and after an
// import that emptied the register first, the count deleted as well.
std::string importResultLine(const ImportOutcome& outcome, TextSource& texts);

// `n` with its digits grouped by thousands by the separator of R9514.
std::string groupedCount(long n, TextSource& texts);

}  // namespace vexla
