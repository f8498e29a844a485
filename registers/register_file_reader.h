// Reads a register file line by line, in fixed blocks, so that memory stays
// the same however long the file is.
//
// What a line is:
//   - a line ends at CR LF or at a lone CR, as the booking system writes them;
//   - a file whose first line ends with a lone LF (saved by a tool that writes
//     LF-only files) is read with LF as a line end as well. In every other
//     file a lone LF is an ordinary character, because the export writes the
//     lone LFs of a memo unchanged and they must come back inside their value;
//   - the last line needs no line end.
// What a record is: one line, except in a file a spreadsheet quoted (its
// header starts with a double quote, spreadsheetQuoted, or its name ends in
// ".csv", the spreadsheet files' suffix: a spreadsheet that quotes only
// where it must leaves the header bare). There a quoted
// cell may hold line breaks, so a record runs on over every line end inside
// quotes and ends at the first one outside them; each break inside it (CR
// LF, a lone CR or LF) comes out as CR LF, as the register files store a
// line break in a value. A lone LF inside quotes counts as a line of its
// own, as an editor shows it, so line numbers are always those of the file.
// What the bytes mean: a UTF-8 byte-order mark at the start makes the file
// UTF-8 (a spreadsheet saved it; the mark itself is dropped). Without it the
// bytes decide, block by block as they are read, until the first block that
// holds a byte beyond ASCII: UTF-8 when everything up to there is well-formed
// UTF-8 (as most Linux tools write it), Windows-1252 (as the booking system
// writes it) when it is not. Lines read before that are ASCII and mean the
// same either way, so the file is read once and never held whole. In a file
// taken for UTF-8, a later line that is not UTF-8 stops the reading
// (readerr::NotUtf8) rather than being read as something it may not be.
// Either way the lines come out as UTF-8. A file that starts with the
// byte-order mark of UTF-16 or UTF-32 is refused (readerr::OtherEncoding),
// naming the encoding: read byte by byte it would only give garbled names.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/result.h"
#include "common/utf8_check.h"

namespace vexla {

// The longest line a register file may hold, in bytes as stored. A longer
// line is not a record of any register: the file is something else (a
// binary file, a file without line ends), and reading on would only cost
// memory.
inline constexpr std::size_t kMaxLineBytes = 1024 * 1024;

// What the reader refuses, by number: a line longer than kMaxLineBytes
// ("Bad record length"), a path that is not a regular file, such as a
// folder, a device or a pipe ("Invalid file format"), a line holding a NUL
// byte (the file is no text), a line that is not UTF-8 in a file taken for
// UTF-8 ("Invalid character encoding"), a quoted cell still open at the end
// of the file or after kMaxLineBytes, and a file in UTF-16 or UTF-32 (the
// Error's subject names the encoding, "UTF-16LE"). Other failures carry the
// file system's own numbers.
namespace readerr {
constexpr long LineTooLong = 59;
constexpr long NotRegularFile = 321;
constexpr long NulCharacter = 322;
constexpr long NotUtf8 = 323;
constexpr long UnclosedQuote = 324;
constexpr long OtherEncoding = 325;
}  // namespace readerr

class RegisterFileReader {
public:
    ~RegisterFileReader();
    RegisterFileReader(const RegisterFileReader&) = delete;
    RegisterFileReader& operator=(const RegisterFileReader&) = delete;

    // Opens the file for reading. A missing file is 53 "File not found", a
    // missing folder 76, and so on, as the file system numbers them; a path
    // that is not a regular file is readerr::NotRegularFile naming its kind
    // (Error::what: common/input_file.h); it is never read, so a pipe or a
    // device cannot block or flood the reader.
    static Result<std::unique_ptr<RegisterFileReader>> open(const std::string& path);

    // Reads the next record into `line` (UTF-8, without its line end; see
    // above for a quoted file's records) and answers true; answers false at
    // the end of the file, leaving `line` empty. A read failure is an Error
    // with the file system's number; the reader's own refusals are readerr::
    // numbers, and lineNumber() is then the line refused: the line too long,
    // holding the NUL, not UTF-8, or where the unclosed quoted cell began.
    Result<bool> readLine(std::string& line);

    // The 1-based number of the file line where the record readLine gave
    // last began (the header is line 1).
    long lineNumber() const { return lineNumber_; }
    // True once the first line has shown the file to be read by a
    // spreadsheet's quoting rules (above).
    bool quoted() const { return quoted_; }
    // True once the file turned out to be UTF-8 (by its mark or its bytes).
    bool utf8() const { return encoding_ == Encoding::Utf8; }
    // Bytes read from the file so far, and its size when opened.
    std::uint64_t bytesRead() const { return bytesRead_; }
    std::uint64_t size() const { return size_; }

private:
    RegisterFileReader(int fd, std::string path, std::uint64_t size);
    // Refills the block; answers false at the end of the file.
    Result<bool> fill();
    // Looks for the mark, then at the block's bytes while the encoding is open.
    void decideEncoding();
    // Reads the next line of the file, as the line ends above delimit it.
    Result<bool> readPhysical(std::string& line);
    Result<bool> emitLine(std::string& line, std::string_view bytes);
    Error lineTooLong();
    // Extends the first line of a record in `line` over the line ends inside quotes.
    Result<bool> joinQuoted(std::string& line);

    int fd_;
    std::string path_;
    std::vector<char> block_;
    std::size_t pos_ = 0, end_ = 0;
    std::string partial_;   // a line that runs over the end of a block
    bool started_ = false;  // the byte-order mark has been looked for
    enum class Encoding { Open, Utf8, Cp1252, Refused } encoding_ = Encoding::Open;
    const char* refused_ = "";  // the encoding of a refused file, by name
    Utf8Check bytesSoFar_;      // the bytes read while the encoding is open
    bool lfEnds_ = false;       // LF alone ends a line (decided by the first line end)
    bool decided_ = false;      // the first line end has been seen
    bool skipLf_ = false;       // the last line ended with CR: an LF right after it belongs to it
    bool quoted_ = false;       // a spreadsheet quoted the file (decided by its first line)
    bool sheetName_ = false;    // the file's name ends in ".csv"
    std::string next_;          // a record's next line while it is joined
    long physical_ = 0;         // the lines of the file read so far
    long lineNumber_ = 0;
    std::uint64_t bytesRead_ = 0, size_ = 0;
};

// A spreadsheet that saves a register file may put every text cell in double
// quotes ("Namn";"Adress"), doubling the quotes inside. Such a file is known
// by its header: the program never quotes a caption, so a header that starts
// with a double quote was quoted by a spreadsheet, and then every line of the
// file is read by the spreadsheet's rules (splitQuotedLine).
bool spreadsheetQuoted(std::string_view header);

// Splits a line of a spreadsheet-quoted file at each ";" outside quotes. A
// field that starts with a double quote ends at the next lone quote; the
// enclosing quotes go and each doubled quote inside becomes one, so such a
// field may hold ";". A field without an opening quote is taken as it
// stands. A quote left open runs to the end of the line.
void splitQuotedLine(std::string_view line, std::vector<std::string>& fields);

// The fields of a header line as the automatic linking compares them: split
// at every ";" (an empty field counts like any other; in a spreadsheet-quoted
// header by splitQuotedLine), each with its trailing blanks and tabs removed,
// so that a header a spreadsheet padded with blanks still finds its captions.
std::vector<std::string> headerFieldsForLinking(std::string_view header);

// The number of fields of a line: the number of ";" plus one.
std::size_t fieldCount(std::string_view line);

// The separator another program split a header line with when it holds no
// ";": a tab or a comma, whichever it holds more of (a tab on a tie, since a
// caption may hold a comma but never a tab); 0 when it holds a ";" or
// neither. Such a file is refused: its lines would each be one field.
char foreignSeparator(std::string_view header);

}  // namespace vexla
