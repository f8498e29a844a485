// The text of one value in a spreadsheet file: the layout a spreadsheet
// program reads and saves without losing what the register file cannot
// carry. Every caption and every text is put in double quotes (a quote
// inside doubled), so a ";" or a line break stays inside its cell and a
// spreadsheet keeps a text that looks like a number as text; numbers, dates
// and Yes/No go bare, as the register file writes them, so the spreadsheet
// can compute with them. No value at all is an empty cell, which the import
// of such a file reads back as no value. A line break stays a line break:
// CR LF inside the quotes.
#pragma once

#include <string>
#include <string_view>

#include "registers/value_text.h"

namespace vexla {

// The bytes a spreadsheet file is written in: UTF-8 behind a byte-order
// mark (which tells a spreadsheet the encoding), or Windows-1252 for a
// program that knows nothing else.
enum class SheetEncoding : unsigned char { Utf8, Windows1252 };

// Appends `text` (UTF-8) as one quoted cell in `encoding`. Sets
// notes.notReturnable for what the import reads back differently: an empty
// text (an empty cell is no value), an ESC or a lone CR or LF (each comes
// back as CR LF), a character Windows-1252 cannot hold (written as '?',
// counted in notes.replaced).
void appendQuotedText(std::string& out, std::string_view text, SheetEncoding encoding, ValueNotes& notes);

// Appends one value of a column of class `cls`: null as nothing, a text as
// appendQuotedText, anything else as appendValueText writes it. A text
// stored in a column of another kind (which the import would refuse or
// convert) is written quoted and counts as not returnable.
void appendSheetValue(std::string& out, const db::RawValue& value, ValueClass cls, const ValueTextFormat& format,
                      SheetEncoding encoding, ValueNotes& notes);

}  // namespace vexla
