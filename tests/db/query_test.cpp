// Reading rows back: WHERE clauses as the program writes them (the interval
// copy's date limits, the export's ID > -1, case-blind text; the login's
// query is driven through Validera in the login tests), fields by position
// and name with their type codes and Null, walking and counting, and
// transactions.
#include "db/swedish_collation.h"
#include "tests/db/engine_fixture.h"

namespace vexla::db {
namespace {

using testing::EngineTest;

// The IDs a query selects, in order.
std::vector<std::string> ids(Database& db, const std::string& sql, const std::vector<Variant>& params = {}) {
    std::vector<std::string> out;
    auto rs = db.OpenRecordset(sql, params);
    if (!rs.ok()) return {"ERROR " + std::to_string(rs.error().number)};
    for (; !(*rs)->Eof(); (*rs)->MoveNext()) out.push_back(std::to_string((*rs)->raw(0).integer));
    return out;
}

// WHERE clauses as the program writes them select the rows it means.
TEST_F(EngineTest, WhereSelectsTheRowsTheProgramMeans) {
    for (const char* sql :
         {"INSERT INTO Bokning (ID, KundID, StartTid, Anteckning) VALUES (1, 5, #2026-12-04 07:59:59#, 'tidig')",
          "INSERT INTO Bokning (ID, KundID, StartTid, Anteckning) VALUES (2, 5, #2026-12-04 08:00:00#, 'Åsa')",
          "INSERT INTO Bokning (ID, KundID, StartTid, Anteckning) VALUES (3, -1, #2026-12-04 17:00:00#, 'ÅSA')",
          "INSERT INTO Bokning (ID, KundID, StartTid, Lunch) VALUES (4, 6, #2026-12-04 17:00:01#, True)",
          "INSERT INTO Bokning (ID, KundID, StartTid, Anteckning) VALUES (5, -2, #2026-12-05#, 'asa')"})
        ASSERT_TRUE(db->Execute(sql).ok()) << sql;
    struct Match {
        const char* where;
        std::vector<Variant> params;
        std::vector<std::string> ids;
    };
    for (const Match& m : std::initializer_list<Match>{
             {"StartTid < #2026-12-04 08:00:00#", {}, {"1"}},
             {"StartTid > #2026-12-04 17:00:00#", {}, {"4", "5"}},
             {"StartTid >= #2026-12-04 08:00:00# AND StartTid <= #2026-12-04 17:00:00#", {}, {"2", "3"}},
             {"KundID > -1", {}, {"1", "2", "4"}},
             {"Anteckning = 'åsa'", {}, {"2", "3"}},
             {"Anteckning <> 'Åsa'", {}, {"1", "5"}},
             {"Anteckning IS NULL", {}, {"4"}},
             {"NOT (Anteckning IS NOT NULL) OR KundID = -2", {}, {"4", "5"}},
             {"Lunch = True", {}, {"4"}},
             {"[Bokning].[KundID] = ?", {Variant(std::int64_t{-1})}, {"3"}},
             {"Anteckning = ? AND KundID = ?", {Variant(std::string("ÅSA")), Variant(std::int64_t{5})}, {"2"}},
             {"StartTid < ?", {Variant(DateTime{2026, 12, 4, 8, 0, 0})}, {"1"}},
             {"KundID > 5.5", {}, {"4"}}}) {
        EXPECT_EQ(ids(*db, std::string("SELECT ID FROM Bokning WHERE ") + m.where + " ORDER BY ID", m.params), m.ids)
            << m.where;
    }
}

TEST_F(EngineTest, FieldsReportNameTypeAndValueInTableOrder) {
    ASSERT_TRUE(db->Execute("INSERT INTO Person VALUES (3, 'Märta', NULL, True, 75, #2019-08-01 13:45#)").ok());
    ASSERT_TRUE(db->Execute("INSERT INTO Bokning VALUES (7, 3, #2026-12-04 08:00#, 'a\r\nb', False, 12.5)").ok());
    auto person = db->OpenRecordset("SELECT * FROM Person");
    ASSERT_TRUE(person.ok());
    Recordset& p = **person;
    ASSERT_EQ(p.FieldCount(), 6);
    const std::vector<std::pair<std::string, int>> expected = {
        {"ID", 4}, {"FörNamn", 10}, {"Pnr", 10}, {"NyRekry", 1}, {"Omfattning", 3}, {"AnstStart", 8}};
    for (int i = 0; i < p.FieldCount(); ++i) {
        EXPECT_EQ(p.Fields(i)->Name(), expected[i].first);
        EXPECT_EQ(p.Fields(i)->Type(), expected[i].second) << expected[i].first;
    }
    EXPECT_EQ(p.Fields(1)->Value().value(), Variant(std::string("Märta")));
    EXPECT_TRUE(isNull(p.Fields("Pnr")->Value().value()));
    EXPECT_EQ(p.Fields("NYREKRY")->Value().value(), Variant(true));
    EXPECT_EQ(p.Fields("Omfattning")->Value().value(), Variant(std::int64_t{75}));
    EXPECT_EQ(p.Fields("förnamn")->index(), 1);
    EXPECT_EQ(p.Fields("AnstStart")->Value().value(), Variant(DateTime{2019, 8, 1, 13, 45, 0}));
    EXPECT_EQ(p.Fields(6).error().number, 3265);
    EXPECT_EQ(p.Fields("Lön").error().number, 3265);

    auto booking = db->OpenRecordset("SELECT Anteckning, Pris, StartTid FROM Bokning");
    ASSERT_TRUE(booking.ok());
    Recordset& b = **booking;
    EXPECT_EQ(b.Fields(0)->Type(), 12);
    EXPECT_EQ(b.Fields(1)->Type(), 7);
    EXPECT_EQ(b.Fields(0)->Value().value(), Variant(std::string("a\r\nb")));
    EXPECT_EQ(b.Fields(1)->Value().value(), Variant(12.5));
    EXPECT_EQ(b.Fields(2)->Raw().text, "2026-12-04 08:00:00");
}

TEST_F(EngineTest, WalkingCountingAndTheEnd) {
    auto empty = db->OpenRecordset("SELECT * FROM Bokning");
    ASSERT_TRUE(empty.ok());
    EXPECT_TRUE((*empty)->Eof());
    EXPECT_EQ((*empty)->RecordCount(), 0);
    EXPECT_EQ((*empty)->Fields(0)->Value().error().number, 3021);
    EXPECT_EQ((*empty)->MoveNext().error().number, 3021);

    for (int id = 1; id <= 25; ++id)
        ASSERT_TRUE(db->Execute("INSERT INTO Kund (ID, Namn) VALUES (" + std::to_string(id) + ", 'K')").ok());
    auto rs = db->OpenRecordset("SELECT * FROM Kund WHERE ID > -1");
    ASSERT_TRUE(rs.ok());
    EXPECT_GT((*rs)->RecordCount(), 0);
    long rows = 0;
    while (!(*rs)->Eof()) {
        ++rows;
        ASSERT_TRUE((*rs)->MoveNext().ok());
    }
    EXPECT_EQ(rows, 25);
    EXPECT_EQ((*rs)->RecordCount(), 25);
    ASSERT_TRUE((*rs)->MoveFirst().ok());
    EXPECT_EQ((*rs)->Fields("ID")->Value().value(), Variant(std::int64_t{1}));

    // Closing the database closes what is open on it; a closed database
    // closes again quietly and refuses work.
    ASSERT_TRUE(db->Close().ok());
    EXPECT_TRUE((*rs)->Eof());
    EXPECT_EQ((*rs)->Fields(0)->Value().error().number, 3420);
    EXPECT_TRUE(db->Close().ok());
    EXPECT_EQ(errorOf(db->Execute("DELETE FROM Kund")), 3420);
    EXPECT_EQ(db->OpenRecordset("SELECT * FROM Kund").error().number, 3420);
    EXPECT_FALSE(testing::fileExists(path + ".lock"));
}

TEST_F(EngineTest, TransactionsCommitAndRollBackInNests) {
    EXPECT_EQ(errorOf(db->CommitTrans()), 3034);
    ASSERT_TRUE(db->BeginTrans().ok());
    ASSERT_TRUE(db->Execute("INSERT INTO Kund (ID, Namn) VALUES (1, 'ett')").ok());
    ASSERT_TRUE(db->BeginTrans().ok());
    ASSERT_TRUE(db->Execute("INSERT INTO Kund (ID, Namn) VALUES (2, 'två')").ok());
    ASSERT_TRUE(db->Rollback().ok());
    ASSERT_TRUE(db->CommitTrans().ok());
    ASSERT_TRUE(db->BeginTrans().ok());
    ASSERT_TRUE(db->Execute("DELETE FROM Kund").ok());
    EXPECT_EQ(db->RecordsAffected(), 2);
    ASSERT_TRUE(db->Rollback().ok());
    EXPECT_EQ(stored("SELECT ID FROM Kund ORDER BY ID"), (std::vector<std::string>{"-1", "1"}));
    // A transaction left open is rolled back when the database closes.
    ASSERT_TRUE(db->BeginTrans().ok());
    ASSERT_TRUE(db->Execute("DELETE FROM Kund").ok());
    EXPECT_EQ(stored("SELECT count(*) FROM Kund"), std::vector<std::string>{"2"});
}

TEST_F(EngineTest, ConstraintErrorsNameWhatWentWrong) {
    const Status missing = db->Execute("INSERT INTO Person (ID) VALUES (1)");
    ASSERT_FALSE(missing.ok());
    EXPECT_EQ(missing.error().number, 3314);
    EXPECT_EQ(missing.error().description, "You must enter a value in the 'Person.FörNamn' field.");
    EXPECT_EQ(missing.error().source, "DAO.Database");
    ASSERT_TRUE(db->Execute("INSERT INTO Person (ID, FörNamn, Pnr) VALUES (1, 'a', '19700101-1234')").ok());
    const Status twin = db->Execute("INSERT INTO Person (ID, FörNamn, Pnr) VALUES (2, 'b', '19700101-1234')");
    ASSERT_FALSE(twin.ok());
    EXPECT_EQ(twin.error().number, 3022);
}

TEST_F(EngineTest, TablesAreListedAndCounted) {
    EXPECT_EQ(db->TableNames().value(), (std::vector<std::string>{"Kund", "Person", "Bokning", "Users"}));
    EXPECT_EQ(db->TableRecordCount("users").value(), 3);
    EXPECT_EQ(db->TableRecordCount("Saknas").error().number, 3078);
    EXPECT_TRUE(db->CheckIntegrity().ok());
}

TEST(SwedishCollation, IgnoresCaseAndOrdersTheSwedishAlphabet) {
    struct Pair {
        const char* a;
        const char* b;
        int sign;
    };
    for (const Pair& p : {Pair{"ANNA", "anna", 0}, Pair{"ÅSA", "åsa", 0}, Pair{"ÖRJAN", "örjan", 0},
                          Pair{"ÉLISE", "élise", 0}, Pair{"Ängla", "ÄNGLA", 0}, Pair{"Asa", "Åsa", -1},
                          Pair{"zebra", "Åsa", -1}, Pair{"Åsa", "Ärlig", -1}, Pair{"Ärlig", "Öberg", -1},
                          Pair{"Jose", "José", -1}, Pair{"José", "Josef", -1}, Pair{"Müller", "Myller", 1},
                          Pair{"Müller", "Mylles", -1}, Pair{"12", "a", -1}, Pair{"ab", "abc", -1},
                          Pair{"Øberg", "Öberg", 1}, Pair{"\xff", "\xfe", 1}, Pair{"Ær", "Är", 1}}) {
        const int got = compareSwedish(p.a, p.b);
        EXPECT_EQ((got > 0) - (got < 0), p.sign) << p.a << " vs " << p.b;
        const int back = compareSwedish(p.b, p.a);
        EXPECT_EQ((back > 0) - (back < 0), -p.sign) << p.b << " vs " << p.a;
    }
}

}  // namespace
}  // namespace vexla::db
