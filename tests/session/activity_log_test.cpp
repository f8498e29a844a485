#include "session/activity_log.h"

#include <gtest/gtest.h>

#include "tests/support/fake_platform.h"

namespace vexla {
namespace {

// The log of a program folder, with a file system that can be made to fail.
struct ActivityLogTest : ::testing::Test {
    testing::TempFolder dir;
    testing::FaultyFileSystem files;
    testing::FakeMessageBoxes messages;
    std::string folder = dir.path();
    ActivityLog log() { return ActivityLog(files, messages, folder); }
};

TEST_F(ActivityLogTest, AppendsWindows1252LinesWithCrLf) {
    dir.write("Logg.txt", "earlier line\r\n");
    ActivityLog log = this->log();
    log.Logg(" ");
    log.Logg("Komprimering påbörjad: 2026-12-04 22:15:07");
    EXPECT_EQ(dir.read("Logg.txt"),
              "earlier line\r\n \r\nKomprimering p\xE5"
              "b\xF6rjad: 2026-12-04 22:15:07\r\n");
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(files.calls("openAppend"), 1);  // opened once, kept open
}

TEST_F(ActivityLogTest, FailedOpenIsReportedOnEveryLaterCall) {
    files.failCall("openAppend", 1, Error{70, "Permission denied", "Vexla Admin"});
    ActivityLog log = this->log();
    log.Logg("first");
    log.Logg("second");
    log.Logg("third");
    const auto box = [](const std::string& text) {
        return testing::ShownBox{text + " in procedure Logg of Form frmAdmin", "Vexla Admin", MsgIcon::None,
                                 MsgButtons::Ok};
    };
    const auto again = box("Error 52 (Bad file name or number)");
    EXPECT_EQ(messages.shown, (std::vector<testing::ShownBox>{box("Error 70 (Permission denied)"), again, again}));
    EXPECT_EQ(files.calls("openAppend"), 1);  // the number stays assigned: no second open
    EXPECT_FALSE(files.exists(dir.file("Logg.txt")));
}

TEST_F(ActivityLogTest, ReopensAfterAllFilesWereClosed) {
    ActivityLog log = this->log();
    log.Logg("a");
    log.closeAll();
    log.Logg("b");
    EXPECT_EQ(dir.read("Logg.txt"), "a\r\nb\r\n");
    EXPECT_EQ(files.calls("openAppend"), 2);
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(ActivityLogTest, MissingProgramFolderIsReportedAsPathNotFound) {
    folder = dir.file("gone");
    log().Logg("x");
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text,
              "Error 76 (Path not found: " + folder + "/Logg.txt) in procedure Logg of Form frmAdmin");
}

}  // namespace
}  // namespace vexla
