// How an import's outcome is told, in the program's language: the message
// of a stop, the summary of what was stored and skipped, the main window's
// information line. The window shows them in boxes, vexla-transfer prints
// them; both from the same outcome.
#pragma once

#include <string>
#include <vector>

#include "common/platform/text_source.h"
#include "registers/import.h"

namespace vexla {

// The message of a stopped import, lines joined by CR LF: why it stopped
// (naming the file, the link or the column where that is the reason), the
// line and column where it stopped, and that the register is unchanged.
// Empty for an import that was not stopped. `path` is the register file.
std::string importStopMessage(const ImportOutcome& outcome, const std::string& path, TextSource& texts);

// The text of R9710 and ": ", then each column as "kolumn 16 (1)", its
// caption in quotes after the number where it has one, the count of lines
// holding a value in brackets; joined by ", ".
std::string unlinkedColumnsText(const std::vector<UnlinkedColumn>& columns, TextSource& texts);

// The number a script is given for a stop told by one of our texts alone (a
// value a column refuses, a plan's refusal): the text's number; 0 for any
// other stop, whose number is the error's.
long importStopNumber(const ImportOutcome& outcome);

// What the import stored and skipped, lines joined by CR LF: for a dry run
// first that nothing was saved; the count imported (for a dry run: would be
// imported), the count deleted first (would be), each kind of skipped line
// with its count and first line numbers ("and n more").
std::string importSummary(const ImportOutcome& outcome, bool dryRun, TextSource& texts);

// The main window's information line after an import: a blank, the count,
// a blank, the text of R1805 and "!"; then the count of skipped lines, or
// after a stop that the register is unchanged.
std::string importInfoLine(const ImportOutcome& outcome, TextSource& texts);

// The reason a line was skipped, as the summary and the report name it.
std::string skipReasonText(SkipReason why, TextSource& texts);

// Why a file split by `separator` (a tab or a comma, as foreignSeparator
// finds it) is refused: the text of R9252 (tab) or R9251 (comma), which
// names the separator found and says the file must be split by ";".
std::string foreignSeparatorText(char separator, TextSource& texts);

// Why a register file that is no regular file is refused: the text of its
// kind (a FIFO, a device, a folder, a socket) that `refusal` names, else R9107;
// its code, and its text.
const char* notRegularCode(const Error& refusal);
std::string notRegularText(const Error& refusal, TextSource& texts);

}  // namespace vexla
