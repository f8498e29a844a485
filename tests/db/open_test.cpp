// Opening files that are not (usable) databases: each gives the number the
// callers tell apart, and none of them is created or changed by the attempt.
#include <gtest/gtest.h>

#include <filesystem>

#include "db/sqlite_engine.h"
#include "tests/db/db_test_support.h"

namespace vexla::db {
namespace {

using testing::TempDir;

TEST(Open, FileGivesTheEngineNumberAndIsLeftAsItWas) {
    // file: in the scratch folder ("" opens the empty path), a final '/' makes it a folder; written with bytes
    // or made a database by sql (each nullptr: not); cut to cutTo bytes (a header that stops short; 0: not cut).
    struct OpenCase {
        const char *file, *bytes, *sql;
        long cutTo, expected;  // expected: the error number, 0: opens
        const char* descriptionStart;
    };
    for (const OpenCase& c : {OpenCase{"missing.db", nullptr, nullptr, 0, 3024, "Could not find file "},
                              OpenCase{"", nullptr, nullptr, 0, 3024, "Could not find file "},
                              OpenCase{"zero.db", "", nullptr, 0, 3343, "Unrecognized database format "},
                              OpenCase{"notes.db", "Det här är ingen databas.\r\nBara text.\r\n", nullptr, 0, 3343,
                                       "Unrecognized database format "},
                              OpenCase{"short.db", nullptr, "CREATE TABLE t (x)", 50, 3049, "Cannot open database "},
                              // A refusal the system's answer words: no description, the file named.
                              OpenCase{"adir.db/", nullptr, nullptr, 0, 9640, nullptr},
                              OpenCase{"ok.db", nullptr, testing::kBookingSchema, 0, 0, ""},
                              OpenCase{"bare.db", nullptr, "PRAGMA user_version = 3", 0, 0, ""}}) {
        SCOPED_TRACE(c.file);
        TempDir dir;
        std::string path = *c.file ? dir.file(c.file) : "";
        if (!path.empty() && path.back() == '/') std::filesystem::create_directory(path.erase(path.size() - 1));
        if (c.bytes) testing::writeFile(path, c.bytes);
        if (c.sql) testing::makeDatabase(path, c.sql);
        if (c.cutTo) std::filesystem::resize_file(path, c.cutTo);
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
            if (!c.descriptionStart) {
                EXPECT_EQ(db.error().description, "");
                EXPECT_EQ(db.error().file, path);
            } else {
                EXPECT_EQ(db.error().description.rfind(c.descriptionStart, 0), 0u) << db.error().description;
                EXPECT_NE(db.error().description.find("'" + path + "'"), std::string::npos) << db.error().description;
            }
            EXPECT_EQ(db.error().source, "DAO.DBEngine");
        }
        EXPECT_EQ(testing::fileSize(path), sizeBefore);
        for (const char* left : {"-journal", "-wal", ".lock"}) EXPECT_FALSE(testing::fileExists(path + left)) << left;
    }
}

}  // namespace
}  // namespace vexla::db
