// vexla-sampledb: the demo database as the registers and the login need it,
// the same for the same seed, never written over an existing file, and a
// clean variant holding only what a register file carries back.
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <tuple>

#include "db/sqlite_engine.h"
#include "registers/field_catalogue.h"
#include "tests/db/db_test_support.h"

namespace vexla::db {
namespace {

using testing::TempDir;

int runSampledb(const std::string& args) {
    const std::string command = testing::programDir() + "/vexla-sampledb " + args + " >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// What one register holds, read through the engine.
struct RegisterFacts {
    std::set<std::string> unknownColumns;
    bool semicolon = false, quote = false, crlf = false, loneLineBreak = false, nullOutsideText = false;
    std::set<int> types;
    long rows = 0;
};

RegisterFacts facts(Database& db, const std::string& table) {
    RegisterFacts f;
    const auto rs = db.OpenRecordset("SELECT * FROM " + table).value();
    Recordset& r = *rs;
    for (int i = 0; i < r.FieldCount(); ++i) {
        if (KolumnTillRubrik(r.name(i), "se").empty()) f.unknownColumns.insert(r.name(i));  // not in the catalogue
        f.types.insert(r.type(i));
    }
    for (; !r.Eof(); (void)r.MoveNext(), ++f.rows) {
        for (int i = 0; i < r.FieldCount(); ++i) {
            const RawValue v = r.raw(i);
            const bool text = r.type(i) == dao::Text || r.type(i) == dao::Memo;
            if (v.kind == RawValue::Kind::Null && !text) f.nullOutsideText = true;
            if (v.kind != RawValue::Kind::Text || !text) continue;
            f.semicolon |= v.text.find(';') != std::string_view::npos;
            f.quote |= v.text.find_first_of("'\"") != std::string_view::npos;
            f.crlf |= v.text.find("\r\n") != std::string_view::npos;
            const std::string_view t = v.text;
            for (std::size_t k = t.find_first_of("\r\n"); k != t.npos; k = t.find_first_of("\r\n", k + 2))
                f.loneLineBreak |= t.compare(k, 2, "\r\n") != 0;
        }
    }
    return f;
}

TEST(Sampledb, RefusesToWriteOverAnything) {
    TempDir dir;
    testing::writeFile(dir.file("taken.db"), "viktigt");
    for (const std::string& args : {dir.file("taken.db"), dir.file("saknas/ny.db"), dir.file("x.db") + " --bookings",
                                    dir.file("x.db") + " --bookings -5"})
        EXPECT_NE(runSampledb(args), 0) << args;
    EXPECT_EQ(dir.read("taken.db"), "viktigt");
    EXPECT_FALSE(testing::fileExists(dir.file("x.db")));
}

TEST(Sampledb, SameSeedSameFile) {
    TempDir dir;
    for (const char* file : {"a.db", "b.db"})
        ASSERT_EQ(runSampledb(dir.file(file) + " --customers 30 --resources 6 --bookings 300 --seed 4"), 0);
    EXPECT_EQ(dir.read("a.db"), dir.read("b.db"));
}

class SampleVariants : public ::testing::TestWithParam<bool> {};

TEST_P(SampleVariants, HoldWhatTheRegistersAndTheLoginNeed) {
    const bool clean = GetParam();
    TempDir dir;
    const std::string size = " --customers 120 --resources 25 --bookings 2000";
    ASSERT_EQ(runSampledb(dir.file("demo.db") + size + (clean ? " --clean" : "")), 0);
    SqliteEngine engine;
    auto db = engine.OpenDatabase(dir.file("demo.db"));
    ASSERT_TRUE(db.ok()) << db.error().description;
    EXPECT_EQ((*db)->TableNames().value(),
              (std::vector<std::string>{"Kund", "Person", "Bokning", "PrelBokning", "Users"}));

    const RegisterFacts kund = facts(**db, "Kund"), person = facts(**db, "Person"), bokning = facts(**db, "Bokning");
    EXPECT_EQ((std::vector<long>{kund.rows, person.rows, bokning.rows, (*db)->TableRecordCount("PrelBokning").value()}),
              (std::vector<long>{123, 25, 2000, 200}));
    for (const RegisterFacts* f : {&kund, &person, &bokning})
        EXPECT_EQ(std::make_tuple(f->unknownColumns.empty(), f->nullOutsideText, f->loneLineBreak, f->crlf),
                  std::make_tuple(clean, !clean, false, true));
    EXPECT_EQ(std::make_pair(kund.semicolon || person.semicolon || bokning.semicolon,
                             kund.quote || person.quote || bokning.quote),
              std::make_pair(!clean, !clean));
    EXPECT_EQ(bokning.types, (std::set<int>{dao::Boolean, dao::Long, dao::Double, dao::Date, dao::Text, dao::Memo}));

    // Placeholder customers stay out of "ID > -1"; dates come with and without a time, and as times alone.
    EXPECT_FALSE((*db)->OpenRecordset("SELECT * FROM Kund WHERE ID < 0").value()->Eof());
    const auto person1 = (*db)->OpenRecordset("SELECT AnstStart, MaxTid FROM Person WHERE ID = 1").value();
    EXPECT_TRUE(std::get<DateTime>(person1->value(0).value()).isMidnight());
    EXPECT_TRUE(std::get<DateTime>(person1->value(1).value()).isZeroDate());
}

INSTANTIATE_TEST_SUITE_P(Variants, SampleVariants, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Clean" : "Full"; });

}  // namespace
}  // namespace vexla::db
