// The register file reader and the splitting of its lines into fields.
//
// Input: the bytes of a register file. The reader reads a file in 64 KiB
// blocks, so each input is read twice: as it is, and behind a run of
// filler bytes (in its first line) that puts the input's own bytes across
// a block boundary at an offset the input chooses, with the input's
// byte-order mark, if any, kept at the very start.
//
// What must hold: the lines are exactly those of a plain reading of the
// whole file by the rules in register_file_reader.h (CR LF or lone CR end a
// line; a lone LF too when the first line ends with one; a UTF-8 mark makes
// the file UTF-8, otherwise each byte is a Windows-1252 character), each
// line numbered in turn; a Windows-1252 file gives valid UTF-8; a line has
// one field more than it has ";"; read by a spreadsheet's rules, a line
// without quotes splits the same, and fields a spreadsheet quoted (";" and
// quotes inside) come back as they were; the header's fields for linking
// are its fields (by those rules when it starts with a quote) without
// trailing blanks.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/cp1252.h"
#include "registers/register_file_reader.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

using namespace vexla;
using vexla::fuzz::printable;

constexpr std::size_t kBlock = 64 * 1024;
constexpr std::string_view kBom = "\xEF\xBB\xBF";

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// The lines of the whole file, read at once. Left out of the coverage
// feedback: it is the yardstick, not the code under test, and its loop over
// a 64 KiB file would otherwise cost more than the reading itself.
__attribute__((no_sanitize("coverage"))) std::vector<std::string> plainReading(std::string_view file) {
    bool utf8 = false;
    if (file.substr(0, 3) == kBom) {
        utf8 = true;
        file.remove_prefix(3);
    }
    const std::size_t firstEnd = file.find_first_of("\r\n");
    const bool lfEnds = firstEnd != std::string_view::npos && file[firstEnd] == '\n';
    std::vector<std::string> lines;
    std::string raw;
    bool pending = false;  // bytes (or a line end) seen since the last line was taken
    auto take = [&] {
        std::string line;
        if (utf8) {
            line = raw;
        } else {
            static const auto table = [] {
                std::array<std::string, 256> t;
                for (int b = 0; b < 256; ++b) appendUtf8(t[b], cp1252CodePoint(static_cast<unsigned char>(b)));
                return t;
            }();
            line.reserve(raw.size());
            for (char c : raw) line += table[static_cast<unsigned char>(c)];
        }
        lines.push_back(std::move(line));
        raw.clear();
        pending = false;
    };
    for (std::size_t i = 0; i < file.size(); ++i) {
        const char c = file[i];
        if (c == '\r') {
            take();
            if (i + 1 < file.size() && file[i + 1] == '\n') ++i;
        } else if (c == '\n' && lfEnds) {
            take();
        } else {
            raw += c;
            pending = true;
        }
    }
    if (pending) take();
    return lines;
}

std::vector<std::string> splitAtSemicolons(std::string_view line) {
    std::vector<std::string> out;
    for (;;) {
        const std::size_t semi = line.find(';');
        out.emplace_back(line.substr(0, semi));
        if (semi == std::string_view::npos) return out;
        line.remove_prefix(semi + 1);
    }
}

// The spreadsheet's way of reading a line: a line without quotes splits as
// a plain one; and any fields, each put in quotes with its quotes doubled
// (as a spreadsheet saves them), come back as they were, ";" and all.
void checkQuotedSplit(const std::string& line, const std::vector<std::string>& plain) {
    std::vector<std::string> fields;
    if (line.find('"') == std::string::npos) {
        splitQuotedLine(line, fields);
        VEXLA_FUZZ_CHECK(fields == plain, "a line without quotes split otherwise: " + printable(line));
    }
    // The line's own pieces, at every third piece joined with the next so that some hold ";".
    std::vector<std::string> original;
    for (std::size_t i = 0; i < plain.size(); ++i) {
        if (i % 3 == 2 && !original.empty()) original.back() += ";" + plain[i];
        else original.push_back(plain[i]);
    }
    std::string quoted;
    for (std::size_t i = 0; i < original.size(); ++i) {
        if (i) quoted += ';';
        quoted += '"';
        for (char c : original[i]) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
        quoted += '"';
    }
    splitQuotedLine(quoted, fields);
    VEXLA_FUZZ_CHECK(fields == original, "quoted fields did not come back: " + printable(quoted));
}

void checkFile(const std::string& file, const char* how) {
    const std::string path = vexla::fuzz::Scratch::get().file("register.skv");
    vexla::fuzz::Scratch::write(path, file);
    const std::vector<std::string> expected = plainReading(file);
    if (expected.size() > 1) vexla::fuzz::Stages::hit("two lines or more");

    auto opened = RegisterFileReader::open(path);
    VEXLA_FUZZ_CHECK(opened.ok(), "cannot open the file");
    RegisterFileReader& reader = **opened;
    std::string line;
    std::size_t n = 0;
    for (;;) {
        auto got = reader.readLine(line);
        VEXLA_FUZZ_CHECK(got.ok(), "a read failed");
        if (!*got) {
            VEXLA_FUZZ_CHECK(line.empty(), "the end of the file left a line behind");
            break;
        }
        const std::string where = std::string(how) + ", line " + std::to_string(n + 1);
        VEXLA_FUZZ_CHECK(n < expected.size(), where + ": more lines than the file has: '" + printable(line) + "'");
        VEXLA_FUZZ_CHECK(line == expected[n], where + ": read '" + printable(line) + "', the file holds '" +
                                                  printable(expected[n]) + "'");
        VEXLA_FUZZ_CHECK(reader.lineNumber() == static_cast<long>(n + 1), where + ": wrong line number");
        ++n;
    }
    VEXLA_FUZZ_CHECK(n == expected.size(), std::string(how) + ": read " + std::to_string(n) + " lines of " +
                                               std::to_string(expected.size()));
    // Reading on at the end stays at the end.
    auto again = reader.readLine(line);
    VEXLA_FUZZ_CHECK(again.ok() && !*again && line.empty(), "reading past the end gave a line");
    VEXLA_FUZZ_CHECK(reader.utf8() == (file.substr(0, 3) == kBom), "wrong encoding");

    for (const std::string& l : expected) {
        if (file.substr(0, 3) != kBom) VEXLA_FUZZ_CHECK(vexla::fuzz::validUtf8(l), "line is not UTF-8");
        const std::vector<std::string> plain = splitAtSemicolons(l);
        VEXLA_FUZZ_CHECK(fieldCount(l) == plain.size(), "fieldCount");
        checkQuotedSplit(l, plain);
    }
    if (!expected.empty()) {
        const std::string& header = expected[0];
        const std::vector<std::string> fields = headerFieldsForLinking(header);
        std::vector<std::string> raw;
        if (spreadsheetQuoted(header)) {
            vexla::fuzz::Stages::hit("spreadsheet-quoted header");
            VEXLA_FUZZ_CHECK(!header.empty() && header[0] == '"', "a header taken as quoted without a quote");
            splitQuotedLine(header, raw);
        } else {
            VEXLA_FUZZ_CHECK(header.empty() || header[0] != '"', "a header starting with a quote not taken as quoted");
            raw = splitAtSemicolons(header);
        }
        VEXLA_FUZZ_CHECK(fields.size() == raw.size(), "header fields");
        for (std::size_t i = 0; i < fields.size(); ++i) {
            const std::string& f = fields[i];
            VEXLA_FUZZ_CHECK(raw[i].compare(0, f.size(), f) == 0, "a header field is not the start of its text");
            VEXLA_FUZZ_CHECK(raw[i].find_first_not_of(" \t", f.size()) == std::string::npos,
                             "more than blanks dropped from '" + printable(raw[i]) + "'");
            VEXLA_FUZZ_CHECK(f.empty() || (f.back() != ' ' && f.back() != '\t'), "trailing blank kept");
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    checkFile(input, "as it is");

    // Behind filler, the first block ending `shift` bytes into the input's own bytes.
    const bool bom = input.compare(0, 3, kBom) == 0;
    const std::string body = bom ? input.substr(3) : input;
    std::size_t hash = 0;
    for (char c : input) hash = hash * 31 + static_cast<unsigned char>(c);
    const std::size_t shift = std::min(hash % (body.size() + 1), kBlock - 8);
    std::string shifted = bom ? std::string(kBom) : std::string();
    shifted.append(kBlock - shifted.size() - shift, 'x');
    shifted += body;
    // A 64 KiB file costs a hundred small ones, so only every fourth input
    // is read this way; which ones follows from the bytes, so a crash repeats.
    if ((hash >> 32) % 4 == 0) {
        vexla::fuzz::Stages::hit("shifted across a block end");
        checkFile(shifted, "shifted across a block end");
    }
    return 0;
}
