// The import end to end: a real database file, a register file written byte
// by byte, links made by the dialog's automatic linking; what is stored is
// read back with plain sqlite3.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "db/sqlite_engine.h"
#include "registers/import.h"
#include "registers/import_plan.h"
#include "registers/import_report.h"
#include "registers/import_texts.h"
#include "registers/register_file_reader.h"
#include "tests/db/db_test_support.h"
#include "tests/registers/auto_linked.h"

namespace vexla {
namespace {

using testing::autoLinked;

using db::testing::kBookingSchema;
using db::testing::makeDatabase;
using db::testing::queryWithSqlite;

const char* const kRows[] = {
    ("SELECT ID||'|'||Namn||'|'||ifnull(\"P-adress\",'~')||'|'||ifnull(Rabatt,'~')||'|'||"
     "ifnull(replace(Anteckningar, char(13,10), '/'),'~') FROM Kund ORDER BY ID"),
    "SELECT ID||'|'||KundID||'|'||StartTid||'|'||ifnull(Anteckning,'~')||'|'||Lunch FROM Bokning ORDER BY ID"};

// Every table but the two registers, whole: an import must never touch
// them; and the schema, whose indexes a delete-first import drops and builds
// again: the same ones, consistent with their rows.
const char* const kOthers =
    "SELECT 'Users:'||group_concat(ID||Namn||ifnull(Losenord,'~')||GruppID, ',') FROM Users"
    " UNION ALL SELECT 'Person:'||count(*) FROM Person"
    " UNION ALL SELECT 'tables:'||group_concat(name, ',') FROM sqlite_schema WHERE type = 'table'"
    " UNION ALL SELECT 'indexes:'||group_concat(sql, ',') FROM"
    "   (SELECT sql FROM sqlite_schema WHERE type = 'index' AND sql IS NOT NULL ORDER BY name)"
    " UNION ALL SELECT 'check:'||group_concat(integrity_check) FROM pragma_integrity_check";
// Indexes of the registers: plain ones and a partial one.
const char* const kIndexes =
    "CREATE INDEX KundNamn ON Kund (Namn); CREATE INDEX KundRabatt ON Kund (Rabatt) WHERE Rabatt > 0;"
    "CREATE INDEX BokningKund ON Bokning (KundID);";

struct Options {
    bool deleteFirst = false, dryRun = false;
    long cancelAtLine = 0;                      // the caller asks to stop before this line
    std::function<void(LinkTable&)> editLinks;  // what the user changed after Auto
    std::string setup;                          // more rows in the database before the import
};

struct Imported {
    ImportOutcome outcome;
    std::string message;  // the stop's message, with [Rxxxx] for each text
    std::vector<std::string> customers, bookings, others;
    std::vector<std::pair<long, SkipReason>> skipped;
    std::vector<ImportProgress> progress;
};

// Imports `bytes` into register `name` of a fresh small database that holds
// the customers -1 and 1, linked as the dialog's Auto button links.
Imported importFile(const std::string& name, const std::string& bytes, const Options& o = {}) {
    testing::TempFolder dir;
    const std::string path = dir.file("v.db");
    makeDatabase(path, std::string(kBookingSchema) + kIndexes +
                           "INSERT INTO Kund VALUES (1, 'Gammal', NULL, 0, NULL);" + o.setup);
    db::SqliteEngine engine;
    auto db = std::move(engine.OpenDatabase(path, true).value());
    ImportRequest request{name, "  " + dir.write("f.skv", bytes) + " ", o.deleteFirst, {}, o.dryRun};
    LinkTable links = autoLinked(*db, request, dir.file("f.skv"), "se");
    if (o.editLinks) o.editLinks(links);
    Imported run;
    ImportServices services(*db, "se");
    long lines = 1;
    services.cancelled = [&] { return o.cancelAtLine && ++lines >= o.cancelAtLine; };
    services.skipped = [&](long line, SkipReason why, std::string_view) { run.skipped.push_back({line, why}); };
    SteadyTime t{};
    services.now = [&] { return t += std::chrono::milliseconds(200); };
    services.progress = [&](const ImportProgress& p) { run.progress.push_back(p); };
    run.outcome = importRegister(links, request, services);
    testing::BracketTexts texts;
    run.message = importStopMessage(run.outcome, "f.skv", texts);
    EXPECT_FALSE(db->Rollback().ok()) << "the import left a transaction open";
    (void)db->Close();
    run.customers = queryWithSqlite(path, kRows[0]);
    run.bookings = queryWithSqlite(path, kRows[1]);
    run.others = queryWithSqlite(path, kOthers);
    return run;
}

const std::string kKundHeader = "ID;Namn;Postadress;Rabatt;Anteckningar\r\n";
const std::string kQuotedHeader = "\"ID\";\"Namn\";\"Postadress\";\"Rabatt\";\"Anteckningar\"\r\n";
const std::vector<std::string> kCustomersBefore = {"-1|Intern|~|0.0|~", "1|Gammal|~|0.0|~"};
const std::vector<std::string> kOthersBefore = {
    "Users:1adminAB1,2ÖrjanCD1,3annaEF2", "Person:0", "tables:Kund,Person,Bokning,Users",
    "indexes:CREATE INDEX BokningKund ON Bokning (KundID),CREATE INDEX KundNamn ON Kund (Namn),"
    "CREATE INDEX KundRabatt ON Kund (Rabatt) WHERE Rabatt > 0",
    "check:ok"};

TEST(Import, LinesStoreWhatTheySay) {
    struct LineCase {
        const char* name;
        std::string bytes;               // after the customers' header line
        std::vector<std::string> added;  // rows after the two already there
        std::vector<std::pair<long, SkipReason>> skipped;
    };
    const std::vector<LineCase> cases{
        {"EmptyLinesSkipped", "\r\n2;A;;;\r\n\r\n\r\n3;B;;;\r\n", {"2|A||0.0|", "3|B||0.0|"}, {}},
        {"LoneCrEndsLine", "2;A;;;\r3;B;;;", {"2|A||0.0|", "3|B||0.0|"}, {}},
        {"EscIsCrLfAndQuotesStay",
         "2;O'Hara \"A\";x-y; 1,5 ;rad1\x1Brad2\r\n",
         {"2|O'Hara \"A\"|x-y|1.5|rad1/rad2"},
         {}},
        {"WrongFieldCountSkipped",
         "2;A;;\r\n3;B;;;;\r\n4;C;;;\r\n",
         {"4|C||0.0|"},
         {{2, SkipReason::WrongFieldCount}, {3, SkipReason::WrongFieldCount}}},
        {"DuplicateSkipped",
         "2;A;;;\r\n1;Dub;;;\r\n3;B;;;\r\n",
         {"2|A||0.0|", "3|B||0.0|"},
         {{3, SkipReason::DuplicateKey}}},
        // Values that read as SQL are text in text columns; nothing else runs.
        {"SqlInTextIsText",
         "2;x') --;x' OR ''=';;(SELECT Losenord FROM Users) [Namn] #1# \"%_\"\r\n",
         {"2|x') --|x' OR ''='|0.0|(SELECT Losenord FROM Users) [Namn] #1# \"%_\""},
         {}}};
    for (const LineCase& c : cases) {
        SCOPED_TRACE(c.name);
        const Imported run = importFile("Kund", kKundHeader + c.bytes);
        EXPECT_TRUE(run.outcome.committed) << run.message;
        EXPECT_EQ(run.outcome.inserted, static_cast<std::int32_t>(c.added.size()));
        std::vector<std::string> rows = kCustomersBefore;
        rows.insert(rows.end(), c.added.begin(), c.added.end());
        EXPECT_EQ(run.customers, rows);
        EXPECT_EQ(run.skipped, c.skipped);
        EXPECT_EQ(run.outcome.wrongFieldCount.count + run.outcome.duplicates.count,
                  static_cast<long>(c.skipped.size()));
        EXPECT_EQ(run.others, kOthersBefore);
    }
}

// A spreadsheet's cells may hold line breaks (stored as CR LF, shown "/"),
// ";" and quotes: with or without "delete first" the register then holds
// exactly the file's records, none cut and none made of a cell's rest;
// an empty cell is no value.
TEST(Import, SpreadsheetCellsHoldWholeValues) {
    using Row = std::tuple<const char*, std::string, std::vector<std::string>>;
    for (const auto& [name, bytes, added] :
         {Row{"CrLf",
              kQuotedHeader + "2;\"A\";;;\"rad1\r\nrad2\"\r\n3;\"B\";;;\r\n",
              {"2|A|~|~|rad1/rad2", "3|B|~|~|~"}},
          Row{"LfInACrLfFile", kQuotedHeader + "2;\"A\";;;\"rad1\nrad2\"\r\n", {"2|A|~|~|rad1/rad2"}},
          Row{"LfFile",
              "\"ID\";\"Namn\";\"Anteckningar\"\n2;\"A\";\"rad1\n\nrad3\"\n3;B;\n",
              {"2|A|~|~|rad1//rad3", "3|B|~|~|~"}},
          Row{"ARestThatLooksLikeARecord",
              kQuotedHeader + "9011;\"Nils\";;;\"Best\xE4llare:\r\n9500;Kalle;;;se ovan\"\r\n",
              {"9011|Nils|~|~|Beställare:/9500;Kalle;;;se ovan"}},
          Row{"SeparatorAndDoubledQuotes",
              kQuotedHeader + "2;\"O\"\"Hara; AB\";;;\"x\"\"\r\n;y\"\r\n",
              {"2|O\"Hara; AB|~|~|x\"/;y"}}}) {
        for (const bool deleteFirst : {false, true}) {
            SCOPED_TRACE(std::string(name) + (deleteFirst ? " with delete first" : ""));
            const Imported run = importFile("Kund", bytes, {deleteFirst, false, 0, {}, {}});
            EXPECT_TRUE(run.outcome.committed) << run.message;
            std::vector<std::string> rows = kCustomersBefore;
            if (deleteFirst) rows.pop_back();
            rows.insert(rows.end(), added.begin(), added.end());
            EXPECT_EQ(run.customers, rows);
            EXPECT_EQ(run.skipped.size(), 0u);
        }
    }
}

// Every fault that ends an import, with and without "delete first": the
// registers are exactly as before, and the message names the reason, the
// line and (for a refused value) the column, and says nothing changed.
TEST(Import, AStopLeavesTheRegisterAsItWas) {
    const auto without = [](const char* caption) {
        return [caption](LinkTable& links) {
            std::erase_if(links, [&](const LinkRow& l) { return l.caption == caption; });
        };
    };
    struct StopCase {
        const char* name;
        std::string bytes;  // the whole file
        ImportStop stop;
        std::string said;  // in the message, beside the line and "unchanged"
        long line = 0;
        bool onlyDeleteFirst = false;
        std::function<void(LinkTable&)> editLinks = {};
        long cancelAtLine = 0;
    };
    const std::string good = kKundHeader + "2;A;;;\r\n3;B;;;\r\n";
    const std::vector<StopCase> cases{
        {"NulByte", good + std::string("4;N\0l;;;\r\n", 10), ImportStop::NulCharacter, "[R9101]", 4},
        {"NulInTheHeader", std::string("ID;Na\0mn;Postadress;Rabatt;Anteckningar\r\n2;A;;;\r\n", 49),
         ImportStop::NulCharacter, "[R9101]", 1},
        {"Utf16", std::string("\xFF\xFEI\0D\0;\0N\0\r\0\n\0", 14), ImportStop::OtherEncoding,
         "[R9541] UTF-16LE. [R9542]."},
        {"UnclosedQuote", kQuotedHeader + "2;\"A\";;;\"rad1\r\n3;B;;;\r\n", ImportStop::UnclosedQuote, "[R9540] 2."},
        {"NoSeparator", good + "rubbish\r\n", ImportStop::NoSeparator, "[R1799]!", 4},
        {"NotUtf8", kKundHeader + "2;\xC3\x85;;;\r\n" + std::string(70000, '\r') + "4;Caf\xE9;;;\r\n",
         ImportStop::NotUtf8, "[R9250]", 70003},
        {"RefusedNumber", good + "4;C;;abc;\r\n", ImportStop::Refused, "[R9041] Rabatt: 'abc' [R9543]\r\n[R9100].", 4},
        {"TooLongText", good + "4;Elva tecken;;;\r\n", ImportStop::Refused, "[R9041] Namn: 'Elva tecken' [R9560]", 4},
        {"NumberAsSql", good + "4;C;;1) OR (1=1;\r\n", ImportStop::Refused, "[R9041] Rabatt: '1) OR (1=1' [R9543]", 4},
        {"KeyAsSql", good + "2 OR 1=1;A;;;\r\n", ImportStop::Refused, "[R9041] ID: '2 OR 1=1' [R9543]", 4},
        {"RefusedAfterAMultiLineCell", kQuotedHeader + "2;\"A\";;;\"rad1\r\nrad2\"\r\n3;\"B\";;x;\r\n",
         ImportStop::Refused, "[R9040] 4, [R9041] Rabatt: 'x'"},
        {"TooManyFields", good + std::string(1200, ';') + "\r\n", ImportStop::TooManyFields, "[R9105]", 4},
        {"LineTooLong", good + "4;" + std::string(kMaxLineBytes, 'x') + ";;;\r\n", ImportStop::LineTooLong, "[R9104]",
         4},
        {"Cancelled", good + "4;C;;;\r\n", ImportStop::Cancelled, "[R9113]", 0, false, {}, 3},
        {"RequiredUnlinked", good, ImportStop::RequiredUnlinked, "[R9110]: Namn", 0, false, without("Namn")},
        {"LinkedTwice", good, ImportStop::LinkTwice, "[R9109]: Rabatt", 0, false,
         [](LinkTable& l) { l.push_back(l[3]); }},
        {"LinkWithoutColumn", good, ImportStop::LinkNoColumn, "[R9108]: X", 0, false,
         [](LinkTable& l) {
             l.push_back({"", "0", "X", "0"});
         }},
        {"LinkOutsideTheFile", good, ImportStop::LinkOutOfRange, "[R9111]", 0, false,
         [](LinkTable& l) { l[1].fileFieldPosition = "9"; }},
        {"WrongFieldCount", good + "4;C;;\r\n", ImportStop::WrongFieldCount, "[R9103]: 4 / 5\r\n[R9102]", 4, true},
        {"DuplicateInFile", good + "2;C;;;\r\n", ImportStop::DuplicateKey, "[R1818]!\r\n[R9102]", 4, true},
    };
    for (const StopCase& c : cases) {
        for (const bool deleteFirst : {false, true}) {
            if (c.onlyDeleteFirst && !deleteFirst) continue;
            SCOPED_TRACE(std::string(c.name) + (deleteFirst ? " with delete first" : ""));
            const Imported run = importFile("Kund", c.bytes, {deleteFirst, false, c.cancelAtLine, c.editLinks, {}});
            EXPECT_EQ(run.outcome.stop, c.stop) << run.message;
            EXPECT_FALSE(run.outcome.committed);
            EXPECT_EQ(run.outcome.inserted, 0);
            EXPECT_EQ(run.customers, kCustomersBefore);
            EXPECT_EQ(run.others, kOthersBefore);
            EXPECT_NE(run.message.find(c.said), std::string::npos) << run.message;
            if (c.line) {
                EXPECT_NE(run.message.find("[R9040] " + std::to_string(c.line)), std::string::npos);
            }
            EXPECT_TRUE(run.message.ends_with("[R9100].")) << run.message;
        }
    }
}

// Delete first spares the placeholder customers, runs once before the first
// line that is stored and not at all for a file without one; it is refused
// while bookings point at customers and the file does not bring their IDs.
TEST(Import, DeleteFirst) {
    const Options deleting{true, false, 0, {}, {}};
    const Imported headerOnly = importFile("Kund", kKundHeader + "bad;count\r\n", deleting);
    EXPECT_EQ(headerOnly.customers, kCustomersBefore);
    EXPECT_FALSE(headerOnly.outcome.deletedFirst);
    const Imported run = importFile("Kund", kKundHeader + "1;Ny;;;\r\n2;B;;;\r\n", deleting);
    EXPECT_EQ(std::tuple(run.outcome.inserted, run.outcome.deleted, run.outcome.deletedFirst), std::tuple(2, 1, true));
    EXPECT_EQ(run.customers, (std::vector<std::string>{"-1|Intern|~|0.0|~", "1|Ny||0.0|", "2|B||0.0|"}));
    EXPECT_EQ(run.others, kOthersBefore);

    const std::string booking = "INSERT INTO Bokning (ID, KundID, StartTid) VALUES (9, 1, '2026-01-01 08:00:00');";
    const Imported renumbering = importFile("Kund", "Id;Namn\r\n1;Ny\r\n", {true, false, 0, {}, booking});
    EXPECT_EQ(renumbering.outcome.stop, ImportStop::KeyUnlinked);
    EXPECT_EQ(renumbering.customers, kCustomersBefore);
    EXPECT_EQ(importFile("Kund", "Id;Namn\r\n1;Ny\r\n", {false, false, 0, {}, booking}).outcome.inserted, 1);
}

// Files other programs write: LF-only, UTF-8 with or without a byte-order
// mark, a header padded with blanks, split by tabs or commas (refused); and bookings with their own value rules.
TEST(Import, FilesAndValuesUsersReallyHave) {
    EXPECT_EQ(importFile("Kund", "ID;Namn;Postadress;Rabatt;Anteckningar\n2;A;;;\n\n3;B;;;").outcome.inserted, 2);
    const Imported bom = importFile("Kund", "\xEF\xBB\xBFID ;Namn  ;Postadress;Rabatt;Anteckningar\r\n2;Café;;;\r\n");
    EXPECT_EQ(bom.customers.back(), "2|Café||0.0|");
    EXPECT_EQ(importFile("Kund", kKundHeader + "2;Caf\xE9;;;\r\n").customers.back(), "2|Café||0.0|");
    EXPECT_EQ(importFile("Kund", kKundHeader + "2;Caf\xC3\xA9;;;\r\n").customers.back(), "2|Café||0.0|");
    for (const auto& [bytes, code] :
         {std::pair{"ID,Namn\r\n2,A\r\n", "[R9251]."}, {"ID\tNamn\r\n2\tA\r\n", "[R9252]."}}) {
        const Imported refused = importFile("Kund", bytes);
        EXPECT_EQ(refused.outcome.stop, ImportStop::WrongSeparator);
        EXPECT_EQ(refused.message, std::string(code) + "\r\n[R9100].");
    }
    const Imported bookings = importFile("Bokningar",
                                         "ID;KundID;Starttid;Anteckningar;Lunch\r\n"
                                         "5;1;;not'e;True\r\n6;1;2026-01-02 08:30:00;;False\r\n");
    EXPECT_EQ(bookings.bookings,
              (std::vector<std::string>{"5|1|1899-12-30 00:00:00|not'e|1", "6|1|2026-01-02 08:30:00||0"}));
    EXPECT_EQ(importFile("Bokningar", "ID;KundID;Starttid\r\n7;Null;\r\n").outcome.stop, ImportStop::RequiredValue);
    const Imported lunch = importFile("Bokningar", "ID;KundID;Starttid;Lunch\r\n7;1;;ja\r\n");
    EXPECT_NE(lunch.message.find("[R9041] Lunch: 'ja' [R9545]"), std::string::npos) << lunch.message;
    // Date values that try to leave their # marks, or are no dates, are refused as a date.
    for (const std::string value : {"2026-01-01# OR #1", "(SELECT StartTid FROM Bokning)", "Now()", "True"}) {
        const Imported hostile = importFile("Bokningar", "ID;KundID;Starttid\r\n7;1;" + value + "\r\n");
        EXPECT_EQ(hostile.outcome.error.number, 3075) << value;
        EXPECT_NE(hostile.message.find("[R9041] Starttid: '" + value + "' [R9544]"), std::string::npos)
            << hostile.message;
        EXPECT_TRUE(hostile.bookings.empty());
    }
}

// Progress comes at most once per interval (each look at the clock: 0.2 s later), grows with the file and ends
// at its size.
TEST(Import, ReportsProgress) {
    std::string bytes = kKundHeader;
    for (int id = 2; id < 42; ++id) bytes += std::to_string(id) + ";N;;;\r\n";
    const Imported run = importFile("Kund", bytes);
    EXPECT_EQ(run.outcome.inserted, 40);
    ASSERT_GE(run.progress.size(), 10u);
    for (std::size_t i = 1; i < run.progress.size(); ++i) {
        EXPECT_GE(run.progress[i].inserted, run.progress[i - 1].inserted);
        EXPECT_GE(run.progress[i].bytesRead, run.progress[i - 1].bytesRead);
        EXPECT_EQ(run.progress[i].bytesTotal, bytes.size());
    }
    EXPECT_EQ(run.progress.back().bytesRead, bytes.size());
}

// The one pass before an import counts, per column, the lines of the
// header's field count that hold more than blanks there; a ";" inside quotes
// splits nothing.
TEST(Import, ScanCountsTheValuesOfEachColumn) {
    testing::TempFolder dir;
    using Row = std::tuple<std::string, long, std::vector<long>>;
    for (const auto& [bytes, records, values] :
         {Row{"A;B;\r\n1;2;\r\n\r\n3;4; x\r\n5;6;7;8\r\n;; \r\n", 4, {2, 2, 1}},
          Row{"\"A\";\"B\";\"\"\r\n1;\"a;b\";\"\"\r\n2;\"\";\"c\r\nd\"\r\n", 2, {2, 1, 1}}}) {
        SCOPED_TRACE(bytes);
        const FileScan scan = scanRegisterFile(dir.write("f.skv", bytes), {2, 0, 1}).value();
        EXPECT_EQ(std::pair(scan.records, scan.valuesByColumn), std::pair(records, values));
    }
}

// The skipped lines' report writes no control character a terminal acts on.
TEST(Import, ReportShowsControlCharactersAsPictures) {
    for (const auto& [line, plain] : {std::pair{"a\r\nb\rc\nd", "a \u23ce b \u23ce c \u23ce d"},
                                      {"\x1b\t\x7f\x01", "\u241b\u2409\u2421\u2401"},
                                      {"Caf\xc3\xa9 \"x\";y", "Caf\xc3\xa9 \"x\";y"}})
        EXPECT_EQ(plainLine(line), plain);
}

}  // namespace
}  // namespace vexla
