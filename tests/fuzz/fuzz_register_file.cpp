// The register file reader and the splitting of its lines into fields.
//
// Input: the bytes of a register file. The reader reads a file in 64 KiB
// blocks, so some inputs (chosen by their bytes, so a crash repeats) are
// also read behind a run of filler bytes in their first line, which puts
// the input's own bytes across a block end at an offset the input chooses;
// a byte-order mark stays at the very start.
//
// What must hold:
//   - the lines are numbered in turn, no line holds a CR, and reading on at
//     the end stays at the end;
//   - the lines of a Windows-1252 file are UTF-8 of Windows-1252 characters;
//   - read across a block end, the file gives the same lines (the first
//     one behind its filler);
//   - written again with CR LF line ends, in the file's own encoding, the
//     lines read back as they are;
//   - a line without quotes splits at ";" into pieces that join to the line,
//     and fields put in quotes as a spreadsheet saves them (";" and quotes
//     inside) come back as they were;
//   - the header's fields for linking are its fields without trailing blanks.
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

struct Reading {
    std::vector<std::string> lines;
    bool utf8 = false;
};

Reading readAll(const std::string& file) {
    const std::string path = vexla::fuzz::scratch("register.skv");
    vexla::fuzz::writeFile(path, file);
    auto opened = RegisterFileReader::open(path);
    VEXLA_FUZZ_CHECK(opened.ok(), "cannot open the file");
    RegisterFileReader& reader = **opened;
    Reading r;
    std::string line;
    for (;;) {
        auto got = reader.readLine(line);
        VEXLA_FUZZ_CHECK(got.ok(), "a read failed");
        if (!*got) break;
        VEXLA_FUZZ_CHECK(line.find('\r') == std::string::npos, "a line holds a CR: " + printable(line));
        r.lines.push_back(line);
        VEXLA_FUZZ_CHECK(reader.lineNumber() == static_cast<long>(r.lines.size()), "wrong line number");
    }
    for (int i = 0; i < 2; ++i) {
        auto again = reader.readLine(line);
        VEXLA_FUZZ_CHECK(again.ok() && !*again && line.empty(), "reading at the end gave a line");
    }
    r.utf8 = reader.utf8();
    VEXLA_FUZZ_CHECK(r.utf8 == (file.compare(0, 3, kBom) == 0), "wrong encoding");
    return r;
}

std::string join(const std::vector<std::string>& pieces, const std::string& between) {
    std::string out;
    for (std::size_t i = 0; i < pieces.size(); ++i) out += (i ? between : "") + pieces[i];
    return out;
}

// The pieces of a line at every ";", quotes or not.
std::vector<std::string> pieces(const std::string& line) {
    std::vector<std::string> out(1);
    for (char c : line) {
        if (c == ';') out.emplace_back();
        else out.back().push_back(c);
    }
    return out;
}

void checkFields(const std::string& line) {
    const std::vector<std::string> plain = pieces(line);
    VEXLA_FUZZ_CHECK(fieldCount(line) == plain.size(), "fieldCount of " + printable(line));
    std::vector<std::string> fields;
    if (line.find('"') == std::string::npos) {
        splitQuotedLine(line, fields);
        VEXLA_FUZZ_CHECK(fields == plain, "a line without quotes split otherwise: " + printable(line));
    }
    // A spreadsheet's quoting of the line's pieces, every third one joined to
    // the one before so that some fields hold ";".
    std::vector<std::string> original;
    for (std::size_t i = 0; i < plain.size(); ++i) {
        if (i % 3 == 2) original.back() += ";" + plain[i];
        else original.push_back(plain[i]);
    }
    std::vector<std::string> quoted;
    for (const std::string& f : original) {
        std::string q = "\"";
        for (char c : f) q += c == '"' ? "\"\"" : std::string(1, c);
        quoted.push_back(q + "\"");
    }
    splitQuotedLine(join(quoted, ";"), fields);
    VEXLA_FUZZ_CHECK(fields == original, "quoted fields did not come back: " + printable(join(quoted, ";")));
}

void checkHeader(const std::string& header) {
    std::vector<std::string> raw = pieces(header);
    if (spreadsheetQuoted(header)) splitQuotedLine(header, raw);
    VEXLA_FUZZ_CHECK(spreadsheetQuoted(header) == (!header.empty() && header[0] == '"'), "quoted header");
    const std::vector<std::string> fields = headerFieldsForLinking(header);
    VEXLA_FUZZ_CHECK(fields.size() == raw.size(), "header fields of " + printable(header));
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const std::string& f = fields[i];
        VEXLA_FUZZ_CHECK(raw[i].compare(0, f.size(), f) == 0 &&
                             raw[i].find_first_not_of(" \t", f.size()) == std::string::npos &&
                             (f.empty() || (f.back() != ' ' && f.back() != '\t')),
                         "header field '" + printable(f) + "' of '" + printable(raw[i]) + "'");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const Reading r = readAll(input);
    if (r.lines.size() > 1) vexla::fuzz::stage("two lines or more");
    for (const std::string& line : r.lines) {
        VEXLA_FUZZ_CHECK(r.utf8 || vexla::fuzz::cp1252Text(line), "not Windows-1252 text: " + printable(line));
        checkFields(line);
    }
    if (!r.lines.empty()) checkHeader(r.lines[0]);

    // The same lines written again. A first line that holds an LF would make
    // LF a line end of the new file, so such files are left out.
    if (r.lines.empty() || r.lines[0].find('\n') == std::string::npos) {
        std::string again = r.utf8 ? std::string(kBom) : std::string();
        for (const std::string& line : r.lines) again += (r.utf8 ? line : utf8ToCp1252(line)) + "\r\n";
        VEXLA_FUZZ_CHECK(readAll(again).lines == r.lines, "the lines written again read otherwise");
    }

    // Behind filler, the first block ending `shift` bytes into the input's
    // own bytes. A 64 KiB file costs a hundred small ones: every fourth input.
    std::size_t hash = 0;
    for (char c : input) hash = hash * 31 + static_cast<unsigned char>(c);
    if ((hash >> 32) % 4 != 0) return 0;
    vexla::fuzz::stage("shifted across a block end");
    const std::size_t bom = r.utf8 ? kBom.size() : 0;
    const std::size_t shift = std::min(hash % (input.size() - bom + 1), kBlock - 8);
    const std::string filler(kBlock - bom - shift, 'x');
    std::vector<std::string> expected = r.lines.empty() ? std::vector<std::string>(1) : r.lines;
    expected[0] = filler + expected[0];
    VEXLA_FUZZ_CHECK(readAll(input.substr(0, bom) + filler + input.substr(bom)).lines == expected,
                     "read across a block end, the file gave other lines");
    return 0;
}
