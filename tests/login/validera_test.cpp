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

// One program's login: its engine, the database it shares once a login opened it, and its message boxes.
struct Login {
    db::SqliteEngine engine;
    std::unique_ptr<db::Database> shared;
    testing::FakeMessageBoxes messages;
    bool operator()(const std::string& path, const std::string& user, const std::string& password) {
        return Validera({engine, shared, path}, messages, user, password);
    }
};

TEST(Validera, AdmitsOnlyAdministratorsWithTheirPassword) {
    struct LoginCase {
        const char* name;
        const char* user;
        const char* password;
        bool admitted;
    };
    TempDir dir;
    const std::string path = usersDatabase(dir);
    for (const LoginCase& c : std::initializer_list<LoginCase>{
             {"administrator", "admin", "vexla", true},
             {"other_group", "anna", "vexla", false},
             {"wrong_password", "admin", "Vexla", false},
             {"name_in_other_case", "ADMIN", "vexla", true},
             {"swedish_letters_other_case", "örjan åström", "lösen ord", true},
             {"name_with_blank_kept", "admin ", "vexla", false},
             {"empty_password_stored_empty", "tom", "", true},
             {"empty_password_not_stored", "admin", "", false},
             {"quote_in_name_matches_itself", "o'brien", "x", true},
             {"quote_cannot_widen_the_query", "x' OR '1'='1", "x", false},
             {"comment_cannot_cut_the_password_test", "admin' --", "wrong", false},
             {"comment_after_the_name", "admin --", "vexla", false},
             {"double_quote_cannot_widen_the_query", "x\" OR \"1\"=\"1", "x", false},
             {"subquery_is_a_name", "(SELECT Namn FROM Users)", "vexla", false},
             {"pattern_characters_match_themselves_only", "adm_n%", "vexla", false},
             {"odd_name_matches_itself", "a--b \"c\" [d] #e# 100%", "y", true},
             {"quote_in_password_is_just_a_character", "admin", "vexla' OR '1'='1", false},
             {"no_group", "nogroup", "x", false},
             {"unknown_user", "nobody", "vexla", false},
             {"start_of_a_name", "adm", "vexla", false}}) {
        SCOPED_TRACE(c.name);
        Login login;
        EXPECT_EQ(login(path, c.user, c.password), c.admitted);
        EXPECT_TRUE(login.messages.shown.empty());
        EXPECT_TRUE(login.shared) << "the first login opens the shared database";
    }
}

// A database that cannot be asked is reported with the engine's number.
TEST(Validera, UnusableDatabaseIsReported) {
    TempDir dir;
    db::testing::makeDatabase(dir.file("other.db"), "CREATE TABLE Kund (ID LONG);");
    for (const auto& [file, number] : {std::pair<const char*, int>{"gone.db", 3024}, {"other.db", 3078}}) {
        SCOPED_TRACE(file);
        Login login;
        EXPECT_FALSE(login(dir.file(file), "admin", "vexla"));
        ASSERT_EQ(login.messages.shown.size(), 1u);
        const std::string& text = login.messages.shown[0].text;
        EXPECT_EQ(text.rfind("Fel " + std::to_string(number) + " (", 0), 0u) << text;
        EXPECT_NE(text.find(") uppstod i Function Validera i frmLogon: 0"), std::string::npos) << text;
        if (number == 3024) {
            EXPECT_FALSE(login.shared) << "a missing database is left closed";
        }
    }
}

TEST(Validera, DatabaseHeldByAnotherProgramIsReportedAndLaterOpened) {
    TempDir dir;
    const std::string path = usersDatabase(dir);
    Login login;
    {
        Child holder(db::testing::programDir() + "/vexla-holddb", {path});
        ASSERT_TRUE(holder.waitForLine(path));
        EXPECT_FALSE(login(path, "admin", "vexla"));
        ASSERT_EQ(login.messages.shown.size(), 1u);
        EXPECT_EQ(login.messages.shown[0].text.rfind("Fel 3356 (", 0), 0u) << login.messages.shown[0].text;
        EXPECT_FALSE(login.shared);
        holder.stop();
    }
    EXPECT_TRUE(login(path, "admin", "vexla"));
    EXPECT_EQ(login.messages.shown.size(), 1u);
}

}  // namespace
}  // namespace vexla
