// A register holding what a register file cannot carry back, exported and
// imported through the mapping dialog into another database: a text with
// ";" and a column the field catalogue does not know. The export says how
// many records will not come back; the import skips or refuses them, and
// keeps what the table held unless the user asked to empty it first.
#include <QCheckBox>
#include <QDialog>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include "registers/export_register.h"
#include "registers/gui/frm_koppla_falt.h"
#include "tests/db/db_test_support.h"
#include "tests/support/fake_admin_window.h"
#include "tests/support/fake_platform.h"
#include "tests/support/qt_app.h"

namespace vexla {
namespace {

struct UntidyCase {
    const char* name;
    bool unknownColumn;  // Kund has a column "Okand" besides ID and Namn
    bool deleteFirst;
    const char* exportNote;  // what follows the count and path in the information line
    std::size_t links;       // made by automatic linking
    const char* message;     // the import's one message box, or ""
    const char* info;        // the information line after OK
    std::vector<std::string> rows;
};

void PrintTo(const UntidyCase& c, std::ostream* os) { *os << c.name; }

class UntidyRegister : public ::testing::TestWithParam<UntidyCase> {
protected:
    testing::TempFolder dir;
    testing::FakePlatform fakes;
    Platform platform = fakes.platform(dir.path());
    mTexter texts{dir.file("Lang.ini"), fakes.messages};
    testing::FakeAdminWindow main;
    std::int16_t counter = 0;

    void SetUp() override {
        testing::ensureQApplication();
        dir.write("Lang.ini", "[System]\r\nR1740=[R1740]\r\nR1805=[R1805]\r\nR9020=[R9020]\r\nR9021=[R9021]\r\n"
                              "R9040=[R9040]\r\nR9041=[R9041]\r\n");
        main.state_.Språk = "se";
    }

    // Kund with the rows given as "ID, 'Namn'"; the unknown column holds 'x'.
    void makeKund(const std::string& file, std::initializer_list<const char*> rows) {
        const bool unknown = GetParam().unknownColumn;
        std::string sql = std::string("CREATE TABLE Kund (ID LONG PRIMARY KEY, Namn VARCHAR(50)") +
                          (unknown ? ", Okand VARCHAR(10));" : ");");
        for (const char* row : rows)
            sql += std::string("INSERT INTO Kund VALUES (") + row + (unknown ? ", 'x');" : ");");
        db::testing::makeDatabase(dir.file(file), sql);
    }
};

TEST_P(UntidyRegister, ExportCountsWhatCannotComeBackAndImportKeepsTheTable) {
    const UntidyCase& c = GetParam();
    makeKund("a.db", {"-1, 'Intern'", "1, 'Ada'", "2, 'Bo; AB'", "3, 'Cilla'"});
    makeKund("b.db", {"-1, 'Intern'", "7, 'Kvar'"});

    main.state_.db = main.engine_.OpenDatabase(dir.file("a.db"), true).value();
    const std::string path = dir.file("KundReg.skv");
    fakes.dialogs.choices.push_back(path);
    ExportContext ctx{main, platform, texts};
    const ExportOutcome outcome = exportRegister(ctx, 0);
    const std::string x = c.unknownColumn ? ";x" : "";
    EXPECT_EQ(dir.read("KundReg.skv"), (c.unknownColumn ? "ID;Namn;\r\n" : "ID;Namn\r\n") + ("1;Ada" + x) +
                                           "\r\n2;Bo; AB" + x + "\r\n3;Cilla" + x + "\r\n");
    EXPECT_EQ(exportResultText(0, outcome, main.state_.lastExportPath, texts), "3 [R1740] " + path + c.exportNote);
    main.state_.db.reset();

    // Into another database, linked automatically as the user would.
    main.state_.DataBas = dir.file("b.db");
    frmKopplaFält d(main, nullptr, platform, texts, counter);
    d.Tag = "Kund";
    d.Form_Activate();
    fakes.dialogs.choices.push_back(path);
    d.cmdMall_Click();
    d.cmdAuto_Click();
    EXPECT_EQ(d.linkTable().size(), c.links);
    d.chkTaBort->setChecked(c.deleteFirst);
    d.cmdOk_Click();

    std::vector<std::string> messages;
    for (const auto& box : fakes.messages.shown) messages.push_back(box.text);
    EXPECT_EQ(messages, *c.message ? std::vector<std::string>{c.message} : std::vector<std::string>{});
    EXPECT_EQ(main.infos.back(), c.info);
    EXPECT_EQ(d.result() == QDialog::Accepted, c.message[0] == '\0');  // closes only after records came in
    EXPECT_FALSE(d.chkTaBort->isChecked());                           // the delete ran, or was never asked for
    main.state_.db.reset();
    EXPECT_EQ(db::testing::queryWithSqlite(dir.file("b.db"), "SELECT ID || ' ' || Namn FROM Kund ORDER BY ID"), c.rows);
}

// The column without a caption: its empty file field links to its empty
// caption, which names no column, so the statement has one value too many.
constexpr const char* kTooManyValues =
    "3346\r\nNumber of query values and destination fields are not the same.\r\nDAO.Database\r\n[R9040] 2";

INSTANTIATE_TEST_SUITE_P(
    Cases, UntidyRegister,
    ::testing::Values(
        UntidyCase{"SemicolonLineSkipped", false, false, ". 1 [R9021].", 2, "", " 2 [R1805]!",
                   {"-1 Intern", "1 Ada", "3 Cilla", "7 Kvar"}},
        UntidyCase{"SemicolonLineSkippedAfterDelete", false, true, ". 1 [R9021].", 2, "", " 2 [R1805]!",
                   {"-1 Intern", "1 Ada", "3 Cilla"}},
        UntidyCase{"UnknownColumnRefused", true, false, ". 3 [R9021].", 3, kTooManyValues, " 0 [R1805]!",
                   {"-1 Intern", "7 Kvar"}},
        UntidyCase{"UnknownColumnRefusedAfterDelete", true, true, ". 3 [R9021].", 3, kTooManyValues, " 0 [R1805]!",
                   {"-1 Intern"}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vexla
