// Reading rows back: WHERE clauses as the program writes them (the interval
// copy's date limits, the export's ID > -1, case-blind text; the login's
// query is driven through Validera in the login tests), fields by position
// and name with their type codes and Null, walking and counting, and
// transactions.
#include <tuple>

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
    for (; !(*rs)->Eof(); (void)(*rs)->MoveNext()) out.push_back(std::to_string((*rs)->raw(0).integer));
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
    for (const Match& m :
         {Match{"StartTid > #2026-12-04 17:00:00#", {}, {"4", "5"}},
          Match{"StartTid >= #2026-12-04 08:00:00# AND StartTid <= #2026-12-04 17:00:00#", {}, {"2", "3"}},
          Match{"KundID > -1", {}, {"1", "2", "4"}}, Match{"Anteckning = 'åsa'", {}, {"2", "3"}},
          Match{"NOT (Anteckning IS NOT NULL) OR KundID = -2", {}, {"4", "5"}}, Match{"Lunch = True", {}, {"4"}},
          Match{"[Bokning].[KundID] = ?", {Variant(std::int64_t{-1})}, {"3"}},
          Match{"Anteckning = ? AND KundID = ?", {Variant(std::string("ÅSA")), Variant(std::int64_t{5})}, {"2"}},
          Match{"StartTid < ?", {Variant(DateTime{2026, 12, 4, 8, 0, 0})}, {"1"}}, Match{"KundID > 5.5", {}, {"4"}}}) {
        EXPECT_EQ(ids(*db, std::string("SELECT ID FROM Bokning WHERE ") + m.where + " ORDER BY ID", m.params), m.ids)
            << m.where;
    }
}

TEST_F(EngineTest, FieldsReportNameTypeAndValueInTableOrder) {
    ASSERT_TRUE(db->Execute("INSERT INTO Person VALUES (3, 'Märta', NULL, True, 75, #2019-08-01 13:45#)").ok());
    ASSERT_TRUE(db->Execute("INSERT INTO Bokning VALUES (7, 3, #2026-12-04 08:00#, 'a\r\nb', False, 12.5)").ok());
    using Fields = std::vector<std::tuple<std::string, int, Variant>>;
    const auto fields = [&](const std::string& sql) {
        Fields out;
        auto rs = db->OpenRecordset(sql);
        for (int i = 0; rs.ok() && i < (*rs)->FieldCount(); ++i)
            out.emplace_back((*rs)->Fields(i)->Name(), (*rs)->Fields(i)->Type(), (*rs)->Fields(i)->Value().value());
        return out;
    };
    EXPECT_EQ(fields("SELECT * FROM Person"), (Fields{{"ID", 4, std::int64_t{3}},
                                                      {"FörNamn", 10, std::string("Märta")},
                                                      {"Pnr", 10, Null{}},
                                                      {"NyRekry", 1, true},
                                                      {"Omfattning", 3, std::int64_t{75}},
                                                      {"AnstStart", 8, DateTime{2019, 8, 1, 13, 45, 0}}}));
    EXPECT_EQ(fields("SELECT Anteckning, Pris FROM Bokning"),
              (Fields{{"Anteckning", 12, std::string("a\r\nb")}, {"Pris", 7, 12.5}}));
    const auto p = db->OpenRecordset("SELECT * FROM Person").value();
    EXPECT_EQ(p->Fields("förnamn")->index(), 1);
    EXPECT_EQ(p->Fields("NYREKRY")->Value().value(), Variant(true));
    EXPECT_EQ(std::make_pair(p->Fields(6).error().number, p->Fields("Lön").error().number),
              std::make_pair(3265L, 3265L));
    EXPECT_EQ(db->OpenRecordset("SELECT StartTid FROM Bokning").value()->Fields(0)->Raw().text, "2026-12-04 08:00:00");
}

TEST_F(EngineTest, WalkingCountingAndTheEnd) {
    auto empty = db->OpenRecordset("SELECT * FROM Bokning");
    ASSERT_TRUE(empty.ok());
    EXPECT_EQ(std::make_tuple((*empty)->Eof(), (*empty)->RecordCount(), (*empty)->Fields(0)->Value().error().number,
                              (*empty)->MoveNext().error().number),
              std::make_tuple(true, 0L, 3021L, 3021L));

    for (int id = 1; id <= 25; ++id)
        ASSERT_TRUE(db->Execute("INSERT INTO Kund (ID, Namn) VALUES (" + std::to_string(id) + ", 'K')").ok());
    auto rs = db->OpenRecordset("SELECT * FROM Kund WHERE ID > -1");
    ASSERT_TRUE(rs.ok());
    EXPECT_GT((*rs)->RecordCount(), 0);
    long rows = 0;
    for (; !(*rs)->Eof(); ++rows) ASSERT_TRUE((*rs)->MoveNext().ok());
    EXPECT_EQ(std::make_pair(rows, (*rs)->RecordCount()), std::make_pair(25L, 25L));
    ASSERT_TRUE((*rs)->MoveFirst().ok());
    EXPECT_EQ((*rs)->Fields("ID")->Value().value(), Variant(std::int64_t{1}));

    // Closing the database closes what is open on it; a closed database
    // closes again quietly and refuses work.
    ASSERT_TRUE(db->Close().ok());
    EXPECT_TRUE((*rs)->Eof());
    EXPECT_TRUE(db->Close().ok());
    EXPECT_EQ(std::make_tuple((*rs)->Fields(0)->Value().error().number, errorOf(db->Execute("DELETE FROM Kund")),
                              db->OpenRecordset("SELECT * FROM Kund").error().number),
              std::make_tuple(3420L, 3420L, 3420L));
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

// Emptying a register inside a transaction frees its pages without
// journaling each of them: the delete of a big register stays one short
// step and its rollback shorter still.
TEST_F(EngineTest, EmptyingATableJournalsOnlyWhatStaysInUse) {
    auto insert = db->Prepare("INSERT INTO Kund (ID, Namn, Anteckningar) VALUES (?, 'kund', ?)");
    ASSERT_TRUE(insert.ok());
    ASSERT_TRUE(db->BeginTrans().ok());
    for (int id = 1; id <= 3000; ++id)
        ASSERT_TRUE((*insert)->Bind(0, Variant(std::int64_t{id})).ok() &&
                    (*insert)->BindText(1, std::string(300, 'x')).ok() && (*insert)->Execute().ok());
    (*insert)->Close();
    ASSERT_TRUE(db->CommitTrans().ok());
    ASSERT_TRUE(db->BeginTrans().ok());
    ASSERT_TRUE(db->Execute("DELETE FROM Kund").ok());
    const long journal = testing::fileSize(path + "-journal"), file = testing::fileSize(path);
    ASSERT_TRUE(db->Rollback().ok());
    EXPECT_GT(file, 1000000);
    EXPECT_LT(journal, file / 10);
    EXPECT_EQ(stored("SELECT count(*) FROM Kund"), std::vector<std::string>{"3001"});
}

TEST_F(EngineTest, ConstraintErrorsNameWhatWentWrong) {
    const Status missing = db->Execute("INSERT INTO Person (ID) VALUES (1)");
    ASSERT_FALSE(missing.ok());
    EXPECT_EQ(std::tie(missing.error().number, missing.error().description, missing.error().source),
              std::make_tuple(3314L, std::string("You must enter a value in the 'Person.FörNamn' field."),
                              std::string("DAO.Database")));
    ASSERT_TRUE(db->Execute("INSERT INTO Person (ID, FörNamn, Pnr) VALUES (1, 'a', '19700101-1234')").ok());
    EXPECT_EQ(errorOf(db->Execute("INSERT INTO Person (ID, FörNamn, Pnr) VALUES (2, 'b', '19700101-1234')")), 3022);
}

// Each pair in order (or equal); the reverse comparison must give the opposite sign.
TEST(SwedishCollation, IgnoresCaseAndOrdersTheSwedishAlphabet) {
    using Row = std::tuple<const char*, const char*, int>;
    for (const auto& [a, b, sign] :
         {Row{"ÅSA", "åsa", 0}, Row{"ÉLISE", "élise", 0}, Row{"zebra", "Åsa", -1}, Row{"Åsa", "Ärlig", -1},
          Row{"Ärlig", "Öberg", -1}, Row{"Jose", "José", -1}, Row{"José", "Josef", -1}, Row{"Müller", "Myller", 1},
          Row{"Müller", "Mylles", -1}, Row{"12", "a", -1}, Row{"Øberg", "Öberg", 1}, Row{"\xff", "\xfe", 1},
          Row{"Ær", "Är", 1}}) {
        const int got = compareSwedish(a, b), back = compareSwedish(b, a);
        EXPECT_EQ(std::make_pair((got > 0) - (got < 0), (back > 0) - (back < 0)), std::make_pair(sign, -sign))
            << a << " vs " << b;
    }
}

}  // namespace
}  // namespace vexla::db
