// The whole import of a register file, through the real import code into a
// real database file, followed by an export and a second import.
//
// Once per process a small clean demo database is made in a scratch folder
// (in memory when /dev/shm is there). Per input:
//   1. the input is written as a register file;
//   2. its header picks the register and language whose captions the
//      program's automatic linking (autoLinkPairs) links most fields to; a
//      header that links nothing gets a fixed table linking file field i to
//      column i of the customer register;
//   3. importRegister runs on a fresh copy of the database with "delete
//      first", and on another without it.
// What must hold:
//   - PRAGMA integrity_check passes (the engine's CheckIntegrity);
//   - an import that stopped stored nothing and left every table exactly as
//     it was; one that did not committed, and its register holds exactly
//     what it reports: the records it kept (all of them without "delete
//     first" or without a line stored, else those the delete spares) and
//     `inserted` more, every other table unchanged, and the skipped lines
//     listed as counted;
//   - exporting the register then writes every record, without a message;
//   - when that export says every record comes back unchanged (nothing
//     written as '?', nothing the import would split or change), importing
//     it with "delete first" goes through, skips nothing, inserts every
//     record, keeps every text as it was, and exporting again writes the
//     same bytes.
#include <sqlite3.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "tools/sample_generator.h"
#include "registers/export_register.h"
#include "registers/field_catalogue.h"
#include "registers/field_mapping.h"
#include "registers/import.h"
#include "registers/import_texts.h"
#include "registers/link_table.h"
#include "registers/register_file_reader.h"
#include "registers/register_kind.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/support/fake_admin_window.h"
#include "tests/support/fake_platform.h"

namespace {

using namespace vexla;
using vexla::fuzz::printable;
using vexla::fuzz::Scratch;

struct Column {
    std::string name;
    int type;  // typecode::
};

struct Base {
    std::string bytes;               // the clean demo database
    std::vector<Column> columns[3];  // by register kind
    // The captions the mapping dialog lists, by register kind and language.
    std::map<std::string, std::vector<std::string>> captions[3];
    // Text columns under a UNIQUE index, by register kind. A register file
    // cannot tell a null text from an empty one, and the import writes an
    // empty text; two nulls there come back as two equal keys, and the
    // second is refused. That is the file format, not a fault.
    std::vector<std::string> uniqueTexts[3];
};

// The text columns of `table` that a UNIQUE index covers, read with SQLite itself.
std::vector<std::string> uniqueTextColumns(const std::string& path, const std::string& table) {
    std::vector<std::string> out;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
        vexla::fuzz::fail("cannot read the schema of the demo database");
    auto rows = [&](const std::string& sql, auto&& each) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) vexla::fuzz::fail(sqlite3_errmsg(db));
        while (sqlite3_step(st) == SQLITE_ROW) each(st);
        sqlite3_finalize(st);
    };
    std::vector<std::string> indexes;
    rows("PRAGMA index_list(\"" + table + "\")", [&](sqlite3_stmt* st) {
        if (sqlite3_column_int(st, 2)) indexes.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(st, 1)));
    });
    for (const std::string& index : indexes)
        rows("PRAGMA index_info(\"" + index + "\")", [&](sqlite3_stmt* st) {
            if (const unsigned char* name = sqlite3_column_text(st, 2)) out.emplace_back(reinterpret_cast<const char*>(name));
        });
    sqlite3_close(db);
    return out;
}

Base& base() {
    static Base* b = [] {
        auto* made = new Base;
        const std::string path = Scratch::get().file("base.db");
        sample::Options options;
        options.customers = 5;
        options.resources = 3;
        options.bookings = 6;
        options.clean = true;
        if (!sample::makeSampleDatabase(path, options)) vexla::fuzz::fail("cannot make the demo database");
        made->bytes = Scratch::read(path);
        for (const RegisterKind& reg : kRegisters)
            made->uniqueTexts[reg.kind] = uniqueTextColumns(path, std::string(reg.table));
        db::SqliteEngine engine;
        auto db = engine.OpenDatabase(path, true);
        if (!db) vexla::fuzz::fail("cannot open the demo database");
        for (const RegisterKind& reg : kRegisters) {
            auto rs = (*db)->OpenRecordset("SELECT * FROM " + std::string(reg.table));
            if (!rs) vexla::fuzz::fail("cannot list the columns of " + std::string(reg.table));
            for (int i = 0; i < (*rs)->FieldCount(); ++i)
                made->columns[reg.kind].push_back({(*rs)->name(i), typeCodeOfField((*rs)->type(i))});
            for (const char* language : {"se", "en"}) {
                auto fields = databaseFields(**db, reg, language);
                if (!fields) vexla::fuzz::fail("cannot list the fields of " + std::string(reg.table));
                for (const DatabaseField& f : *fields) made->captions[reg.kind][language].push_back(f.caption);
            }
            std::erase_if(made->uniqueTexts[reg.kind], [&](const std::string& name) {
                for (const Column& c : made->columns[reg.kind])
                    if (c.name == name) return c.type != typecode::Text;
                return true;
            });
            (*rs)->Close();
        }
        (*db)->Close();
        return made;
    }();
    return *b;
}

struct Choice {
    const RegisterKind* reg;
    std::string language;
    LinkTable links;
};

// The links the automatic linking makes between a header and a register.
LinkTable autoLinks(const std::vector<std::string>& fields, const RegisterKind& reg, const std::string& language) {
    const std::vector<std::string>& captions = base().captions[reg.kind][language];
    LinkTable links;
    for (const auto& [field, file] : autoLinkPairs(captions, fields))
        links.push_back({captions[static_cast<std::size_t>(field)], std::to_string(field),
                         fields[static_cast<std::size_t>(file)], std::to_string(file)});
    return links;
}

Choice choose(const std::string& file) {
    std::string header;
    if (auto reader = RegisterFileReader::open(file)) {
        auto got = (*reader)->readLine(header);
        if (!got || !*got) header.clear();
    }
    const std::vector<std::string> fields = headerFieldsForLinking(header);
    Choice best{&kRegisters[0], "se", {}};
    for (const RegisterKind& reg : kRegisters) {
        for (const char* language : {"se", "en"}) {
            LinkTable links = autoLinks(fields, reg, language);
            if (links.size() > best.links.size()) best = Choice{&reg, language, std::move(links)};
        }
    }
    if (best.links.empty()) {
        const std::vector<Column>& columns = base().columns[0];
        for (std::size_t i = 0; i < columns.size(); ++i) {
            const std::string caption = KolumnTillRubrik(columns[i].name, "se");
            best.links.push_back({caption, std::to_string(i), caption, std::to_string(i)});
        }
    }
    return best;
}

std::vector<int> typesOf(const RegisterKind& reg) {
    std::vector<int> types;
    for (const Column& c : base().columns[reg.kind]) types.push_back(c.type);
    return types;
}

// Every table's rows, each row's raw values joined, sorted: a table is
// unchanged when its entry is.
using Snapshot = std::map<std::string, std::vector<std::string>>;
Snapshot snapshot(db::Database& db) {
    Snapshot all;
    auto names = db.TableNames();
    if (!names) vexla::fuzz::fail("cannot list the tables: " + names.error().description);
    for (const std::string& table : *names) {
        auto rs = db.OpenRecordset("SELECT * FROM [" + table + "]");
        if (!rs) vexla::fuzz::fail("cannot read " + table + ": " + rs.error().description);
        std::vector<std::string>& rows = all[table];
        while (!(*rs)->Eof()) {
            std::string row;
            for (int i = 0; i < (*rs)->FieldCount(); ++i) {
                const db::RawValue v = (*rs)->raw(i);
                row += static_cast<char>('0' + static_cast<int>(v.kind));
                if (v.kind == db::RawValue::Kind::Integer) row += std::to_string(v.integer);
                if (v.kind == db::RawValue::Kind::Real) row += std::to_string(v.real);
                if (v.kind == db::RawValue::Kind::Text) row += v.text;
                row += '\x1F';
            }
            rows.push_back(std::move(row));
            if (!(*rs)->MoveNext()) vexla::fuzz::fail("MoveNext failed");
        }
        (*rs)->Close();
        std::sort(rows.begin(), rows.end());
    }
    return all;
}

// The records the register's export writes.
long registerCount(db::Database& db, const RegisterKind& reg) {
    auto rs = db.OpenRecordset(reg.exportQuery);
    if (!rs) vexla::fuzz::fail("cannot count the register: " + rs.error().description);
    long n = 0;
    while (!(*rs)->Eof()) {
        ++n;
        if (!(*rs)->MoveNext()) vexla::fuzz::fail("MoveNext failed");
    }
    (*rs)->Close();
    return n;
}

// Every record's texts (null as empty), sorted, for the register's export query.
std::vector<std::vector<std::string>> texts(db::Database& db, const RegisterKind& reg) {
    auto rs = db.OpenRecordset(reg.exportQuery);
    if (!rs) vexla::fuzz::fail("cannot read the register: " + rs.error().description);
    std::vector<std::vector<std::string>> rows;
    while (!(*rs)->Eof()) {
        std::vector<std::string> row;
        for (int i = 0; i < (*rs)->FieldCount(); ++i) {
            if (typeCodeOfField((*rs)->type(i)) != typecode::Text) continue;
            auto v = (*rs)->value(i);
            if (!v) vexla::fuzz::fail("cannot read a value: " + v.error().description);
            const auto* s = std::get_if<std::string>(&*v);
            row.push_back(s ? *s : std::string());
        }
        rows.push_back(std::move(row));
        if (!(*rs)->MoveNext()) vexla::fuzz::fail("MoveNext failed");
    }
    (*rs)->Close();
    std::sort(rows.begin(), rows.end());
    return rows;
}

// Whether a text column under a UNIQUE index holds two or more nulls.
bool nullsInUniqueText(db::Database& db, const RegisterKind& reg) {
    for (const std::string& column : base().uniqueTexts[reg.kind]) {
        auto rs = db.OpenRecordset("SELECT [" + column + "] FROM " + std::string(reg.table) + " WHERE [" + column +
                                   "] IS NULL");
        if (!rs) vexla::fuzz::fail("cannot read the register: " + rs.error().description);
        int nulls = 0;
        while (!(*rs)->Eof() && nulls < 2) {
            ++nulls;
            if (!(*rs)->MoveNext()) vexla::fuzz::fail("MoveNext failed");
        }
        (*rs)->Close();
        if (nulls >= 2) return true;
    }
    return false;
}

std::string shownBoxes(const testing::FakeMessageBoxes& boxes) {
    std::string out;
    for (const auto& b : boxes.shown) out += "[" + printable(b.text, 500) + "] ";
    return out;
}

struct Run {
    testing::FakePlatform fakes;
    testing::FakeAdminWindow window;
    testing::CodeTexts codeTexts;
};

ImportOutcome importFile(Run& run, const Choice& choice, const std::string& file, bool deleteFirst) {
    const ImportRequest request{std::string(choice.reg->name), file, deleteFirst, typesOf(*choice.reg), false};
    ImportServices services{*run.window.state_.db, choice.language};
    return importRegister(choice.links, request, services);
}

std::string describe(const ImportOutcome& o, const std::string& file, Run& run) {
    return "stop " + std::to_string(static_cast<int>(o.stop)) + ", " + std::to_string(o.inserted) + " inserted, " +
           std::to_string(o.deleted) + " deleted: " + printable(importStopMessage(o, file, run.codeTexts), 500);
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
    for (const auto& [table, rows] : before)
        if (table != reg.table) VEXLA_FUZZ_CHECK(after.at(table) == rows, "the import changed " + table + ": " + what);
    const std::vector<std::string>& was = before.at(std::string(reg.table));
    const std::vector<std::string>& is = after.at(std::string(reg.table));
    // The delete runs just before the first line stored: a file without one deletes nothing.
    const bool deleted = deleteFirst && o.inserted > 0;
    VEXLA_FUZZ_CHECK(o.deletedFirst == deleted && o.deleted == (deleted ? exportableBefore : 0),
                     "the delete removed another count: " + what);
    const long kept = static_cast<long>(was.size()) - o.deleted;
    VEXLA_FUZZ_CHECK(static_cast<long>(is.size()) == kept + o.inserted,
                     "the register holds " + std::to_string(is.size()) + " records, not " +
                         std::to_string(kept + o.inserted) + ": " + what);
    if (!deleteFirst)
        VEXLA_FUZZ_CHECK(std::includes(is.begin(), is.end(), was.begin(), was.end()),
                         "an import without delete-first changed a record: " + what);
    for (const LineList* list : {&o.wrongFieldCount, &o.duplicates}) {
        VEXLA_FUZZ_CHECK(!deleteFirst || list->count == 0, "delete-first skipped a line: " + what);
        VEXLA_FUZZ_CHECK(list->first.size() == std::min<std::size_t>(static_cast<std::size_t>(list->count), kListedLines),
                         "a list of skipped lines does not match its count: " + what);
        for (std::size_t i = 0; i < list->first.size(); ++i)
            VEXLA_FUZZ_CHECK(list->first[i] > (i ? list->first[i - 1] : 1), "skipped lines out of order: " + what);
    }
}

void checkIntegrity(db::Database& db, const std::string& when);

// Imports `file` into the open database and checks the outcome against the
// database before and after.
ImportOutcome importChecked(Run& run, const Choice& choice, const std::string& file, bool deleteFirst) {
    db::Database& db = *run.window.state_.db;
    const Snapshot before = snapshot(db);
    const long exportable = registerCount(db, *choice.reg);
    const ImportOutcome o = importFile(run, choice, file, deleteFirst);
    checkIntegrity(db, "after the import");
    checkOutcome(o, before, snapshot(db), *choice.reg, exportable, deleteFirst, describe(o, file, run));
    return o;
}

ExportOutcome exportFile(Run& run, const Choice& choice, const std::string& file) {
    (void)std::remove(file.c_str());
    run.window.state_.Språk = choice.language;
    run.fakes.dialogs.choices.push_back(file);
    Platform platform = run.fakes.platform(Scratch::get().path());
    ExportContext ctx{run.window, platform, run.codeTexts};
    return exportRegister(ctx, choice.reg->kind);
}

void checkIntegrity(db::Database& db, const std::string& when) {
    const Status st = db.CheckIntegrity();
    VEXLA_FUZZ_CHECK(st.ok(), "integrity check failed " + when + ": " + (st.ok() ? "" : st.error().description));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    base();
    // VEXLA_FUZZ_WRITE_SEEDS=folder: write the demo database's registers there
    // in both languages, the real exports the seed corpus starts from.
    if (const char* folder = std::getenv("VEXLA_FUZZ_WRITE_SEEDS")) {
        const std::string work = Scratch::get().file("seed.db");
        Scratch::write(work, base().bytes);
        for (const RegisterKind& reg : kRegisters) {
            for (const char* language : {"se", "en"}) {
                Run run;
                run.window.state_.db = std::move(run.window.engine_.OpenDatabase(work, true).value());
                const Choice choice{&reg, language, {}};
                const std::string file = std::string(folder) + "/export-" + std::string(reg.table) + "-" + language + ".skv";
                if (exportFile(run, choice, file).n <= 0) vexla::fuzz::fail("cannot write " + file);
                run.window.state_.db->Close();
            }
        }
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Scratch& scratch = Scratch::get();
    const std::string dbPath = scratch.file("work.db");
    const std::string input = scratch.file("input.skv");
    const std::string first = scratch.file("first.skv");
    const std::string second = scratch.file("second.skv");
    Scratch::write(dbPath, base().bytes);
    Scratch::write(input, std::string_view(reinterpret_cast<const char*>(data), size));

    const Choice choice = choose(input);
    vexla::fuzz::Stages::hit(choice.reg->name.data());
    const RegisterKind& reg = *choice.reg;
    auto open = [&](Run& run) {
        Scratch::write(dbPath, base().bytes);
        auto opened = run.window.engine_.OpenDatabase(dbPath, true);
        VEXLA_FUZZ_CHECK(opened.ok(), "cannot open the copy of the demo database");
        run.window.state_.db = std::move(*opened);
        run.window.state_.DataBas = dbPath;
    };
    {
        Run replacing;
        open(replacing);
        const ImportOutcome o = importChecked(replacing, choice, input, true);
        vexla::fuzz::Stages::hit(o.stopped() ? "delete-first stopped" : "delete-first replaced the register");
        replacing.window.state_.db->Close();
    }
    Run run;
    open(run);
    db::Database& db = *run.window.state_.db;
    const ImportOutcome o = importChecked(run, choice, input, false);
    if (o.stopped()) {
        vexla::fuzz::Stages::hit("import stopped");
        db.Close();
        return 0;
    }
    vexla::fuzz::Stages::hit(o.inserted > 0 ? "import inserted records" : "import inserted nothing");
    if (o.wrongFieldCount.count + o.duplicates.count > 0) vexla::fuzz::Stages::hit("import skipped lines");

    // Kund's export leaves out ID -1 and lower, which the input may have added.
    const long exportable = registerCount(db, reg);
    run.fakes.messages.shown.clear();
    const ExportOutcome exported = exportFile(run, choice, first);
    VEXLA_FUZZ_CHECK(run.fakes.messages.shown.empty(), "the export showed " + shownBoxes(run.fakes.messages));
    VEXLA_FUZZ_CHECK(exported.counts.records == exportable,
                     "exported " + std::to_string(exported.counts.records) + " of " + std::to_string(exportable));
    VEXLA_FUZZ_CHECK(exported.n == (exportable == 0 ? -1 : exportable), "export answered " + std::to_string(exported.n));
    if (exported.counts.replaced != 0 || exported.counts.notReturnable != 0 || exported.counts.emptyCaption ||
        nullsInUniqueText(db, reg)) {
        vexla::fuzz::Stages::hit("export not faithful");
        db.Close();
        return 0;
    }

    // Everything comes back: export, import with "delete first", export is the identity.
    vexla::fuzz::Stages::hit("round trip");
    const auto textsBefore = texts(db, reg);
    Choice again{&reg, choice.language, {}};
    {
        std::string header;
        auto reader = RegisterFileReader::open(first);
        VEXLA_FUZZ_CHECK(reader.ok() && (*reader)->readLine(header).ok(), "cannot read the export back");
        again.links = autoLinks(headerFieldsForLinking(header), reg, choice.language);
        VEXLA_FUZZ_CHECK(again.links.size() == base().columns[reg.kind].size(), "the export's header does not link");
    }
    const ImportOutcome back = importChecked(run, again, first, true);
    VEXLA_FUZZ_CHECK(!back.stopped() && back.wrongFieldCount.count + back.duplicates.count == 0,
                     "importing a faithful export did not go through: " + describe(back, first, run));
    VEXLA_FUZZ_CHECK(back.inserted == exported.counts.records, "importing the export gave " +
                                                                   std::to_string(back.inserted) + " of " +
                                                                   std::to_string(exported.counts.records));
    VEXLA_FUZZ_CHECK(texts(db, reg) == textsBefore, "a text changed on its way through the register file");

    const ExportOutcome exportedAgain = exportFile(run, again, second);
    VEXLA_FUZZ_CHECK(run.fakes.messages.shown.empty(), "the second export showed " + shownBoxes(run.fakes.messages));
    const std::string a = Scratch::read(first), b = Scratch::read(second);
    if (a != b) {
        std::size_t at = 0;
        while (at < a.size() && at < b.size() && a[at] == b[at]) ++at;
        const std::size_t from = at > 80 ? at - 80 : 0;
        vexla::fuzz::fail("export, import, export changed the file at byte " + std::to_string(at) + ":\n  first:  " +
                          printable(a.substr(from, 200)) + "\n  second: " + printable(b.substr(from, 200)));
    }
    VEXLA_FUZZ_CHECK(exportedAgain.counts.records == exported.counts.records, "record counts differ");
    db.Close();
    return 0;
}
