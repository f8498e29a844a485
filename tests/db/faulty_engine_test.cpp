// The fault-injecting engine fails exactly the planned call of each
// operation and lets every other call through to the real engine.
#include "tests/db/engine_fixture.h"
#include "tests/db/faulty_engine.h"

namespace vexla::db {
namespace {

struct Operation {
    const char* name;
    Status (*run)(DBEngine&, Database&, const std::string& path);
};

void PrintTo(const Operation& o, std::ostream* os) { *os << o.name; }

Status status(const auto& result) { return result.ok() ? Status() : Status(result.error()); }

class Injected : public testing::EngineTest, public ::testing::WithParamInterface<Operation> {};

TEST_P(Injected, OnlyTheSecondCallFails) {
    db->Close();
    testing::FaultyEngine faulty(engine);
    const Error planted{61, "Disk full", "test"};
    faulty.plan().failOn(GetParam().name, 2, planted);
    auto opened = faulty.OpenDatabase(path, true);
    ASSERT_TRUE(opened.ok());
    Database& fdb = **opened;
    ASSERT_TRUE(GetParam().run(faulty, fdb, dir.path()).ok());
    const Status second = GetParam().run(faulty, fdb, dir.path());
    ASSERT_FALSE(second.ok());
    EXPECT_EQ(second.error().number, 61);
    EXPECT_TRUE(GetParam().run(faulty, fdb, dir.path()).ok());
    EXPECT_GE(faulty.plan().calls(GetParam().name), 3);
}

INSTANTIATE_TEST_SUITE_P(
    Operations, Injected,
    ::testing::Values(
        Operation{"Execute", [](DBEngine&, Database& db, const std::string&) {
                      return db.Execute("DELETE FROM Bokning");
                  }},
        Operation{"OpenRecordset", [](DBEngine&, Database& db, const std::string&) {
                      return status(db.OpenRecordset("SELECT * FROM Users"));
                  }},
        Operation{"MoveNext", [](DBEngine&, Database& db, const std::string&) {
                      auto rs = db.OpenRecordset("SELECT * FROM Users");
                      return rs.ok() ? (*rs)->MoveNext() : Status(rs.error());
                  }},
        Operation{"PreparedExecute", [](DBEngine&, Database& db, const std::string&) {
                      auto p = db.Prepare("DELETE FROM Kund WHERE ID = ?");
                      if (!p.ok()) return Status(p.error());
                      (*p)->BindBare(0, "5");
                      return (*p)->Execute();
                  }},
        Operation{"TableNames", [](DBEngine&, Database& db, const std::string&) { return status(db.TableNames()); }},
        Operation{"CompactDatabase", [](DBEngine& e, Database&, const std::string& dir) {
                      static int n = 0;
                      testing::makeDatabase(dir + "/src" + std::to_string(++n) + ".db", "CREATE TABLE t (x)");
                      return e.CompactDatabase(dir + "/src" + std::to_string(n) + ".db",
                                               dir + "/out" + std::to_string(n) + ".db");
                  }},
        Operation{"FenceDatabase", [](DBEngine& e, Database&, const std::string& dir) {
                      return status(e.FenceDatabase(dir + "/other.db"));
                  }}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vexla::db
