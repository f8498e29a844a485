// The whole import as vexla-transfer runs it (autoLinks to the register and
// language that take most fields) into a small demo database, then export,
// import back and export, and last "delete first". What must hold: the
// integrity check passes; a stopped import changed nothing; one that did not
// changed only its register, by exactly what it reports; the export writes
// every record silently, and when it says every record comes back, they do
// and the next export is the same bytes.
#include <sqlite3.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
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

// The demo database's bytes, and each register's columns under a UNIQUE index.
struct Base {
    std::string bytes;
    std::vector<std::string> unique[kRegisters.size()];
};

const Base& base() {
    static const Base b = [] {
        Base made;
        const std::string path = vexla::fuzz::scratch("base.db");
        sqlite3* db = nullptr;
        if (!sample::makeSampleDatabase(path, {.customers = 5, .resources = 3, .bookings = 6, .clean = true}) ||
            sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
            vexla::fuzz::fail("cannot make the demo database");
        for (const RegisterKind& reg : kRegisters) {
            const std::string sql = "SELECT i.name FROM pragma_index_list('" + std::string(reg.table) +
                                    "') AS l, pragma_index_info(l.name) AS i WHERE l.\"unique\"";
            auto add = [](void* to, int, char** value, char**) {
                return static_cast<std::vector<std::string>*>(to)->emplace_back(value[0] ? value[0] : ""), 0;
            };
            if (sqlite3_exec(db, sql.c_str(), add, &made.unique[reg.kind], nullptr) != SQLITE_OK)
                vexla::fuzz::fail(sql);
        }
        sqlite3_close(db);
        made.bytes = vexla::fuzz::readFile(path);
        return made;
    }();
    return b;
}

// A window on a fresh copy of the demo database, held open by the checks
// between the jobs (an export opens the file itself: it is let go meanwhile).
struct Run {
    testing::FakePlatform fakes;
    testing::FakeAdminWindow window;
    testing::CodeTexts codeTexts;
    explicit Run(const std::string& name) {
        window.state_.DataBas = vexla::fuzz::scratch(name);
        vexla::fuzz::writeFile(window.state_.DataBas, base().bytes);
        open();
    }
    ~Run() { (void)db().Close(); }
    void open() {
        auto opened = window.engine_.OpenDatabase(window.state_.DataBas, true);
        VEXLA_FUZZ_CHECK(opened.ok(), "cannot open the copy of the demo database");
        held = std::move(*opened);
    }
    void letGo() { (void)db().Close(); }
    db::Database& db() { return *held; }
    std::unique_ptr<db::Database> held;
};

// The file's fields as the mapping dialog reads them; nothing for a file it refuses.
std::optional<std::vector<std::string>> fileFields(const std::string& file) {
    testing::FakeMessageBoxes unseen;
    testing::CodeTexts texts;
    return registerFileFields(file, unseen, texts);
}

struct Choice {
    const RegisterKind* reg;
    std::string language;
    LinkTable links;
    std::vector<int> types;  // of the register's columns
};

// autoLinks of the file's fields to the register's captions (listed once per language).
Choice linked(db::Database& db, const RegisterKind& reg, const std::string& language,
              const std::vector<std::string>& fields) {
    static std::map<std::string, std::pair<std::vector<std::string>, std::vector<int>>> listed;
    auto& [captions, types] = listed[std::string(reg.name) + language];
    if (types.empty()) {
        auto columns = databaseFields(db, reg, language);
        VEXLA_FUZZ_CHECK(columns.ok(), "cannot list the fields of " + std::string(reg.table));
        for (const DatabaseField& f : *columns) captions.push_back(f.caption), types.push_back(f.typeCode);
    }
    return {&reg, language, transfer::autoLinks(captions, fields), types};
}

// Calls `each` with the recordset at every row `sql` gives, until it answers false.
template <typename Each>
void forEachRow(db::Database& db, const std::string& sql, Each each) {
    auto rs = db.OpenRecordset(sql);
    VEXLA_FUZZ_CHECK(rs.ok(), "cannot run " + sql);
    while (!(*rs)->Eof() && each(**rs)) VEXLA_FUZZ_CHECK((*rs)->MoveNext().ok(), "cannot read on in " + sql);
    (*rs)->Close();
}

long countRows(db::Database& db, std::string_view sql, long upTo = 1L << 40) {
    long n = 0;
    forEachRow(db, std::string(sql), [&](db::Recordset&) { return ++n < upTo; });
    return n;
}

// Every table's rows, each row's raw values joined, sorted: a table is unchanged when its entry is.
using Snapshot = std::map<std::string, std::vector<std::string>>;
Snapshot snapshot(db::Database& db) {
    Snapshot all;
    auto names = db.TableNames();
    VEXLA_FUZZ_CHECK(names.ok(), "cannot list the tables");
    for (const std::string& table : *names) {
        std::vector<std::string>& rows = all[table];
        forEachRow(db, "SELECT * FROM [" + table + "]", [&](db::Recordset& rs) {
            std::string& row = rows.emplace_back();
            for (int i = 0; i < rs.FieldCount(); ++i) {
                const db::RawValue v = rs.raw(i);
                row += std::to_string(static_cast<int>(v.kind)) + ":" + std::to_string(v.integer) + ":" +
                       std::to_string(v.real) + ":" + std::string(v.text) + '\x1F';
            }
            return true;
        });
        std::sort(rows.begin(), rows.end());
    }
    return all;
}

// The import, checked: everything it reports, or nothing at all.
ImportOutcome importChecked(Run& run, const Choice& choice, const std::string& file, bool deleteFirst) {
    const std::string table(choice.reg->table);
    const Snapshot before = snapshot(run.db());
    const long exportable = countRows(run.db(), choice.reg->exportQuery);
    ImportServices services{run.db(), choice.language};
    const ImportOutcome o =
        importRegister(choice.links, {std::string(choice.reg->name), file, deleteFirst, choice.types, false}, services);
    const Status integrity = run.db().CheckIntegrity();
    VEXLA_FUZZ_CHECK(integrity.ok(), "integrity check failed after the import: " + integrity.error().description);
    const Snapshot after = snapshot(run.db());
    const std::string what = std::to_string(o.inserted) + " inserted, " + std::to_string(o.deleted) +
                             " deleted: " + printable(importStopMessage(o, file, run.codeTexts), 500);
    if (o.stopped()) {
        VEXLA_FUZZ_CHECK(o.inserted == 0 && o.deleted == 0 && !o.committed && !o.deletedFirst && after == before,
                         "a stopped import reports or made changes: " + what);
        return o;
    }
    for (const auto& entry : before)
        VEXLA_FUZZ_CHECK(entry.first == table || after.at(entry.first) == entry.second,
                         entry.first + " changed: " + what);
    const auto &was = before.at(table), &is = after.at(table);
    // The delete runs just before the first line stored: a file without one deletes nothing.
    const bool deleted = deleteFirst && o.inserted > 0;
    VEXLA_FUZZ_CHECK(o.committed && o.deletedFirst == deleted && o.deleted == (deleted ? exportable : 0) &&
                         static_cast<long>(is.size()) == static_cast<long>(was.size()) - o.deleted + o.inserted,
                     "the register holds " + std::to_string(is.size()) + " records: " + what);
    VEXLA_FUZZ_CHECK(deleteFirst || std::includes(is.begin(), is.end(), was.begin(), was.end()),
                     "an import without delete-first changed a record: " + what);
    for (const LineList* l : {&o.wrongFieldCount, &o.duplicates}) {
        const std::vector<long>& f = l->first;
        VEXLA_FUZZ_CHECK((!deleteFirst || l->count == 0) && f.size() == std::min<std::size_t>(l->count, kListedLines) &&
                             std::adjacent_find(f.begin(), f.end(), std::greater_equal<>()) == f.end() &&
                             (f.empty() || f[0] > 1),
                         "the skipped lines listed do not match their count: " + what);
    }
    return o;
}

ExportOutcome exportChecked(Run& run, const Choice& choice, const std::string& file) {
    std::filesystem::remove(file);
    const long exportable = countRows(run.db(), choice.reg->exportQuery);
    run.window.state_.Språk = choice.language;
    run.fakes.messages.shown.clear();
    run.fakes.dialogs.choices.push_back(file);
    Platform platform = run.fakes.platform(vexla::fuzz::scratch(""));
    JobContext ctx{run.window, platform, run.codeTexts};
    run.letGo();
    const ExportOutcome exported = exportRegister(ctx, choice.reg->kind);
    run.open();
    VEXLA_FUZZ_CHECK(
        !exported.failure && run.fakes.messages.shown.empty(),
        "the export failed: " + (exported.failure ? exported.failure->description : run.fakes.messages.shown[0].text));
    VEXLA_FUZZ_CHECK(exported.counts.records == exportable && exported.n == (exportable == 0 ? -1 : exportable),
                     "exported " + std::to_string(exported.counts.records) + " of " + std::to_string(exportable));
    return exported;
}

// Export, import with "delete first", export: the same bytes when faithful.
void roundTrip(Run& run, const Choice& choice) {
    const std::string first = vexla::fuzz::scratch("first.skv"), second = vexla::fuzz::scratch("second.skv");
    const RegisterKind& reg = *choice.reg;
    const ExportOutcome exported = exportChecked(run, choice, first);
    const std::string table(reg.table);
    const bool twoNulls = std::any_of(base().unique[reg.kind].begin(), base().unique[reg.kind].end(), [&](auto& c) {
        return countRows(run.db(), "SELECT [" + c + "] FROM " + table + " WHERE [" + c + "] IS NULL", 2) == 2;
    });
    if (exported.counts.replaced != 0 || exported.counts.notReturnable != 0 || exported.counts.emptyCaption || twoNulls)
        return vexla::fuzz::stage("export not faithful");
    vexla::fuzz::stage("round trip");
    const auto exportedFields = fileFields(first);
    VEXLA_FUZZ_CHECK(exportedFields, "the export is no register file");
    const Choice again = linked(run.db(), reg, choice.language, *exportedFields);
    const ImportOutcome back = importChecked(run, again, first, true);
    // What it skipped or left out shows in the next export's bytes.
    VEXLA_FUZZ_CHECK(!back.stopped(), "a faithful export did not come back: " +
                                          printable(importStopMessage(back, first, run.codeTexts)));
    exportChecked(run, again, second);
    const std::string a = vexla::fuzz::readFile(first), b = vexla::fuzz::readFile(second);
    VEXLA_FUZZ_CHECK(a == b, "export, import, export changed the file:\n  " + printable(a) + "\n  " + printable(b));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input = vexla::fuzz::scratch("input.skv");
    vexla::fuzz::writeFile(input, std::string_view(reinterpret_cast<const char*>(data), size));
    const auto fields = fileFields(input);
    if (!fields) return 0;
    Run run("work.db");
    Choice choice = linked(run.db(), kRegisters[0], "se", *fields);
    for (const RegisterKind& reg : kRegisters)
        for (const char* language : {"se", "en"})
            if (Choice c = linked(run.db(), reg, language, *fields); c.links.size() > choice.links.size())
                choice = std::move(c);
    if (choice.links.empty()) return 0;
    vexla::fuzz::stage(choice.reg->name.data());
    const ImportOutcome o = importChecked(run, choice, input, false);
    vexla::fuzz::stage(o.stopped()      ? "import stopped"
                       : o.inserted > 0 ? "import inserted records"
                                        : "import inserted nothing");
    if (!o.stopped()) roundTrip(run, choice);
    // "Delete first" last, on whatever the register holds by now.
    const ImportOutcome replaced = importChecked(run, choice, input, true);
    vexla::fuzz::stage(replaced.stopped() ? "delete-first stopped" : "delete-first replaced the register");
    return 0;
}
