// The one rule for the files vexla-transfer writes, for every writer: a
// regular file or nothing; a device, FIFO, socket or folder refused, also
// with --force; never the database nor its own files under any name; the
// standard streams written in place where the product is text and refused
// for a database.
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <memory>

#include "tests/db/db_test_support.h"
#include "tests/support/source_tree.h"
#include "tests/transfer/transfer_test_support.h"

namespace vexla {
namespace {

using namespace testing;

// The demo database and an import file whose third line repeats the second's ID.
struct Scene : World {
    Scene() { dir.write("in.skv", "ID;Name\r\n5001;Alfa\r\n5001;Beta\r\n"); }
    int run(Args line) { return World::run(line + Args{"--wait", "0"}); }
};

// A writer: its command line before the target's path.
struct Writer {
    const char* name;
    Args args;
};

// What stands at the target, made by `make` in the world (false: it cannot
// be made by this user), and the path the command line names.
struct Target {
    const char* name;
    std::function<bool(World&)> make;
    std::string path;  // "@" stands for the world's folder
};

const Writer kWriters[] = {
    {"Export", {"export", "--register", "kund", "--db", "@/bok.db", "--user", "admin", "--force", "--out"}},
    {"ImportReport",
     {"import", "--register", "kund", "--db", "@/bok.db", "--user", "admin", "--in", "@/in.skv", "--map", "auto",
      "--report"}},
    {"Recover", {"recover", "--db", "@/bok.db", "--force", "--out"}},
    {"Copy", {"copy", "--db", "@/bok.db", "--force", "--out"}},
};

bool nothing(World&) { return true; }
bool device(World& w) {
    return ::geteuid() == 0 && ::mknod(w.dir.file("node.db").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0;
}
bool fifo(World& w) { return ::mkfifo(w.dir.file("node.db").c_str(), 0600) == 0; }
bool socketNode(World& w) { return makeSocket(w.dir.file("node.db")); }
bool folder(World& w) { return ::mkdir(w.dir.file("node.db").c_str(), 0700) == 0; }
bool hardLink(World& w) { return ::link(w.db.c_str(), w.dir.file("other.db").c_str()) == 0; }
bool symbolicLink(World& w) { return ::symlink(w.db.c_str(), w.dir.file("other.db").c_str()) == 0; }
bool linkedFolder(World& w) { return ::symlink(w.dir.path().c_str(), w.dir.file("via").c_str()) == 0; }
bool companionThere(World& w) { return !w.dir.write("bok.db-journal", "").empty(); }

// The refusal's text code, which standard error gives with the target's path.
using Expected = const char*;

const std::pair<Target, Expected> kTargets[] = {
    {{"Device", device, "@/node.db"}, "R9151"},
    {{"Fifo", fifo, "@/node.db"}, "R9150"},
    {{"Socket", socketNode, "@/node.db"}, "R9152"},
    {{"Folder", folder, "@/node.db"}, "R9148"},
    {{"DevNull", nothing, "/dev/null"}, "R9151"},
    {{"Database", nothing, "@/bok.db"}, "R9600"},
    {{"Journal", nothing, "@/bok.db-journal"}, "R9600"},
    {{"JournalThere", companionThere, "@/bok.db-journal"}, "R9600"},
    {{"Wal", nothing, "@/bok.db-wal"}, "R9600"},
    {{"Shm", nothing, "@/bok.db-shm"}, "R9600"},
    {{"Lock", nothing, "@/bok.db.lock"}, "R9600"},
    {{"WalThroughALinkedFolder", linkedFolder, "@/via/bok.db-wal"}, "R9600"},
    {{"HardLink", hardLink, "@/other.db"}, "R9600"},
    {{"SymbolicLink", symbolicLink, "@/other.db"}, "R9600"},
};

class WriteTarget : public ::testing::TestWithParam<std::tuple<Writer, std::pair<Target, Expected>>> {};

TEST_P(WriteTarget, IsRefusedLeavingTheNodeAndTheDatabaseAlone) {
    const auto& [writer, target] = GetParam();
    Scene w;
    // The copy's rule gives a name without a dot ".db": /dev/null.db is a new file.
    if (std::string(writer.name) == "Copy" && target.first.path == "/dev/null") GTEST_SKIP() << "no device named";
    if (!target.first.make(w)) GTEST_SKIP() << "the node cannot be made by this user (a device needs root)";
    const std::string path = at(target.first.path, w.dir.path());
    // The copy refused its database by name before the rule was one.
    const bool copysOwn = std::string(writer.name) == "Copy" && path == w.db;
    struct stat node {
    }, database{};
    const bool there = ::lstat(path.c_str(), &node) == 0;
    ASSERT_EQ(::stat(w.db.c_str(), &database), 0);
    const std::string bytes = testing::fileBytes(w.db);

    Args line = writer.args;
    for (std::string& a : line) a = at(a, w.dir.path());
    line.push_back(path);
    EXPECT_EQ(w.run(line), 4);
    const std::string err = contents(w.err.get());
    EXPECT_NE(err.find(copysOwn ? "R1747" : target.second + (": " + path)), std::string::npos) << err;
    struct stat after {};
    EXPECT_EQ(::lstat(path.c_str(), &after) == 0, there);
    if (there) {
        EXPECT_EQ(after.st_mode & S_IFMT, node.st_mode & S_IFMT);
    }
    struct stat databaseAfter {};
    ASSERT_EQ(::stat(w.db.c_str(), &databaseAfter), 0);
    EXPECT_EQ(databaseAfter.st_ino, database.st_ino);
    EXPECT_EQ(testing::fileBytes(w.db), bytes);
}

INSTANTIATE_TEST_SUITE_P(Writers, WriteTarget,
                         ::testing::Combine(::testing::ValuesIn(kWriters), ::testing::ValuesIn(kTargets)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) + "_" +
                                    std::get<1>(info.param).first.name;
                         });

// The standard streams: written in place where the product is text,
// refused with their own message for a database, before anything changes.
struct StreamCase {
    const char* name;
    Args args;
    int status;
    const char* said;     // in standard error ("" for nothing in particular)
    int fd;               // the descriptor that carries the product
    const char* product;  // its start; "" for nothing written there
};

void PrintTo(const StreamCase& c, std::ostream* os) { *os << c.name; }

class StandardStream : public ::testing::TestWithParam<StreamCase> {};

TEST_P(StandardStream, IsWrittenInPlaceOrRefused) {
    const StreamCase& c = GetParam();
    Scene w;
    // The run's descriptor, a file here, stands for a pipe or a terminal.
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> carried{std::tmpfile(), std::fclose};
    const int fd = c.fd;
    std::fflush(nullptr);
    const int saved = ::dup(fd);
    ASSERT_GE(::dup2(::fileno(carried.get()), fd), 0);
    Args line = c.args;
    for (std::string& a : line) a = at(a, w.dir.path());
    const int status = w.run(line);
    std::fflush(nullptr);
    ::dup2(saved, fd);
    ::close(saved);
    EXPECT_EQ(status, c.status);
    const std::string product = contents(carried.get());
    if (*c.product) {
        EXPECT_EQ(product.rfind(c.product, 0), 0u) << product;
    } else {
        EXPECT_EQ(product, "");
    }
    EXPECT_NE(contents(w.err.get()).find(c.said), std::string::npos) << contents(w.err.get());
    for (const std::string name : {"-", "-.db", "stdout", "stderr", "stdout.db", "stderr.db"})
        EXPECT_FALSE(db::testing::fileExists(w.dir.file(name))) << name;
}

const Args kExportTo{"export", "--register", "kund", "--db", "@/bok.db", "--user", "admin", "--out"};
const Args kReportTo{"import", "--register", "kund",  "--db", "@/bok.db",  "--user",  "admin",
                     "--in",   "@/in.skv",   "--map", "auto", "--dry-run", "--report"};

const Args kCopyTo{"copy", "--db", "@/bok.db", "--out"}, kRecoverTo{"recover", "--db", "@/bok.db", "--out"};

INSTANTIATE_TEST_SUITE_P(
    Streams, StandardStream,
    ::testing::Values(
        StreamCase{"ExportToStandardError", kExportTo + Args{"/dev/stderr"}, 0, "", STDERR_FILENO, "ID;"},
        StreamCase{"ReportToStandardError", kReportTo + Args{"/dev/stderr"}, 5, "", STDERR_FILENO, "R9040 3: "},
        StreamCase{"ReportToDash", kReportTo + Args{"-"}, 5, "", STDOUT_FILENO, "R9040 3: "},
        StreamCase{"CopyToDash", kCopyTo + Args{"-"}, 4, "R9601: /dev/stdout", STDOUT_FILENO, ""},
        StreamCase{"CopyToStandardError", kCopyTo + Args{"/dev/stderr"}, 4, "R9601: /dev/stderr", STDERR_FILENO, ""},
        StreamCase{"RecoverToStandardOutput", kRecoverTo + Args{"/dev/stdout"}, 4, "R9601: /dev/stdout", STDOUT_FILENO,
                   ""},
        StreamCase{"RecoverToDash", Args{"recover", "--db", "@/bok.db", "--force", "--out", "-"}, 4,
                   "R9601: /dev/stdout", STDOUT_FILENO, ""}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vexla
