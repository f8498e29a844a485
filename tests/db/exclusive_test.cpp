// Exclusive opening against real second processes: a sqlite3 shell inside a
// transaction, vexla-holddb holding the database, and vexla-holddb --fence
// holding only our lock. Each keeps us out with 3356; once it lets go, we
// get in. And while we hold it, nobody else gets in.
#include <fcntl.h>
#include <unistd.h>

#include "db/errors.h"
#include "tests/db/engine_fixture.h"

namespace vexla::db {
namespace {

using testing::Child;
using testing::EngineTest;

// Our tools lock beside the file; the shell does not.
struct Holder {
    const char* name;
    const char* transaction;  // the shell's; nullptr: vexla-holddb
    bool fence;
};

void PrintTo(const Holder& h, std::ostream* os) { *os << h.name; }

class HeldByAnotherProcess : public EngineTest, public ::testing::WithParamInterface<Holder> {};

TEST_P(HeldByAnotherProcess, RefusesWith3356UntilReleased) {
    const Holder& h = GetParam();
    const std::string shell = testing::findOnPath("sqlite3");
    if (h.transaction && shell.empty()) GTEST_SKIP() << "no sqlite3 shell";
    db.reset();
    Child holder(h.transaction ? shell : testing::programDir() + "/vexla-holddb",
                 h.fence ? std::vector<std::string>{"--fence", path} : std::vector<std::string>{path});
    holder.write(h.transaction ? h.transaction + std::string("\n.system echo ready\n") : "");
    ASSERT_TRUE(holder.waitForLine(h.transaction ? "ready" : "holding"));
    auto refused = engine.OpenDatabase(path, true);
    ASSERT_FALSE(refused.ok());
    EXPECT_EQ(refused.error().number, 3356);
    EXPECT_NE(refused.error().description.find("on machine '" + localHostName() + "'"), std::string::npos);
    // The refused attempt leaves the holder's lock file alone (or makes none).
    EXPECT_EQ(testing::fileExists(path + ".lock"), !h.transaction);
    holder.stop();
    reopen();
}

INSTANTIATE_TEST_SUITE_P(Holders, HeldByAnotherProcess,
                         ::testing::Values(Holder{"SqliteShellExclusive", "BEGIN EXCLUSIVE;", false},
                                           Holder{"SqliteShellReading", "BEGIN; SELECT count(*) FROM Kund;", false},
                                           Holder{"Holddb", nullptr, false}, Holder{"HolddbFence", nullptr, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(EngineTest, ClosingAnotherDescriptorOfTheLockFileKeepsTheLock) {
    // A classic POSIX record lock would be dropped by this close().
    const int fd = ::open((path + ".lock").c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    ::close(fd);
    EXPECT_FALSE(Child(testing::programDir() + "/vexla-holddb", {"--fence", path}).waitForLine("holding", 1500));
}

}  // namespace
}  // namespace vexla::db
