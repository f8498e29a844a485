// The register file reader on the line ends and encodings files really have,
// including lines that cross the reader's block boundary.
#include <gtest/gtest.h>

#include "registers/register_file_reader.h"
#include "tests/support/fake_platform.h"

namespace vexla {
namespace {

struct ReadCase {
    const char* name;
    std::string bytes;
    std::vector<std::string> lines;
};

class Reader : public ::testing::TestWithParam<ReadCase> {};

TEST_P(Reader, SplitsAndDecodes) {
    testing::TempFolder dir;
    auto reader = RegisterFileReader::open(dir.write("f.skv", GetParam().bytes));
    ASSERT_TRUE(reader.ok());
    std::vector<std::string> lines;
    for (std::string line; *(*reader)->readLine(line);) {
        lines.push_back(line);
        EXPECT_EQ((*reader)->lineNumber(), static_cast<long>(lines.size()));
    }
    EXPECT_EQ(lines, GetParam().lines);
}

const std::string kLong(64 * 1024 - 1, 'x');

INSTANTIATE_TEST_SUITE_P(
    Files, Reader,
    ::testing::Values(ReadCase{"Empty", "", {}}, ReadCase{"BomOnly", "\xEF\xBB\xBF", {}},
                      ReadCase{"CrLf", "a;b\r\n\r\nc\r\n", {"a;b", "", "c"}},
                      ReadCase{"LoneCrAndNoFinalEnd", "a\rb\r\rc", {"a", "b", "", "c"}},
                      ReadCase{"LfOnlyFile", "a\nb\r\nc\n\n", {"a", "b", "c", ""}},
                      ReadCase{"LfInsideCrLfFileIsData", "a\r\nb\nc\r\n", {"a", "b\nc"}},
                      ReadCase{"Cp1252", "\xC5\xE4\x80\r\n", {"Åä€"}},
                      ReadCase{"Utf8ByBom", "\xEF\xBB\xBF\xC3\x85\r\n\xE2\x82\xAC", {"Å", "€"}},
                      ReadCase{"CrLfAcrossBlocks", kLong + "\r\nz", {kLong, "z"}},
                      ReadCase{"LineAcrossBlocks", kLong + "yy\r\n", {kLong + "yy"}}),
    [](const auto& info) { return info.param.name; });

TEST(Reader, MissingFileIsFileNotFound) {
    auto reader = RegisterFileReader::open("/nonexistent-folder-vexla/f.skv");
    ASSERT_FALSE(reader.ok());
    EXPECT_EQ(reader.error().number, 76);
}

TEST(Reader, HeaderFieldsForLinkingDropTrailingBlanks) {
    EXPECT_EQ(headerFieldsForLinking("ID ;Namn\t; Adress;"), (std::vector<std::string>{"ID", "Namn", " Adress", ""}));
    EXPECT_EQ(headerFieldsForLinking("\"ID\";\"Namn \";Adress"), (std::vector<std::string>{"ID", "Namn", "Adress"}));
}

struct QuotedCase {
    const char* name;
    std::string line;
    std::vector<std::string> fields;
};

class QuotedLine : public ::testing::TestWithParam<QuotedCase> {};

TEST_P(QuotedLine, SplitsAsTheSpreadsheetWroteIt) {
    std::vector<std::string> fields{"left over"};
    splitQuotedLine(GetParam().line, fields);
    EXPECT_EQ(fields, GetParam().fields);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, QuotedLine,
    ::testing::Values(QuotedCase{"Plain", "1;abc;5.5", {"1", "abc", "5.5"}},
                      QuotedCase{"Quoted", "\"a\";\"\";7", {"a", "", "7"}},
                      QuotedCase{"SeparatorInside", "\"Nilsson; Bygg\";2", {"Nilsson; Bygg", "2"}},
                      QuotedCase{"DoubledQuotes", "\"\"\"Citat\"\" och 'x'\";", {"\"Citat\" och 'x'", ""}},
                      QuotedCase{"QuoteInsidePlainField", "ab\"c;d", {"ab\"c", "d"}},
                      QuotedCase{"TextAfterClosingQuote", "\"ab\"c;d", {"abc", "d"}},
                      QuotedCase{"OpenQuoteRunsToTheEnd", "1;\"ab;c", {"1", "ab;c"}},
                      QuotedCase{"Empty", "", {""}}),
    [](const auto& info) { return info.param.name; });

TEST(Reader, OnlyAQuotedHeaderMakesAQuotedFile) {
    EXPECT_TRUE(spreadsheetQuoted("\"ID\";\"Namn\""));
    EXPECT_FALSE(spreadsheetQuoted("ID;\"Namn\""));
    EXPECT_FALSE(spreadsheetQuoted(""));
}

}  // namespace
}  // namespace vexla
