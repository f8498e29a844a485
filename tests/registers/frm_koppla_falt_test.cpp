// The mapping dialog driven as a user would: choosing a file, linking by
// hand and automatically, removing links; with the keyboard alone, too.
#include "registers/gui/frm_koppla_falt.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <set>
#include <sstream>

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

    // Shown and active, as the main window shows it: keys reach it.
    std::unique_ptr<frmKopplaFält> shown() {
        auto d = std::make_unique<frmKopplaFält>(main, nullptr, platform, texts, counter);
        d->Tag = "Kund";
        d->show();
        d->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(d.get()));
        return d;
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

TEST_F(Mapping, TabWalksFromTheFileToTheImport) {
    auto d = shown();
    EXPECT_EQ(d->focusWidget(), d->cmdMall);
    // Every control enabled, so that the walk meets them all.
    choose(*d, "ID;Namn");
    d->cmdAuto_Click();
    d->lvKopplingar_ItemClick(d->lvKopplingar->topLevelItem(0));
    d->lstFilFält->setCurrentRow(0);
    d->lstFält->setCurrentRow(0);
    d->cmdMall->setFocus();
    const std::vector<QWidget*> expected{d->cmdMall,      d->lstFilFält,    d->lstFält,   d->cmdAuto,
                                         d->cmdLäggTill,  d->lvKopplingar,  d->cmdTaBort, d->cmdTaBortAlla,
                                         d->chkTaBort,    d->cmdOk,         d->cmdAvbryt, d->cmdMall};
    std::string walk = d->focusWidget()->objectName().toStdString(), want;
    for (QWidget* w : expected) want += (want.empty() ? "" : " ") + w->objectName().toStdString();
    for (std::size_t i = 1; i < expected.size(); ++i) {
        QTest::keyClick(d->focusWidget(), Qt::Key_Tab);
        walk += " " + d->focusWidget()->objectName().toStdString();
    }
    EXPECT_EQ(walk, want);
}

// The same dialog with the Lang.ini of each language as installed.
class InstalledTexts : public Mapping, public ::testing::WithParamInterface<const char*> {
protected:
    void SetUp() override {
        Mapping::SetUp();
        std::ifstream in(std::string(VEXLA_TEST_SOURCE_DIR) + "/texts/" + GetParam() + "/Lang.ini", std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        ASSERT_FALSE(bytes.str().empty());
        dir.write("Lang.ini", bytes.str());
        main.state_.Språk = GetParam();
    }

    static void press(QWidget& window, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(window.focusWidget() ? window.focusWidget() : &window, key, modifiers);
    }

    // Alt and the letter behind the caption's '&'; a button clicks a moment later.
    static bool access(QAbstractButton* button) {
        const QKeySequence key = QKeySequence::mnemonic(button->text());
        if (key.isEmpty()) return false;
        QSignalSpy clicked(button, &QAbstractButton::clicked);
        QTest::keyClick(button->window(), key[0].key(), key[0].keyboardModifiers());
        return QTest::qWaitFor([&] { return clicked.count() == 1; }, 2000);
    }
};

TEST_P(InstalledTexts, EveryButtonAnswersItsOwnAccessKey) {
    auto d = shown();
    QList<QAbstractButton*> buttons = d->findChildren<QAbstractButton*>();
    ASSERT_EQ(buttons.size(), 8);
    std::stable_partition(buttons.begin(), buttons.end(), [&](auto* b) { return b != d->cmdAvbryt; });  // it closes
    std::set<int> keys;
    for (QAbstractButton* b : buttons) {
        SCOPED_TRACE(b->objectName().toStdString() + " \"" + b->text().toStdString() + "\"");
        const QKeySequence key = QKeySequence::mnemonic(b->text());
        ASSERT_EQ(key.count(), 1);
        EXPECT_TRUE(keys.insert(key[0].toCombined()).second) << "the key is taken";
        b->setEnabled(true);  // Add and Remove wait for a selection; their key must work once they may
        EXPECT_TRUE(access(b));
    }
}

TEST_P(InstalledTexts, KeyboardAloneLinksAndImports) {
    auto d = shown();
    fakes.dialogs.choices.push_back(dir.write("reg.skv", "Nr;Vem\r\n1;Ada\r\n2;Bo\r\n"));
    ASSERT_TRUE(access(d->cmdMall));
    ASSERT_EQ(d->lstFilFält->count(), 2);
    // Tab makes the first entry current without selecting it; Space selects it.
    press(*d, Qt::Key_Tab);
    press(*d, Qt::Key_Space);
    EXPECT_FALSE(d->cmdLäggTill->isEnabled());
    press(*d, Qt::Key_Tab);
    EXPECT_EQ(d->focusWidget(), d->lstFält);
    press(*d, Qt::Key_Space);
    ASSERT_TRUE(access(d->cmdLäggTill));
    // The focus stays in the list: Down selects the next field there, and in the file's list.
    press(*d, Qt::Key_Down);
    press(*d, Qt::Key_Tab, Qt::ShiftModifier);
    EXPECT_EQ(d->focusWidget(), d->lstFilFält);
    press(*d, Qt::Key_Down);
    ASSERT_TRUE(access(d->cmdLäggTill));
    std::vector<std::pair<std::string, std::string>> linked;  // file field, database field
    for (const LinkRow& link : d->linkTable()) linked.emplace_back(link.fileFieldPosition, link.fieldPosition);
    EXPECT_EQ(linked, (std::vector<std::pair<std::string, std::string>>{{"0", "0"}, {"1", "1"}}));
    ASSERT_TRUE(access(d->cmdOk));
    EXPECT_FALSE(d->isVisible());
    EXPECT_EQ(main.infos.back(), " 2 " + texts.TextTillAndra("R1805") + "!");
    main.state_.db.reset();
    EXPECT_EQ(db::testing::queryWithSqlite(main.state_.DataBas, "SELECT ID || ' ' || Namn FROM Kund ORDER BY ID"),
              (std::vector<std::string>{"1 Ada", "2 Bo"}));
}

// Shrunk as far as it goes, the instructions wrap the most; nothing may then
// cover anything else, nor be cut.
TEST_P(InstalledTexts, ControlsNeverOverlapDownToTheLeastSize) {
    auto d = shown();
    const std::vector<QWidget*> controls{d->lblMallNamn, d->cmdMall,      d->lblDiv[2],   d->lblDiv[0],
                                         d->lblDiv[1],   d->lstFilFält,   d->cmdAuto,     d->cmdLäggTill,
                                         d->lstFält,     d->lvKopplingar, d->cmdTaBort,   d->cmdTaBortAlla,
                                         d->chkTaBort,   d->cmdOk,        d->cmdAvbryt};
    for (const QSize size : {d->size(), QSize(1, 1)}) {
        d->resize(size);
        QCoreApplication::processEvents();
        SCOPED_TRACE(std::to_string(d->width()) + "x" + std::to_string(d->height()));
        auto place = [&](QWidget* w) { return QRect(w->mapTo(d.get(), QPoint(0, 0)), w->size()); };
        for (std::size_t i = 0; i < controls.size(); ++i) {
            const std::string name = controls[i]->objectName().toStdString();
            EXPECT_TRUE(QRect(QPoint(), d->size()).contains(place(controls[i]))) << name;
            for (std::size_t j = i + 1; j < controls.size(); ++j)
                EXPECT_FALSE(place(controls[i]).intersects(place(controls[j])))
                    << name << " / " << controls[j]->objectName().toStdString();
        }
        for (QWidget* w : {static_cast<QWidget*>(d->lvKopplingar), static_cast<QWidget*>(d->cmdTaBort)})
            EXPECT_TRUE(d->Frame1->contentsRect().contains(w->geometry())) << w->objectName().toStdString();
        EXPECT_GE(d->lblDiv[2]->height(), d->lblDiv[2]->heightForWidth(d->lblDiv[2]->width()));
    }
}

INSTANTIATE_TEST_SUITE_P(Languages, InstalledTexts, ::testing::Values("se", "en"));

}  // namespace
}  // namespace vexla
