// The login dialog driven as a user would: typing, OK, Cancel. Its tab
// order, access keys and default button are checked with every other window's.
#include "login/frm_login.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

#include "db/sqlite_engine.h"
#include "login/kryptera.h"
#include "tests/db/db_test_support.h"
#include "tests/support/dialog_world.h"

namespace vexla {
namespace {

struct LoginFixture : ::testing::Test, testing::DialogWorld {
    db::SqliteEngine engine;
    std::unique_ptr<db::Database> shared;
    std::string path = dir.file("bok.db");

    void SetUp() override {
        dir.write("Lang.ini", "[System]\r\nR1885=Logga in\r\nR0137=Fel anv\xE4ndarnamn eller l\xF6senord\r\n"
                              "R0138=F\xF6rs\xF6k igen\r\nR0898=&OK\r\nR1048=&Avbryt\r\nR1139=&Namn:\r\n");
        db::testing::makeDatabase(path, "CREATE TABLE Users (Namn VARCHAR(50), Losenord VARCHAR(100), GruppID LONG);"
                                        "INSERT INTO Users VALUES ('admin', '" + KrypteraLösenord("vexla") + "', 1);");
    }
};

TEST_F(LoginFixture, AcceptedLoginAnswersOk) {
    frmLogin login(nullptr, platform, texts, {engine, shared, path});
    login.txtUserName->setText("admin");
    login.txtPassword->setText("vexla");
    login.cmdOk->click();
    EXPECT_EQ(login.answer(), "Ok");
    EXPECT_EQ(login.result(), QDialog::Accepted);
    EXPECT_TRUE(fakes.messages.shown.empty());
}

TEST_F(LoginFixture, RefusedLoginBeepsExplainsAndSelectsThePassword) {
    frmLogin login(nullptr, platform, texts, {engine, shared, path});
    login.show();
    login.txtUserName->setText("admin");
    login.txtPassword->setText("wrong");
    login.cmdOk->click();
    EXPECT_EQ(login.answer(), "");
    EXPECT_TRUE(login.isVisible()) << "the dialog stays for another try";
    EXPECT_EQ(fakes.messages.beeps, 1);
    ASSERT_EQ(fakes.messages.shown.size(), 1u);
    EXPECT_EQ(fakes.messages.shown[0].text, "Fel anv\xC3\xA4ndarnamn eller l\xC3\xB6senord\r\nF\xC3\xB6rs\xC3\xB6k igen");
    EXPECT_EQ(fakes.messages.shown[0].title, "Logga in");
    EXPECT_EQ(fakes.messages.shown[0].icon, MsgIcon::Critical);
    EXPECT_EQ(login.txtPassword->selectedText(), QStringLiteral("wrong"));
    EXPECT_EQ(login.focusWidget(), login.txtPassword);
}

TEST_F(LoginFixture, CancelAnswersEmptyWithoutTouchingTheDatabase) {
    frmLogin login(nullptr, platform, texts, {engine, shared, path});
    login.txtUserName->setText("admin");
    login.cmdAvbryt->click();
    EXPECT_EQ(login.answer(), "");
    EXPECT_EQ(login.result(), QDialog::Rejected);
    EXPECT_FALSE(shared);
}

TEST_F(LoginFixture, DialogIsSetUpAsDesigned) {
    frmLogin login(nullptr, platform, texts, {engine, shared, path});
    EXPECT_EQ(login.windowTitle(), QStringLiteral("Logga in"));
    EXPECT_EQ(login.lblLabels[0]->text(), QStringLiteral("&Namn:"));
    EXPECT_EQ(login.txtUserName->maxLength(), 50);
    EXPECT_EQ(login.txtPassword->maxLength(), 50);
    EXPECT_EQ(login.txtPassword->echoMode(), QLineEdit::Password);
}

}  // namespace
}  // namespace vexla
