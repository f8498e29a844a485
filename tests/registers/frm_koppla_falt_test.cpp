// The mapping dialog driven as a user would: choosing a file, linking by hand
// and automatically, removing links, importing files that cannot come back whole.
#include "registers/gui/frm_koppla_falt.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScrollArea>
#include <QTableWidget>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include <tuple>

#include "db/sqlite_engine.h"
#include "registers/import_confirmation.h"
#include "registers/register_file_reader.h"
#include "tests/db/db_test_support.h"
#include "tests/support/dialog_world.h"
#include "tests/support/fake_admin_window.h"
#include "tests/support/source_tree.h"

namespace vexla {
namespace {

using namespace std::string_literals;

struct Mapping : ::testing::Test, testing::DialogWorld {
    testing::FakeAdminWindow main;
    std::int16_t counter = 0;

    void SetUp() override {
        std::string ini =
            "[System]\r\nR1861=Koppla f\xE4lt\r\nR1807=kunder\r\nR1800=Tom rubrikrad\r\n"
            "R1798=V\xE4lj registerfil\r\nR1806=Inga kopplingar\r\n";
        // The other texts the dialog and the import show, as [code].
        const auto code = [&](int n) { ini += "R" + std::to_string(n) + "=[R" + std::to_string(n) + "]\r\n"; };
        for (int n : {1740, 1805, 9020, 9021, 9040, 9041, 9250, 9251, 9252, 9751, 9752, 9770}) code(n);
        for (const auto& [from, to] : {std::pair{9100, 9124}, {9710, 9714}, {9500, 9518}, {9585, 9596}})
            for (int n = from; n <= to; ++n) code(n);
        dir.write("Lang.ini", ini);
        main.state_.DataBas = dir.file("bok.db");
        main.state_.Språk = "se";
        db::testing::makeDatabase(main.state_.DataBas,
                                  "CREATE TABLE Kund (ID LONG PRIMARY KEY, Namn VARCHAR(50), [P-adress] VARCHAR(50),"
                                  " Rabatt DOUBLE, Okand VARCHAR(10));");
    }

    // Activated; shown and active as the main window shows it (keys reach it) when `show`.
    std::unique_ptr<frmKopplaFält> open(bool show = false) {
        auto d = std::make_unique<frmKopplaFält>(main, nullptr, platform, texts, counter);
        d->Tag = "Kund";
        if (!show) {
            d->Form_Activate();
            return d;
        }
        d->show();
        d->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(d.get()));
        return d;
    }

    static std::vector<QString> captions(const QListWidget* list) {
        std::vector<QString> all;
        for (int i = 0; i < list->count(); ++i) all.push_back(list->item(i)->text());
        return all;
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
    // The last column is unknown to the catalogue.
    EXPECT_EQ(captions(d->lstFält), (std::vector<QString>{"ID", "Namn", "Postadress", "Rabatt", ""}));
    EXPECT_EQ(d->lstFält->item(1)->data(Qt::UserRole).toInt(), 1);
    EXPECT_EQ(d->lstFält->item(3)->data(Qt::UserRole).toInt(), 0);
    // The fields were read, and the dialog waits holding nothing.
    EXPECT_EQ(std::tuple(db::testing::anotherProgramGetsIt(main.state_.DataBas), d->lstFilFält->isEnabled(),
                         d->cmdTaBortAlla->isEnabled()),
              std::tuple(true, false, false));
}

// A header of two fields (and an empty one behind the last ";") is taken; a
// single name, an empty line or a header split by commas or tabs is refused
// with its message.
TEST_F(Mapping, AcceptsOrRejectsTheHeader) {
    using Row = std::tuple<const char*, std::string, int>;
    for (const auto& [header, message, fields] :
         {Row{"ID;Namn;", "", 3}, Row{"ID", "V\xC3\xA4lj registerfil!", 0}, Row{"", "Tom rubrikrad!", 0},
          Row{"ID,Namn", "[R9251].", 0}, Row{"ID\tNamn", "[R9252].", 0}}) {
        SCOPED_TRACE(header);
        fakes.messages.shown.clear();
        fakes.messages.beeps = 0;
        auto d = open();
        choose(*d, header);
        std::vector<std::string> shown;
        for (const testing::ShownBox& box : fakes.messages.shown) shown.push_back(box.text);
        EXPECT_EQ(shown, message.empty() ? std::vector<std::string>{} : std::vector<std::string>{message});
        EXPECT_EQ(fakes.messages.beeps, message.empty() ? 0 : 1);
        EXPECT_EQ(d->lstFilFält->count(), fields);
        EXPECT_EQ(d->lblMallNamn->text().toStdString(), message.empty() ? dir.file("reg.skv") : "");
        EXPECT_EQ(d->cmdTaBortAlla->isEnabled(), message.empty());
    }
}

// The open dialog offers register and spreadsheet files, and starts where a
// file of this register was chosen last, refused or not.
TEST_F(Mapping, FileDialogStartsWhereThisRegistersFileWasChosen) {
    auto d = open();
    chooseFile(*d, dir.write("ut/reg.skv", "ID\tNamn\r\n"));
    chooseFile(*d, "");
    ASSERT_EQ(fakes.dialogs.asked.size(), 2u);
    EXPECT_EQ(fakes.dialogs.asked[0].filter, " (*.skv *.csv)\0*.skv;*.csv\0 (*.skv)\0*.skv\0 (*.csv)\0*.csv\0"s);
    EXPECT_EQ(std::pair(fakes.dialogs.asked[0].initialDir, fakes.dialogs.asked[1].initialDir),
              std::pair(dir.path(), dir.file("ut")));
    EXPECT_EQ(fakes.folders.folders.at("Kund"), dir.file("ut"));
}

TEST_F(Mapping, AutomaticLinkingMatchesCaptionsExactly) {
    auto d = open();
    choose(*d, "ID;namn;Postadress;;Rabatt  ");
    d->cmdAuto_Click();
    const LinkTable links = d->linkTable();
    // "namn" differs in case; a field without a name is never linked, not
    // even to a column without a caption; both are named below the links.
    // Trailing blanks of a header still link "Rabatt".
    std::vector<std::string> linked;
    for (const LinkRow& l : links) linked.push_back(l.caption + " " + l.fieldPosition + " " + l.fileFieldPosition);
    EXPECT_EQ(linked, (std::vector<std::string>{"ID 0 0", "Postadress 2 2", "Rabatt 3 4"}));
    EXPECT_EQ(keys(*d), (std::vector<std::string>{"k0", "k1", "k2"}));
    EXPECT_EQ(d->lblInfo->text().toStdString(), "[R9123]: namn, [R9041] 4");
}

TEST_F(Mapping, RemoveTakesTheClickedLinkAndKeysKeepCountingAfterRemoveAllAndAcrossShowings) {
    {
        auto d = open();
        choose(*d, "ID;Namn;Postadress");
        d->cmdAuto_Click();
        d->lvKopplingar_ItemClick(d->lvKopplingar->topLevelItem(1));
        EXPECT_TRUE(d->cmdTaBort->isEnabled());
        d->cmdTaBort_Click();  // takes the clicked link only
        EXPECT_EQ(keys(*d), (std::vector<std::string>{"k0", "k2"}));
        EXPECT_FALSE(d->cmdTaBort->isEnabled());
        EXPECT_TRUE(d->cmdTaBortAlla->isEnabled());
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
    EXPECT_EQ(keys(*d), std::vector<std::string>{"k3"});
    // Add leaves both lists without a selected and without a current entry;
    // Auto then puts back the selected entries it found (none, first), and
    // Add is enabled only while both lists have one.
    const auto state = [&] {
        const auto sel = [](const QListWidget* l) {
            return l->selectedItems().isEmpty() ? -1 : l->row(l->selectedItems()[0]);
        };
        return std::tuple(sel(d->lstFilFält), d->lstFilFält->currentRow(), sel(d->lstFält), d->lstFält->currentRow(),
                          d->cmdLäggTill->isEnabled());
    };
    EXPECT_EQ(state(), std::tuple(-1, -1, -1, -1, false));
    for (const auto& [file, field] : {std::pair{-1, -1}, std::pair{1, -1}, std::pair{0, 2}}) {
        SCOPED_TRACE(::testing::Message() << file << " " << field);
        if (file >= 0) d->lstFilFält->setCurrentRow(file);
        if (field >= 0) d->lstFält->setCurrentRow(field);
        d->cmdAuto_Click();
        EXPECT_EQ(state(), std::tuple(file, file, field, field, file >= 0 && field >= 0));
    }
    d->lstFält->clearSelection();  // a current row without a selection is not enough
    EXPECT_FALSE(d->cmdLäggTill->isEnabled());
}

TEST_F(Mapping, OkWithoutLinksReadsNothing) {
    auto d = open();
    d->cmdOk_Click();
    ASSERT_EQ(fakes.messages.shown.size(), 1u);
    EXPECT_EQ(fakes.messages.shown[0].text, "Inga kopplingar!");
    EXPECT_EQ(fakes.messages.shown[0].icon, MsgIcon::Critical);
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
};

// Shrunk as far as it goes, the instructions wrap the most; nothing may then
// cover anything else, nor be cut: the links and the preview scroll, the
// buttons below them stay in the window.
TEST_P(InstalledTexts, ControlsNeverOverlapDownToTheLeastSize) {
    auto d = open(true);
    const std::vector<QWidget*> scrolled{
        d->lblMallNamn, d->cmdMall, d->lblDiv[2],    d->lblDiv[0], d->lblDiv[1],     d->lstFilFält,        d->cmdAuto,
        d->cmdLäggTill, d->lstFält, d->lvKopplingar, d->cmdTaBort, d->cmdTaBortAlla, d->grdFörhandsvisning};
    const std::vector<QWidget*> fixed{d->chkTaBort, d->cmdProva, d->cmdOk, d->cmdAvbryt};
    for (const QSize size : {d->size(), QSize(1, 1)}) {
        d->resize(size);
        QCoreApplication::processEvents();
        SCOPED_TRACE(std::to_string(d->width()) + "x" + std::to_string(d->height()));
        for (const auto& [list, area] :
             {std::pair{scrolled, d->scrInnehåll->widget()}, std::pair{fixed, static_cast<QWidget*>(d.get())}}) {
            // Named copies: a lambda may not capture a structured binding (clang before 16).
            const std::vector<QWidget*>& controls = list;
            QWidget* const within = area;
            auto place = [&](QWidget* w) { return QRect(w->mapTo(within, QPoint(0, 0)), w->size()); };
            for (std::size_t i = 0; i < controls.size(); ++i) {
                const std::string name = controls[i]->objectName().toStdString();
                EXPECT_TRUE(QRect(QPoint(), within->size()).contains(place(controls[i]))) << name;
                for (std::size_t j = i + 1; j < controls.size(); ++j)
                    EXPECT_FALSE(place(controls[i]).intersects(place(controls[j])))
                        << name << " / " << controls[j]->objectName().toStdString();
            }
        }
        EXPECT_FALSE(QRect(d->scrInnehåll->mapTo(d.get(), QPoint()), d->scrInnehåll->size())
                         .intersects(QRect(d->cmdOk->mapTo(d.get(), QPoint()), d->cmdOk->size())));
        for (QWidget* w : {static_cast<QWidget*>(d->lvKopplingar), static_cast<QWidget*>(d->cmdTaBort)})
            EXPECT_TRUE(d->Frame1->contentsRect().contains(w->geometry())) << w->objectName().toStdString();
        EXPECT_GE(d->lblDiv[2]->height(), d->lblDiv[2]->heightForWidth(d->lblDiv[2]->width()));
    }
}

// The question before emptying, with the installed texts of each language.
TEST_P(InstalledTexts, QuestionBeforeEmptyingNamesBothCounts) {
    const bool se = std::string(GetParam()) == "se";
    const std::string nb = "\xC2\xA0";  // a space that keeps the groups of a number on one line
    EXPECT_EQ(deleteFirstQuestion("Bokningar", 1000000, 999000, texts),
              se ? "Alla 1" + nb + "000" + nb + "000 bokningar tas bort och ers\xC3\xA4tts av filens 999" + nb +
                       "000 rader. Forts\xC3\xA4tta?"
                 : "All 1,000,000 bookings will be deleted and replaced by the file's 999,000 lines. Continue?");
    EXPECT_EQ(deleteFirstQuestion("Kund", 200, 46, texts),
              se ? "Alla 200 kunder tas bort och ers\xC3\xA4tts av filens 46 rader. Interna kunder (ID -1 och "
                   "l\xC3\xA4gre) finns kvar. Forts\xC3\xA4tta?"
                 : "All 200 customers will be deleted and replaced by the file's 46 lines. Internal customers (ID -1 "
                   "and below) stay. Continue?");
    if (se) return;
    for (const auto& [n, grouped] : {std::pair{0L, "0"}, std::pair{999L, "999"}, std::pair{-1234L, "-1,234"}})
        EXPECT_EQ(groupedCount(n, texts), grouped);
}

INSTANTIATE_TEST_SUITE_P(Languages, InstalledTexts, ::testing::Values("se", "en"));

// Register files that cannot come back whole: a text with ";" gives its line
// a field too many, and a column without a caption that the register lacks
// has nothing to link to. The preview marks that column and OK asks before
// leaving its values out: No imports nothing. A header that is the
// register's own (a column the catalogue does not know under an empty
// caption) links that column by its place and brings its values back; a
// file without that column may not empty the register and lose them. Without "delete
// first" the import skips the long lines and the dialog closes; with it the
// file is refused before the question of emptying is asked, nothing changes
// and the box stays ticked. Either way the database is let go.
TEST_F(Mapping, UntidyRegisterSkipsTheLinesOrRefusesTheFileWhenDeletingFirst) {
    struct Case {
        bool unknownColumn;  // the file has a third column, without a caption
        bool deleteFirst;
        MsgAnswer leaveOut;      // to the question about the unknown column's values
        const char* reason;      // named in the import's last message box
        bool ownLayout = false;  // Kund has that column, "Okand", unknown to the catalogue
    };
    const std::string question = "[R9710]: [R9041] 3 (2)\r\n\r\n[R9711]?";
    for (const Case& c :
         {Case{false, false, MsgAnswer::Yes, "1 [R9114]"}, Case{false, true, MsgAnswer::Yes, "[R9103]: 3 / 2"},
          Case{true, false, MsgAnswer::Yes, "1 [R9114]"}, Case{true, false, MsgAnswer::No, ""},
          Case{true, true, MsgAnswer::Yes, "[R9103]: 4 / 3"}, Case{true, false, MsgAnswer::Yes, "1 [R9114]", true},
          Case{false, true, MsgAnswer::Yes, "[R9124]: Okand", true}}) {
        SCOPED_TRACE(std::string(c.reason) + (c.leaveOut == MsgAnswer::Yes ? "" : " kept"));
        fakes.messages.shown.clear();
        const std::string x = c.unknownColumn ? ";x" : "";
        main.state_.DataBas = dir.file(std::to_string(c.unknownColumn) + std::to_string(c.deleteFirst) +
                                       (c.leaveOut == MsgAnswer::Yes ? "" : "n") + (c.ownLayout ? "o" : "") + ".db");
        db::testing::makeDatabase(main.state_.DataBas,
                                  std::string("CREATE TABLE Kund (ID LONG PRIMARY KEY, Namn VARCHAR(50)") +
                                      (c.ownLayout ? ", Okand VARCHAR(10) DEFAULT 'd');" : ");") +
                                      "INSERT INTO Kund (ID, Namn) VALUES (-1, 'Intern'), (7, 'Kvar');");
        auto d = open();
        chooseFile(*d, dir.write("KundReg.skv", (c.unknownColumn ? "ID;Namn;\r\n" : "ID;Namn\r\n") + ("1;Ada" + x) +
                                                    "\r\n2;Bo; AB" + x + "\r\n3;Cilla" + x + "\r\n"));
        d->cmdAuto_Click();
        const int columns = d->grdFörhandsvisning->columnCount();
        EXPECT_EQ(d->grdFörhandsvisning->horizontalHeaderItem(columns - 1)->text().toStdString(),
                  c.ownLayout && c.unknownColumn ? "Okand"
                  : c.unknownColumn              ? "[R9041] 3: [R9714]"
                                                 : "Namn");
        d->chkTaBort->setChecked(c.deleteFirst);
        const bool asked = c.unknownColumn && !c.ownLayout;
        if (asked) fakes.messages.answers.push_back(c.leaveOut);
        if (c.deleteFirst) fakes.messages.answers.push_back(MsgAnswer::Yes);  // were emptying asked for
        d->cmdOk_Click();
        const bool imported = !c.deleteFirst && c.leaveOut == MsgAnswer::Yes;
        ASSERT_EQ(fakes.messages.shown.size(), (asked ? 1u : 0u) + (*c.reason ? 1u : 0u));
        if (asked) {
            EXPECT_EQ(fakes.messages.shown[0].text, question);
        }
        EXPECT_NE(fakes.messages.shown.back().text.find(c.reason), std::string::npos)
            << fakes.messages.shown.back().text;
        EXPECT_EQ(d->result() == QDialog::Accepted, imported);
        EXPECT_EQ(d->chkTaBort->isChecked(), c.deleteFirst);  // ticked until the delete is in the file
        EXPECT_TRUE(db::testing::anotherProgramGetsIt(main.state_.DataBas)) << "the import holds nothing once done";
        const std::vector<std::string> before{"-1 Intern", "7 Kvar"}, after{"-1 Intern", "1 Ada", "3 Cilla", "7 Kvar"};
        EXPECT_EQ(db::testing::queryWithSqlite(main.state_.DataBas, "SELECT ID || ' ' || Namn FROM Kund ORDER BY ID"),
                  imported ? after : before);
        if (c.ownLayout && imported) {
            EXPECT_EQ(db::testing::queryWithSqlite(main.state_.DataBas, "SELECT count(*) FROM Kund WHERE Okand = 'x'"),
                      std::vector<std::string>{"2"});
        }
    }
}

// The preview follows the links and the "empty first" box; OK with the box
// ticked asks once the file is checked, No being the default (and changing
// nothing), and the result names both counts.
TEST_F(Mapping, PreviewFollowsTheLinksAndEmptyingAsksFirst) {
    db::testing::makeDatabase(main.state_.DataBas, "INSERT INTO Kund (ID, Namn) VALUES (-1, 'Intern'), (7, 'Kvar');");
    auto d = open();
    chooseFile(*d, dir.write("KundReg.skv", "ID;Namn\r\n1;Ada\r\n7;Bo\r\n3;Cilla;x\r\n"));
    EXPECT_EQ(d->grdFörhandsvisning->rowCount(), 0);  // nothing linked, nothing to show
    d->cmdAuto_Click();
    const auto notes = [&] {
        std::vector<std::string> n;
        for (int r = 0; r < d->grdFörhandsvisning->rowCount(); ++r)
            n.push_back(d->grdFörhandsvisning->item(r, 0)->text().toStdString() + " " +
                        d->grdFörhandsvisning->item(r, 1)->text().toStdString());
        return n;
    };
    EXPECT_EQ(notes(), (std::vector<std::string>{"2 ", "3 [R9503]: [R9116]", "4 [R9503]: [R9115]"}));
    d->chkTaBort->setChecked(true);
    EXPECT_EQ(notes(), (std::vector<std::string>{"2 ", "3 ", "4 [R9504]: [R9115]"}));
    EXPECT_TRUE(db::testing::anotherProgramGetsIt(main.state_.DataBas)) << "the preview holds nothing once shown";
    chooseFile(*d, dir.write("KundReg.skv", "ID;Namn\r\n1;Ada\r\n7;Bo\r\n"));
    const std::vector<std::string> before{"-1 Intern", "7 Kvar"}, after{"-1 Intern", "1 Ada", "7 Bo"};
    for (const MsgAnswer answer : {MsgAnswer::No, MsgAnswer::Yes}) {
        fakes.messages.shown.clear();
        fakes.messages.answers = {answer};
        d->cmdOk_Click();
        ASSERT_EQ(fakes.messages.shown.size(), 1u);
        EXPECT_EQ(std::pair(fakes.messages.shown[0].text, fakes.messages.shown[0].buttons),
                  std::pair(std::string("[R9510] 1 [R9511] [R9515] 2 [R9770]?"), MsgButtons::YesNoDefaultNo));
        EXPECT_TRUE(db::testing::anotherProgramGetsIt(main.state_.DataBas)) << "nothing is held after the question";
        EXPECT_EQ(db::testing::queryWithSqlite(main.state_.DataBas, "SELECT ID || ' ' || Namn FROM Kund ORDER BY ID"),
                  answer == MsgAnswer::Yes ? after : before);
    }
    EXPECT_EQ(main.info(), " 2 [R1805]! 1 [R9120].");
}

// With "empty first" the whole file is read and stored on the staging copy
// before anything is asked: a file the import cannot read to its end, a
// value a column refuses, a register that is gone stop it with their own
// message. Nothing is asked, nothing changes, the box stays ticked.
TEST_F(Mapping, AFileTheImportRefusesStopsItBeforeTheQuestionOfEmptying) {
    db::testing::makeDatabase(main.state_.DataBas, "INSERT INTO Kund (ID, Namn, Rabatt) VALUES (7, 'Kvar', 1.5);");
    struct Case {
        std::string lastLine;  // after two good ones
        bool registerGone;
        std::string message;  // in the box
    };
    for (const Case& c : {Case{std::string(kMaxLineBytes + 1, 'x'), false, "[R9104]"},
                          Case{"3;Cilla;;x;", false, "[R9040] 4"}, Case{"3;Cilla;;0;", true, "3078"}}) {
        SCOPED_TRACE(c.message);
        fakes.messages.shown.clear();
        fakes.messages.answers = {MsgAnswer::Yes};  // were emptying asked for
        auto d = open();
        chooseFile(*d, dir.write("KundReg.skv",
                                 "ID;Namn;P-adress;Rabatt;Okand\r\n1;Ada;;0;\r\n2;Bo;;0;\r\n" + c.lastLine + "\r\n"));
        d->cmdAuto_Click();
        d->chkTaBort->setChecked(true);
        if (c.registerGone) db::testing::makeDatabase(main.state_.DataBas, "ALTER TABLE Kund RENAME TO Gone;");
        d->cmdOk_Click();
        ASSERT_EQ(fakes.messages.shown.size(), 1u);
        EXPECT_NE(fakes.messages.shown[0].text.find(c.message), std::string::npos) << fakes.messages.shown[0].text;
        EXPECT_NE(fakes.messages.shown[0].buttons, MsgButtons::YesNoDefaultNo);
        EXPECT_EQ(d->result(), QDialog::Rejected);
        EXPECT_TRUE(d->chkTaBort->isChecked());
        EXPECT_EQ(db::testing::queryWithSqlite(main.state_.DataBas, std::string("SELECT ID || ' ' || Namn FROM ") +
                                                                        (c.registerGone ? "Gone" : "Kund")),
                  std::vector<std::string>{"7 Kvar"});
        if (c.registerGone) db::testing::makeDatabase(main.state_.DataBas, "ALTER TABLE Gone RENAME TO Kund;");
    }
}

// Try runs the import and undoes it: the summary it would give, and on Yes
// the skipped lines in the report the user names; No, or Cancel in the save
// dialog, writes nothing. The database is byte for byte as before.
TEST_F(Mapping, TryRunShowsTheSummaryAndSavesTheSkippedLinesOnlyWhenAsked) {
    db::testing::makeDatabase(main.state_.DataBas, "INSERT INTO Kund (ID, Namn) VALUES (7, 'Kvar');");
    const std::string before = dir.read("bok.db");
    struct Case {
        MsgAnswer answer;
        std::string chosen;  // in the save dialog; "" cancels it
        bool written;
    };
    for (const Case& c : {Case{MsgAnswer::Yes, dir.file("hoppade.txt"), true}, Case{MsgAnswer::Yes, "", false},
                          Case{MsgAnswer::No, dir.file("hoppade.txt"), false}}) {
        SCOPED_TRACE(c.chosen + (c.answer == MsgAnswer::Yes ? " yes" : " no"));
        std::filesystem::remove(dir.file("hoppade.txt"));
        fakes.messages.shown.clear();
        auto d = open();
        chooseFile(*d, dir.write("KundReg.skv", "ID;Namn\r\n1;Ada\r\n7;Bo\r\n"));
        d->cmdAuto_Click();
        fakes.messages.answers = {c.answer};
        fakes.dialogs.choices = {c.chosen};
        d->cmdProva_Click();
        ASSERT_EQ(fakes.messages.shown.size(), 1u);
        EXPECT_EQ(fakes.messages.shown[0].text,
                  "[R9119]\r\n1 [R9751]\r\n1 [R9114]: [R9116] ([R9040] 3)\r\n\r\n[R9508]?");
        EXPECT_EQ(std::filesystem::exists(dir.file("hoppade.txt")) ? dir.read("hoppade.txt") : "none",
                  c.written ? "[R9040] 3: [R9116]: 7;Bo\n" : "none");
        std::set<std::string> files;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
            files.insert(entry.path().filename().string());
        files.erase("hoppade.txt");
        EXPECT_EQ(files,
                  (std::set<std::string>{"KundReg.skv", "Lang.ini", "bok.db"}));  // and no report under another name
        EXPECT_TRUE(dir.read("bok.db") == before);
        EXPECT_NE(d->result(), QDialog::Accepted);
    }
}

}  // namespace
}  // namespace vexla
