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

TEST(Reader, ForeignSeparatorsOfAHeader) {
    using Row = std::pair<const char*, char>;
    for (const auto& [header, want] : {Row{"ID,Namn,Adress", ','}, Row{"ID\tNamn, AB\tAdress", '\t'},
                                       Row{"ID\tNamn,x", '\t'}, Row{"ID;Namn, AB", 0}, Row{"ID", 0}})
        EXPECT_EQ(foreignSeparator(header), want) << header;
}

TEST(Reader, MissingFileIsFileNotFound) {
    auto reader = RegisterFileReader::open("/nonexistent-folder-vexla/f.skv");
    ASSERT_FALSE(reader.ok());
    EXPECT_EQ(reader.error().number, 76);
}

TEST(Reader, HeaderFieldsForLinkingDropTrailingBlanks) {
    EXPECT_EQ(headerFieldsForLinking("ID ;Namn\t; Adress;"), (Lines{"ID", "Namn", " Adress", ""}));
    EXPECT_EQ(headerFieldsForLinking("\"ID\";\"Namn \";Adress"), (Lines{"ID", "Namn", "Adress"}));
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

TEST(Reader, OnlyAQuotedHeaderMakesAQuotedFile) {
    EXPECT_EQ((std::vector<bool>{spreadsheetQuoted("\"ID\";\"Namn\""), spreadsheetQuoted("ID;\"Namn\""),
                                 spreadsheetQuoted("")}),
              (std::vector<bool>{true, false, false}));
}

}  // namespace
}  // namespace vexla
