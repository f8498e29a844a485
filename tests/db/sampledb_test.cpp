// vexla-sampledb: the demo database as the registers and the login need it,
// the same for the same seed, never written over an existing file, and a
// clean variant holding only what a register file carries back.
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>

#include "db/sqlite_engine.h"
#include "login/kryptera.h"
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
    bool semicolon = false, quote = false, crlf = false, loneLineBreak = false;
    bool nullOutsideText = false;
    std::set<int> types;
    long rows = 0;
};

RegisterFacts facts(Database& db, const std::string& table) {
    RegisterFacts f;
    auto rs = db.OpenRecordset("SELECT * FROM " + table);
    EXPECT_TRUE(rs.ok());
    if (!rs.ok()) return f;
    Recordset& r = **rs;
    for (int i = 0; i < r.FieldCount(); ++i) {
        if (KolumnTillRubrik(r.name(i), "se").empty()) f.unknownColumns.insert(r.name(i));  // not in the catalogue
        f.types.insert(r.type(i));
    }
    for (; !r.Eof(); r.MoveNext(), ++f.rows) {
        for (int i = 0; i < r.FieldCount(); ++i) {
            const RawValue v = r.raw(i);
            const bool text = r.type(i) == dao::Text || r.type(i) == dao::Memo;
            if (v.kind == RawValue::Kind::Null && !text) f.nullOutsideText = true;
            if (v.kind != RawValue::Kind::Text || !text) continue;
            f.semicolon |= v.text.find(';') != std::string_view::npos;
            f.quote |= v.text.find_first_of("'\"") != std::string_view::npos;
            f.crlf |= v.text.find("\r\n") != std::string_view::npos;
            const std::string_view rest = v.text;
            for (std::size_t k = rest.find_first_of("\r\n"); k != rest.npos; k = rest.find_first_of("\r\n", k + 2))
                f.loneLineBreak |= rest.compare(k, 2, "\r\n") != 0;
        }
    }
    return f;
}

TEST(Sampledb, RefusesToWriteOverAnything) {
    TempDir dir;
    testing::writeFile(dir.file("taken.db"), "viktigt");
    EXPECT_NE(runSampledb(dir.file("taken.db")), 0);
    EXPECT_EQ(dir.read("taken.db"), "viktigt");
    EXPECT_NE(runSampledb(dir.file("saknas/ny.db")), 0);
    EXPECT_NE(runSampledb(dir.file("x.db") + " --bookings"), 0);
    EXPECT_NE(runSampledb(dir.file("y.db") + " --bookings -5"), 0);
    EXPECT_FALSE(testing::fileExists(dir.file("x.db")));
}

TEST(Sampledb, SameSeedSameFileOtherSeedOtherFile) {
    TempDir dir;
    const std::string small = " --customers 30 --resources 6 --bookings 300";
    ASSERT_EQ(runSampledb(dir.file("a.db") + small + " --seed 4"), 0);
    ASSERT_EQ(runSampledb(dir.file("b.db") + small + " --seed 4"), 0);
    ASSERT_EQ(runSampledb(dir.file("c.db") + small + " --seed 5"), 0);
    EXPECT_EQ(dir.read("a.db"), dir.read("b.db"));
    EXPECT_NE(dir.read("a.db"), dir.read("c.db"));
}

class SampleVariants : public ::testing::TestWithParam<bool> {};

TEST_P(SampleVariants, HoldWhatTheRegistersAndTheLoginNeed) {
    const bool clean = GetParam();
    TempDir dir;
    ASSERT_EQ(runSampledb(dir.file("demo.db") + " --customers 120 --resources 25 --bookings 2000" +
                          (clean ? " --clean" : "")),
              0);
    SqliteEngine engine;
    auto db = engine.OpenDatabase(dir.file("demo.db"));
    ASSERT_TRUE(db.ok()) << db.error().description;
    EXPECT_EQ((*db)->TableNames().value(),
              (std::vector<std::string>{"Kund", "Person", "Bokning", "PrelBokning", "Users"}));

    const RegisterFacts kund = facts(**db, "Kund"), person = facts(**db, "Person"), bokning = facts(**db, "Bokning");
    EXPECT_EQ(kund.rows, 123);
    EXPECT_EQ(person.rows, 25);
    EXPECT_EQ(bokning.rows, 2000);
    EXPECT_EQ((*db)->TableRecordCount("PrelBokning").value(), 200);
    for (const RegisterFacts* f : {&kund, &person, &bokning}) {
        EXPECT_EQ(f->unknownColumns.empty(), clean);
        EXPECT_EQ(f->nullOutsideText, !clean);
        EXPECT_FALSE(f->loneLineBreak);
    }
    EXPECT_EQ(kund.semicolon || person.semicolon || bokning.semicolon, !clean);
    EXPECT_EQ(kund.quote || person.quote || bokning.quote, !clean);
    EXPECT_TRUE(kund.crlf && person.crlf && bokning.crlf);
    EXPECT_EQ(bokning.types, (std::set<int>{dao::Boolean, dao::Long, dao::Double, dao::Date, dao::Text, dao::Memo}));

    // Placeholder customers stay out of "ID > -1"; dates come with and without a time, and as times alone.
    auto placeholders = (*db)->OpenRecordset("SELECT * FROM Kund WHERE ID < 0");
    ASSERT_TRUE(placeholders.ok());
    EXPECT_FALSE((*placeholders)->Eof());
    auto person1 = (*db)->OpenRecordset("SELECT AnstStart, MaxTid FROM Person WHERE ID = 1");
    ASSERT_TRUE(person1.ok());
    EXPECT_TRUE(std::get<DateTime>((*person1)->value(0).value()).isMidnight());
    EXPECT_TRUE(std::get<DateTime>((*person1)->value(1).value()).isZeroDate());

    // The demo logins.
    for (const auto& [name, group] : {std::pair<const char*, std::int64_t>{"admin", 1}, {"Anna", 2}}) {
        auto rs = (*db)->OpenRecordset("SELECT * FROM Users WHERE Namn = ? AND Losenord = '" +
                                           KrypteraLösenord("vexla") + "'",
                                       {Variant(std::string(name))});
        ASSERT_TRUE(rs.ok());
        ASSERT_FALSE((*rs)->Eof()) << name;
        EXPECT_EQ((*rs)->Fields("GruppID")->Value().value(), Variant(group));
    }
}

INSTANTIATE_TEST_SUITE_P(Variants, SampleVariants, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Clean" : "Full"; });

}  // namespace
}  // namespace vexla::db
