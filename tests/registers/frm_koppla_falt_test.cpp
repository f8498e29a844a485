// The mapping dialog driven as a user would: choosing a file, linking by
// hand and automatically, removing links.
#include "registers/gui/frm_koppla_falt.h"

#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include "db/sqlite_engine.h"
#include "tests/db/db_test_support.h"
#include "tests/support/fake_admin_window.h"
#include "tests/support/fake_platform.h"
#include "tests/support/qt_app.h"

namespace vexla {
namespace {


struct Mapping : ::testing::Test {
    testing::TempFolder dir;
    testing::FakePlatform fakes;
    Platform platform = fakes.platform(dir.path());
    mTexter texts{dir.file("Lang.ini"), fakes.messages};
    testing::FakeAdminWindow main;
    std::int16_t counter = 0;

    void SetUp() override {
        testing::ensureQApplication();
        dir.write("Lang.ini", "[System]\r\nR1861=Koppla f\xE4lt\r\nR1807=kunder\r\nR1800=Tom rubrikrad\r\n"
                              "R1798=V\xE4lj registerfil\r\nR1806=Inga kopplingar\r\n");
        main.state_.DataBas = dir.file("bok.db");
        main.state_.Språk = "se";
        db::testing::makeDatabase(main.state_.DataBas,
                                  "CREATE TABLE Kund (ID LONG PRIMARY KEY, Namn VARCHAR(50), [P-adress] VARCHAR(50),"
                                  " Rabatt DOUBLE, Okand VARCHAR(10));");
    }

    std::unique_ptr<frmKopplaFält> open() {
        auto d = std::make_unique<frmKopplaFält>(main, nullptr, platform, texts, counter);
        d->Tag = "Kund";
        d->Form_Activate();
        return d;
    }

    void choose(frmKopplaFält& d, const std::string& header) {
        fakes.dialogs.choices.push_back(dir.write("reg.skv", header + "\r\n1;x;y\r\n"));
        d.cmdMall_Click();
    }

    static std::vector<std::string> keys(const frmKopplaFält& d) {
        std::vector<std::string> k;
        for (int i = 0; i < d.lvKopplingar->topLevelItemCount(); ++i)
            k.push_back(d.lvKopplingar->topLevelItem(i)->data(0, Qt::UserRole).toString().toStdString());
        return k;
    }
};

TEST_F(Mapping, ActivationListsCaptionsAndNamesTheRegister) {
    auto d = open();
    EXPECT_EQ(d->windowTitle(), QString::fromUtf8("Koppla fält kunder"));
    ASSERT_EQ(d->lstFält->count(), 5);
    EXPECT_EQ(d->lstFält->item(2)->text(), QStringLiteral("Postadress"));
    EXPECT_EQ(d->lstFält->item(4)->text(), QString());  // unknown to the catalogue
    EXPECT_EQ(d->lstFält->item(1)->data(Qt::UserRole).toInt(), 1);
    EXPECT_EQ(d->lstFält->item(3)->data(Qt::UserRole).toInt(), 0);
    EXPECT_TRUE(main.state_.db);
    EXPECT_FALSE(d->lstFilFält->isEnabled());
    EXPECT_FALSE(d->cmdTaBortAlla->isEnabled());
}

struct HeaderCase {
    const char* name;
    const char* header;
    const char* message;  // empty: accepted
    int fields;
};

void PrintTo(const HeaderCase& c, std::ostream* os) { *os << c.name; }

class MappingHeader : public Mapping, public ::testing::WithParamInterface<HeaderCase> {};

TEST_P(MappingHeader, AcceptsOrRejectsTheHeader) {
    auto d = open();
    choose(*d, GetParam().header);
    const std::string message = GetParam().message;
    if (message.empty()) {
        EXPECT_TRUE(fakes.messages.shown.empty());
        EXPECT_EQ(d->lstFilFält->count(), GetParam().fields);
        EXPECT_EQ(d->lblMallNamn->text().toStdString(), dir.file("reg.skv"));
        EXPECT_TRUE(d->cmdTaBortAlla->isEnabled());
    } else {
        ASSERT_EQ(fakes.messages.shown.size(), 1u);
        EXPECT_EQ(fakes.messages.shown[0].text, message);
        EXPECT_EQ(fakes.messages.beeps, 1);
        EXPECT_TRUE(d->lblMallNamn->text().isEmpty());
    }
}

INSTANTIATE_TEST_SUITE_P(Headers, MappingHeader,
                         ::testing::Values(HeaderCase{"two_and_trailing", "ID;Namn;", "", 3},
                                           HeaderCase{"single_name", "ID", "V\xC3\xA4lj registerfil!", 0},
                                           HeaderCase{"empty_line", "", "Tom rubrikrad!", 0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Mapping, AutomaticLinkingMatchesCaptionsExactly) {
    auto d = open();
    choose(*d, "ID;namn;Postadress;;Rabatt  ");
    d->cmdAuto_Click();
    const LinkTable links = d->linkTable();
    ASSERT_EQ(links.size(), 4u);  // "namn" differs in case; the empty field meets the empty caption
    EXPECT_EQ(links[0].caption, "ID");
    EXPECT_EQ(links[1].caption, "Postadress");
    EXPECT_EQ(links[1].fieldPosition, "2");
    EXPECT_EQ(links[1].fileFieldPosition, "2");
    EXPECT_EQ(links[2].fieldPosition, "4");
    EXPECT_EQ(links[3].caption, "Rabatt");  // trailing blanks of a header still link
    EXPECT_EQ(keys(*d), (std::vector<std::string>{"k0", "k1", "k2", "k3"}));
}

TEST_F(Mapping, KeysKeepCountingAfterRemoveAllAndAcrossShowings) {
    {
        auto d = open();
        choose(*d, "ID;Namn;Postadress");
        d->cmdAuto_Click();
        d->cmdAuto_Click();
        d->cmdTaBortAlla_Click();
        EXPECT_EQ(d->lvKopplingar->topLevelItemCount(), 0);
        EXPECT_FALSE(d->cmdTaBortAlla->isEnabled());
    }
    auto d = open();
    choose(*d, "ID;Namn;Postadress");
    d->lstFilFält->setCurrentRow(1);
    d->lstFält->setCurrentRow(1);
    EXPECT_TRUE(d->cmdLäggTill->isEnabled());
    d->cmdLäggTill_Click();
    EXPECT_EQ(keys(*d), std::vector<std::string>{"k6"});
    EXPECT_FALSE(d->cmdLäggTill->isEnabled());
    EXPECT_TRUE(d->lstFält->selectedItems().isEmpty());
}

TEST_F(Mapping, RemoveTakesTheClickedLinkOnly) {
    auto d = open();
    choose(*d, "ID;Namn;Postadress");
    d->cmdAuto_Click();
    d->lvKopplingar_ItemClick(d->lvKopplingar->topLevelItem(1));
    EXPECT_TRUE(d->cmdTaBort->isEnabled());
    d->cmdTaBort_Click();
    EXPECT_EQ(keys(*d), (std::vector<std::string>{"k0", "k2"}));
    EXPECT_FALSE(d->cmdTaBort->isEnabled());
    EXPECT_TRUE(d->cmdTaBortAlla->isEnabled());
}

TEST_F(Mapping, OkWithoutLinksReadsNothing) {
    auto d = open();
    d->cmdOk_Click();
    ASSERT_EQ(fakes.messages.shown.size(), 1u);
    EXPECT_EQ(fakes.messages.shown[0].text, "Inga kopplingar!");
    EXPECT_EQ(fakes.messages.shown[0].icon, MsgIcon::Critical);
}

}  // namespace
}  // namespace vexla
