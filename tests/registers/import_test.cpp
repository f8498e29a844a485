// The import end to end: a real database file, a register file written byte
// by byte, links made by the dialog's automatic linking,
// scripted message boxes; what is stored is read back with plain sqlite3.
#include <gtest/gtest.h>

#include <algorithm>

#include "db/sqlite_engine.h"
#include "registers/import.h"
#include "tests/db/db_test_support.h"
#include "tests/registers/auto_links.h"

namespace vexla {
namespace {

using namespace std::chrono_literals;

using db::testing::kBookingSchema;
using db::testing::makeDatabase;
using db::testing::queryWithSqlite;

// Records the boxes, and checks at each one that no transaction is open:
// what the user is told about must already be in the file.
class CheckingBoxes final : public MessageBoxes {
public:
    db::Database* db = nullptr;
    std::vector<std::string> shown;
    int beeps = 0, openTransactions = 0;
    MsgAnswer show(const std::string& text, const std::string&, MsgIcon, MsgButtons) override {
        shown.push_back(text);
        if (db->Rollback().ok()) ++openTransactions;
        return MsgAnswer::Ok;
    }
    void beep() override { ++beeps; }
};

const char* const kRows[] = {
    ("SELECT ID||'|'||Namn||'|'||ifnull(\"P-adress\",'~')||'|'||ifnull(Rabatt,'~')||'|'||"
     "ifnull(replace(Anteckningar, char(13,10), '/'),'~') FROM Kund ORDER BY ID"),
    "", "SELECT ID||'|'||KundID||'|'||StartTid||'|'||ifnull(Anteckning,'~')||'|'||Lunch FROM Bokning ORDER BY ID"};

struct Outcome {
    std::int32_t count;
    std::vector<std::string> rows, boxes;
    bool chkTaBort, focusCmdMall;
    std::vector<std::string> others;  // every table but the register's, whole
};

// The tables an import must never touch, read whole.
const char* const kOthers = "SELECT 'Users:'||group_concat(ID||Namn||ifnull(Losenord,'~')||GruppID, ',') FROM Users"
                            " UNION ALL SELECT 'Person:'||count(*) FROM Person"
                            " UNION ALL SELECT 'tables:'||group_concat(name, ',') FROM sqlite_schema WHERE type = 'table'";

// Imports `bytes` into register `name` of a fresh small database, linked as
// the dialog's Auto button links.
Outcome importFile(const std::string& name, const std::string& bytes, bool taBort = false, int stepMs = 0,
               std::vector<std::pair<std::int32_t, long>>* progress = nullptr) {
    testing::TempFolder dir;
    const std::string path = dir.file("v.db");
    makeDatabase(path, std::string(kBookingSchema) + "INSERT INTO Kund VALUES (1, 'Gammal', NULL, 0, NULL);");
    db::SqliteEngine engine;
    auto db = std::move(engine.OpenDatabase(path, true).value());
    ImportDialog dialog{name, "  " + dir.write("f.skv", bytes) + " ", taBort, {}, false};
    const LinkTable links = testing::autoLinked(*db, dialog, dir.file("f.skv"), "se");
    testing::BracketTexts texts;
    CheckingBoxes boxes;
    boxes.db = db.get();
    SteadyTime t{};
    ImportServices services{*db, boxes, texts, "se", {}, {}};
    services.now = [&] { return t += std::chrono::milliseconds(stepMs); };
    if (progress)
        services.progress = [&](std::int32_t n) { progress->push_back({n, t.time_since_epoch() / 1ms}); };

    Outcome run{ImporteraRegister(links, dialog, services), {}, boxes.shown, dialog.chkTaBort, dialog.focusCmdMall, {}};
    EXPECT_EQ(boxes.openTransactions, 0);
    EXPECT_EQ(boxes.beeps, static_cast<int>(boxes.shown.size()));
    EXPECT_EQ(dialog.lblMallNamn.empty(), run.focusCmdMall);
    db->Close();
    run.rows = queryWithSqlite(path, kRows[name == "Kund" ? 0 : 2]);
    run.others = queryWithSqlite(path, kOthers);
    if (name != "Kund") {
        const auto customers = queryWithSqlite(path, kRows[0]);
        run.others.insert(run.others.end(), customers.begin(), customers.end());
    }
    return run;
}

const std::string kKundHeader = "ID;Namn;Postadress;Rabatt;Anteckningar\r\n";
const std::vector<std::string> kUntouched = {"-1|Intern|~|0.0|~", "1|Gammal|~|0.0|~"};
// A value the engine refuses on line 2, naming its column.
const std::string kRefusedOnLine2 = "3134\r\nSyntax error in INSERT INTO statement.\r\nDAO.Database\r\n[R9040] 2, [R9041] ";
const std::vector<std::string> kOthersUntouched = {"Users:1adminAB1,2ÖrjanCD1,3annaEF2", "Person:0",
                                                   "tables:Kund,Person,Bokning,Users"};

TEST(Import, LinesStoreWhatTheySay) {
    struct LineCase {
        const char* name;
        std::string bytes;  // after the customers' header line
        std::int32_t count;
        std::vector<std::string> added;  // rows after the two already there
        std::vector<std::string> boxes;
    };
    std::vector<LineCase> cases{
        {"EmptyLinesSkipped", "\r\n2;A;;;\r\n\r\n\r\n3;B;;;\r\n", 2, {"2|A||0.0|", "3|B||0.0|"}, {}},
        {"LoneCrEndsLine", "2;A;;;\r3;B;;;", 2, {"2|A||0.0|", "3|B||0.0|"}, {}},
        {"EscIsCrLfAndQuotesGo", "2;\"O'Hara\";x-y; 1,5 ;rad1\x1Brad2\r\n", 1, {"2|OHara|x-y|1.5|rad1/rad2"}, {}},
        {"WrongFieldCountSkipped", "2;A;;\r\n3;B;;;;\r\n4;C;;;\r\n", 1, {"4|C||0.0|"}, {}},
        {"NoSemicolonStopsKeepingEarlierRows", "2;A;;;\r\nrubbish\r\n3;B;;;\r\n", 1, {"2|A||0.0|"}, {"[R1799]!"}},
        {"DuplicateToldAndSkipped", "2;A;;;\r\n1;\"Dub\";  ;;x \r\n3;B;;;\r\n", 2, {"2|A||0.0|", "3|B||0.0|"},
         {"[R1818]!\r\n1, Dub,   , , x\r\n\r\n[R1819]"}},
        {"RefusedValueNamesLineAndColumn", "2;A;;;\r\n\r\n3;B;;abc;\r\n", 0, {"2|A||0.0|"},
         {"3134\r\nSyntax error in INSERT INTO statement.\r\nDAO.Database\r\n[R9040] 4, [R9041] Rabatt"}},
        {"TooLongTextRefused", "2;Elva tecken;;;\r\n", 0, {},
         {"3163\r\nThe field is too small to accept the amount of data you attempted to add. Try "
          "inserting or pasting less data.\r\nDAO.Database\r\n[R9040] 2, [R9041] Namn"}},
        // Values that read as SQL: in text columns they are text, in number
        // columns they are refused as a value; no other statement runs.
        {"SqlInTextIsText", "2;x') --;x' OR ''=';;(SELECT Losenord FROM Users) [Namn] #1# \"%_\"\r\n", 1,
         {"2|x) --|x OR =|0.0|(SELECT Losenord FROM Users) [Namn] #1# %_"}, {}},
        {"SqlInKeyRefused", "2 OR 1=1;A;;;\r\n", 0, {}, {kRefusedOnLine2 + "ID"}}};
    for (const char* number : {"(SELECT Losenord FROM Users)", "1) OR (1=1", "0 --", "[Rabatt]", "#2026-01-01#", "'1'"})
        cases.push_back({number, std::string("2;A;;") + number + ";\r\n", 0, {}, {kRefusedOnLine2 + "Rabatt"}});
    for (const LineCase& c : cases) {
        SCOPED_TRACE(c.name);
        const Outcome run = importFile("Kund", kKundHeader + c.bytes);
        EXPECT_EQ(run.count, c.count);
        std::vector<std::string> rows = kUntouched;
        rows.insert(rows.end(), c.added.begin(), c.added.end());
        std::sort(rows.begin(), rows.end(), [](auto& a, auto& b) { return std::stol(a) < std::stol(b); });
        EXPECT_EQ(run.rows, rows);
        EXPECT_EQ(run.boxes, c.boxes);
        EXPECT_EQ(run.others, kOthersUntouched);
    }
}

// Files other programs write: LF-only, UTF-8 with a byte-order mark, a header padded with blanks.
TEST(Import, FilesUsersReallyHave) {
    EXPECT_EQ(importFile("Kund", "ID;Namn;Postadress;Rabatt;Anteckningar\n2;A;;;\n\n3;B;;;").count, 2);
    const Outcome bom = importFile("Kund", "\xEF\xBB\xBFID ;Namn  ;Postadress;Rabatt;Anteckningar\r\n2;Café;;;\r\n");
    EXPECT_EQ(bom.count, 1);
    EXPECT_EQ(bom.rows.back(), "2|Café||0.0|");
    const Outcome ansi = importFile("Kund", kKundHeader + "2;Caf\xE9;;;\r\n");
    EXPECT_EQ(ansi.rows.back(), "2|Café||0.0|");
}

TEST(Import, DeleteRunsOnceBeforeTheFirstLineAndSparesPlaceholders) {
    const Outcome headerOnly = importFile("Kund", kKundHeader + "bad;count\r\n", true);
    EXPECT_EQ(headerOnly.rows, kUntouched);
    EXPECT_TRUE(headerOnly.chkTaBort);
    const Outcome run = importFile("Kund", kKundHeader + "1;Ny;;;\r\n2;B;;;\r\n", true);
    EXPECT_EQ(run.count, 2);
    EXPECT_FALSE(run.chkTaBort);
    EXPECT_EQ(run.rows, (std::vector<std::string>{"-1|Intern|~|0.0|~", "1|Ny||0.0|", "2|B||0.0|"}));
}

TEST(Import, BookingsNotesZeroDateAndFlags) {
    const Outcome run = importFile("Bokningar",
                               "ID;KundID;Starttid;Anteckningar;Lunch\r\n"
                               "5;1;;not'e;True\r\n6;1;2026-01-02 08:30:00;;False\r\n");
    EXPECT_EQ(run.count, 2);
    EXPECT_EQ(run.rows, (std::vector<std::string>{"5|1|1899-12-30 00:00:00|note|1", "6|1|2026-01-02 08:30:00||0"}));
}

// Date values that try to leave their # marks, or are no dates: refused as
// a date, nothing stored, no other statement run.
TEST(Import, HostileDatesAreRefusedAsADateAndNothingElseRuns) {
    std::vector<std::string> others = kOthersUntouched;
    others.insert(others.end(), kUntouched.begin(), kUntouched.end());
    for (const std::string value : {"2026-01-01# OR #1", "(SELECT StartTid FROM Bokning)", "Now()",
                                    "2026-01-01') OR ('1'='1", "[StartTid]", "2026-01-01 --", "True"}) {
        SCOPED_TRACE(value);
        const Outcome run = importFile("Bokningar", "ID;KundID;Starttid\r\n7;1;" + value + "\r\n");
        EXPECT_EQ(run.count, 0);
        EXPECT_TRUE(run.rows.empty());
        EXPECT_EQ(run.boxes, std::vector<std::string>{"3075\r\nSyntax error in date in query expression '#" + value +
                                                      "#'.\r\nDAO.Database\r\n[R9040] 2, [R9041] StartTid"});
        EXPECT_EQ(run.others, others);
    }
}

// Failures that end the import with 0, whatever was inserted before them.
TEST(Import, EndingFailures) {
    const Outcome empty = importFile("Kund", "");
    EXPECT_EQ(empty.count, 0);
    EXPECT_EQ(empty.boxes, std::vector<std::string>{"62\r\nInput past end of file\r\nVexla Admin"});
    const Outcome required = importFile("Kund", "ID;Postadress\r\n2;x\r\n");
    EXPECT_EQ(required.count, 0);
    EXPECT_EQ(required.boxes, std::vector<std::string>{"[R1817]"});
    // A semicolon inside a value splits it; what reaches the number column is refused, nothing runs.
    const Outcome injection = importFile("Kund", "ID;Namn;Postadress;Rabatt;X;Y\r\n2;A;;1); DELETE FROM Kund; --\r\n");
    EXPECT_EQ(injection.count, 0);
    EXPECT_EQ(injection.rows, kUntouched);
    ASSERT_EQ(injection.boxes.size(), 1u);
    EXPECT_TRUE(injection.boxes[0].ends_with("[R9040] 2, [R9041] Rabatt")) << injection.boxes[0];
}

// A slow import commits and reports as it goes; each report is a count the
// file already holds, and the reports come at most once per batch time.
TEST(Import, CommitsAndReportsWhileItRuns) {
    std::string bytes = kKundHeader;
    for (int id = 2; id < 42; ++id) bytes += std::to_string(id) + ";N;;;\r\n" + (id == 20 ? "1;D;;;\r\n" : "");
    std::vector<std::pair<std::int32_t, long>> progress;  // count, clock in ms
    const Outcome run = importFile("Kund", bytes, false, 200, &progress);
    EXPECT_EQ(run.count, 40);
    EXPECT_EQ(run.boxes.size(), 1u);
    ASSERT_GE(progress.size(), 5u);
    for (std::size_t i = 1; i < progress.size(); ++i) {
        EXPECT_GE(progress[i].second - progress[i - 1].second, 500);
        EXPECT_GT(progress[i].first, progress[i - 1].first);
    }
}

}  // namespace
}  // namespace vexla
