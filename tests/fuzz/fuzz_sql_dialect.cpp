// The SQL dialect: tokens are pieces of the statement; a translation
// prepares with ?1..?P (its own ?) then its literals' slots (an INSERT's
// values all slots), runs with them bound, and other literals of the same
// kinds give the same SQLite text: no literal reaches SQLite as SQL.
#include <sqlite3.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "db/date_literal.h"
#include "db/schema.h"
#include "db/sql_parser.h"
#include "db/sql_tokenizer.h"
#include "db/sql_translator.h"
#include "db/sqlite_connection.h"
#include "db/swedish_collation.h"
#include "tests/fuzz/fuzz_support.h"
#include "tools/sample_generator.h"

namespace {

using namespace vexla;
using namespace vexla::db;
using vexla::fuzz::printable;

struct Fixture {
    sqlite3* db = nullptr;
    std::unique_ptr<Schema> schema;
    DatePictures pictures;

    Fixture() {
        const std::string path = vexla::fuzz::scratch("dialect.db");
        if (!sample::makeSampleDatabase(path, {.customers = 3, .resources = 2, .bookings = 4}) ||
            sqlite3_open(path.c_str(), &db) != SQLITE_OK || registerSwedishCollation(db) != SQLITE_OK ||
            sqlite3_exec(
                db,
                "CREATE TABLE \"Odd \"\"Name\"\"\" (\"A-b\" TEXT, \"x y\" LONG, \"Sökväg\" VARCHAR(5),"
                " \"Bild\" BLOB, \"Fri\", \"Ja\" BOOLEAN, \"Liten\" BYTE, \"Kort\" SMALLINT, \"Pengar\" CURRENCY,"
                " \"Enkel\" SINGLE, \"Stor\" BIGINT, \"När\" DATE); CREATE TABLE MSysLocale (Namn TEXT, Värde TEXT);",
                nullptr, nullptr, nullptr) != SQLITE_OK)
            vexla::fuzz::fail("cannot make the demo database");
        schema = std::make_unique<Schema>(db);
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

// SQLite takes the translation as it is and runs it with the literals bound.
void checkTranslation(const ParsedStatement& parsed, const Translation& t, const std::string& what) {
    sqlite3* db = fixture().db;
    const int slots = static_cast<int>(t.slotTypes.size() + t.literals.size());
    VEXLA_FUZZ_CHECK(
        static_cast<int>(t.slotTypes.size()) == parsed.paramCount &&
            (parsed.kind != ParsedStatement::Kind::Insert || static_cast<std::size_t>(slots) == parsed.values.size()),
        "slots for other than the statement's ? and values; " + what);
    sqlite3_stmt* stmt = nullptr;
    const int rc = sqlite3_prepare_v2(db, t.sql.c_str(), static_cast<int>(t.sql.size()), &stmt, nullptr);
    VEXLA_FUZZ_CHECK(rc == SQLITE_OK, std::string("SQLite refuses it: ") + sqlite3_errmsg(db) + "; " + what);
    VEXLA_FUZZ_CHECK(sqlite3_bind_parameter_count(stmt) == slots, "SQLite counts other slots; " + what);
    for (int n = 1; n <= slots; ++n) {
        const char* name = sqlite3_bind_parameter_name(stmt, n);
        VEXLA_FUZZ_CHECK(name && name == "?" + std::to_string(n), "slot " + std::to_string(n) + " unnamed; " + what);
    }
    VEXLA_FUZZ_CHECK(bindLiterals(stmt, t) == SQLITE_OK, "binding the literals failed; " + what);
    sqlite3_exec(db, "SAVEPOINT fuzz", nullptr, nullptr, nullptr);
    int step = SQLITE_ROW;
    for (int rows = 0; rows < 100 && step == SQLITE_ROW; ++rows) step = sqlite3_step(stmt);
    VEXLA_FUZZ_CHECK(step == SQLITE_ROW || step == SQLITE_DONE || (step & 0xFF) == SQLITE_CONSTRAINT,
                     std::string("SQLite failed running it: ") + sqlite3_errmsg(db) + "; " + what);
    sqlite3_finalize(stmt);
    sqlite3_exec(db, "ROLLBACK TO fuzz; RELEASE fuzz", nullptr, nullptr, nullptr);
}

// The statement with every literal replaced by a fixed one of the same kind.
std::string otherLiterals(const std::string& input) {
    std::string out;
    std::size_t at = 0;
    for (const Token& tok : tokenize(input)) {
        const char* other = tok.kind == Tok::String   ? " 'x' "
                            : tok.kind == Tok::Number ? " 7 "
                            : tok.kind == Tok::Date   ? " #2001-02-03# "
                                                      : nullptr;
        if (!other) continue;
        out.append(input, at, tok.offset - at).append(other);
        at = tok.offset + tok.raw.size();
    }
    return out.append(input, at, std::string::npos);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::vector<Token> toks = tokenize(input);
    VEXLA_FUZZ_CHECK(!toks.empty() && (toks.back().kind == Tok::End || toks.back().kind == Tok::Invalid),
                     "no end token");
    for (const Token& t : toks)
        VEXLA_FUZZ_CHECK(t.offset + t.raw.size() <= input.size() && input.compare(t.offset, t.raw.size(), t.raw) == 0,
                         "a token that is not the input's text");

    auto parsed = parseStatement(input);
    if (!parsed) return 0;
    vexla::fuzz::stage("parsed");
    auto t = translate(*parsed, *fixture().schema, fixture().pictures);
    if (!t) return 0;
    vexla::fuzz::stage(!t->literals.empty() ? "translated with literals" : "translated");
    checkTranslation(*parsed, *t, "statement: " + printable(input, 2000) + "\nSQLite: " + printable(t->sql, 2000));

    const std::string other = otherLiterals(input);
    auto parsed2 = parseStatement(other);
    VEXLA_FUZZ_CHECK(parsed2.ok(), "other literals of the same kinds made it unreadable: " + printable(other, 2000));
    if (auto t2 = translate(*parsed2, *fixture().schema, fixture().pictures)) {
        vexla::fuzz::stage("other literals translated too");
        VEXLA_FUZZ_CHECK(
            t2->sql == t->sql && t2->literals.size() == t->literals.size(),
            "other literals gave other SQLite text:\n" + printable(t->sql, 2000) + "\n" + printable(t2->sql, 2000));
    }
    return 0;
}
