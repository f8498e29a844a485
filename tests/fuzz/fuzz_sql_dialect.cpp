// The booking system's SQL dialect: tokenizer, parser and the translation
// to SQLite, against the tables of the demo database and one table of
// awkward names, in an in-memory SQLite database.
//
// Input: one statement of the dialect.
//
// The translator's contract is that no text of a statement ever reaches
// SQLite as SQL: names are checked against the file and written quoted, and
// every literal becomes a bound value. So for every statement that
// translates:
//   - the SQLite text holds nothing but its own keywords, quoted names of
//     the statement's table and its columns, ?N slots and operators: no
//     string, number or other word (a literal that leaked would be one);
//   - the slots are ?1..?P for the statement's own ? and ?P+1..?P+L for its
//     L literals, each exactly once; an INSERT's VALUES list is slots only,
//     one per column;
//   - SQLite prepares it with exactly P + L parameters and runs it with the
//     literals bound without a syntax or type error;
//   - the same statement with other literals of the same kinds, when it
//     translates too, gives the same SQLite text (the import relies on this
//     to reuse one prepared statement).
#include <sqlite3.h>

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "db/date_literal.h"
#include "db/schema.h"
#include "db/sql_parser.h"
#include "db/sql_tokenizer.h"
#include "db/sql_translator.h"
#include "db/sqlite_connection.h"
#include "db/swedish_collation.h"
#include "tools/sample_tables.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

using namespace vexla;
using namespace vexla::db;
using vexla::fuzz::printable;

struct Fixture {
    sqlite3* db = nullptr;
    std::unique_ptr<Schema> schema;
    DatePictures pictures;

    Fixture() {
        if (sqlite3_open(":memory:", &db) != SQLITE_OK) vexla::fuzz::fail("sqlite3_open");
        if (registerSwedishCollation(db) != SQLITE_OK) vexla::fuzz::fail("collation");
        std::string sql = sample::createTable("Kund", sample::kundColumns(false)) +
                          sample::createTable("Person", sample::personColumns(false)) +
                          sample::createTable("Bokning", sample::bokningColumns(false)) +
                          sample::createTable("PrelBokning", sample::kPrelColumns) +
                          sample::createTable("Users", sample::kUserColumns) +
                          "CREATE TABLE \"Odd \"\"Name\"\"\" (\"A-b\" TEXT, \"x y\" LONG, \"Sökväg\" VARCHAR(5),"
                          " \"Bild\" BLOB, \"Fri\", \"Ja\" BOOLEAN, \"Liten\" BYTE, \"Kort\" SMALLINT,"
                          " \"Pengar\" CURRENCY, \"Enkel\" SINGLE, \"Stor\" BIGINT, \"När\" DATE);"
                          "CREATE TABLE MSysLocale (Namn TEXT, Värde TEXT);"
                          "INSERT INTO Kund (ID, Namn, Rabatt) VALUES (1, 'Åkerlunds', 5.5), (-1, 'Kontant', 0),"
                          " (2, 'ab', NULL);"
                          "INSERT INTO Person (ID, FörNamn, EfterNamn, NyRekry) VALUES (1, 'Anna', 'Ek', 1);"
                          "INSERT INTO Bokning (ID, PersonID, KundID, StartTid, SlutTid) VALUES"
                          " (1, 1, 1, '2026-12-04 08:00:00', '2026-12-04 09:00:00');"
                          "INSERT INTO Users (Namn, Losenord, GruppID) VALUES ('admin', 'x', 1);";
        char* err = nullptr;
        if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK)
            vexla::fuzz::fail(std::string("schema: ") + (err ? err : "?"));
        schema = std::make_unique<Schema>(db);
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

const std::set<std::string> kKeywords = {"SELECT", "FROM",  "WHERE",  "AND",         "OR",
                                         "NOT",    "IS",    "NULL",   "ORDER",       "BY",
                                         "DESC",   "INSERT", "INTO",  "VALUES",      "DELETE",
                                         "COLLATE", kSwedishCollation};

struct OutToken {
    enum Kind { Word, Name, Slot, Punct } kind;
    std::string text;
    long slot = 0;
};

// Reads SQLite text the translator wrote; fails on anything it must never write.
std::vector<OutToken> lexOutput(const std::string& sql) {
    std::vector<OutToken> out;
    std::size_t i = 0;
    auto bad = [&](const std::string& why) {
        vexla::fuzz::fail(why + " at " + std::to_string(i) + " in SQLite text: " + printable(sql, 2000));
    };
    while (i < sql.size()) {
        const char c = sql[i];
        if (c == ' ') {
            ++i;
        } else if (c == '"') {
            std::string name;
            ++i;
            for (;;) {
                if (i >= sql.size()) bad("an unclosed name");
                if (sql[i] == '"') {
                    if (i + 1 < sql.size() && sql[i + 1] == '"') {
                        name += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                name += sql[i++];
            }
            out.push_back({OutToken::Name, name});
        } else if (c == '?') {
            std::size_t j = i + 1;
            long n = 0;
            while (j < sql.size() && sql[j] >= '0' && sql[j] <= '9' && n < 1000000) n = n * 10 + (sql[j++] - '0');
            if (j == i + 1) bad("a slot without a number");
            out.push_back({OutToken::Slot, sql.substr(i, j - i), n});
            i = j;
        } else if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_') {
            std::size_t j = i;
            while (j < sql.size() && ((sql[j] >= 'A' && sql[j] <= 'Z') || (sql[j] >= 'a' && sql[j] <= 'z') ||
                                      (sql[j] >= '0' && sql[j] <= '9') || sql[j] == '_'))
                ++j;
            const std::string word = sql.substr(i, j - i);
            if (!kKeywords.count(word)) bad("the word '" + word + "'");
            out.push_back({OutToken::Word, word});
            i = j;
        } else {
            static const char* const kPunct[] = {"<>", "<=", ">=", "(", ")", ",", "=", "<", ">"};
            bool found = false;
            for (const char* p : kPunct) {
                const std::size_t len = std::char_traits<char>::length(p);
                if (sql.compare(i, len, p) == 0) {
                    out.push_back({OutToken::Punct, p});
                    i += len;
                    found = true;
                    break;
                }
            }
            if (!found) bad(std::string("the character '") + printable(std::string(1, c)) + "'");
        }
    }
    return out;
}

void checkTranslation(const std::string& input, const ParsedStatement& parsed, const Translation& t) {
    Fixture& f = fixture();
    const std::string what = "statement: " + printable(input, 2000) + "\nSQLite: " + printable(t.sql, 2000);
    auto table = f.schema->table(parsed.table);
    VEXLA_FUZZ_CHECK(table.ok(), "translated a statement on an unknown table; " + what);
    std::set<std::string> names{(*table)->name};
    for (const ColumnInfo& c : (*table)->columns) names.insert(c.name);

    const std::vector<OutToken> toks = lexOutput(t.sql);
    const long P = static_cast<long>(t.slotTypes.size());
    const long L = static_cast<long>(t.literals.size());
    VEXLA_FUZZ_CHECK(P == parsed.paramCount, "slot types for " + std::to_string(P) + " of " +
                                                 std::to_string(parsed.paramCount) + " slots; " + what);
    std::map<long, int> seen;
    for (const OutToken& tok : toks) {
        if (tok.kind == OutToken::Name)
            VEXLA_FUZZ_CHECK(names.count(tok.text), "the name '" + printable(tok.text) + "' is not the table's; " + what);
        if (tok.kind == OutToken::Slot) ++seen[tok.slot];
    }
    for (long n = 1; n <= P + L; ++n)
        VEXLA_FUZZ_CHECK(seen[n] == 1, "slot ?" + std::to_string(n) + " used " + std::to_string(seen[n]) +
                                           " times; " + what);
    VEXLA_FUZZ_CHECK(static_cast<long>(seen.size()) == P + L, "slots beyond ?" + std::to_string(P + L) + "; " + what);

    if (parsed.kind == ParsedStatement::Kind::Insert) {
        // INSERT INTO "t" ( "c" , ... ) VALUES ( ?n , ... )
        std::size_t i = 0;
        auto expect = [&](OutToken::Kind kind, const char* text) {
            VEXLA_FUZZ_CHECK(i < toks.size() && toks[i].kind == kind && (!text || toks[i].text == text),
                             std::string("expected ") + (text ? text : "a name") + " at token " + std::to_string(i) +
                                 "; " + what);
            ++i;
        };
        expect(OutToken::Word, "INSERT");
        expect(OutToken::Word, "INTO");
        expect(OutToken::Name, nullptr);
        expect(OutToken::Punct, "(");
        std::size_t columns = 0;
        do {
            expect(OutToken::Name, nullptr);
            ++columns;
        } while (i < toks.size() && toks[i].text == "," && ++i);
        expect(OutToken::Punct, ")");
        expect(OutToken::Word, "VALUES");
        expect(OutToken::Punct, "(");
        std::size_t values = 0;
        do {
            expect(OutToken::Slot, nullptr);
            ++values;
        } while (i < toks.size() && toks[i].text == "," && ++i);
        expect(OutToken::Punct, ")");
        VEXLA_FUZZ_CHECK(i == toks.size(), "text after VALUES; " + what);
        VEXLA_FUZZ_CHECK(values == columns && values == parsed.values.size(),
                         std::to_string(values) + " values for " + std::to_string(columns) + " columns; " + what);
        VEXLA_FUZZ_CHECK(static_cast<long>(values) == P + L, "a value that is no slot; " + what);
    }

    // SQLite takes it as it is and runs it with the literals bound.
    sqlite3_stmt* stmt = nullptr;
    const int rc = sqlite3_prepare_v2(f.db, t.sql.c_str(), static_cast<int>(t.sql.size()), &stmt, nullptr);
    VEXLA_FUZZ_CHECK(rc == SQLITE_OK, std::string("SQLite refuses it: ") + sqlite3_errmsg(f.db) + "; " + what);
    VEXLA_FUZZ_CHECK(sqlite3_bind_parameter_count(stmt) == P + L, "SQLite counts other slots; " + what);
    VEXLA_FUZZ_CHECK(bindLiterals(stmt, t) == SQLITE_OK, "binding the literals failed; " + what);
    sqlite3_exec(f.db, "SAVEPOINT fuzz", nullptr, nullptr, nullptr);
    int step = SQLITE_ROW;
    for (int rows = 0; rows < 100 && step == SQLITE_ROW; ++rows) step = sqlite3_step(stmt);
    const int primary = step & 0xFF;
    VEXLA_FUZZ_CHECK(step == SQLITE_ROW || step == SQLITE_DONE || primary == SQLITE_CONSTRAINT,
                     std::string("SQLite failed running it: ") + sqlite3_errmsg(f.db) + "; " + what);
    sqlite3_finalize(stmt);
    sqlite3_exec(f.db, "ROLLBACK TO fuzz; RELEASE fuzz", nullptr, nullptr, nullptr);
}

// The statement with every literal replaced by a fixed one of the same kind.
std::string otherLiterals(const std::string& input) {
    std::string out;
    std::size_t at = 0;
    for (const Token& tok : tokenize(input)) {
        const char* replacement = nullptr;
        switch (tok.kind) {
            case Tok::String: replacement = " 'x' "; break;
            case Tok::Number: replacement = " 7 "; break;
            case Tok::Date: replacement = " #2001-02-03# "; break;
            default: break;
        }
        if (!replacement) continue;
        out.append(input, at, tok.offset - at);
        out += replacement;
        at = tok.offset + tok.raw.size();
    }
    out.append(input, at, std::string::npos);
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    Fixture& f = fixture();

    // The tokenizer ends with End or stops at an Invalid token, and never reads outside the text.
    const std::vector<Token> toks = tokenize(input);
    VEXLA_FUZZ_CHECK(!toks.empty(), "no tokens");
    VEXLA_FUZZ_CHECK(toks.back().kind == Tok::End || toks.back().kind == Tok::Invalid, "no end token");
    for (const Token& t : toks)
        VEXLA_FUZZ_CHECK(t.offset <= input.size() && t.offset + t.raw.size() <= input.size() &&
                             input.compare(t.offset, t.raw.size(), t.raw) == 0,
                         "a token that is not the input's text");

    auto parsed = parseStatement(input);
    if (!parsed) return 0;
    vexla::fuzz::Stages::hit("parsed");
    auto t = translate(*parsed, *f.schema, f.pictures);
    if (!t) return 0;
    vexla::fuzz::Stages::hit(parsed->kind == ParsedStatement::Kind::Insert   ? "translated INSERT"
                             : parsed->kind == ParsedStatement::Kind::Delete ? "translated DELETE"
                                                                             : "translated SELECT");
    if (!t->literals.empty()) vexla::fuzz::Stages::hit("translated with literals");
    checkTranslation(input, *parsed, *t);

    const std::string other = otherLiterals(input);
    auto parsed2 = parseStatement(other);
    VEXLA_FUZZ_CHECK(parsed2.ok(), "other literals of the same kinds made the statement unreadable: " +
                                       printable(other, 2000));
    if (auto t2 = translate(*parsed2, *f.schema, f.pictures)) {
        vexla::fuzz::Stages::hit("other literals translated too");
        VEXLA_FUZZ_CHECK(t2->sql == t->sql && t2->literals.size() == t->literals.size(),
                         "other literals gave other SQLite text:\n" + printable(t->sql, 2000) + "\n" +
                             printable(t2->sql, 2000));
        checkTranslation(other, *parsed2, *t2);
    }
    return 0;
}
