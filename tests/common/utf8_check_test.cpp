// The UTF-8 check that tells a register file's encoding, fed in chunks as
// the reader's blocks come, and the settings file that keeps the folders
// of the file dialogs.
#include "common/utf8_check.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "common/folders_file.h"
#include "tests/support/fake_platform.h"

namespace vexla {
namespace {

TEST(Utf8Check, TellsUtf8FromWindows1252) {
    struct Row {
        const char* name;
        std::vector<std::string> chunks;
        bool broken, beyondAscii, cut;
    };
    for (const Row& r : std::vector<Row>{
             {"Ascii", {"ID;Namn\r\n1;Ab\x1B"}, false, false, false},
             {"Utf8", {"Hed\xC3\xA9ns M\xC3\xA5leri AB \xE2\x82\xAC \xF0\x9F\x98\x80"}, false, true, false},
             {"Cp1252Letters", {"Hed\xE9ns M\xE5leri"}, true, false, false},
             {"Cp1252Euro", {"5 \x80"}, true, false, false},
             // Windows-1252 "Ã©" is the UTF-8 of "é": such a file is taken for UTF-8.
             {"Cp1252ThatIsUtf8Too", {"Hed\xC3\xA9ns"}, false, true, false},
             {"CutAtChunkEnd", {"ab\xE2\x82", "\xAC;c"}, false, true, false},
             {"CutAtTheEnd", {"ab\xE2\x82"}, false, false, true},
             {"CutThenAscii", {"ab\xC3", ";c"}, true, false, false},
             {"Overlong", {"\xC0\xAF"}, true, false, false},
             {"OverlongThreeBytes", {"\xE0\x80\xAF"}, true, false, false},
             {"Surrogate", {"\xED\xA0\x80"}, true, false, false},
             {"BeyondU10FFFF", {"\xF4\x90\x80\x80"}, true, false, false},
             {"BreakAfterAGoodCharacter", {"\xC3\xA9", "\xE9n"}, true, true, false},
         }) {
        SCOPED_TRACE(r.name);
        Utf8Check check;
        std::string whole;
        for (const std::string& chunk : r.chunks) check.feed(chunk), whole += chunk;
        EXPECT_EQ(std::tuple(check.broken(), check.beyondAscii(), check.cut()),
                  std::tuple(r.broken, r.beyondAscii, r.cut));
        EXPECT_EQ(isUtf8(whole), !r.broken && !r.cut);
    }
}

TEST(FoldersFile, KeepsAFolderPerKeyAndToldWhenItCannot) {
    testing::TempFolder dir;
    testing::FaultyFileSystem files;
    testing::RecordingNotices notices;
    const std::string path = dir.file("config/vexla-admin/folders.ini");
    FoldersFile folders(path, files, notices);
    EXPECT_EQ(folders.recall("Kund"), "");
    folders.remember("Kund", "/home/anna/ut");
    folders.remember("Resurser", "/srv/r\xC3\xA4kning");
    folders.remember("Kund", "/home/anna/in");
    folders.remember("Bokningar", "/bad\nname");
    EXPECT_EQ(std::tuple(folders.recall("Kund"), folders.recall("Resurser"), folders.recall("Bokningar")),
              std::tuple("/home/anna/in", "/srv/r\xC3\xA4kning", ""));
    EXPECT_EQ(dir.read("config/vexla-admin/folders.ini"),
              "[Folders]\nKund=/home/anna/in\nResurser=/srv/r\xC3\xA4kning\n");
    EXPECT_TRUE(notices.told.empty());
    files.failCall("commit", files.calls("commit") + 1, Error{61, "Disk full", "Vexla Admin"});
    folders.remember("Kund", "/elsewhere");
    EXPECT_EQ(folders.recall("Kund"), "/home/anna/in");
    EXPECT_EQ(notices.told, std::vector<std::string>{"R9592 " + path + " 61"});
    EXPECT_EQ(dir.list(), std::vector<std::string>{"config"}) << "no temporary file left";

    EXPECT_EQ(
        std::vector<std::string>({userFoldersFile("/xdg", "/home/a"), userFoldersFile("", "/home/a"),
                                  userFoldersFile("relative", nullptr), userFoldersFile(nullptr, nullptr)}),
        std::vector<std::string>({"/xdg/vexla-admin/folders.ini", "/home/a/.config/vexla-admin/folders.ini", "", ""}));
}

}  // namespace
}  // namespace vexla
