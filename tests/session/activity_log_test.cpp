#include "session/activity_log.h"
#include "session/job_context.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>

#include "tests/support/fake_platform.h"

namespace vexla {
namespace {

// The log of a program folder, with a file system that can be made to fail.
struct ActivityLogTest : ::testing::Test {
    testing::TempFolder dir;
    testing::FaultyFileSystem files;
    testing::FakeMessageBoxes messages;
    testing::BracketTexts texts;
    testing::FakeSystemLog systemLog;
    std::string folder = dir.path();
    ActivityLog log() { return ActivityLog(files, messages, texts, folder, systemLog); }
};

TEST_F(ActivityLogTest, AppendsWindows1252LinesWithCrLf) {
    dir.write("Logg.txt", "earlier line\r\n");
    ActivityLog log = this->log();
    log.Logg(" ");
    log.Logg("Komprimering påbörjad: 2026-12-04 22:15:07");
    log.LoggNotice("R9585: x");  // the system log has had it already
    EXPECT_EQ(dir.read("Logg.txt"),
              "earlier line\r\n \r\nKomprimering p\xE5"
              "b\xF6rjad: 2026-12-04 22:15:07\r\nR9585: x\r\n");
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(files.calls("openAppend"), 1);  // opened once, kept open
    EXPECT_EQ(systemLog.lines.size(), 1u);
}

// Each line with words also goes to the system log, UTF-8 and naming the
// user, its line breaks joined; a job's summary goes there alone. A log
// file that cannot be opened does not keep a line from the system log.
TEST_F(ActivityLogTest, MirrorsItsLinesToTheSystemLog) {
    files.failCall("openAppend", 1, Error{70, "Permission denied", "Vexla Admin", dir.file("Logg.txt"), "R9141"});
    ActivityLog log = this->log();
    log.Logg(" ");
    log.Logg("Komprimering påbörjad");
    log.Logg("61\r\nDisk full");
    log.toSystemLog(LogPriority::Error, "vexla-admin /a k R9570 3: " + folder + "/bok.db");
    using Line = std::pair<LogPriority, std::string>;
    EXPECT_EQ(
        systemLog.lines,
        (std::vector<Line>{{LogPriority::Info, "user tester: Komprimering påbörjad"},
                           {LogPriority::Info, "user tester: 61 Disk full"},
                           {LogPriority::Error, "user tester: vexla-admin /a k R9570 3: " + folder + "/bok.db"}}));
    EXPECT_FALSE(files.exists(dir.file("Logg.txt")));
}

// A log that cannot be opened is told once, naming the file; the run goes on
// without it. A refused permission is told as the group the user must join.
TEST_F(ActivityLogTest, FailedOpenIsToldOnceAndTheRunGoesOn) {
    const Error denied{70, "Permission denied", "Vexla Admin", dir.file("Logg.txt"), "R9141"};
    for (const auto& [failure, why] : {std::pair{std::optional(denied), std::string("[R9271]")},
                                       std::pair{std::optional<Error>(), std::string("76 [R9275] ([R9141]: ")}}) {
        SCOPED_TRACE(why);
        messages.shown.clear();
        if (failure)
            files.failCall("openAppend", 1, *failure);
        else
            folder = dir.file("gone");
        ActivityLog log = this->log();
        for (const char* line : {"first", "second", "third"}) log.Logg(line);
        log.closeAll();  // the next line opens anew, and fails anew
        if (failure) files.failCall("openAppend", 2, *failure);
        log.Logg("after closing");
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_EQ(messages.shown[0].text.rfind("[R9270]: " + folder + "/Logg.txt\r\n" + why, 0), 0u)
            << messages.shown[0].text;
        EXPECT_FALSE(files.exists(dir.file("Logg.txt")));
    }
}

// The next line after closing opens the log anew. A close that fails (a
// write the system deferred) is told as a failed write is.
TEST_F(ActivityLogTest, ReopensAfterAllFilesWereClosed) {
    files.failCall("close", 2, Error{61, "Disk full", "Vexla Admin", dir.file("Logg.txt"), "R9141"});
    ActivityLog log = this->log();
    log.Logg("a");
    log.closeAll();
    EXPECT_TRUE(messages.shown.empty());
    log.Logg("b");
    log.closeAll();
    EXPECT_EQ(dir.read("Logg.txt"), "a\r\nb\r\n");
    EXPECT_EQ(files.calls("openAppend"), 2);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text.rfind("[R9270]: " + folder + "/Logg.txt\r\n61 [R9277]", 0), 0u)
        << messages.shown[0].text;
}

}  // namespace
}  // namespace vexla

namespace vexla {
namespace {

// Wait= of Vexla.ini: digits up to a day; anything else, or none, is ten seconds.
TEST(ConfiguredWait, ReadsDigitsUpToADayElseTen) {
    testing::TempFolder dir;
    for (const auto& [line, seconds] : std::vector<std::pair<std::string, double>>{{"Wait=5", 5},
                                                                                   {"Wait=0", 0},
                                                                                   {"Wait=86400", 86400},
                                                                                   {"Wait=86401", 10},
                                                                                   {"Wait=-1", 10},
                                                                                   {"Wait=1.5", 10},
                                                                                   {"DataBas1=x", 10}}) {
        dir.write("Vexla.ini", "[Other]\r\nWait=3\r\n[System]\r\n" + line + "\r\n");
        EXPECT_EQ(configuredWait(dir.file("Vexla.ini")), seconds) << line;
    }
    EXPECT_EQ(configuredWait(dir.file("missing.ini")), 10);
}

// What stands at Logg.txt: the log is appended to a regular file, also
// through a symbolic link; anything else is refused with one message for
// the whole run (not one a line), and the node stays what it was.
struct LogTarget {
    const char* name;
    // Makes the node at `log` (the real file behind a link: `real`); false
    // when it cannot be made here.
    std::function<bool(const std::string& log, const std::string& real)> make;
    const char* refusal;  // the text code of the refusal; "" when appended to
};

void PrintTo(const LogTarget& t, std::ostream* os) { *os << t.name; }

class ActivityLogAt : public ActivityLogTest, public ::testing::WithParamInterface<LogTarget> {};

TEST_P(ActivityLogAt, AppendsToAFileOrRefusesOnce) {
    const LogTarget& t = GetParam();
    const std::string log = dir.file("Logg.txt"), real = dir.file("real.txt");
    if (!t.make(log, real)) GTEST_SKIP() << "the node cannot be made by this user (a device needs root)";
    struct stat before {};
    ASSERT_EQ(::lstat(log.c_str(), &before), 0);
    {
        ActivityLog log = this->log();
        for (const char* line : {"a", "b", "c"}) log.Logg(line);
        log.closeAll();
        log.Logg("d");  // opened again: still one message
    }
    if (*t.refusal == 0) {
        EXPECT_TRUE(messages.shown.empty());
        EXPECT_EQ(dir.read("real.txt"), "old\r\na\r\nb\r\nc\r\nd\r\n");
    } else {
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_NE(messages.shown[0].text.find(std::string("[") + t.refusal + "]"), std::string::npos)
            << messages.shown[0].text;
    }
    struct stat after {};
    ASSERT_EQ(::lstat(log.c_str(), &after), 0);
    EXPECT_EQ(after.st_mode & S_IFMT, before.st_mode & S_IFMT);
    EXPECT_EQ(after.st_ino, before.st_ino);
}

bool regularBehindALink(const std::string& log, const std::string& real) {
    std::ofstream(real, std::ios::binary) << "old\r\n";
    return ::symlink(real.c_str(), log.c_str()) == 0;
}

bool fifo(const std::string& log, const std::string&) { return ::mkfifo(log.c_str(), 0600) == 0; }

bool socketAt(const std::string& log, const std::string&) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (fd < 0 || log.size() >= sizeof address.sun_path) return false;
    log.copy(address.sun_path, log.size());
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return bound;
}

INSTANTIATE_TEST_SUITE_P(
    Nodes, ActivityLogAt,
    ::testing::Values(
        LogTarget{"LinkToARegularFile", regularBehindALink, ""}, LogTarget{"Fifo", fifo, "R9150"},
        LogTarget{"LinkToAFifo",
                  [](const std::string& log, const std::string& real) {
                      return fifo(real, real) && ::symlink(real.c_str(), log.c_str()) == 0;
                  },
                  "R9150"},
        LogTarget{"Folder", [](const std::string& log, const std::string&) { return ::mkdir(log.c_str(), 0700) == 0; },
                  "R9148"},
        LogTarget{"Socket", socketAt, "R9152"},
        LogTarget{"Device",
                  [](const std::string& log, const std::string&) {
                      return ::geteuid() == 0 && ::mknod(log.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0;
                  },
                  "R9151"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vexla
