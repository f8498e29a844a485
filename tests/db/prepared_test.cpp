// Prepared statements take their values by the same rules as literals in
// the statement text: for each value, the text statement and the prepared
// one store the same thing or fail with the same number.
#include "tests/db/engine_fixture.h"

namespace vexla::db {
namespace {

using testing::EngineTest;

enum class As { Text, Date, Bare };

struct Same {
    const char* head;  // the INSERT up to its last value
    As as;
    const char* value;
};

std::string literal(As as, const std::string& v) {
    switch (as) {
        case As::Text: {
            std::string q = "'";
            for (char c : v) q += c == '\'' ? std::string("''") : std::string(1, c);
            return q + "'";
        }
        case As::Date: return "#" + v + "#";
        case As::Bare: return v;
    }
    return v;
}

#define PERSON "INSERT INTO Person (ID, FörNamn, "
#define KUND "INSERT INTO Kund (ID, Namn, "
TEST_F(EngineTest, BoundValuesStoreTheSameOrFailTheSameAsLiterals) {
    // What one way left in the file for the row with ID 9: the stored value
    // of the column with its type, or the error number. The row goes again.
    const auto outcome = [&](const Status& s, const std::string& table, const std::string& column) {
        if (!s.ok()) return "error " + std::to_string(s.error().number);
        auto rows =
            stored("SELECT quote(" + column + ") || ':' || typeof(" + column + ") FROM " + table + " WHERE ID = 9");
        EXPECT_TRUE(db->Execute("DELETE FROM " + table + " WHERE ID = 9").ok());
        return rows.empty() ? std::string("no row") : rows[0];
    };
    for (const Same& s : {Same{PERSON "Pnr) VALUES (9, 'p', ", As::Text, "19700101-1234"},
                          Same{PERSON "Pnr) VALUES (9, 'p', ", As::Text, "O'Brien"},
                          Same{PERSON "Pnr) VALUES (9, 'p', ", As::Text, "alldeles för lång text"},
                          Same{PERSON "Pnr) VALUES (9, 'p', ", As::Bare, "42"},
                          Same{PERSON "NyRekry) VALUES (9, 'p', ", As::Bare, "True"},
                          Same{PERSON "NyRekry) VALUES (9, 'p', ", As::Text, "Yes"},
                          Same{PERSON "NyRekry) VALUES (9, 'p', ", As::Text, "kanske"},
                          Same{PERSON "Omfattning) VALUES (9, 'p', ", As::Bare, "-75"},
                          Same{PERSON "Omfattning) VALUES (9, 'p', ", As::Bare, "32768"},
                          Same{PERSON "Omfattning) VALUES (9, 'p', ", As::Bare, "0.5"},
                          Same{PERSON "Omfattning) VALUES (9, 'p', ", As::Bare, "Null"},
                          Same{PERSON "Omfattning) VALUES (9, 'p', ", As::Bare, "1 OR 1"},
                          Same{PERSON "Omfattning) VALUES (9, 'p', ", As::Text, "12"},
                          Same{PERSON "AnstStart) VALUES (9, 'p', ", As::Date, "2019-08-01"},
                          Same{PERSON "AnstStart) VALUES (9, 'p', ", As::Date, "00:00:00"},
                          Same{PERSON "AnstStart) VALUES (9, 'p', ", As::Date, "2019-02-30"},
                          Same{PERSON "AnstStart) VALUES (9, 'p', ", As::Text, "2019-08-01 10:00"},
                          Same{PERSON "AnstStart) VALUES (9, 'p', ", As::Bare, "1.5"},
                          Same{KUND "Rabatt) VALUES (9, 'k', ", As::Bare, "12.5"},
                          Same{KUND "Rabatt) VALUES (9, 'k', ", As::Bare, "-1E2"},
                          Same{KUND "Rabatt) VALUES (9, 'k', ", As::Date, "2026-01-01"},
                          Same{KUND "Anteckningar) VALUES (9, 'k', ", As::Text, "rad 1\r\nrad 2; med semikolon"}}) {
        SCOPED_TRACE(std::string(s.head) + s.value);
        const std::string head = s.head;
        const std::string table = head.find("Person") != std::string::npos ? "Person" : "Kund";
        const size_t close = head.find(')'), comma = head.rfind(',', close);
        const std::string column = "\"" + head.substr(comma + 2, close - comma - 2) + "\"";
        const std::string byText = outcome(db->Execute(head + literal(s.as, s.value) + ")"), table, column);

        auto prepared = db->Prepare(head + "?)");
        ASSERT_TRUE(prepared.ok()) << prepared.error().description;
        ASSERT_EQ((*prepared)->ParameterCount(), 1);
        Status bound;
        switch (s.as) {
            case As::Text: bound = (*prepared)->BindText(0, s.value); break;
            case As::Date: bound = (*prepared)->BindDate(0, s.value); break;
            case As::Bare: bound = (*prepared)->BindBare(0, s.value); break;
        }
        // A value the column refuses is refused as it is bound.
        EXPECT_EQ(outcome(bound.ok() ? (*prepared)->Execute() : bound, table, column), byText);
    }
}
#undef PERSON
#undef KUND

TEST_F(EngineTest, PreparedStatementReportsItsOwnFailures) {
    auto p = db->Prepare("INSERT INTO Person (ID, FörNamn, Omfattning) VALUES (?, ?, ?)");
    ASSERT_TRUE(p.ok());
    PreparedStatement& st = **p;
    const Status bad = st.BindText(2, "heltid");
    ASSERT_FALSE(bad.ok());
    EXPECT_EQ(bad.error().number, 3464);
    EXPECT_EQ(bad.error().source, "DAO.QueryDef");
    EXPECT_EQ(errorOf(st.BindBare(3, "1")), 3265);
    ASSERT_TRUE(st.BindBare(0, "1").ok());
    EXPECT_EQ(errorOf(st.Execute()), 3061);  // two slots never bound
    ASSERT_TRUE(st.BindText(1, "Åsa").ok());
    ASSERT_TRUE(st.BindNull(2).ok());
    ASSERT_TRUE(st.Execute().ok());
    EXPECT_EQ(errorOf(st.Execute()), 3022);  // the same ID again
    ASSERT_TRUE(st.BindBare(0, "2").ok());
    ASSERT_TRUE(st.Execute().ok());  // and it goes on after the duplicate
    EXPECT_EQ(st.RecordsAffected(), 1);
    ASSERT_TRUE(db->Close().ok());
    EXPECT_EQ(errorOf(st.Execute()), 3420);
}

// Bare numbers take the system's decimal separator ("n,5").
TEST_F(EngineTest, ManyRowsThroughOnePreparedInsertInOneTransaction) {
    auto p = db->Prepare("INSERT INTO Bokning (ID, KundID, StartTid, Anteckning, Lunch, Pris) VALUES (?, ?, ?, ?, ?, ?)");
    ASSERT_TRUE(p.ok());
    ASSERT_TRUE(db->BeginTrans().ok());
    for (int i = 1; i <= 2000; ++i) {
        const std::string n = std::to_string(i);
        ASSERT_TRUE((*p)->BindBare(0, n).ok());
        ASSERT_TRUE((*p)->BindBare(1, std::to_string(i % 7 - 3)).ok());
        ASSERT_TRUE((*p)->BindDate(2, "2026-01-" + std::to_string(1 + i % 28) + " 08:00:00").ok());
        ASSERT_TRUE((*p)->BindText(3, "rad " + n).ok());
        ASSERT_TRUE((*p)->BindBare(4, i % 2 ? "True" : "False").ok());
        ASSERT_TRUE((*p)->BindBare(5, n + ",5").ok());
        ASSERT_TRUE((*p)->Execute().ok());
    }
    ASSERT_TRUE(db->CommitTrans().ok());
    EXPECT_EQ(stored("SELECT count(*) FROM Bokning"), std::vector<std::string>{"2000"});
    EXPECT_EQ(stored("SELECT sum(Pris) FROM Bokning"), std::vector<std::string>{"2002000.0"});
    EXPECT_EQ(stored("SELECT StartTid FROM Bokning WHERE ID = 27"), std::vector<std::string>{"2026-01-28 08:00:00"});
}

TEST_F(EngineTest, PreparedSelectRunsAgainWithNewValues) {
    auto p = db->Prepare("SELECT Namn FROM Users WHERE GruppID = ? ORDER BY Namn");
    ASSERT_TRUE(p.ok());
    EXPECT_EQ(errorOf((*p)->Execute()), 3065);
    for (const auto& [group, first] : {std::pair<std::int64_t, const char*>{1, "admin"}, {2, "anna"}}) {
        ASSERT_TRUE((*p)->Bind(0, Variant(group)).ok());
        auto rs = (*p)->OpenRecordset();
        ASSERT_TRUE(rs.ok());
        EXPECT_EQ((*rs)->Fields(0)->Value().value(), Variant(std::string(first)));
    }
    auto del = db->Prepare("DELETE FROM Users WHERE Namn = ?");
    ASSERT_TRUE(del.ok());
    ASSERT_TRUE((*del)->BindText(0, "ANNA").ok());
    ASSERT_TRUE((*del)->Execute().ok());
    EXPECT_EQ((*del)->RecordsAffected(), 1);
}

}  // namespace
}  // namespace vexla::db
