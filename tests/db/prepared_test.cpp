// Prepared statements take their values by the same rules as literals in
// the statement text: for each value, the text statement and the prepared
// one store the same thing or fail with the same number.
#include <tuple>

#include "tests/db/engine_fixture.h"

namespace vexla::db {
namespace {

using testing::EngineTest;

enum class As { Text, Date, Bare };

struct Same {
    const char* column;  // of Person, or of Kund when it is one of Kund's
    As as;
    const char* value;
};

std::string literal(As as, const std::string& v) {
    if (as != As::Text) return as == As::Date ? "#" + v + "#" : v;
    std::string q = "'";
    for (char c : v) q += c == '\'' ? std::string("''") : std::string(1, c);
    return q + "'";
}

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
    for (const Same& s :
         {Same{"Pnr", As::Text, "O'Brien"}, Same{"Pnr", As::Text, "alldeles för lång text"},
          Same{"Pnr", As::Bare, "42"}, Same{"NyRekry", As::Bare, "True"}, Same{"NyRekry", As::Text, "Yes"},
          Same{"NyRekry", As::Text, "kanske"}, Same{"Omfattning", As::Bare, "32768"},
          Same{"Omfattning", As::Bare, "0.5"}, Same{"Omfattning", As::Bare, "Null"},
          Same{"Omfattning", As::Bare, "1 OR 1"}, Same{"Omfattning", As::Text, "12"},
          Same{"AnstStart", As::Date, "00:00:00"}, Same{"AnstStart", As::Date, "2019-02-30"},
          Same{"AnstStart", As::Text, "2019-08-01 10:00"}, Same{"AnstStart", As::Bare, "1.5"},
          Same{"Rabatt", As::Bare, "-1E2"}, Same{"Rabatt", As::Date, "2026-01-01"},
          Same{"Anteckningar", As::Text, "rad 1\r\nrad 2; med semikolon"}}) {
        const std::string column = s.column;
        const std::string table = column == "Rabatt" || column == "Anteckningar" ? "Kund" : "Person";
        const std::string head = "INSERT INTO " + table + " (ID, " + (table == "Kund" ? "Namn" : "FörNamn") + ", " +
                                 column + ") VALUES (9, 'p', ";
        SCOPED_TRACE(head + s.value);
        const std::string byText = outcome(db->Execute(head + literal(s.as, s.value) + ")"), table, column);

        auto prepared = db->Prepare(head + "?)");
        ASSERT_TRUE(prepared.ok()) << prepared.error().description;
        ASSERT_EQ((*prepared)->ParameterCount(), 1);
        const Status bound = s.as == As::Text   ? (*prepared)->BindText(0, s.value)
                             : s.as == As::Date ? (*prepared)->BindDate(0, s.value)
                                                : (*prepared)->BindBare(0, s.value);
        // A value the column refuses is refused as it is bound.
        EXPECT_EQ(outcome(bound.ok() ? (*prepared)->Execute() : bound, table, column), byText);
    }
}

TEST_F(EngineTest, PreparedStatementReportsItsOwnFailures) {
    auto p = db->Prepare("INSERT INTO Person (ID, FörNamn, Omfattning) VALUES (?, ?, ?)");
    ASSERT_TRUE(p.ok());
    PreparedStatement& st = **p;
    const Status bad = st.BindText(2, "heltid");
    ASSERT_FALSE(bad.ok());
    EXPECT_EQ(std::tie(bad.error().number, bad.error().source), std::make_tuple(3464L, std::string("DAO.QueryDef")));
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

}  // namespace
}  // namespace vexla::db
