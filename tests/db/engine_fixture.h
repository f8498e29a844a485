// A fresh booking database opened through the engine for every test, and a
// look at what is stored as another program sees it.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "db/sqlite_engine.h"
#include "tests/db/db_test_support.h"

namespace vexla::db::testing {

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        path = dir.file("booking.db");
        makeDatabase(path, kBookingSchema);
        reopen();
    }
    void reopen() {
        db.reset();
        auto opened = engine.OpenDatabase(path, true);
        ASSERT_TRUE(opened.ok()) << opened.error().description;
        db = std::move(*opened);
    }
    // What the file holds, read by the plain sqlite3 library (the database is
    // closed meanwhile and opened again afterwards).
    std::vector<std::string> stored(const std::string& sql) {
        if (db) (void)db->Close();
        auto rows = queryWithSqlite(path, sql);
        reopen();
        return rows;
    }
    long errorOf(const Status& s) const { return s.ok() ? 0 : s.error().number; }

    TempDir dir;
    std::string path;
    EngineSettings settings;
    SqliteEngine engine{settings};
    std::unique_ptr<Database> db;
};

}  // namespace vexla::db::testing
