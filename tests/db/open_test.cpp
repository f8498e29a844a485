// Opening files that are not (usable) databases: each gives the number the
// callers tell apart, and none of them is created or changed by the attempt.
#include <gtest/gtest.h>

#include <filesystem>

#include "db/sqlite_engine.h"
#include "tests/db/db_test_support.h"

namespace vexla::db {
namespace {

using testing::TempDir;

struct OpenCase {
    const char* name;
    const char* file;   // in the scratch folder ("" opens the empty path); a final '/' makes it a folder
    const char* bytes;  // written to the file first, or nullptr
    const char* sql;    // or a database made with this, or nullptr
    long cutTo;         // bytes the made database is cut to (a header that stops short); 0: not cut
    long expected;      // 0: opens
    const char* descriptionStart;
};

void PrintTo(const OpenCase& c, std::ostream* os) { *os << c.name; }

std::string prepare(const TempDir& d, const OpenCase& c) {
    std::string path = *c.file ? d.file(c.file) : "";
    if (!path.empty() && path.back() == '/') std::filesystem::create_directory(path.erase(path.size() - 1));
    if (c.bytes) testing::writeFile(path, c.bytes);
    if (c.sql) testing::makeDatabase(path, c.sql);
    if (c.cutTo) std::filesystem::resize_file(path, c.cutTo);
    return path;
}

class OpenFile : public ::testing::TestWithParam<OpenCase> {};

TEST_P(OpenFile, GivesTheEngineNumberAndLeavesTheFileAsItWas) {
    TempDir dir;
    const OpenCase& c = GetParam();
    const std::string path = prepare(dir, c);
    const long sizeBefore = testing::fileSize(path);
    SqliteEngine engine;
    for (const bool exclusive : {true, false}) {
        auto db = engine.OpenDatabase(path, exclusive);
        if (c.expected == 0) {
            ASSERT_TRUE(db.ok()) << db.error().description;
            EXPECT_TRUE((*db)->Close().ok());
            continue;
        }
        ASSERT_FALSE(db.ok()) << "exclusive " << exclusive;
        EXPECT_EQ(db.error().number, c.expected) << db.error().description;
        EXPECT_EQ(db.error().description.rfind(c.descriptionStart, 0), 0u) << db.error().description;
        EXPECT_NE(db.error().description.find("'" + path + "'"), std::string::npos) << db.error().description;
        EXPECT_EQ(db.error().source, "DAO.DBEngine");
    }
    EXPECT_EQ(testing::fileSize(path), sizeBefore);
    EXPECT_FALSE(testing::fileExists(path + "-journal"));
    EXPECT_FALSE(testing::fileExists(path + "-wal"));
    EXPECT_FALSE(testing::fileExists(path + ".lock"));
}

INSTANTIATE_TEST_SUITE_P(
    Files, OpenFile,
    ::testing::Values(
        OpenCase{"MissingFile", "missing.db", nullptr, nullptr, 0, 3024, "Could not find file "},
        OpenCase{"MissingFolder", "no/such/folder/x.db", nullptr, nullptr, 0, 3024, "Could not find file "},
        OpenCase{"EmptyPath", "", nullptr, nullptr, 0, 3024, "Could not find file "},
        OpenCase{"ZeroBytes", "zero.db", "", nullptr, 0, 3343, "Unrecognized database format "},
        OpenCase{"TextFile", "notes.db", "Det här är ingen databas.\r\nBara text.\r\n", nullptr, 0, 3343,
                 "Unrecognized database format "},
        OpenCase{"TruncatedDatabase", "short.db", nullptr, "CREATE TABLE t (x)", 50, 3049, "Cannot open database "},
        OpenCase{"Folder", "adir.db/", nullptr, nullptr, 0, 3051, "The database engine cannot open the file "},
        OpenCase{"RealDatabase", "ok.db", nullptr, testing::kBookingSchema, 0, 0, ""},
        OpenCase{"DatabaseWithoutTables", "bare.db", nullptr, "PRAGMA user_version = 3", 0, 0, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Open, ClosedDatabaseRefusesWork) {
    TempDir dir;
    testing::makeDatabase(dir.file("a.db"), testing::kBookingSchema);
    SqliteEngine engine;
    auto db = engine.OpenDatabase(dir.file("a.db"));
    ASSERT_TRUE(db.ok());
    ASSERT_TRUE((*db)->Close().ok());
    EXPECT_TRUE((*db)->Close().ok());
    EXPECT_EQ((*db)->Execute("DELETE FROM Kund").error().number, 3420);
    EXPECT_EQ((*db)->OpenRecordset("SELECT * FROM Kund").error().number, 3420);
}

}  // namespace
}  // namespace vexla::db
