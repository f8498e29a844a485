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
    for (const auto& [name, bytes, want] : std::initializer_list<std::tuple<const char*, std::string, Lines>>{
             {"Empty", "", {}},
             {"BomOnly", "\xEF\xBB\xBF", {}},
             {"CrLf", "a;b\r\n\r\nc\r\n", {"a;b", "", "c"}},
             {"LoneCrAndNoFinalEnd", "a\rb\r\rc", {"a", "b", "", "c"}},
             {"LfOnlyFile", "a\nb\r\nc\n\n", {"a", "b", "c", ""}},
             {"LfInsideCrLfFileIsData", "a\r\nb\nc\r\n", {"a", "b\nc"}},
             {"Cp1252", "\xC5\xE4\x80\r\n", {"Åä€"}},
             {"Utf8ByBom", "\xEF\xBB\xBF\xC3\x85\r\n\xE2\x82\xAC", {"Å", "€"}},
             {"CrLfAcrossBlocks", longLine + "\r\nz", {longLine, "z"}},
             {"LineAcrossBlocks", longLine + "yy\r\n", {longLine + "yy"}}}) {
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
    for (const auto& [line, want] : std::initializer_list<std::pair<std::string, Lines>>{
             {"1;abc;5.5", {"1", "abc", "5.5"}},
             {"\"a\";\"\";7", {"a", "", "7"}},
             {"\"Nilsson; Bygg\";2", {"Nilsson; Bygg", "2"}},            // separator inside
             {"\"\"\"Citat\"\" och 'x'\";", {"\"Citat\" och 'x'", ""}},  // doubled quotes
             {"ab\"c;d", {"ab\"c", "d"}},                                // a quote inside a plain field
             {"\"ab\"c;d", {"abc", "d"}},                                // text after the closing quote
             {"1;\"ab;c", {"1", "ab;c"}},                                // an open quote runs to the end
             {"", {""}}}) {
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
