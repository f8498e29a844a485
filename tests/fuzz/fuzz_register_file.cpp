// The register file reader: lines numbered, without CR, Windows-1252 read as
// UTF-8; written back with CR LF, or shifted across the 64 KiB block end, the
// same lines; lines split at ";", spreadsheet quoting undone, header fields
// lose only trailing blanks.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "registers/register_file_reader.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

using namespace vexla;
using vexla::fuzz::printable;

constexpr std::size_t kBlock = 64 * 1024;
constexpr std::string_view kBom = "\xEF\xBB\xBF";

std::vector<std::string> readAll(const std::string& file) {
    const std::string path = vexla::fuzz::scratch("register.skv");
    vexla::fuzz::writeFile(path, file);
    auto opened = RegisterFileReader::open(path);
    VEXLA_FUZZ_CHECK(opened.ok(), "cannot open the file");
    std::vector<std::string> lines;
    std::string line;
    for (auto got = (*opened)->readLine(line); got.ok() && *got; got = (*opened)->readLine(line)) {
        VEXLA_FUZZ_CHECK(line.find('\r') == std::string::npos, "a line holds a CR: " + printable(line));
        lines.push_back(line);
        VEXLA_FUZZ_CHECK((*opened)->lineNumber() == static_cast<long>(lines.size()), "wrong line number");
    }
    auto again = (*opened)->readLine(line);
    VEXLA_FUZZ_CHECK(again.ok() && !*again && line.empty(), "a read failed, or reading at the end gave a line");
    VEXLA_FUZZ_CHECK((*opened)->utf8() == (file.compare(0, 3, kBom) == 0), "wrong encoding");
    return lines;
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
    const bool utf8 = input.compare(0, 3, kBom) == 0;
    const std::vector<std::string> lines = readAll(input);
    if (lines.size() > 1) vexla::fuzz::stage("two lines or more");
    for (const std::string& line : lines) {
        VEXLA_FUZZ_CHECK(utf8 || vexla::fuzz::cp1252Text(line), "not Windows-1252 text: " + printable(line));
        checkFields(line);
    }
    if (!lines.empty()) checkHeader(lines[0]);

    // Written again (unless a first line's LF would make LF the line end).
    if (lines.empty() || lines[0].find('\n') == std::string::npos) {
        std::string again = utf8 ? std::string(kBom) : std::string();
        for (const std::string& line : lines) again += (utf8 ? line : utf8ToCp1252(line)) + "\r\n";
        VEXLA_FUZZ_CHECK(readAll(again) == lines, "the lines written again read otherwise");
    }

    // Behind filler ending the first block `shift` bytes in; every fourth input.
    std::size_t hash = 0;
    for (char c : input) hash = hash * 31 + static_cast<unsigned char>(c);
    if ((hash >> 32) % 4 != 0) return 0;
    vexla::fuzz::stage("shifted across a block end");
    const std::size_t bom = utf8 ? kBom.size() : 0;
    const std::size_t shift = std::min(hash % (input.size() - bom + 1), kBlock - 8);
    const std::string filler(kBlock - bom - shift, 'x');
    std::vector<std::string> expected = lines.empty() ? std::vector<std::string>(1) : lines;
    expected[0] = filler + expected[0];
    VEXLA_FUZZ_CHECK(readAll(input.substr(0, bom) + filler + input.substr(bom)) == expected,
                     "read across a block end, the file gave other lines");
    return 0;
}
