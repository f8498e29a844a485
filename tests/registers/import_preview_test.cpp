// The preview against the import it foretells: a real database, register
// files written byte by byte, links as the Auto button makes them.
#include "registers/import_preview.h"

#include <gtest/gtest.h>

#include <tuple>

#include "db/errors.h"
#include "db/sqlite_engine.h"
#include "registers/import_confirmation.h"
#include "registers/register_file_reader.h"
#include "tests/db/db_test_support.h"
#include "tests/registers/auto_linked.h"

namespace vexla {
namespace {

using db::testing::kBookingSchema;
using db::testing::makeDatabase;

const std::string kHeader = "ID;F\xC3\xB6rnamn;Personnr;Nyrekrytering;Omfattning;Anst\xC3\xA4llningstart\r\n";

struct Previewed {
    std::vector<std::string> rows;  // "line values|joined note"
    ImportPreview preview;
};

// The preview of resource file `bytes` against a database holding the
// resource with personal number 111, or against no database.
Previewed previewOf(const std::string& bytes, bool deleteFirst, bool withDatabase, std::size_t maxLines = 6) {
    testing::TempFolder dir;
    const std::string path = dir.file("v.db");
    makeDatabase(
        path, std::string(kBookingSchema) + "INSERT INTO Person (ID, F\xC3\xB6rNamn, Pnr) VALUES (9, 'Kvar', '111');");
    db::SqliteEngine engine;
    auto db = std::move(engine.OpenDatabase(path, true).value());
    ImportRequest request{"Resurser", dir.write("r.skv", bytes), deleteFirst, {}, false};
    const LinkTable links = testing::autoLinked(*db, request, request.path, "se");
    Previewed p;
    p.preview = previewImport(links, request, withDatabase ? db.get() : nullptr, "se", ValueTextFormat{}, maxLines);
    testing::BracketTexts texts;
    for (const PreviewLine& line : p.preview.lines) {
        std::string values;
        for (const std::string& v : line.values) values += (values.empty() ? "" : "|") + v;
        p.rows.push_back(std::to_string(line.line) + " " + values + " " + previewMarkText(line, texts));
    }
    EXPECT_FALSE(db->Rollback().ok()) << "the preview left a transaction open";
    return p;
}

// Stored values as the export writes them; a key the register or an earlier
// line holds, a refused value, a wrong field count, each marked as the
// import would treat it, which "empty first" turns from skipping to stopping.
TEST(ImportPreview, MarksEachLineAsTheImportWouldTakeIt) {
    const std::string file = kHeader +
                             "1;Ada;200;1; 40 ;2024-1-5\r\n"
                             "\r\n"
                             "2;Bo;111;0;10;2024-02-01 13:30\r\n"
                             "1;Cia;300;False;10;2024-02-01\r\n"
                             "3;Dan;400;ja;10;2024-02-01\r\n"
                             "4;Eva;500;0;10\r\n"
                             "5;Fia;600;0;99999;2024-02-01\r\n"
                             "6;Gun;700;0;10;2024-02-01\r\n";
    struct Case {
        bool deleteFirst;
        std::vector<std::string> rows;
    };
    for (const Case& c :
         {Case{false,
               {"2 1|Ada|200|True|40|2024-01-05 ", "4 2|Bo|111|False|10|2024-02-01 13:30:00 [R9503]: [R9116]",
                "5 1|Cia|300|False|10|2024-02-01 [R9503]: [R9116]",
                "6 3|Dan|400|ja|10|2024-02-01 [R9504]: Nyrekrytering: 'ja' [R9505]",
                "7 4|Eva|500|0|10| [R9503]: [R9115]",
                "8 5|Fia|600|0|99999|2024-02-01 [R9504]: Omfattning: '99999' [R9505]"}},
          // Emptied first, the register's keys are gone; a line of another field count stops the import.
          Case{true,
               {"2 1|Ada|200|True|40|2024-01-05 ", "4 2|Bo|111|False|10|2024-02-01 13:30:00 ",
                "5 1|Cia|300|False|10|2024-02-01 ", "6 3|Dan|400|ja|10|2024-02-01 [R9504]: Nyrekrytering: 'ja' [R9505]",
                "7 4|Eva|500|0|10| [R9504]: [R9115]",
                "8 5|Fia|600|0|99999|2024-02-01 [R9504]: Omfattning: '99999' [R9505]"}}}) {
        SCOPED_TRACE(c.deleteFirst);
        const Previewed p = previewOf(file, c.deleteFirst, true);
        EXPECT_TRUE(p.preview.converted);
        EXPECT_EQ(p.rows, c.rows);
    }
    // Without the register the file's own texts are shown, each line saying
    // so, and only the field count is known.
    EXPECT_EQ(
        previewOf(file, false, false, 2).rows,
        (std::vector<std::string>{"2 1|Ada|200|1| 40 |2024-1-5 [R9595]", "4 2|Bo|111|0|10|2024-02-01 13:30 [R9595]"}));
}

// While the booking system holds the writers off, the inserts that check the
// keys cannot begin: the values are converted, and each line says its keys
// were not checked, the note why.
TEST(ImportPreview, LinesSayTheirKeysWentUncheckedWhenNoInsertCanBegin) {
    testing::TempFolder dir;
    const std::string path = dir.file("v.db");
    makeDatabase(path, kBookingSchema);
    db::SqliteEngine engine;
    auto db = std::move(engine.OpenDatabase(path, false).value());
    auto bookingSystem = std::move(engine.OpenDatabase(path, false).value());
    ASSERT_TRUE(bookingSystem->HoldWriters().ok());
    db->SetWait(0);
    ImportRequest request{"Resurser", dir.write("r.skv", kHeader + "1;Ada;200;1;40;2024-1-5\r\n"), false, {}, false};
    const LinkTable links = testing::autoLinked(*db, request, request.path, "se");
    const ImportPreview p = previewImport(links, request, db.get(), "se", ValueTextFormat{}, 5);
    testing::BracketTexts texts;
    ASSERT_EQ(p.lines.size(), 1u);
    EXPECT_EQ(std::tuple(p.lines[0].values[5], previewMarkText(p.lines[0], texts)),
              std::tuple("2024-01-05", "[R9596]"));
    EXPECT_EQ(previewNote(p, nullptr, texts), "[R9596]: 3260 [R9284]: " + db::localHostName() + ".");
    EXPECT_TRUE(bookingSystem->ReleaseWriters().ok());
}

// Only the lines shown are read: what follows them, however broken, is not
// looked at; a line among them that cannot be read ends the preview there.
TEST(ImportPreview, ReadsOnlyTheLinesItShows) {
    const std::string good = "1;Ada;200;1;40;2024-01-05\r\n";
    struct Case {
        std::string bytes;
        std::size_t lines;
        ImportStop stop;
        long at;
    };
    const std::string tooLong(kMaxLineBytes + 1, 'x');
    for (const Case& c : {Case{"\xEF\xBB\xBF" + kHeader + good + good + "2;\xFF\r\n", 2, ImportStop::None, 0},
                          Case{"\xEF\xBB\xBF" + kHeader + good + "2;\xFF\r\n" + good, 1, ImportStop::NotUtf8, 3},
                          Case{kHeader + good + good + tooLong, 2, ImportStop::None, 0},
                          Case{kHeader + good + tooLong + "\r\n" + good, 1, ImportStop::LineTooLong, 3}}) {
        const ImportPreview p = previewOf(c.bytes, false, false, 2).preview;
        EXPECT_EQ(std::tuple(p.lines.size(), p.fileStop, p.fileStopLine), std::tuple(c.lines, c.stop, c.at));
    }
}

// Neither the preview nor a try run leaves a trace in the database file:
// it is byte for byte what it was, with the register's count read at that
// moment in the question before emptying.
TEST(ImportPreview, PreviewAndTryRunLeaveTheDatabaseByteIdentical) {
    testing::TempFolder dir;
    const std::string path = dir.file("v.db");
    makeDatabase(path, std::string(kBookingSchema) + "INSERT INTO Person (ID, F\xC3\xB6rNamn) VALUES (9, 'Kvar');");
    const std::string before = dir.read("v.db");
    for (const bool deleteFirst : {false, true}) {
        db::SqliteEngine engine;
        auto db = std::move(engine.OpenDatabase(path, true).value());
        ImportRequest request{
            "Resurser", dir.write("r.skv", kHeader + "1;Ada;200;1;40;2024-01-05\r\n"), deleteFirst, {}, true};
        const LinkTable links = testing::autoLinked(*db, request, request.path, "se");
        const ImportPreview p = previewImport(links, request, db.get(), "se", ValueTextFormat{}, 20);
        ASSERT_EQ(p.lines.size(), 1u);
        ImportServices services(*db, "se");
        const ImportOutcome tried = importRegister(links, request, services);
        EXPECT_EQ(std::tuple(tried.stop, tried.inserted, tried.deleted),
                  std::tuple(ImportStop::None, 1, deleteFirst ? 1L : 0L));
        (void)db->Close();
        EXPECT_TRUE(dir.read("v.db") == before) << "deleteFirst " << deleteFirst;
        EXPECT_EQ(registerFileRecords(request.path).value(), 1);
    }
}

// The count the delete-first question shows: the lines of the file that are
// records, so neither the header nor a blank line, wherever it stands.
TEST(ImportPreview, QuestionCountsTheRecordLinesOfTheFileOnly) {
    testing::TempFolder dir;
    const std::string rec = "1;Ada;200;1;40;2024-01-05";
    const std::pair<std::string, long> cases[] = {
        {kHeader, 0},
        {kHeader + "\r\n\r\n", 0},
        {kHeader + rec + "\r\n\r\n" + rec + "\r\n\r\n", 2},
        {kHeader + "\r\n" + rec + "\r\n" + rec, 2},  // no line end after the last
    };
    for (const auto& [file, records] : cases) {
        const Result<long> counted = registerFileRecords(dir.write("r.skv", file));
        EXPECT_EQ(counted.ok() ? *counted : -1, records) << file;
    }
}

}  // namespace
}  // namespace vexla
