// The whole import of a register file, as vexla-transfer runs it, into a
// real database file, followed by an export and a second import.
//
// Per input, written as a register file: its fields as the mapping dialog
// reads them (a file it refuses is never imported), linked automatically as
// vexla-transfer links them (transfer::autoLinks) to the register and
// language that take most of them (none: no import); then importRegister
// into fresh copies of a small clean demo database, with and without
// "delete first". What must hold:
//   - the integrity check passes;
//   - a stopped import stored nothing and left every table as it was; one
//     that did not committed, its register holds the records it kept (all
//     without "delete first" or without a line stored, else those the
//     delete spares) and `inserted` more, every other table is unchanged,
//     and the skipped lines are listed as counted;
//   - the export then writes every record, without a message;
//   - when it says every record comes back unchanged (nothing written as
//     '?', nothing the import would split or change, no two nulls under a
//     unique index, which the file writes as one empty key), importing it
//     with "delete first" goes through, skips nothing, inserts every record,
//     and exporting again writes the same bytes.
#include <sqlite3.h>

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "registers/export_register.h"
#include "registers/field_mapping.h"
#include "registers/import.h"
#include "registers/import_texts.h"
#include "registers/register_kind.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/support/fake_admin_window.h"
#include "tests/support/fake_platform.h"
#include "tools/sample_generator.h"
#include "transfer/links.h"

namespace {

using namespace vexla;
using vexla::fuzz::printable;

// The clean demo database every input starts from, and the columns of each
// register's table that a UNIQUE index covers (read with SQLite itself).
struct Base {
    std::string bytes;
    std::vector<std::string> unique[kRegisters.size()];
};

const Base& base() {
    static const Base b = [] {
        Base made;
        const std::string path = vexla::fuzz::scratch("base.db");
        if (!sample::makeSampleDatabase(path, {.customers = 5, .resources = 3, .bookings = 6, .clean = true}))
            vexla::fuzz::fail("cannot make the demo database");
        sqlite3* db = nullptr;
        sqlite3_stmt* st = nullptr;
        if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK ||
            sqlite3_prepare_v2(db, "SELECT i.name FROM pragma_index_list(?1) AS l, pragma_index_info(l.name) AS i"
                               " WHERE l.\"unique\"", -1, &st, nullptr) != SQLITE_OK)
            vexla::fuzz::fail("cannot read the demo database's indexes");
        for (const RegisterKind& reg : kRegisters) {
            sqlite3_bind_text(st, 1, reg.table.data(), static_cast<int>(reg.table.size()), SQLITE_STATIC);
            while (sqlite3_step(st) == SQLITE_ROW)
                made.unique[reg.kind].emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
            sqlite3_reset(st);
        }
        sqlite3_finalize(st);
        sqlite3_close(db);
        made.bytes = vexla::fuzz::readFile(path);
        return made;
    }();
    return b;
}

struct Choice {
    const RegisterKind* reg;
    std::string language;
    LinkTable links;
    std::vector<int> types;  // of the register's columns
};

// A window on a fresh copy of the demo database, closed at the end.
struct Run {
    testing::FakePlatform fakes;
    testing::FakeAdminWindow window;
    testing::CodeTexts codeTexts;
    explicit Run(const std::string& name) {
        window.state_.DataBas = vexla::fuzz::scratch(name);
        vexla::fuzz::writeFile(window.state_.DataBas, base().bytes);
        auto opened = window.engine_.OpenDatabase(window.state_.DataBas, true);
        VEXLA_FUZZ_CHECK(opened.ok(), "cannot open the copy of the demo database");
        window.state_.db = std::move(*opened);
    }
    ~Run() { (void)db().Close(); }
    db::Database& db() { return *window.state_.db; }
};

// The file's fields as the mapping dialog reads them; nothing for a file it refuses.
std::optional<std::vector<std::string>> fileFields(const std::string& file) {
    testing::FakeMessageBoxes unseen;
    testing::CodeTexts texts;
    return registerFileFields(file, unseen, texts);
}

// The links vexla-transfer makes: the file's fields linked automatically to
// the register's captions in `language`.
Choice linked(db::Database& db, const RegisterKind& reg, const std::string& language,
              const std::vector<std::string>& fields) {
    auto columns = databaseFields(db, reg, language);
    VEXLA_FUZZ_CHECK(columns.ok(), "cannot list the fields of " + std::string(reg.table));
    Choice c{&reg, language, {}, {}};
    std::vector<std::string> captions;
    for (const DatabaseField& f : *columns) {
        captions.push_back(f.caption);
        c.types.push_back(f.typeCode);
    }
    c.links = transfer::autoLinks(captions, fields);
    return c;
}

// The register and language the file links most fields of.
Choice choose(db::Database& db, const std::vector<std::string>& fields) {
    Choice best = linked(db, kRegisters[0], "se", fields);
    for (const RegisterKind& reg : kRegisters)
        for (const char* language : {"se", "en"})
            if (Choice c = linked(db, reg, language, fields); c.links.size() > best.links.size()) best = std::move(c);
    return best;
}

// Calls `each` with the recordset at every row `sql` gives, until it answers false.
template <typename Each>
void forEachRow(db::Database& db, const std::string& sql, Each each) {
    auto rs = db.OpenRecordset(sql);
    VEXLA_FUZZ_CHECK(rs.ok(), "cannot run " + sql);
    while (!(*rs)->Eof() && each(**rs)) VEXLA_FUZZ_CHECK((*rs)->MoveNext().ok(), "cannot read on in " + sql);
    (*rs)->Close();
}

// Every table's rows, each row's raw values joined, sorted: a table is
// unchanged when its entry is.
using Snapshot = std::map<std::string, std::vector<std::string>>;
Snapshot snapshot(db::Database& db) {
    Snapshot all;
    auto names = db.TableNames();
    VEXLA_FUZZ_CHECK(names.ok(), "cannot list the tables");
    for (const std::string& table : *names) {
        std::vector<std::string>& rows = all[table];
        forEachRow(db, "SELECT * FROM [" + table + "]", [&](db::Recordset& rs) {
            std::string row;
            for (int i = 0; i < rs.FieldCount(); ++i) {
                const db::RawValue v = rs.raw(i);
                row += std::to_string(static_cast<int>(v.kind)) + ":" + std::to_string(v.integer) + ":" +
                       std::to_string(v.real) + ":" + std::string(v.text) + '\x1F';
            }
            rows.push_back(std::move(row));
            return true;
        });
        std::sort(rows.begin(), rows.end());
    }
    return all;
}

// The rows `sql` gives, counted up to `limit`.
long countRows(db::Database& db, const std::string& sql, long limit = LONG_MAX) {
    long n = 0;
    forEachRow(db, sql, [&](db::Recordset&) { return ++n < limit; });
    return n;
}

// Whether a column under a UNIQUE index holds two nulls: the file writes
// both as empty, and importing them back gives one key twice.
bool twoNullsUnderUniqueIndex(db::Database& db, const RegisterKind& reg) {
    return std::any_of(base().unique[reg.kind].begin(), base().unique[reg.kind].end(), [&](const std::string& c) {
        return countRows(db, "SELECT [" + c + "] FROM " + std::string(reg.table) + " WHERE [" + c + "] IS NULL", 2) == 2;
    });
}

// The import's promise: everything it reports, or nothing at all.
void checkOutcome(const ImportOutcome& o, const Snapshot& before, const Snapshot& after, const RegisterKind& reg,
                  long exportableBefore, bool deleteFirst, const std::string& what) {
    if (o.stopped()) {
        VEXLA_FUZZ_CHECK(o.inserted == 0 && o.deleted == 0 && !o.committed && !o.deletedFirst,
                         "a stopped import reports changes: " + what);
        VEXLA_FUZZ_CHECK(after == before, "a stopped import changed the database: " + what);
        return;
    }
    VEXLA_FUZZ_CHECK(o.committed && o.inserted >= 0, "an import that went through did not commit: " + what);
    for (const auto& entry : before)
        if (entry.first != reg.table) VEXLA_FUZZ_CHECK(after.at(entry.first) == entry.second, "changed " + entry.first + ": " + what);
    const std::vector<std::string>& was = before.at(std::string(reg.table));
    const std::vector<std::string>& is = after.at(std::string(reg.table));
    // The delete runs just before the first line stored: a file without one deletes nothing.
    const bool deleted = deleteFirst && o.inserted > 0;
    VEXLA_FUZZ_CHECK(o.deletedFirst == deleted && o.deleted == (deleted ? exportableBefore : 0),
                     "the delete removed another count: " + what);
    VEXLA_FUZZ_CHECK(static_cast<long>(is.size()) == static_cast<long>(was.size()) - o.deleted + o.inserted,
                     "the register holds " + std::to_string(is.size()) + " records: " + what);
    VEXLA_FUZZ_CHECK(deleteFirst || std::includes(is.begin(), is.end(), was.begin(), was.end()),
                     "an import without delete-first changed a record: " + what);
    for (const LineList* list : {&o.wrongFieldCount, &o.duplicates}) {
        VEXLA_FUZZ_CHECK(!deleteFirst || list->count == 0, "delete-first skipped a line: " + what);
        VEXLA_FUZZ_CHECK(list->first.size() == std::min<std::size_t>(static_cast<std::size_t>(list->count), kListedLines) &&
                             std::adjacent_find(list->first.begin(), list->first.end(), std::greater_equal<>()) ==
                                 list->first.end() &&
                             (list->first.empty() || list->first[0] > 1),
                         "the skipped lines listed do not match their count: " + what);
    }
}

// Imports `file` into the open database and checks the outcome against the
// database before and after.
ImportOutcome importChecked(Run& run, const Choice& choice, const std::string& file, bool deleteFirst) {
    const Snapshot before = snapshot(run.db());
    const long exportable = countRows(run.db(), std::string(choice.reg->exportQuery));
    const ImportRequest request{std::string(choice.reg->name), file, deleteFirst, choice.types, false};
    ImportServices services{run.db(), choice.language};
    const ImportOutcome o = importRegister(choice.links, request, services);
    const Status integrity = run.db().CheckIntegrity();
    VEXLA_FUZZ_CHECK(integrity.ok(), "integrity check failed after the import: " + integrity.error().description);
    checkOutcome(o, before, snapshot(run.db()), *choice.reg, exportable, deleteFirst,
                 std::to_string(o.inserted) + " inserted, " + std::to_string(o.deleted) + " deleted: " +
                     printable(importStopMessage(o, file, run.codeTexts), 500));
    return o;
}

ExportOutcome exportChecked(Run& run, const Choice& choice, const std::string& file) {
    (void)std::remove(file.c_str());
    const long exportable = countRows(run.db(), std::string(choice.reg->exportQuery));
    run.window.state_.Språk = choice.language;
    run.fakes.messages.shown.clear();
    run.fakes.dialogs.choices.push_back(file);
    Platform platform = run.fakes.platform(vexla::fuzz::scratch(""));
    ExportContext ctx{run.window, platform, run.codeTexts};
    const ExportOutcome exported = exportRegister(ctx, choice.reg->kind);
    std::string shown;
    for (const auto& box : run.fakes.messages.shown) shown += "[" + printable(box.text, 500) + "] ";
    VEXLA_FUZZ_CHECK(shown.empty(), "the export showed " + shown);
    VEXLA_FUZZ_CHECK(exported.counts.records == exportable && exported.n == (exportable == 0 ? -1 : exportable),
                     "exported " + std::to_string(exported.counts.records) + " of " + std::to_string(exportable) +
                         ", answered " + std::to_string(exported.n));
    return exported;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    base();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input = vexla::fuzz::scratch("input.skv"), first = vexla::fuzz::scratch("first.skv");
    vexla::fuzz::writeFile(input, std::string_view(reinterpret_cast<const char*>(data), size));
    const auto fields = fileFields(input);
    if (!fields) return 0;
    Run run("work.db");
    const Choice choice = choose(run.db(), *fields);
    if (choice.links.empty()) return 0;
    vexla::fuzz::stage(choice.reg->name.data());
    {
        Run replacing("replacing.db");
        const ImportOutcome o = importChecked(replacing, choice, input, true);
        vexla::fuzz::stage(o.stopped() ? "delete-first stopped" : "delete-first replaced the register");
    }
    const ImportOutcome o = importChecked(run, choice, input, false);
    vexla::fuzz::stage(o.stopped() ? "import stopped" : o.inserted > 0 ? "import inserted records" : "import inserted nothing");
    if (o.stopped()) return 0;

    const ExportOutcome exported = exportChecked(run, choice, first);
    if (exported.counts.replaced != 0 || exported.counts.notReturnable != 0 || exported.counts.emptyCaption ||
        twoNullsUnderUniqueIndex(run.db(), *choice.reg)) {
        vexla::fuzz::stage("export not faithful");
        return 0;
    }
    // Everything comes back: export, import with "delete first", export is the identity.
    vexla::fuzz::stage("round trip");
    const auto exportedFields = fileFields(first);
    VEXLA_FUZZ_CHECK(exportedFields, "the export is no register file");
    const Choice again = linked(run.db(), *choice.reg, choice.language, *exportedFields);
    VEXLA_FUZZ_CHECK(again.links.size() == again.types.size(), "the export's header does not link every column");
    const ImportOutcome back = importChecked(run, again, first, true);
    VEXLA_FUZZ_CHECK(!back.stopped() && back.skipped() == 0 && back.inserted == exported.counts.records,
                     "importing a faithful export gave " + std::to_string(back.inserted) + " of " +
                         std::to_string(exported.counts.records) + ": " +
                         printable(importStopMessage(back, first, run.codeTexts), 500));
    exportChecked(run, again, vexla::fuzz::scratch("second.skv"));
    const std::string a = vexla::fuzz::readFile(first), b = vexla::fuzz::readFile(vexla::fuzz::scratch("second.skv"));
    const auto at = static_cast<std::size_t>(std::mismatch(a.begin(), a.end(), b.begin(), b.end()).first - a.begin());
    VEXLA_FUZZ_CHECK(a == b, "export, import, export changed the file at byte " + std::to_string(at) + ":\n  " +
                                 printable(a.substr(at > 80 ? at - 80 : 0, 200)) + "\n  " +
                                 printable(b.substr(at > 80 ? at - 80 : 0, 200)));
    return 0;
}
