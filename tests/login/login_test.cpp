// The password encoding, the login check against the database, and the
// login dialog driven as a user would. The dialog's tab order, access keys and
// default button are checked with every other window's.
#include "login/frm_login.h"
#include "login/kryptera.h"
#include "login/validera.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

#include <pwd.h>
#include <unistd.h>

#include <string>
#include <tuple>

#include "db/errors.h"
#include "db/sqlite_engine.h"
#include "tests/db/db_test_support.h"
#include "tests/support/dialog_world.h"

namespace vexla {
namespace {

// The encodings are worked out by hand, not by the code under test: each typed character's Windows-1252
// code XOR the key's (Å Ä Ö å ä ö É È Ê Ë Í Ì Î Ï Ó Ò Ô Õ Ú Ù Û Ü Ý Þ), two hex digits each.
TEST(Encoding, MatchesTheHandWorkedVectors) {
    using Row = std::tuple<const char*, const char*, const char*>;
    for (const auto& [name, password, encoded] :
         {Row{"Empty", "", ""},
          // v 76^C5 e 65^C4 x 78^D6 l 6C^E5 a 61^E4
          Row{"DemoPassword", "vexla", "B3A1AE8985"},
          // each letter against the 24 key codes in order, then the key again from
          // its first character: y 79^C5 = BC, z 7A^C4 = BE, 0 30^D6 = E6, ...
          Row{"Thirty", "abcdefghijklmnopqrstuvwxyz0123",
              "A4A6B5818190AEA0A3A1A6A0A3A1BCA2A5A7A9ADAEAAAAA6BCBEE6D4D6C5"},
          // å E5^C5, ä E4^C4, ö F6^D6
          Row{"SwedishLetters", "åäö", "202020"},
          // a letter equal to its key letter gives the byte 00: a leading zero digit
          Row{"SameAsKey", "Å", "00"},
          // L 4C^C5, ö F6^C4, s 73^D6, e 65^E5, n 6E^E4, € 80^F6
          Row{"EuroSign", "Lösen€", "8932A5808A76"},
          // ☃ has no Windows-1252 code and is taken as ? (3F^C4 = FB)
          Row{"OutsideTheCodePage", "a☃", "A4FB"}}) {
        EXPECT_EQ(KrypteraLösenord(password), encoded) << name;
    }
}

using db::testing::Child;
using db::testing::TempDir;

std::string usersDatabase(const TempDir& dir) {
    using User = std::tuple<const char*, const char*, const char*>;  // name, password, group
    std::string sql =
        "CREATE TABLE Users (ID INTEGER PRIMARY KEY, Namn VARCHAR(50), Losenord VARCHAR(100), GruppID LONG);";
    for (const auto& [name, password, group] :
         {User{"admin", "vexla", "1"}, User{"anna", "vexla", "2"}, User{"Örjan Åström", "lösen ord", "1"},
          User{"tom", nullptr, "1"}, User{"o''brien", "x", "1"}, User{"a--b \"c\" [d] #e# 100%", "y", "1"},
          User{"nogroup", "x", "NULL"}})
        sql += std::string("INSERT INTO Users (Namn, Losenord, GruppID) VALUES ('") + name + "', '" +
               (password ? KrypteraLösenord(password) : "") + "', " + group + ");";
    const std::string path = dir.file("bok.db");
    db::testing::makeDatabase(path, sql);
    return path;
}

// One program's login: its engine and its message boxes.
struct Login {
    db::SqliteEngine engine;
    testing::FakeMessageBoxes messages;
    testing::BracketTexts texts;
    LoginCheck operator()(const std::string& path, const std::string& user, const std::string& password) {
        return Validera({engine, path}, messages, texts, user, password);
    }
};

TEST(Validera, AdmitsOnlyAdministratorsWithTheirPassword) {
    TempDir dir;
    const std::string path = usersDatabase(dir);
    using Row = std::tuple<const char*, const char*, const char*, bool>;
    for (const auto& [name, user, password, admitted] :
         {Row{"administrator", "admin", "vexla", true}, Row{"other_group", "anna", "vexla", false},
          Row{"wrong_password", "admin", "Vexla", false}, Row{"name_in_other_case", "ADMIN", "vexla", true},
          Row{"swedish_letters_other_case", "örjan åström", "lösen ord", true},
          Row{"name_with_blank_kept", "admin ", "vexla", false}, Row{"empty_password_stored_empty", "tom", "", true},
          Row{"empty_password_not_stored", "admin", "", false},
          Row{"quote_in_name_matches_itself", "o'brien", "x", true},
          Row{"quote_cannot_widen_the_query", "x' OR '1'='1", "x", false},
          Row{"comment_cannot_cut_the_password_test", "admin' --", "wrong", false},
          Row{"pattern_characters_match_themselves_only", "adm_n%", "vexla", false},
          Row{"odd_name_matches_itself", "a--b \"c\" [d] #e# 100%", "y", true},
          Row{"quote_in_password_is_just_a_character", "admin", "vexla' OR '1'='1", false},
          Row{"no_group", "nogroup", "x", false}, Row{"unknown_user", "nobody", "vexla", false}}) {
        SCOPED_TRACE(name);
        Login login;
        EXPECT_EQ(login(path, user, password), admitted ? LoginCheck::Admitted : LoginCheck::Refused);
        EXPECT_TRUE(login.messages.shown.empty());
    }
    EXPECT_TRUE(db::testing::anotherProgramGetsIt(path)) << "a login holds nothing once it has answered";
}

// A database that cannot be asked is reported in the user's words: a missing
// one as the exclusive-use test tells it, any other failure with its number.
TEST(Validera, UnusableDatabaseIsReported) {
    TempDir dir;
    db::testing::makeDatabase(dir.file("other.db"), "CREATE TABLE Kund (ID LONG);");
    for (const auto& [file, text] : {std::pair<const char*, const char*>{"gone.db", "[R1787]!\r\n\r\n[R1788]."},
                                     {"other.db", "[R9272]: 3078\r\n[R9286]: Users"}}) {
        SCOPED_TRACE(file);
        Login login;
        EXPECT_EQ(login(dir.file(file), "admin", "vexla"), LoginCheck::Failed);
        EXPECT_EQ(login.messages.shown,
                  (std::vector<testing::ShownBox>{{text, "Vexla Admin", MsgIcon::Critical, MsgButtons::Ok}}));
        EXPECT_EQ(login.messages.beeps, 1);
    }
}

// A login only reads: a program that holds the writers off (vexla-holddb)
// does not keep it out, one whose transaction keeps readers out too (a
// sqlite3 shell's BEGIN EXCLUSIVE) does once the wait is over.
TEST(Validera, DatabaseHeldByAnotherProgramIsReportedAndLaterOpened) {
    TempDir dir;
    const std::string path = usersDatabase(dir);
    const std::string shell = db::testing::findOnPath("sqlite3");
    for (const bool ours : {true, false}) {
        if (!ours && shell.empty()) continue;
        SCOPED_TRACE(ours ? "vexla-holddb" : "sqlite3");
        Login login;
        login.engine.SetWait(0.2);
        {
            Child holder(ours ? db::testing::programDir() + "/vexla-holddb" : shell, {path});
            if (!ours) holder.write("BEGIN EXCLUSIVE;\n.system echo holding\n");
            ASSERT_TRUE(holder.waitForLine("holding"));
            EXPECT_EQ(login(path, "admin", "vexla"), ours ? LoginCheck::Admitted : LoginCheck::Failed);
            ASSERT_EQ(login.messages.shown.size(), ours ? 0u : 1u);
            if (!ours) {
                EXPECT_EQ(login.messages.shown[0].text, "[R1784]!\r\n[R1785] [R0558]!\r\n[R1786]");
            }
        }
        EXPECT_EQ(login(path, "admin", "vexla"), LoginCheck::Admitted);
        EXPECT_EQ(login.messages.shown.size(), ours ? 0u : 1u);
    }
}

struct LoginFixture : ::testing::Test, testing::DialogWorld {
    db::SqliteEngine engine;
    const std::string path = usersDatabase(dir);

    void SetUp() override {
        dir.write("Lang.ini",
                  "[System]\r\nR1885=Logga in\r\nR0137=Fel anv\xE4ndarnamn eller l\xF6senord\r\n"
                  "R0138=F\xF6rs\xF6k igen\r\nR0898=&OK\r\nR1048=&Avbryt\r\nR1139=&Namn:\r\n"
                  "R1787=Databasen saknas\r\nR1788=Se efter\r\n");
    }
};

// OK logs in and accepts; Cancel rejects without opening the database, even
// with the right password typed.
TEST_F(LoginFixture, AnswersByTheButton) {
    for (const bool ok : {true, false}) {
        SCOPED_TRACE(ok ? "OK" : "Cancel");
        frmLogin login(nullptr, platform, texts, {engine, path});
        login.txtUserName->setText("admin");
        login.txtPassword->setText("vexla");
        (ok ? login.cmdOk : login.cmdAvbryt)->click();
        EXPECT_EQ(login.answer(), ok ? "Ok" : "");
        EXPECT_EQ(login.result(), ok ? QDialog::Accepted : QDialog::Rejected);
        EXPECT_TRUE(fakes.messages.shown.empty());
    }
}

TEST_F(LoginFixture, RefusedLoginBeepsExplainsAndSelectsThePassword) {
    frmLogin login(nullptr, platform, texts, {engine, path});
    // As designed: the texts, the fields' limits, the password hidden.
    EXPECT_EQ(login.windowTitle(), QStringLiteral("Logga in"));
    EXPECT_EQ(login.lblLabels[0]->text(), QStringLiteral("&Namn:"));
    EXPECT_EQ(std::make_pair(login.txtUserName->maxLength(), login.txtPassword->maxLength()), std::make_pair(50, 50));
    EXPECT_EQ(login.txtPassword->echoMode(), QLineEdit::Password);
    login.show();
    login.txtUserName->setText("admin");
    login.txtPassword->setText("wrong");
    login.cmdOk->click();
    EXPECT_EQ(login.answer(), "");
    EXPECT_TRUE(login.isVisible()) << "the dialog stays for another try";
    EXPECT_EQ(fakes.messages.beeps, 1);
    EXPECT_EQ(
        fakes.messages.shown,
        (std::vector<testing::ShownBox>{{"Fel anv\xC3\xA4ndarnamn eller l\xC3\xB6senord\r\nF\xC3\xB6rs\xC3\xB6k igen",
                                         "Logga in", MsgIcon::Critical, MsgButtons::Ok}}));
    EXPECT_EQ(login.txtPassword->selectedText(), QStringLiteral("wrong"));
    EXPECT_EQ(login.focusWidget(), login.txtPassword);

    // A database that would not answer says so, and not a word about the password.
    fakes.messages.shown.clear();
    const std::string gone = dir.file("gone.db");
    frmLogin missing(nullptr, platform, texts, {engine, gone});
    missing.txtUserName->setText("admin");
    missing.txtPassword->setText("vexla");
    missing.cmdOk->click();
    EXPECT_EQ(missing.answer(), "");
    EXPECT_EQ(fakes.messages.shown,
              (std::vector<testing::ShownBox>{
                  {"Databasen saknas!\r\n\r\nSe efter.", "Vexla Admin", MsgIcon::Critical, MsgButtons::Ok}}));
}

}  // namespace
}  // namespace vexla
