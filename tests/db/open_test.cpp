// Opening files that are not (usable) databases: each gives the number the
// callers tell apart, and none of them is created or changed by the attempt.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <random>

#include "db/sqlite_engine.h"
#include "tests/db/db_test_support.h"

namespace vexla::db {
namespace {

using testing::TempDir;

struct OpenCase {
    const char* name;
    // Prepares the scratch folder; returns the path to open.
    std::string (*prepare)(const TempDir&);
    long expected;  // 0: opens
    const char* descriptionStart;
};

void PrintTo(const OpenCase& c, std::ostream* os) { *os << c.name; }

std::string missingFile(const TempDir& d) { return d.file("missing.db"); }
std::string missingFolder(const TempDir& d) { return d.file("no/such/folder/x.db"); }
std::string emptyPath(const TempDir&) { return ""; }
std::string zeroBytes(const TempDir& d) {
    testing::writeFile(d.file("zero.db"), "");
    return d.file("zero.db");
}
std::string textFile(const TempDir& d) {
    testing::writeFile(d.file("notes.db"), "Det här är ingen databas.\r\nBara text.\r\n");
    return d.file("notes.db");
}
std::string randomBytes(const TempDir& d) {
    std::mt19937 gen(7);
    std::string bytes(8192, '\0');
    for (char& c : bytes) c = static_cast<char>(gen());
    testing::writeFile(d.file("random.db"), bytes);
    return d.file("random.db");
}
std::string folder(const TempDir& d) {
    ::mkdir(d.file("adir.db").c_str(), 0755);
    return d.file("adir.db");
}
std::string truncatedDatabase(const TempDir& d) {
    // The first 50 bytes of a real database: a header that stops short.
    testing::makeDatabase(d.file("full.db"), "CREATE TABLE t (x)");
    FILE* f = std::fopen(d.file("full.db").c_str(), "rb");
    std::string head(50, '\0');
    const size_t n = std::fread(head.data(), 1, head.size(), f);
    std::fclose(f);
    head.resize(n);
    testing::writeFile(d.file("short.db"), head);
    return d.file("short.db");
}
std::string realDatabase(const TempDir& d) {
    testing::makeDatabase(d.file("ok.db"), testing::kBookingSchema);
    return d.file("ok.db");
}
std::string tablelessDatabase(const TempDir& d) {
    testing::makeDatabase(d.file("bare.db"), "PRAGMA user_version = 3");
    return d.file("bare.db");
}

class OpenFile : public ::testing::TestWithParam<OpenCase> {};

TEST_P(OpenFile, GivesTheEngineNumberAndLeavesTheFileAsItWas) {
    TempDir dir;
    const OpenCase& c = GetParam();
    const std::string path = c.prepare(dir);
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
    ::testing::Values(OpenCase{"MissingFile", missingFile, 3024, "Could not find file "},
                      OpenCase{"MissingFolder", missingFolder, 3024, "Could not find file "},
                      OpenCase{"EmptyPath", emptyPath, 3024, "Could not find file "},
                      OpenCase{"ZeroBytes", zeroBytes, 3343, "Unrecognized database format "},
                      OpenCase{"TextFile", textFile, 3343, "Unrecognized database format "},
                      OpenCase{"RandomBytes", randomBytes, 3343, "Unrecognized database format "},
                      OpenCase{"TruncatedDatabase", truncatedDatabase, 3049, "Cannot open database "},
                      OpenCase{"Folder", folder, 3051, "The database engine cannot open the file "},
                      OpenCase{"RealDatabase", realDatabase, 0, ""},
                      OpenCase{"DatabaseWithoutTables", tablelessDatabase, 0, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Open, NeverCreatesAFile) {
    TempDir dir;
    SqliteEngine engine;
    ASSERT_FALSE(engine.OpenDatabase(dir.file("new.db")).ok());
    EXPECT_FALSE(testing::fileExists(dir.file("new.db")));
    EXPECT_FALSE(testing::fileExists(dir.file("new.db.lock")));
}

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
