#include "login/validera.h"

#include <gtest/gtest.h>

#include "db/sqlite_engine.h"
#include "login/kryptera.h"
#include "tests/db/db_test_support.h"
#include "tests/support/fake_platform.h"

namespace vexla {
namespace {

using db::testing::Child;
using db::testing::TempDir;

// A booking database with the users the cases need.
std::string usersDatabase(const TempDir& dir) {
    const std::string path = dir.file("bok.db");
    db::testing::makeDatabase(
        path, "CREATE TABLE Users (ID INTEGER PRIMARY KEY, Namn VARCHAR(50), Losenord VARCHAR(100), GruppID LONG);"
              "INSERT INTO Users (Namn, Losenord, GruppID) VALUES"
              "('admin', '" + KrypteraLösenord("vexla") + "', 1),"
              "('anna', '" + KrypteraLösenord("vexla") + "', 2),"
              "('Örjan Åström', '" + KrypteraLösenord("lösen ord") + "', 1),"
              "('tom', '', 1),"
              "('o''brien', '" + KrypteraLösenord("x") + "', 1),"
              "('a--b \"c\" [d] #e# 100%', '" + KrypteraLösenord("y") + "', 1),"
              "('nogroup', '" + KrypteraLösenord("x") + "', NULL);");
    return path;
}

struct LoginCase {
    const char* name;
    const char* user;
    const char* password;
    bool admitted;
};

void PrintTo(const LoginCase& c, std::ostream* os) { *os << c.name; }

class ValideraCases : public ::testing::TestWithParam<LoginCase> {};

TEST_P(ValideraCases, AdmitsOnlyAdministratorsWithTheirPassword) {
    TempDir dir;
    const std::string path = usersDatabase(dir);
    db::SqliteEngine engine;
    std::unique_ptr<db::Database> shared;
    testing::FakeMessageBoxes messages;
    EXPECT_EQ(Validera({engine, shared, path}, messages, GetParam().user, GetParam().password), GetParam().admitted);
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_TRUE(shared) << "the first login opens the shared database";
}

INSTANTIATE_TEST_SUITE_P(
    Logins, ValideraCases,
    ::testing::Values(LoginCase{"administrator", "admin", "vexla", true},
                      LoginCase{"other_group", "anna", "vexla", false},
                      LoginCase{"wrong_password", "admin", "Vexla", false},
                      LoginCase{"name_in_other_case", "ADMIN", "vexla", true},
                      LoginCase{"swedish_letters_other_case", "örjan åström", "lösen ord", true},
                      LoginCase{"name_with_blank_kept", "admin ", "vexla", false},
                      LoginCase{"empty_password_stored_empty", "tom", "", true},
                      LoginCase{"empty_password_not_stored", "admin", "", false},
                      LoginCase{"quote_in_name_matches_itself", "o'brien", "x", true},
                      LoginCase{"quote_cannot_widen_the_query", "x' OR '1'='1", "x", false},
                      LoginCase{"comment_cannot_cut_the_password_test", "admin' --", "wrong", false},
                      LoginCase{"comment_after_the_name", "admin --", "vexla", false},
                      LoginCase{"double_quote_cannot_widen_the_query", "x\" OR \"1\"=\"1", "x", false},
                      LoginCase{"subquery_is_a_name", "(SELECT Namn FROM Users)", "vexla", false},
                      LoginCase{"pattern_characters_match_themselves_only", "adm_n%", "vexla", false},
                      LoginCase{"odd_name_matches_itself", "a--b \"c\" [d] #e# 100%", "y", true},
                      LoginCase{"quote_in_password_is_just_a_character", "admin", "vexla' OR '1'='1", false},
                      LoginCase{"no_group", "nogroup", "x", false},
                      LoginCase{"unknown_user", "nobody", "vexla", false},
                      LoginCase{"start_of_a_name", "adm", "vexla", false}),
    [](const auto& info) { return std::string(info.param.name); });

// A database that cannot be asked is reported with the engine's number.
TEST(Validera, UnusableDatabaseIsReported) {
    TempDir dir;
    db::testing::makeDatabase(dir.file("other.db"), "CREATE TABLE Kund (ID LONG);");
    for (const auto& [file, number] : {std::pair<const char*, int>{"gone.db", 3024}, {"other.db", 3078}}) {
        SCOPED_TRACE(file);
        db::SqliteEngine engine;
        std::unique_ptr<db::Database> shared;
        testing::FakeMessageBoxes messages;
        EXPECT_FALSE(Validera({engine, shared, dir.file(file)}, messages, "admin", "vexla"));
        ASSERT_EQ(messages.shown.size(), 1u);
        const std::string& text = messages.shown[0].text;
        EXPECT_EQ(text.rfind("Fel " + std::to_string(number) + " (", 0), 0u) << text;
        EXPECT_NE(text.find(") uppstod i Function Validera i frmLogon: 0"), std::string::npos) << text;
        if (number == 3024) {
            EXPECT_FALSE(shared) << "a missing database is left closed";
        }
    }
}

TEST(Validera, DatabaseHeldByAnotherProgramIsReportedAndLaterOpened) {
    TempDir dir;
    const std::string path = usersDatabase(dir);
    db::SqliteEngine engine;
    std::unique_ptr<db::Database> shared;
    testing::FakeMessageBoxes messages;
    {
        Child holder(db::testing::programDir() + "/vexla-holddb", {path});
        ASSERT_TRUE(holder.waitForLine(path));
        EXPECT_FALSE(Validera({engine, shared, path}, messages, "admin", "vexla"));
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_EQ(messages.shown[0].text.rfind("Fel 3356 (", 0), 0u) << messages.shown[0].text;
        EXPECT_FALSE(shared);
        holder.stop();
    }
    EXPECT_TRUE(Validera({engine, shared, path}, messages, "admin", "vexla"));
    EXPECT_EQ(messages.shown.size(), 1u);
}

}  // namespace
}  // namespace vexla
