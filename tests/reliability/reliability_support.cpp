#include "tests/reliability/reliability_support.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include <gtest/gtest.h>

#include "db/sqlite_engine.h"
#include "maintenance/compaction.h"
#include "maintenance/database_copy.h"
#include "registers/export_register.h"
#include "registers/field_catalogue.h"
#include "registers/field_mapping.h"
#include "registers/import_texts.h"
#include "registers/register_kind.h"
#include "tests/support/source_tree.h"
#include "tools/sample_generator.h"
#include "transfer/links.h"

namespace vexla::testing {

namespace fs = std::filesystem;

namespace {

// Trials on tmpfs when the system has one and the caller did not choose a
// temporary folder of their own (TempFolder follows TMPDIR).
[[maybe_unused]] const bool scratchOnTmpfs = [] {
    struct stat st = {};
    if (std::getenv("TMPDIR") || ::stat("/dev/shm", &st) != 0 || !S_ISDIR(st.st_mode) ||
        ::access("/dev/shm", W_OK) != 0)
        return false;
    return ::setenv("TMPDIR", "/dev/shm", 0) == 0;
}();

constexpr int kImportLines = 24;
constexpr const char* kEarlierExport = "ID;Namn\r\n1;the user's earlier export\r\n";

}  // namespace

const std::string& demoDatabase() {
    static const TempFolder folder;  // a forked trial ends with _exit and leaves it to the parent
    static const std::string path = [] {
        const std::string p = folder.file("clean.db");
        sample::Options options;
        options.customers = 30;
        options.resources = 6;
        options.bookings = 400;
        // "Delete first" refuses a register whose column without a caption holds values.
        options.clean = true;
        if (!sample::makeSampleDatabase(p, options)) throw std::runtime_error("cannot make the demo database");
        return p;
    }();
    return path;
}

Tables allRows(const std::string& path) {
    Tables tables;
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    for (const std::string table : {"Kund", "Person", "Bokning", "PrelBokning", "Users"}) {
        Rows& rows = tables[table];
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, ("SELECT * FROM \"" + table + "\" ORDER BY ID").c_str(), -1, &st, nullptr) == SQLITE_OK)
            while (sqlite3_step(st) == SQLITE_ROW) {
                std::string row;
                for (int i = 0; i < sqlite3_column_count(st); ++i) {
                    const auto* text = sqlite3_column_text(st, i);
                    row += (i ? "|" : "") + std::string(text ? reinterpret_cast<const char*>(text) : "NULL");
                }
                rows.emplace_hint(rows.end(), sqlite3_column_int64(st, 0), std::move(row));
            }
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return tables;
}

std::string rowsDiff(const Tables& now, const Tables& expected) {
    for (const auto& [table, want] : expected) {
        const Rows& rows = now.count(table) ? now.at(table) : Rows{};
        if (rows == want) continue;
        auto [a, b] = std::mismatch(rows.begin(), rows.end(), want.begin(), want.end());
        std::string text = table + ": " + std::to_string(rows.size()) + " rows where " +
                           std::to_string(want.size()) + " were expected; ID ";
        if (a != rows.end() && (b == want.end() || a->first < b->first)) return text + std::to_string(a->first) + " is there: " + a->second;
        if (a == rows.end() || b->first < a->first) return text + std::to_string(b->first) + " is missing: " + b->second;
        return text + std::to_string(a->first) + " holds " + a->second + " instead of " + b->second;
    }
    return {};
}

std::string openAndCheck(const std::string& path) {
    db::SqliteEngine engine;
    auto opened = engine.OpenDatabase(path, true);
    if (!opened) return "open: " + std::to_string(opened.error().number) + " " + opened.error().description;
    Status checked = (*opened)->CheckIntegrity();
    (void)(*opened)->Close();
    if (!checked) return "integrity: " + checked.error().description;
    return {};
}

std::string customerFile(long long firstId, int lines) {
    std::string header;
    for (const char* column : {"ID", "Namn", "Adress", "Rabatt", "Anteckningar"})
        header += (header.empty() ? "" : ";") + KolumnTillRubrik(column, "se");
    std::string bytes = header + "\r\n";
    for (long long id = firstId; id < firstId + lines; ++id) {
        const std::string n = std::to_string(id);
        bytes += n + ";Kund " + n + ";Gatan " + n + ";" + std::to_string(id % 10) + ",5;rad 1\x1Brad " + n + "\r\n";
    }
    return bytes;
}

ImportRun runImport(db::Database& db, const std::string& registerName, const std::string& filePath,
                    bool deleteFirst) {
    const RegisterKind* reg = registerByName(registerName);
    if (!reg) throw std::invalid_argument("register " + registerName);
    FakeMessageBoxes messages;
    CodeTexts texts;
    const auto fields = databaseFields(db, *reg, "se");
    const auto fileFields = registerFileFields(filePath, messages, texts);
    ImportRequest request{registerName, filePath, deleteFirst, {}, false};
    std::vector<std::string> captions;
    for (const DatabaseField& field : fields ? *fields : std::vector<DatabaseField>{}) {
        captions.push_back(field.caption);
        request.fieldTypes.push_back(field.typeCode);
    }
    const LinkTable links = transfer::autoLinks(captions, fileFields ? *fileFields : std::vector<std::string>{});
    ImportServices services{db, "se"};
    ImportRun run{importRegister(links, request, services), {}};
    run.message = importStopMessage(run.outcome, filePath, texts);
    return run;
}

bool compactNow(JobContext& ctx) { return cmdKomprimera_Click(ctx); }

bool copyNow(JobContext& ctx, const std::string& target) {
    const CopyEnd end = copyDatabaseTo(ctx, target, std::nullopt);
    return end == CopyEnd::Copied || end == CopyEnd::NotCompacted;
}

const char* jobName(JobKind kind) {
    static const char* const names[] = {"Import", "ImportDeleteFirst", "Compaction", "Copy", "Export"};
    return names[static_cast<int>(kind)];
}

JobScene::JobScene(JobKind k) : JobWorld(demoDatabase()), kind(k) {
    window.state_.Språk = "se";
    if (kind == JobKind::Import || kind == JobKind::ImportDeleteFirst)
        dir.write("KundReg.skv", customerFile(1000, kImportLines));
    if (kind == JobKind::Compaction) product = dir.file(backupName(fakes.clock.time));
    if (kind == JobKind::Copy) product = dir.file("kopia.db");
    if (kind == JobKind::Export) product = dir.write("Register.skv", kEarlierExport);
}

Said JobScene::run() {
    if (kind == JobKind::Compaction) return compactNow(ctx) ? Said::Done : Said::Failed;
    if (kind == JobKind::Copy) return copyNow(ctx, product) ? Said::Done : Said::Failed;
    auto opened = window.engine_.OpenDatabase(db, true);
    if (!opened) {
        message = opened.error().description;
        return Said::Failed;
    }
    window.state_.db = std::move(*opened);
    Said said = Said::Failed;
    if (kind == JobKind::Export) {
        ExportContext exporting{window, platform, texts};
        fakes.dialogs.choices = {product};
        fakes.messages.answers = {MsgAnswer::Yes};  // replace the earlier file
        if (exportRegister(exporting, 2).n > 0) said = Said::Done;
        if (said == Said::Failed && !fakes.messages.shown.empty()) message = fakes.messages.shown.back().text;
    } else {
        const ImportRun r = runImport(*window.state_.db, "Kund", dir.file("KundReg.skv"),
                                      kind == JobKind::ImportDeleteFirst);
        message = r.message;
        said = r.outcome.stop == ImportStop::SaveUncertain ? Said::Unsure
               : r.outcome.committed                       ? Said::Done
                                                           : Said::Failed;
    }
    (void)window.state_.db->Close();
    window.state_.db.reset();
    return said;
}

Snapshot snapshot(const JobScene& scene) {
    Snapshot s{allRows(scene.db), {}};
    if (scene.product.empty() || !fs::exists(scene.product)) return s;
    if (!scene.product.ends_with(".db")) {
        s.product = fileBytes(scene.product);
        return s;
    }
    for (const auto& [table, rows] : allRows(scene.product))
        for (const auto& [id, row] : rows) s.product += table + " " + std::to_string(id) + ": " + row + "\n";
    if (const std::string problem = openAndCheck(scene.product); !problem.empty()) s.product += problem;
    return s;
}

void expectRowsAsSaid(const Tables& now, Said said, const Snapshot& before, const Snapshot& complete) {
    const std::string asBefore = rowsDiff(now, before.db), asComplete = rowsDiff(now, complete.db);
    EXPECT_TRUE(said != Said::Done || asComplete.empty()) << "the job said it was done: " << asComplete;
    EXPECT_TRUE(said != Said::Failed || asBefore.empty()) << "the job said it failed: " << asBefore;
    EXPECT_TRUE(asBefore.empty() || asComplete.empty()) << asBefore << "\nor\n" << asComplete;
}

void expectBeforeOrComplete(JobScene& scene, Said said, const Snapshot& before, const Snapshot& complete) {
    EXPECT_EQ(openAndCheck(scene.db), "");  // first: it rolls back what a kill left in a journal
    const Snapshot now = snapshot(scene);
    expectRowsAsSaid(now.db, said, before, complete);
    EXPECT_TRUE(now.product == complete.product || (said != Said::Done && now.product == before.product))
        << scene.product << " holds " << now.product.size() << " bytes of neither";
}

}  // namespace vexla::testing
