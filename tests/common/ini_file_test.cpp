#include "common/ini_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "tests/support/fake_platform.h"

namespace vexla {
namespace {

using vexla::testing::TempFolder;
using namespace std::string_literals;

TEST(IniFile, GivesTheValueAsWindowsReadsIt) {
    struct Case {
        const char* name;
        std::string file, key, expected;  // file: bytes in either encoding; expected: UTF-8
        int bufferSize = 255;
        std::string section = "System";
    };
    const std::string s = "[System]\r\n";
    TempFolder folder;
    for (const Case& c :
         {Case{"Plain", s + "DataBas1=C:\\Data\\bok.db\r\n", "DataBas1", "C:\\Data\\bok.db"},
          Case{"Cp1252LettersIgnoreCase", "[S\xD6KV\xC4G]\r\nN\xC5MN=1\r\n", "n\xC3\xA5mn", "1", 255,
               "S\xC3\xB6kv\xC3\xA4g"},
          Case{"BlanksTrimmed", "  [ System ]  \r\n \t R1 \t=  two words \t\r\n", "R1", "two words"},
          Case{"DoubleQuotesRemoved", s + "R1=\"  padded \"\r\n", "R1", "  padded "},
          Case{"SingleQuotesRemoved", s + "R1='quoted'\r\n", "R1", "quoted"},
          Case{"MismatchedQuotesKept", s + "R1=\"half'\r\n", "R1", "\"half'"},
          Case{"EmptyQuotes", s + "R1=\"\"\r\n", "R1", ""},
          Case{"SemicolonInValueKept", s + "R1=a;b ; c\r\n", "R1", "a;b ; c"},
          Case{"LoneCrLineEnds", "[System]\rR1=a\rR2=b", "R2", "b"},
          Case{"FirstKeyWins", s + "R1=first\r\nR1=second\r\n", "R1", "first"},
          Case{"KeyInOtherSection", "[Other]\r\nR1=a\r\n[System]\r\nR2=b\r\n", "R1", ""},
          Case{"KeyInSectionAfter", "[System]\r\nR2=b\r\n[Other]\r\nR1=a\r\n", "R1", ""},
          Case{"KeyIsNotPrefix", s + "R17=a\r\nR1738=b\r\n", "R173", ""},
          Case{"ShortCodeFound", s + "R1738=b\r\nR17=a\r\n", "R17", "a"},
          Case{"LineWithoutEqualsIsNoKey", s + "R1\r\nR1=v\r\n", "R1", "v"},
          Case{"CutTo254", s + "R1=" + std::string(300, 'x') + "\r\n", "R1", std::string(254, 'x')},
          Case{"ExactlyFits", s + "R1=" + std::string(254, 'z') + "\r\n", "R1", std::string(254, 'z')},
          Case{"LimitCountsFileCharacters", s + "R1=" + std::string(5, '\xE5') + "\r\n", "R1",
               "\xC3\xA5\xC3\xA5\xC3\xA5", 4},
          Case{"CutAfterQuotesRemoved", s + "R1=\"abcdef\"\r\n", "R1", "abc", 4},
          Case{"BufferOfOneGivesNothing", s + "R1=abc\r\n", "R1", "", 1},
          // Settings as Linux editors write them: UTF-8, with or without a mark, LF or CR LF.
          Case{"Utf8WithLf", "[System]\nDataBas1=/srv/r\xC3\xA5.db\n", "DataBas1", "/srv/r\xC3\xA5.db"},
          Case{"Utf8MarkBeforeSection", "\xEF\xBB\xBF" + s + "DataBas1=/srv/bok.db\r\n", "DataBas1", "/srv/bok.db"},
          Case{"Utf8MarkAndLetters", "\xEF\xBB\xBF[System]\nR1=r\xC3\xA5\n", "R1", "r\xC3\xA5"},
          Case{"Utf8NamesIgnoreCase", "[S\xC3\x96KV\xC3\x84G]\nN\xC3\x85MN=1\n", "n\xC3\xA5mn", "1", 255,
               "S\xC3\xB6kv\xC3\xA4g"},
          Case{"Utf8BeyondCodePageKept", s + "R1=\xC5\x81\xC3\xB3w\r\n", "R1", "\xC5\x81\xC3\xB3w"},
          Case{"Utf8LimitCountsCharacters", s + "R1=\xC3\xA5\xC3\xA5\xC3\xA5\xC3\xA5\n", "R1",
               "\xC3\xA5\xC3\xA5\xC3\xA5", 4},
          Case{"Utf8NameBeyondCodePageIsNoKey", s + "R\xC5\x81=x\nR?=y\n", "R?", "y"},
          // One byte that breaks UTF-8 makes the whole file Windows-1252.
          Case{"MixedFileIsCp1252", s + "R1=\xC3\xA5\r\nR2=\xE5\r\n", "R1", "\xC3\x83\xC2\xA5"},
          Case{"MarkedFileCp1252ValueNotLost", "\xEF\xBB\xBF[System]\nR1=r\xE5\n", "R1", "r\xC3\xA5"}}) {
        const std::string path = folder.write("Test.ini", c.file);
        EXPECT_EQ(readIniString(path, c.section, c.key, c.bufferSize), c.expected) << c.name;
    }
}

// A file that is not there reads as empty, and so does a folder in its
// place (passed over); one that cannot be read is an error for readIniValue
// alone (root reads any file: then that case is left out).
TEST(IniFile, MissingOrUnreadableFile) {
    TempFolder folder;
    std::filesystem::create_directory(folder.file("Lang.ini"));
    std::filesystem::permissions(folder.write("Locked.ini", "[System]\nR1=x\n"), std::filesystem::perms::none);
    std::vector<std::pair<const char*, long>> cases{{"none.ini", 0}, {"Lang.ini", 0}};
    if (::geteuid() != 0) cases.emplace_back("Locked.ini", 75);
    for (const auto& [name, error] : cases) {
        SCOPED_TRACE(name);
        EXPECT_EQ(readIniString(folder.file(name), "System", "R1", 255), "");
        const Result<std::string> value = readIniValue(folder.file(name), "System", "R1", 255);
        EXPECT_EQ(value.ok() ? std::make_pair(0L, *value) : std::make_pair(value.error().number, ""s),
                  std::make_pair(error, ""s));
    }
}

}  // namespace
}  // namespace vexla
