// Opening with our fence against real second processes: a sqlite3 shell
// inside a transaction that keeps readers out, vexla-holddb holding the
// database, and vexla-holddb --fence holding only our lock. Each keeps us
// out with 3356 once the wait is over; once it lets go, we get in.
#include <fcntl.h>
#include <pwd.h>
#include <unistd.h>

#include <tuple>

#include "db/errors.h"
#include "db/lock_file.h"
#include "tests/db/engine_fixture.h"

namespace vexla::db {
namespace {

using testing::Child;
using testing::EngineTest;

// Our tools lock beside the file; the shell does not.
struct Occupant {
    const char* name;
    const char* transaction;  // the shell's; nullptr: vexla-holddb
    bool fence;
};

void PrintTo(const Occupant& h, std::ostream* os) { *os << h.name; }

class HeldByAnotherProcess : public EngineTest, public ::testing::WithParamInterface<Occupant> {};

TEST_P(HeldByAnotherProcess, RefusesWith3356UntilReleased) {
    const Occupant& h = GetParam();
    const std::string shell = testing::findOnPath("sqlite3");
    if (h.transaction && shell.empty()) GTEST_SKIP() << "no sqlite3 shell";
    db.reset();
    engine.SetWait(0.2);
    Child holder(h.transaction ? shell : testing::programDir() + "/vexla-holddb",
                 h.fence ? std::vector<std::string>{"--fence", path} : std::vector<std::string>{path});
    holder.write(h.transaction ? h.transaction + std::string("\n.system echo ready\n") : "");
    ASSERT_TRUE(holder.waitForLine(h.transaction ? "ready" : "holding"));
    auto refused = engine.OpenDatabase(path, true);
    ASSERT_FALSE(refused.ok());
    EXPECT_EQ(refused.error().number, 3356);
    EXPECT_NE(refused.error().description.find("on machine '" + localHostName() + "'"), std::string::npos);
    // Our lock file names the holder; the shell's lock names nobody.
    const Holder& named = refused.error().holder;
    const Holder expected = h.transaction ? Holder{}
                                          : Holder{"vexla-holddb", ::getpwuid(::geteuid())->pw_name, localHostName(),
                                                   static_cast<long>(holder.pid())};
    EXPECT_EQ(std::tie(named.program, named.user, named.host, named.pid),
              std::tie(expected.program, expected.user, expected.host, expected.pid));
    // The refused attempt leaves the holder's lock file alone (or makes none).
    EXPECT_EQ(testing::fileExists(path + ".lock"), !h.transaction);
    holder.stop();
    reopen();
}

INSTANTIATE_TEST_SUITE_P(Holders, HeldByAnotherProcess,
                         ::testing::Values(Occupant{"SqliteShellExclusive", "BEGIN EXCLUSIVE;", false},
                                           Occupant{"Holddb", nullptr, false}, Occupant{"HolddbFence", nullptr, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// What a lock file may hold: our line, an older version's (no program and
// user), or something that names nobody.
TEST(LockFileHolder, ReadsWhatTheHolderWrote) {
    using Row = std::tuple<const char*, const char*, const char*, const char*, long>;
    for (const auto& [line, program, user, host, pid] :
         {Row{"box 1234 vexla-transfer anna\n", "vexla-transfer", "anna", "box", 1234},
          Row{"box 77\n", "", "", "box", 77}, Row{"box 77 vexla-admin\nrest", "vexla-admin", "", "box", 77},
          Row{"box x12 vexla-admin anna\n", "", "", "", 0}, Row{"box -3 vexla-admin anna", "", "", "", 0},
          Row{"box 0 vexla-admin anna", "", "", "", 0}, Row{"box\n", "", "", "", 0}, Row{"", "", "", "", 0}}) {
        const Holder h = parseHolderLine(line);
        EXPECT_EQ(std::tie(h.program, h.user, h.host, h.pid), std::tie(program, user, host, pid)) << line;
    }
}

TEST_F(EngineTest, ClosingAnotherDescriptorOfTheLockFileKeepsTheLock) {
    // A classic POSIX record lock would be dropped by this close().
    const int fd = ::open((path + ".lock").c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    ::close(fd);
    EXPECT_FALSE(Child(testing::programDir() + "/vexla-holddb", {"--fence", path}).waitForLine("holding", 1500));
}

}  // namespace
}  // namespace vexla::db
