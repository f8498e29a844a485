// The export end to end through the platform seam: a real database file, a
// scripted save dialog and message boxes, the file's bytes compared exactly.
#include <gtest/gtest.h>

#include "common/cp1252.h"
#include "db/sqlite_engine.h"
#include "registers/export_register.h"
#include "tests/db/db_test_support.h"
#include "tests/support/fake_admin_window.h"

namespace vexla {
namespace {

using testing::FakePlatform;
using testing::TempFolder;

class Export : public ::testing::Test {
protected:
    TempFolder dir;
    FakePlatform fake;
    Platform platform = fake.platform(dir.path());
    testing::FakeAdminWindow window;
    testing::BracketTexts texts;
    JobContext ctx{window, platform, texts};
    std::string target = dir.file("out.skv");

    void open(const std::string& sql) {
        db::testing::makeDatabase(dir.file("bok.db"), sql);
        window.state_.DataBas = dir.file("bok.db");
        window.state_.Språk = "se";
    }
    ExportOutcome run(std::int16_t kind) {
        auto outcome = exportRegister(ctx, kind);
        showExport(ctx, kind, outcome);
        result = window.info();
        return outcome;
    }
    std::string result;
};

TEST_F(Export, EveryValueKindByteForByte) {
    open(
        "CREATE TABLE Person (Namn VARCHAR(50), Anteckningar MEMO, NyRekry BIT, AnstStart DATETIME,"
        " AnstStopp DATETIME, MaxTid DATETIME, Lön DOUBLE, Omfattning LONG, Okänd VARCHAR(9));"
        "INSERT INTO Person VALUES (NULL, 'rad 1' || char(13, 10) || 'rad 2', 1, '2024-03-01 00:00:00',"
        " '2024-03-01 16:45:30', '1899-12-30 00:00:00', -1234.5, -7, 'x;y'),"
        " ('Sant Örjan →', NULL, 0, NULL, NULL, '1899-12-30 08:15:00', 0.25, 100, NULL);");
    fake.dialogs.choices = {target};
    const ExportOutcome outcome = run(1);
    EXPECT_EQ(dir.read("out.skv"),
              "Namn;Anteckningar;Nyrekrytering;Anst\xe4llningstart;Anst\xe4llningstopp;Max tid;L\xf6n;Omfattning;\r\n"
              ";rad 1\x1brad 2;True;2024-03-01;2024-03-01 16:45:30;00:00:00;-1234,5;-7;x;y\r\n"
              "Sant \xd6rjan ?;;False;;;08:15:00;0,25;100;\r\n");
    EXPECT_EQ(outcome.n, 2);
    // The column without a caption makes every record one the import cannot carry back.
    EXPECT_EQ(result, "2 [R1740] " + target + ". 1 [R9020]. 2 [R9021]. [R9694].");
    ASSERT_EQ(fake.dialogs.asked.size(), 1u);
    const OpenFileName& a = fake.dialogs.asked[0];
    EXPECT_EQ(std::tuple(a.flags, a.filter, a.title, a.initialDir, a.file.substr(0, 14)),
              std::tuple(0x200804u, std::string("[R9690] (*.skv)\0*.skv\0[R9691] (*.csv)\0*.csv\0", 44), "[R1793]",
                         dir.path(), "ResursReg.skv "));
}

// The spreadsheet type: quoted texts keeping their line breaks, bare
// numbers, no value as an empty field, captions quoted behind the UTF-8
// mark; the records that will not come back named by their ID. A refused
// target asks again with the name of the type chosen.
TEST_F(Export, SpreadsheetTypeQuotesTextsAndNamesWhatWillNotComeBack) {
    open(
        "CREATE TABLE Bokning (ID LONG, Anteckning MEMO, Pris DOUBLE);"
        "INSERT INTO Bokning VALUES (1, 'a \"b\"; c' || char(13, 10) || 'd \u2192', 2.5), (2, '', NULL),"
        " (3, 'x' || char(10) || 'y', 1), (4, NULL, 0), (5, '\"', 0), (6, 'x' || char(13), 0);");
    dir.write("out.csv", "earlier");
    fake.dialogs.choices = {dir.file("out.csv"), dir.file("out.csv")};
    fake.dialogs.types = {2, 2};
    fake.messages.answers = {MsgAnswer::No, MsgAnswer::Yes};
    EXPECT_EQ(run(2).n, 6);
    EXPECT_EQ(dir.read("out.csv"),
              "\xEF\xBB\xBF\"ID\";\"Anteckningar\";\"Pris\"\r\n1;\"a \"\"b\"\"; c\r\nd \u2192\";2,5\r\n2;\"\";\r\n"
              "3;\"x\ny\";1\r\n4;;0\r\n5;\"\"\"\";0\r\n6;\"x\r\";0\r\n");
    EXPECT_EQ(result, "6 [R1740] " + dir.file("out.csv") + ". 3 [R9692]. [R9693] 2, 3, 6.");
    ASSERT_EQ(fake.dialogs.asked.size(), 2u);
    EXPECT_EQ(fake.dialogs.asked[1].file.substr(0, 16), "BokningsReg.csv ");
    EXPECT_EQ(fake.dialogs.asked[1].filterIndex, 2);
}

TEST_F(Export, CustomersBelowZeroStayAndEachRecordIsOneLine) {
    std::string sql = "CREATE TABLE Kund (ID LONG, Namn VARCHAR(50));";
    // "HedÃ©n" in Windows-1252 is UTF-8 too, so it may not come back as it was; "Café" does.
    const auto name = [](int id) { return std::string(id == 3 ? "Hed\xC3\xA9n" : id == 4 ? "Caf\xE9" : "K"); };
    for (int id = -2; id < 25; ++id)
        sql += "INSERT INTO Kund VALUES (" + std::to_string(id) + ", '" + cp1252ToUtf8(name(id)) + "');";
    open(sql);
    fake.dialogs.choices = {target};
    EXPECT_EQ(run(0).n, 25);
    std::string expected = "ID;Namn\r\n";
    for (int id = 0; id < 25; ++id) expected += std::to_string(id) + ";" + name(id) + "\r\n";
    EXPECT_EQ(dir.read("out.skv"), expected);
    EXPECT_EQ(result, "25 [R1740] " + target + ". 1 [R9021]. [R9693] 3. [R9694].");
}

struct EmptyCase {
    std::int16_t kind;
    const char* table;
    const char* defaultName;
    const char* result;
};

class EmptyRegister : public Export, public ::testing::WithParamInterface<EmptyCase> {};

TEST_P(EmptyRegister, GivesTheHeaderAloneAndMinusOne) {
    const EmptyCase& c = GetParam();
    open(std::string("CREATE TABLE ") + c.table + " (ID LONG, PersonID LONG, StartTid DATETIME);");
    fake.dialogs.choices = {target};
    EXPECT_EQ(run(c.kind).n, -1);
    EXPECT_EQ(dir.read("out.skv"), "ID;ResursID;Starttid\r\n");
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(fake.dialogs.asked.at(0).file.substr(0, std::string(c.defaultName).size()), c.defaultName);
}

INSTANTIATE_TEST_SUITE_P(Registers, EmptyRegister,
                         ::testing::Values(EmptyCase{0, "Kund", "KundReg.skv", "[R1738]"},
                                           EmptyCase{1, "Person", "ResursReg.skv", "[R1738]"},
                                           EmptyCase{2, "Bokning", "BokningsReg.skv", "[R1738]!"}));

// The file choice: save dialog answers, overwrite answers, and what follows.
struct ChoiceCase {
    const char* name;
    std::vector<std::string> choices;  // "T" stands for the existing target
    std::vector<MsgAnswer> answers;
    int dialogs;
    std::int32_t n;
};

class FileChoice : public Export, public ::testing::WithParamInterface<ChoiceCase> {};

TEST_P(FileChoice, AsksBeforeReplacingAndCancelWritesNothing) {
    const ChoiceCase& c = GetParam();
    open("CREATE TABLE Bokning (ID LONG); INSERT INTO Bokning VALUES (5);");
    dir.write("out.skv", "earlier");
    for (const auto& choice : c.choices) fake.dialogs.choices.push_back(choice == "T" ? target : choice);
    fake.messages.answers.assign(c.answers.begin(), c.answers.end());
    EXPECT_EQ(run(2).n, c.n);
    EXPECT_EQ(dir.read("out.skv"), c.n ? "ID\r\n5\r\n" : "earlier");
    ASSERT_EQ(fake.dialogs.asked.size(), static_cast<std::size_t>(c.dialogs));
    EXPECT_EQ(fake.messages.beeps, static_cast<int>(c.answers.size()));
    const testing::ShownBox question{target + " [R1794] ?", kProgramTitle, MsgIcon::Question, MsgButtons::YesNo};
    EXPECT_EQ(fake.messages.shown, std::vector<testing::ShownBox>(c.answers.size(), question));
    EXPECT_EQ(result == "[R1739]", c.n == 0) << result;
}

INSTANTIATE_TEST_SUITE_P(Cases, FileChoice,
                         ::testing::Values(ChoiceCase{"Cancel", {""}, {}, 1, 0},
                                           ChoiceCase{"BarePattern", {"*.skv"}, {}, 1, 0},
                                           ChoiceCase{"YesReplaces", {"T"}, {MsgAnswer::Yes}, 1, 1},
                                           ChoiceCase{"NoAsksAgain", {"T", "T"}, {MsgAnswer::No, MsgAnswer::Yes}, 2, 1},
                                           ChoiceCase{"NoThenCancel", {"T", ""}, {MsgAnswer::No}, 2, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

// The save dialog starts in the folder last used for the register while it
// exists, else in the program folder the user may write to, else in the
// database folder; the folder settled on is kept for that register only.
TEST_F(Export, SaveDialogStartsInTheFolderLastUsedForTheRegister) {
    open("CREATE TABLE Kund (ID LONG);");
    window.state_.msSökväg = dir.file("db");
    dir.write("ut/old.skv", "");
    using Row = std::tuple<const char*, std::string, bool, std::string>;
    for (const auto& [name, remembered, programWritable, want] :
         {Row{"Remembered", dir.file("ut"), false, dir.file("ut")}, Row{"Gone", dir.file("gone"), true, dir.path()},
          Row{"None", "", true, dir.path()}, Row{"ProgramFolderReadOnly", dir.file("gone"), false, dir.file("db")}}) {
        SCOPED_TRACE(name);
        fake.folders.folders = {{"Kund", remembered}, {"Resurser", "/r"}};
        fake.files.readOnly = programWritable ? std::vector<std::string>{} : std::vector<std::string>{dir.path()};
        fake.dialogs.asked.clear();
        fake.dialogs.choices = {dir.file("ut/" + std::string(name) + ".skv")};
        EXPECT_EQ(run(0).n, -1);
        ASSERT_EQ(fake.dialogs.asked.size(), 1u);
        EXPECT_EQ(fake.dialogs.asked[0].initialDir, want);
        EXPECT_EQ(fake.folders.folders, (decltype(fake.folders.folders){{"Kund", dir.file("ut")}, {"Resurser", "/r"}}));
    }
}

// A failure anywhere: its description in the user's language in an OK box,
// 0, and the earlier file as it was. A temporary file that cannot be removed
// after it is told, named.
struct FailureCase {
    const char* name;
    const char* op;  // the failing file operation, or "" for a missing table
    const char* message;
    bool leftBehind = false;  // the temporary file's removal fails too
};

class Failure : public Export, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(Failure, KeepsTheEarlierFile) {
    const FailureCase& c = GetParam();
    const std::string table = *c.op ? "Kund" : "Annat";
    open("CREATE TABLE " + table + " (ID LONG); INSERT INTO " + table + " VALUES (1);");
    if (*c.op) fake.files.failCall(c.op, 1, Error{61, "Disk full", "Vexla Admin"});
    if (c.leftBehind) fake.files.failCall("close", 1, Error{75, "EIO", "Vexla Admin"});
    dir.write("out.skv", "earlier");
    fake.dialogs.choices = {target};
    fake.messages.answers = {MsgAnswer::Yes};
    EXPECT_EQ(run(0).n, 0);
    EXPECT_EQ(result, "[R1739]");
    EXPECT_EQ(dir.read("out.skv"), "earlier");
    ASSERT_EQ(fake.messages.shown.size(), 2u);
    EXPECT_EQ(fake.messages.shown[1].text.find(c.message), 0u) << fake.messages.shown[1].text;
    EXPECT_EQ(fake.messages.shown[1].buttons, MsgButtons::Ok);
    EXPECT_FALSE(fake.pointer.busy);
    const std::vector<std::string> notices = fake.notices();
    ASSERT_EQ(notices.size(), c.leftBehind ? 1u : 0u);
    if (c.leftBehind) {
        EXPECT_EQ(notices[0].rfind("[R9585]: " + target + ".vexla-", 0), 0u) << notices[0];
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, Failure,
                         ::testing::Values(FailureCase{"Write", "write", "[R9277]"},
                                           FailureCase{"WriteAndRemoval", "write", "[R9277]", true},
                                           FailureCase{"Query", "", "[R9286]: Kund"}),
                         [](const auto& info) { return std::string(info.param.name); });

// An export only reads: a program that holds the writers off in a
// transaction that does not end (as a booking system's may) keeps nobody
// from reading, and the export is written.
TEST_F(Export, DatabaseWhoseWritersAreHeldIsExportedAllTheSame) {
    open("CREATE TABLE Kund (ID LONG); INSERT INTO Kund VALUES (7);");
    dir.write("out.skv", "earlier");
    db::testing::Child holder(db::testing::programDir() + "/vexla-holddb", {dir.file("bok.db")});
    ASSERT_TRUE(holder.waitForLine("holding"));
    fake.dialogs.choices = {target};
    fake.messages.answers = {MsgAnswer::Yes};
    const ExportOutcome outcome = run(0);
    EXPECT_FALSE(outcome.failure);
    EXPECT_EQ(outcome.n, 1);
    EXPECT_EQ(dir.read("out.skv"), "ID\r\n7\r\n");
}

// The records written of the register's count reach the progress; a stop
// asked for ends the export with no file and the earlier one untouched.
TEST_F(Export, ReportsRecordsOfTheCountAndStopsWhenAsked) {
    open(
        "CREATE TABLE Person (Omfattning LONG); WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL"
        " SELECT i + 1 FROM n WHERE i < 4100) INSERT INTO Person SELECT i FROM n;");
    for (const std::uint64_t stopAt : {std::uint64_t{0}, std::uint64_t{2048}}) {
        testing::RecordingProgress progress;
        progress.stopAt = stopAt;
        ctx.progress = &progress;
        dir.write("out.skv", "earlier");
        fake.dialogs.choices = {target};
        fake.messages.answers = {MsgAnswer::Yes};
        const ExportOutcome outcome = run(1);
        EXPECT_EQ(progress.reports.front(), (ProgressSnapshot{0, 4100, ProgressUnit::Rows}));
        if (stopAt == 0) {
            EXPECT_EQ(outcome.n, 4100);
            EXPECT_EQ(progress.reports.back(), (ProgressSnapshot{4100, 4100, ProgressUnit::Rows}));
        } else {
            EXPECT_TRUE(outcome.stopped);
            EXPECT_EQ(result, "[R9200]");
            EXPECT_EQ(dir.read("out.skv"), "earlier");
        }
        EXPECT_EQ(dir.list().size(), 2u) << "a temporary file was left";
    }
}

}  // namespace
}  // namespace vexla
