// The mapping dialog driven as a user would: choosing a file, linking by
// hand and automatically, removing links; with the keyboard alone, too; and
// importing a register whose file cannot carry everything back.
#include "registers/gui/frm_koppla_falt.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <tuple>

#include "db/sqlite_engine.h"
#include "tests/db/db_test_support.h"
#include "tests/support/dialog_world.h"
#include "tests/support/fake_admin_window.h"
#include "tests/support/source_tree.h"

namespace vexla {
namespace {

struct Mapping : ::testing::Test, testing::DialogWorld {
    testing::FakeAdminWindow main;
    std::int16_t counter = 0;

    // The import's own texts as [code].
    static std::string bracketed() {
        std::string lines;
        for (int code = 9100; code <= 9124; ++code)
            lines += "R" + std::to_string(code) + "=[R" + std::to_string(code) + "]\r\n";
        return lines;
    }

    void SetUp() override {
        dir.write("Lang.ini", std::string( "[System]\r\nR1861=Koppla f\xE4lt\r\nR1807=kunder\r\nR1800=Tom rubrikrad\r\n"
                              "R1798=V\xE4lj registerfil\r\nR1806=Inga kopplingar\r\nR1740=[R1740]\r\nR1805=[R1805]\r\n"
                              "R9020=[R9020]\r\nR9021=[R9021]\r\nR9040=[R9040]\r\nR9041=[R9041]\r\n") + bracketed());
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

    // The register file `path` chosen with the dialog's file button.
    void chooseFile(frmKopplaFält& d, const std::string& path) {
        fakes.dialogs.choices.push_back(path);
        d.cmdMall_Click();
    }
    void choose(frmKopplaFält& d, const std::string& header) {
        chooseFile(d, dir.write("reg.skv", header + "\r\n1;x;y\r\n"));
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

// A header of two fields (and an empty one behind the last ";") is taken; a
// single name or an empty line is refused with its message.
TEST_F(Mapping, AcceptsOrRejectsTheHeader) {
    for (const auto& [header, message, fields] : std::initializer_list<std::tuple<const char*, std::string, int>>{
             {"ID;Namn;", "", 3}, {"ID", "V\xC3\xA4lj registerfil!", 0}, {"", "Tom rubrikrad!", 0}}) {
        SCOPED_TRACE(header);
        fakes.messages.shown.clear();
        fakes.messages.beeps = 0;
        auto d = open();
        choose(*d, header);
        if (message.empty()) {
            EXPECT_TRUE(fakes.messages.shown.empty());
            EXPECT_EQ(d->lstFilFält->count(), fields);
            EXPECT_EQ(d->lblMallNamn->text().toStdString(), dir.file("reg.skv"));
            EXPECT_TRUE(d->cmdTaBortAlla->isEnabled());
            continue;
        }
        ASSERT_EQ(fakes.messages.shown.size(), 1u);
        EXPECT_EQ(fakes.messages.shown[0].text, message);
        EXPECT_EQ(fakes.messages.beeps, 1);
        EXPECT_TRUE(d->lblMallNamn->text().isEmpty());
    }
}

TEST_F(Mapping, AutomaticLinkingMatchesCaptionsExactly) {
    auto d = open();
    choose(*d, "ID;namn;Postadress;;Rabatt  ");
    d->cmdAuto_Click();
    const LinkTable links = d->linkTable();
    // "namn" differs in case; a field without a name is never linked, not
    // even to a column without a caption; both are named below the links.
    ASSERT_EQ(links.size(), 3u);
    EXPECT_EQ(links[0].caption, "ID");
    EXPECT_EQ(links[1].caption, "Postadress");
    EXPECT_EQ(links[1].fieldPosition, "2");
    EXPECT_EQ(links[1].fileFieldPosition, "2");
    EXPECT_EQ(links[2].caption, "Rabatt");  // trailing blanks of a header still link
    EXPECT_EQ(keys(*d), (std::vector<std::string>{"k0", "k1", "k2"}));
    EXPECT_EQ(d->lblInfo->text().toStdString(), "[R9123]: namn, [R9041] 4");
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

// The window system's close box while the import runs: the import stops,
// rolls back, and the dialog closes with the register as it was.
TEST_F(Mapping, ClosingWhileImportingRollsBack) {
    db::testing::makeDatabase(main.state_.DataBas, "INSERT INTO Kund (ID, Namn) VALUES (7, 'Kvar');");
    auto d = shown();
    chooseFile(*d, dir.write("reg.skv", "ID;Namn\r\n1;A\r\n2;B\r\n"));
    d->cmdAuto_Click();
    d->chkTaBort->setChecked(true);
    QCoreApplication::postEvent(d.get(), new QCloseEvent);
    d->cmdOk_Click();
    EXPECT_EQ(d->result(), QDialog::Rejected);
    EXPECT_FALSE(d->isVisible());
    EXPECT_TRUE(fakes.messages.shown.empty());
    EXPECT_EQ(main.infos.back(), " 0 [R1805]! [R9100].");
    main.state_.db.reset();
    EXPECT_EQ(db::testing::queryWithSqlite(main.state_.DataBas, "SELECT ID || Namn FROM Kund"), std::vector<std::string>{"7Kvar"});
}

// The same dialog with the Lang.ini of each language as installed.
class InstalledTexts : public Mapping, public ::testing::WithParamInterface<const char*> {
protected:
    void SetUp() override {
        Mapping::SetUp();
        const std::string installed = testing::sourceFile(std::string("texts/") + GetParam() + "/Lang.ini");
        ASSERT_FALSE(installed.empty());
        dir.write("Lang.ini", installed);
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

TEST_P(InstalledTexts, KeyboardAloneLinksAndImports) {
    auto d = shown();
    EXPECT_EQ(d->focusWidget(), d->cmdMall);
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

// Register files that cannot come back whole: a text with ";" gives its line
// a field too many, and a column the catalogue does not know exports without
// a caption, so nothing links to it. Without "delete first" the import skips
// such lines and the dialog closes; with it the file is refused, nothing
// changes and the box stays ticked.
struct UntidyCase {
    const char* name;
    bool unknownColumn;  // Kund has a column "Okand" besides ID and Namn
    bool deleteFirst;
    const char* reason;  // named in the import's one message box
};

void PrintTo(const UntidyCase& c, std::ostream* os) { *os << c.name; }

class UntidyRegister : public Mapping, public ::testing::WithParamInterface<UntidyCase> {};

TEST_P(UntidyRegister, SkipsTheLinesOrRefusesTheFileWhenDeletingFirst) {
    const UntidyCase& c = GetParam();
    const std::string x = c.unknownColumn ? ";x" : "";
    main.state_.DataBas = dir.file("b.db");
    db::testing::makeDatabase(main.state_.DataBas, c.unknownColumn
        ? "CREATE TABLE Kund (ID LONG PRIMARY KEY, Namn VARCHAR(50), Okand VARCHAR(10));"
          "INSERT INTO Kund VALUES (-1, 'Intern', 'x'), (7, 'Kvar', 'x');"
        : "CREATE TABLE Kund (ID LONG PRIMARY KEY, Namn VARCHAR(50));"
          "INSERT INTO Kund VALUES (-1, 'Intern'), (7, 'Kvar');");
    auto d = open();
    chooseFile(*d, dir.write("KundReg.skv", (c.unknownColumn ? "ID;Namn;\r\n" : "ID;Namn\r\n") + ("1;Ada" + x) +
                                                "\r\n2;Bo; AB" + x + "\r\n3;Cilla" + x + "\r\n"));
    d->cmdAuto_Click();
    EXPECT_EQ(d->linkTable().size(), 2u);
    d->chkTaBort->setChecked(c.deleteFirst);
    d->cmdOk_Click();

    ASSERT_EQ(fakes.messages.shown.size(), 1u);
    EXPECT_NE(fakes.messages.shown[0].text.find(c.reason), std::string::npos) << fakes.messages.shown[0].text;
    EXPECT_EQ(d->result() == QDialog::Accepted, !c.deleteFirst);
    EXPECT_EQ(d->chkTaBort->isChecked(), c.deleteFirst);  // ticked until the delete is in the file
    main.state_.db.reset();
    const std::vector<std::string> before{"-1 Intern", "7 Kvar"}, imported{"-1 Intern", "1 Ada", "3 Cilla", "7 Kvar"};
    EXPECT_EQ(db::testing::queryWithSqlite(main.state_.DataBas, "SELECT ID || ' ' || Namn FROM Kund ORDER BY ID"),
              c.deleteFirst ? before : imported);
}

INSTANTIATE_TEST_SUITE_P(Cases, UntidyRegister,
                         ::testing::Values(UntidyCase{"SemicolonLineSkipped", false, false, "1 [R9114]"},
                                           UntidyCase{"SemicolonLineRefusedWithDelete", false, true, "[R9103]: 3 / 2"},
                                           UntidyCase{"UnknownColumnLeftOut", true, false, "1 [R9114]"},
                                           UntidyCase{"UnknownColumnRefusedWithDelete", true, true, "[R9124]: Okand"}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vexla
