// The register file reader on the line ends and encodings files really have,
// including lines that cross the reader's block boundary.
#include <gtest/gtest.h>

#include "registers/register_file_reader.h"
#include "tests/support/fake_platform.h"

namespace vexla {
namespace {

using Lines = std::vector<std::string>;

TEST(Reader, SplitsAndDecodes) {
    const std::string longLine(64 * 1024 - 1, 'x');
    testing::TempFolder dir;
    using Row = std::tuple<const char*, std::string, Lines>;
    for (const auto& [name, bytes, want] :
         {Row{"Empty", "", {}}, Row{"BomOnly", "\xEF\xBB\xBF", {}}, Row{"CrLf", "a;b\r\n\r\nc\r\n", {"a;b", "", "c"}},
          Row{"LoneCrAndNoFinalEnd", "a\rb\r\rc", {"a", "b", "", "c"}},
          Row{"LfOnlyFile", "a\nb\r\nc\n\n", {"a", "b", "c", ""}},
          Row{"LfInsideCrLfFileIsData", "a\r\nb\nc\r\n", {"a", "b\nc"}}, Row{"Cp1252", "\xC5\xE4\x80\r\n", {"Åä€"}},
          Row{"Utf8ByBom", "\xEF\xBB\xBF\xC3\x85\r\n\xE2\x82\xAC", {"Å", "€"}},
          Row{"Utf8WithoutBom", "Hed\xC3\xA9ns M\xC3\xA5leri AB\r\n", {"Hedéns Måleri AB"}},
          Row{"Cp1252AsUtf8LooksLikeUtf8", "Hed\xC3\xA9ns\r\n", {"Hedéns"}},
          Row{"Utf8CutAtTheBlockEnd", longLine + "\xC3\xA9\r\n", {longLine + "é"}},
          Row{"Cp1252AfterAnAsciiBlock", longLine + "\r\nCaf\xE9\r\n", {longLine, "Café"}},
          Row{"CrLfAcrossBlocks", longLine + "\r\nz", {longLine, "z"}},
          Row{"LineAcrossBlocks", longLine + "yy\r\n", {longLine + "yy"}}}) {
        SCOPED_TRACE(name);
        auto reader = RegisterFileReader::open(dir.write("f.skv", bytes));
        ASSERT_TRUE(reader.ok());
        Lines lines;
        for (std::string line; *(*reader)->readLine(line);) {
            lines.push_back(line);
            EXPECT_EQ((*reader)->lineNumber(), static_cast<long>(lines.size()));
        }
        EXPECT_EQ(lines, want);
    }
}

// What a reader gives for a file: each record as "line:text", then how it
// ended: "end", or "error N at line L".
std::vector<std::string> records(testing::TempFolder& dir, const std::string& bytes) {
    auto reader = RegisterFileReader::open(dir.write("f.skv", bytes));
    std::vector<std::string> got;
    for (;;) {
        std::string line;
        auto read = (*reader)->readLine(line);
        if (!read) {
            got.push_back("error " + std::to_string(read.error().number) +
                          (read.error().subject.empty() ? "" : " " + read.error().subject) + " at line " +
                          std::to_string((*reader)->lineNumber()));
            return got;
        }
        if (!*read) return got.push_back("end"), got;
        got.push_back(std::to_string((*reader)->lineNumber()) + ":" + line);
    }
}

// A spreadsheet's quoted cells run over line ends, which come out as CR LF;
// line numbers stay those of the file. Files the program writes are never
// joined, and what is no text is refused wherever it stands.
TEST(Reader, QuotedRecordsAndRefusals) {
    const std::string head = "\"ID\";\"Namn\"";
    const std::string longCell(64 * 1024, 'x');
    // A record of two physical lines, "1;\"" A CR LF B "\"", of exactly the
    // largest size a record may have, and one a byte over it.
    const std::string a(kMaxLineBytes / 2, 'a'), b(kMaxLineBytes - kMaxLineBytes / 2 - 6, 'b');
    testing::TempFolder dir;
    using Row = std::tuple<const char*, std::string, Lines>;
    for (const auto& [name, bytes, want] :
         {Row{"CrLfInCell", head + "\r\n1;\"a\r\nb\"\r\n2;c\r\n", {"1:" + head, "2:1;\"a\r\nb\"", "4:2;c", "end"}},
          Row{"LfInCellOfACrLfFile",
              head + "\r\n1;\"a\nb\nc\";d\r\n2\r\n",
              {"1:" + head, "2:1;\"a\r\nb\r\nc\";d", "5:2", "end"}},
          Row{"LfFile", head + "\n1;\"a\n\nb\"\n2\n", {"1:" + head, "2:1;\"a\r\n\r\nb\"", "5:2", "end"}},
          Row{"LoneCr", head + "\r1;\"a\rb\"", {"1:" + head, "2:1;\"a\r\nb\"", "end"}},
          Row{"SeparatorAndDoubledQuotes",
              head + "\r\n1;\"x;\"\"y\"\"\r\n;z\"\r\n",
              {"1:" + head, "2:1;\"x;\"\"y\"\"\r\n;z\"", "end"}},
          Row{"QuoteInsideAPlainCellOpensNothing",
              head + "\r\n1;a\"b\r\n2;\"c\"d\"e\r\n3\r\n",
              {"1:" + head, "2:1;a\"b", "3:2;\"c\"d\"e", "4:3", "end"}},
          Row{"CellAcrossABlockEnd",
              head + "\r\n1;\"" + longCell + "\r\ny\"\r\n2\r\n",
              {"1:" + head, "2:1;\"" + longCell + "\r\ny\"", "4:2", "end"}},
          Row{"QuotedRecordOfTheLargestSize",
              head + "\r\n1;\"" + a + "\r\n" + b + "\"\r\n2\r\n",
              {"1:" + head, "2:1;\"" + a + "\r\n" + b + "\"", "4:2", "end"}},
          Row{"QuotedRecordAByteOver",
              head + "\r\n1;\"" + a + "\r\n" + b + "b\"\r\n2\r\n",
              {"1:" + head, "error 324 at line 2"}},
          Row{"MultiLineHeader", "\"ID\";\"Na\r\nmn\"\r\n1;a", {"1:\"ID\";\"Na\r\nmn\"", "3:1;a", "end"}},
          Row{"UnquotedFileIsNeverJoined", "ID;Namn\r\n1;\"a\r\nb\"\r\n", {"1:ID;Namn", "2:1;\"a", "3:b\"", "end"}},
          Row{"UnclosedAtTheEnd",
              head + "\r\n1;x\r\n2;\"ab\"\"\r\ncd\r\n\r\n",
              {"1:" + head, "2:1;x", "error 324 at line 3"}},
          Row{"UnclosedInASecondCell", head + "\r\n1;\"a\r\nb\";\"c\r\n", {"1:" + head, "error 324 at line 3"}},
          Row{"NulInTheHeader", std::string("ID;Na\0mn\r\n1;a\r\n", 15), {"error 322 at line 1"}},
          Row{"NulInALaterLineOfACell",
              head + std::string("\r\n1;\"a\r\nb\0\"\r\n", 12),
              {"1:" + head, "error 322 at line 3"}},
          Row{"Utf16", "\xFF\xFEI\0D\0", {"error 325 UTF-16LE at line 1"}},
          Row{"Utf16BigEndian", "\xFE\xFF\0I", {"error 325 UTF-16BE at line 1"}},
          Row{"Utf32", std::string("\xFF\xFE\0\0I\0\0\0", 8), {"error 325 UTF-32LE at line 1"}}}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(records(dir, bytes), want);
    }
}

// What a header tells: a foreign separator, whether the file is quoted,
// its fields for linking without their trailing blanks; and a missing file.
TEST(Reader, HeaderLinesAndAMissingFile) {
    using Row = std::tuple<std::string, char, bool, Lines>;
    for (const auto& [header, separator, quoted, fields] :
         {Row{"ID,Namn,Adress", ',', false, {"ID,Namn,Adress"}},
          Row{"ID\tNamn, AB\tAdress", '\t', false, {"ID\tNamn, AB\tAdress"}},
          Row{"ID\tNamn,x", '\t', false, {"ID\tNamn,x"}}, Row{"ID;Namn, AB", 0, false, {"ID", "Namn, AB"}},
          Row{"ID", 0, false, {"ID"}}, Row{"", 0, false, {""}},
          Row{"ID ;Namn\t; Adress;", 0, false, {"ID", "Namn", " Adress", ""}},
          Row{"\"ID\";\"Namn \";Adress", 0, true, {"ID", "Namn", "Adress"}},
          Row{"ID;\"Namn\"", 0, false, {"ID", "\"Namn\""}}}) {
        EXPECT_EQ(std::tuple(foreignSeparator(header), spreadsheetQuoted(header), headerFieldsForLinking(header)),
                  std::tuple(separator, quoted, fields))
            << header;
    }
    auto reader = RegisterFileReader::open("/nonexistent-folder-vexla/f.skv");
    ASSERT_FALSE(reader.ok());
    EXPECT_EQ(reader.error().number, 76);
}

TEST(Reader, QuotedLinesSplitAsTheSpreadsheetWroteThem) {
    using Row = std::pair<std::string, Lines>;
    for (const auto& [line, want] : {Row{"1;abc;5.5", {"1", "abc", "5.5"}}, Row{"\"a\";\"\";7", {"a", "", "7"}},
                                     Row{"\"Nilsson; Bygg\";2", {"Nilsson; Bygg", "2"}},            // separator inside
                                     Row{"\"\"\"Citat\"\" och 'x'\";", {"\"Citat\" och 'x'", ""}},  // doubled quotes
                                     Row{"ab\"c;d", {"ab\"c", "d"}},  // a quote inside a plain field
                                     Row{"\"ab\"c;d", {"abc", "d"}},  // text after the closing quote
                                     Row{"1;\"ab;c", {"1", "ab;c"}},  // an open quote runs to the end
                                     Row{"", {""}}}) {
        Lines fields{"left over"};
        splitQuotedLine(line, fields);
        EXPECT_EQ(fields, want) << line;
    }
}

}  // namespace
}  // namespace vexla
