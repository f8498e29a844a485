#include "common/ini_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
#include <string>

#include "tests/support/fake_platform.h"

namespace vexla {
namespace {

namespace fs = std::filesystem;

using vexla::testing::TempFolder;

struct IniCase {
    const char* name;
    std::string file;  // Windows-1252 bytes
    std::string section;
    std::string key;
    int bufferSize;
    std::string expected;  // UTF-8
};

void PrintTo(const IniCase& c, std::ostream* os) { *os << c.name; }

class IniRead : public ::testing::TestWithParam<IniCase> {};

TEST_P(IniRead, GivesTheValueAsWindowsReadsIt) {
    const IniCase& c = GetParam();
    TempFolder folder;
    const std::string path = folder.write("Test.ini", c.file);
    EXPECT_EQ(readIniString(path, c.section, c.key, c.bufferSize), c.expected);
    const Result<std::string> value = readIniValue(path, c.section, c.key, c.bufferSize);
    ASSERT_TRUE(value.ok());
    EXPECT_EQ(*value, c.expected);
}

const std::string k300 = std::string(300, 'x');

INSTANTIATE_TEST_SUITE_P(
    Table, IniRead,
    ::testing::Values(
        IniCase{"Plain", "[System]\r\nDataBas1=C:\\Data\\bok.db\r\n", "System", "DataBas1", 255, "C:\\Data\\bok.db"},
        IniCase{"SectionAndKeyIgnoreCase", "[SYSTEM]\r\ndatabas1=x\r\n", "system", "DATABAS1", 255, "x"},
        IniCase{"Cp1252LettersIgnoreCase", "[S\xD6KV\xC4G]\r\nN\xC5MN=1\r\n", "S\xC3\xB6kv\xC3\xA4g", "n\xC3\xA5mn", 255,
                "1"},
        IniCase{"BlanksTrimmed", "  [ System ]  \r\n \t R1 \t=  two words \t\r\n", "System", "R1", 255, "two words"},
        IniCase{"DoubleQuotesRemoved", "[System]\r\nR1=\"  padded \"\r\n", "System", "R1", 255, "  padded "},
        IniCase{"SingleQuotesRemoved", "[System]\r\nR1='quoted'\r\n", "System", "R1", 255, "quoted"},
        IniCase{"MismatchedQuotesKept", "[System]\r\nR1=\"half'\r\n", "System", "R1", 255, "\"half'"},
        IniCase{"InnerQuotesKept", "[System]\r\nR1=say \"hi\"\r\n", "System", "R1", 255, "say \"hi\""},
        IniCase{"LoneQuoteKept", "[System]\r\nR1=\"\r\n", "System", "R1", 255, "\""},
        IniCase{"EmptyQuotes", "[System]\r\nR1=\"\"\r\n", "System", "R1", 255, ""},
        IniCase{"SemicolonInValueKept", "[System]\r\nR1=a;b ; c\r\n", "System", "R1", 255, "a;b ; c"},
        IniCase{"EqualsInValueKept", "[System]\r\nR1=a=b\r\n", "System", "R1", 255, "a=b"},
        IniCase{"CommentLineIgnored", "[System]\r\n;R1=commented\r\n  ; R1=too\r\nR1=real\r\n", "System", "R1", 255,
                "real"},
        IniCase{"LfLineEnds", "[System]\nR1=a\nR2=b\n", "System", "R2", 255, "b"},
        IniCase{"LoneCrLineEnds", "[System]\rR1=a\rR2=b", "System", "R2", 255, "b"},
        IniCase{"NoFinalLineEnd", "[System]\r\nR1=last", "System", "R1", 255, "last"},
        IniCase{"FirstKeyWins", "[System]\r\nR1=first\r\nR1=second\r\n", "System", "R1", 255, "first"},
        IniCase{"FirstSectionWins", "[System]\r\nR1=a\r\n[System]\r\nR1=b\r\nR2=c\r\n", "System", "R2", 255, ""},
        IniCase{"KeyInOtherSection", "[Other]\r\nR1=a\r\n[System]\r\nR2=b\r\n", "System", "R1", 255, ""},
        IniCase{"KeyBeforeAnySection", "R1=a\r\n[System]\r\n", "System", "R1", 255, ""},
        IniCase{"MissingKey", "[System]\r\nR1=a\r\n", "System", "R2", 255, ""},
        IniCase{"KeyIsNotPrefix", "[System]\r\nR17=a\r\nR1738=b\r\n", "System", "R173", 255, ""},
        IniCase{"ShortCodeFound", "[System]\r\nR1738=b\r\nR17=a\r\n", "System", "R17", 255, "a"},
        IniCase{"LineWithoutEqualsIsNoKey", "[System]\r\nR1\r\nR1=v\r\n", "System", "R1", 255, "v"},
        IniCase{"EmptyValue", "[System]\r\nR1=\r\n", "System", "R1", 255, ""},
        IniCase{"EmptyKeyAsked", "[System]\r\n=v\r\n", "System", "", 255, ""},
        IniCase{"CutTo254", "[System]\r\nR1=" + k300 + "\r\n", "System", "R1", 255, std::string(254, 'x')},
        IniCase{"CutTo1999", "[System]\r\nR1=" + std::string(2500, 'y') + "\r\n", "System", "R1", 2000,
                std::string(1999, 'y')},
        IniCase{"ExactlyFits", "[System]\r\nR1=" + std::string(254, 'z') + "\r\n", "System", "R1", 255,
                std::string(254, 'z')},
        IniCase{"LimitCountsFileCharacters", "[System]\r\nR1=" + std::string(5, '\xE5') + "\r\n", "System", "R1", 4,
                "\xC3\xA5\xC3\xA5\xC3\xA5"},
        IniCase{"CutAfterQuotesRemoved", "[System]\r\nR1=\"abcdef\"\r\n", "System", "R1", 4, "abc"},
        IniCase{"BufferOfOneGivesNothing", "[System]\r\nR1=abc\r\n", "System", "R1", 1, ""},
        IniCase{"Cp1252BecomesUtf8", "[System]\r\nR1=\x80 \x96 \xC5\xE4\xF6\r\n", "System", "R1", 255,
                "\xE2\x82\xAC \xE2\x80\x93 \xC3\x85\xC3\xA4\xC3\xB6"},
        IniCase{"EmptyFile", "", "System", "R1", 255, ""}),
    [](const ::testing::TestParamInfo<IniCase>& info) { return std::string(info.param.name); });

TEST(IniFile, MissingFileReadsAsEmpty) {
    TempFolder folder;
    EXPECT_EQ(readIniString(folder.path() + "/none.ini", "System", "R1", 255), "");
    const Result<std::string> value = readIniValue(folder.path() + "/no/such/dir/x.ini", "System", "R1", 255);
    ASSERT_TRUE(value.ok());
    EXPECT_EQ(*value, "");
}

TEST(IniFile, UnreadableFileIsAnErrorOnlyForReadIniValue) {
    TempFolder folder;
    const std::string dir = folder.path() + "/Lang.ini";
    fs::create_directory(dir);
    const Result<std::string> value = readIniValue(dir, "System", "R1", 255);
    ASSERT_FALSE(value.ok());
    EXPECT_EQ(value.error().number, 75);
    EXPECT_EQ(readIniString(dir, "System", "R1", 255), "");
}

TEST(IniFile, ReadsTheFileAfreshOnEveryCall) {
    TempFolder folder;
    const std::string path = folder.write("Lang.ini", "[System]\r\nR1=before\r\n");
    EXPECT_EQ(readIniString(path, "System", "R1", 255), "before");
    folder.write("Lang.ini", "[System]\r\nR1=after\r\n");
    EXPECT_EQ(readIniString(path, "System", "R1", 255), "after");
    fs::remove(path);
    EXPECT_EQ(readIniString(path, "System", "R1", 255), "");
}

}  // namespace
}  // namespace vexla
