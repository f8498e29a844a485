// The whole import of a register file, through the real import code into a
// real database file, followed by an export and a second import.
//
// Once per process a small clean demo database is made in a scratch folder
// (in memory when /dev/shm is there). Per input:
//   1. the database is copied, the input written as a register file;
//   2. its header picks the register and language whose captions it matches
//      best, and the fields are linked as the mapping dialog's automatic
//      linking does (each file field to the first column of its caption);
//      a header that matches nothing gets a fixed table linking file field i
//      to column i of the customer register;
//   3. ImporteraRegister runs (without "delete first").
// What must hold:
//   - PRAGMA integrity_check passes (the engine's CheckIntegrity);
//   - the register grew by exactly the count the import answered, unless a
//     failure box said the import was cut short (then the answer is 0);
//   - exporting the register then writes every record, without a message;
//   - when that export says every record comes back unchanged (nothing
//     written as '?', nothing the import would split or change), importing
//     it with "delete first" shows no message, inserts every record, keeps
//     every text as it was, and exporting again writes the same bytes.
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "db/tools/sample_generator.h"
#include "registers/export_register.h"
#include "registers/field_catalogue.h"
#include "registers/import.h"
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

// The links automatic linking makes between a header and a register's columns.
LinkTable autoLinks(const std::vector<std::string>& fields, const std::vector<Column>& columns,
                    const std::string& language) {
    LinkTable links;
    for (std::size_t f = 0; f < fields.size(); ++f) {
        for (std::size_t c = 0; c < columns.size(); ++c) {
            const std::string caption = KolumnTillRubrik(columns[c].name, language);
            if (!caption.empty() && caption == fields[f]) {
                links.push_back({caption, std::to_string(c), fields[f], std::to_string(f)});
                break;
            }
        }
    }
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
            LinkTable links = autoLinks(fields, base().columns[reg.kind], language);
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

long tableCount(db::Database& db, const RegisterKind& reg) {
    auto n = db.TableRecordCount(reg.table);
    if (!n) vexla::fuzz::fail("cannot count the table: " + n.error().description);
    return *n;
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

std::int32_t importFile(Run& run, const Choice& choice, const std::string& file, bool deleteFirst) {
    ImportDialog dialog{std::string(choice.reg->name), file, deleteFirst, typesOf(*choice.reg), false};
    ImportServices services{*run.window.state_.db, run.fakes.messages, run.codeTexts, choice.language,
                            [] { return std::chrono::steady_clock::now(); }, nullptr};
    return ImporteraRegister(choice.links, dialog, services);
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
    Run run;
    auto opened = run.window.engine_.OpenDatabase(dbPath, true);
    VEXLA_FUZZ_CHECK(opened.ok(), "cannot open the copy of the demo database");
    run.window.state_.db = std::move(*opened);
    run.window.state_.DataBas = dbPath;
    db::Database& db = *run.window.state_.db;

    const long before = tableCount(db, reg);
    const std::int32_t n = importFile(run, choice, input, false);
    checkIntegrity(db, "after the import");
    const long after = tableCount(db, reg);

    // Which boxes the import showed decides what its answer must be.
    bool cutShort = false, stoppedAtLine = false;
    for (const auto& box : run.fakes.messages.shown) {
        if (box.icon != MsgIcon::Critical) continue;
        if (box.text == "R1799!") stoppedAtLine = true;
        else cutShort = true;
    }
    VEXLA_FUZZ_CHECK(n >= 0, "negative count " + std::to_string(n));
    VEXLA_FUZZ_CHECK(!(cutShort && stoppedAtLine), "two endings: " + shownBoxes(run.fakes.messages));
    if (cutShort) {
        VEXLA_FUZZ_CHECK(n == 0, "a failure answered " + std::to_string(n));
        VEXLA_FUZZ_CHECK(after >= before, "a failed import removed records");
    } else {
        VEXLA_FUZZ_CHECK(after - before == n, "the import answered " + std::to_string(n) + " but the register grew by " +
                                                  std::to_string(after - before) + "; " + shownBoxes(run.fakes.messages));
    }
    if (cutShort) {
        vexla::fuzz::Stages::hit("import cut short");
        db.Close();
        return 0;
    }
    vexla::fuzz::Stages::hit(n > 0 ? "import inserted records" : "import inserted nothing");

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
        again.links = autoLinks(headerFieldsForLinking(header), base().columns[reg.kind], choice.language);
        VEXLA_FUZZ_CHECK(again.links.size() == base().columns[reg.kind].size(), "the export's header does not link");
    }
    const std::int32_t n2 = importFile(run, again, first, true);
    checkIntegrity(db, "after importing the export");
    VEXLA_FUZZ_CHECK(run.fakes.messages.shown.empty(),
                     "importing a faithful export showed " + shownBoxes(run.fakes.messages));
    VEXLA_FUZZ_CHECK(n2 == exported.counts.records,
                     "importing the export gave " + std::to_string(n2) + " of " + std::to_string(exported.counts.records));
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
