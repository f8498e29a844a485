// The register file reader: lines numbered, without CR, Windows-1252 or
// UTF-8 read as UTF-8; in a spreadsheet-quoted file (header starting with a
// double quote) records that run over line ends inside quotes, CR only in CR
// LF, numbered by the file's lines; a read stops only in a file taken for
// UTF-8, at a NUL, at a quote left open, or at the mark of UTF-16 or UTF-32;
// written back with CR LF, or (unquoted) shifted across the 64 KiB block
// end, the same records (shifted: unless the file mixes UTF-8 and other
// bytes, which the block end may then judge otherwise); lines split at ";",
// spreadsheet quoting undone, header fields lose only trailing blanks.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/utf8_check.h"
#include "registers/register_file_reader.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

using namespace vexla;
using vexla::fuzz::printable;

constexpr std::size_t kBlock = 64 * 1024;
constexpr std::string_view kBom = "\xEF\xBB\xBF";

struct Read {
    std::vector<std::string> lines;
    bool utf8 = false;    // the file was taken for UTF-8
    bool whole = true;    // read to its end
    bool quoted = false;  // a spreadsheet quoted it: its records may span lines
};

// Whether a CR stands only in CR LF pairs.
bool crOnlyInCrLf(const std::string& line) {
    for (std::size_t at = line.find('\r'); at != std::string::npos; at = line.find('\r', at + 1))
        if (at + 1 == line.size() || line[at + 1] != '\n') return false;
    return true;
}

Read readAll(const std::string& file) {
    const std::string path = vexla::fuzz::scratch("register.skv");
    vexla::fuzz::writeFile(path, file);
    auto opened = RegisterFileReader::open(path);
    VEXLA_FUZZ_CHECK(opened.ok(), "cannot open the file");
    Read read;
    std::string line;
    auto got = (*opened)->readLine(line);
    long lastNumber = 0;
    for (; got.ok() && *got; got = (*opened)->readLine(line)) {
        if (read.lines.empty()) read.quoted = spreadsheetQuoted(line);
        VEXLA_FUZZ_CHECK(read.quoted ? crOnlyInCrLf(line) : line.find('\r') == std::string::npos,
                         "a line holds a CR: " + printable(line));
        read.lines.push_back(line);
        const long number = (*opened)->lineNumber();
        VEXLA_FUZZ_CHECK(read.quoted ? number > lastNumber : number == static_cast<long>(read.lines.size()),
                         "wrong line number");
        lastNumber = number;
    }
    read.utf8 = (*opened)->utf8();
    const bool wide = file.compare(0, 2, "\xFF\xFE") == 0 || file.compare(0, 2, "\xFE\xFF") == 0 ||
                      file.compare(0, 4, std::string("\0\0\xFE\xFF", 4)) == 0;
    VEXLA_FUZZ_CHECK(!(file.compare(0, 3, kBom) == 0) || read.utf8, "a file with the mark not taken for UTF-8");
    if (!got.ok()) {
        const long n = got.error().number;
        VEXLA_FUZZ_CHECK((read.utf8 && n == readerr::NotUtf8) ||
                             (n == readerr::NulCharacter && file.find('\0') != std::string::npos) ||
                             (n == readerr::UnclosedQuote && (read.quoted || (read.lines.empty() && !wide))) ||
                             (n == readerr::OtherEncoding && wide),
                         "a read failed: " + got.error().description);
        read.whole = false;
        return read;
    }
    VEXLA_FUZZ_CHECK(!wide, "a UTF-16 or UTF-32 file was read");
    auto again = (*opened)->readLine(line);
    VEXLA_FUZZ_CHECK(again.ok() && !*again && line.empty(), "reading at the end gave a line");
    return read;
}

// The pieces of a line at every ";", quotes or not.
std::vector<std::string> pieces(const std::string& line) {
    std::vector<std::string> out(1);
    for (char c : line) c == ';' ? (void)out.emplace_back() : out.back().push_back(c);
    return out;
}

void checkFields(const std::string& line) {
    const std::vector<std::string> plain = pieces(line);
    std::vector<std::string> fields;
    splitQuotedLine(line, fields);
    VEXLA_FUZZ_CHECK(fieldCount(line) == plain.size() && (line.find('"') != std::string::npos || fields == plain),
                     "a line without quotes split otherwise: " + printable(line));
    // The line as a field a spreadsheet saved, in quotes with its quotes doubled, twice.
    std::string quoted = "\"";
    for (char c : line) quoted += c == '"' ? "\"\"" : std::string(1, c);
    splitQuotedLine(quoted + "\";" + quoted + "\"", fields);
    VEXLA_FUZZ_CHECK(fields == std::vector<std::string>(2, line),
                     "a quoted field did not come back: " + printable(quoted));
}

void checkHeader(const std::string& header) {
    std::vector<std::string> fields = pieces(header);
    if (spreadsheetQuoted(header)) splitQuotedLine(header, fields);
    for (std::string& f : fields) f.erase(f.find_last_not_of(" \t") + 1);
    VEXLA_FUZZ_CHECK(
        spreadsheetQuoted(header) == (!header.empty() && header[0] == '"') && headerFieldsForLinking(header) == fields,
        "header fields of " + printable(header));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const bool bom = input.compare(0, 3, kBom) == 0;
    const Read read = readAll(input);
    if (read.quoted) vexla::fuzz::stage("spreadsheet-quoted");
    const std::vector<std::string>& lines = read.lines;
    if (lines.size() > 1) vexla::fuzz::stage("two lines or more");
    if (read.utf8 && !bom) vexla::fuzz::stage("UTF-8 without the mark");
    for (const std::string& line : lines) {
        VEXLA_FUZZ_CHECK(read.utf8 || vexla::fuzz::cp1252Text(line), "not Windows-1252 text: " + printable(line));
        checkFields(line);
    }
    if (!lines.empty()) checkHeader(lines[0]);
    if (!read.whole) return 0;

    // Written again in the encoding it was read in (unless a first line's LF
    // would make LF the line end); one block, so the same block decides it.
    if ((lines.empty() || lines[0].find('\n') == std::string::npos) && input.size() < kBlock / 2) {
        std::string again = bom ? std::string(kBom) : std::string();
        for (const std::string& line : lines) again += (read.utf8 ? line : utf8ToCp1252(line)) + "\r\n";
        VEXLA_FUZZ_CHECK(readAll(again).lines == lines, "the lines written again read otherwise");
    }

    // Behind filler ending the first block `shift` bytes in; every fourth input.
    // (Filler before a quoted header would make the file unquoted.)
    if (read.quoted) return 0;
    std::size_t hash = 0;
    for (char c : input) hash = hash * 31 + static_cast<unsigned char>(c);
    if ((hash >> 32) % 4 != 0) return 0;
    const std::size_t start = bom ? kBom.size() : 0;
    Utf8Check body;
    body.feed(std::string_view(input).substr(start));
    // UTF-8 up to a first break: the part in the first block alone would be taken for UTF-8.
    if (!bom && !body.wellFormed() && body.beyondAscii()) return 0;
    vexla::fuzz::stage("shifted across a block end");
    const std::size_t shift = std::min(hash % (input.size() - start + 1), kBlock - 8);
    const std::string filler(kBlock - start - shift, 'x');
    std::vector<std::string> expected = lines.empty() ? std::vector<std::string>(1) : lines;
    expected[0] = filler + expected[0];
    VEXLA_FUZZ_CHECK(readAll(input.substr(0, start) + filler + input.substr(start)).lines == expected,
                     "read across a block end, the file gave other lines");
    return 0;
}
