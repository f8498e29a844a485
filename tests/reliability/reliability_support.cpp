#include "tests/reliability/reliability_support.h"

#include <grp.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <stdexcept>

#include "common/file_writing.h"
#include "db/sqlite_engine.h"
#include "registers/field_catalogue.h"
#include "registers/import_report.h"
#include "registers/import_texts.h"
#include "registers/register_kind.h"
#include "tests/registers/auto_linked.h"
#include "tools/sample_generator.h"

namespace vexla::testing {

// Trials on tmpfs unless the caller chose TMPDIR (TempFolder follows it).
[[maybe_unused]] const bool scratchOnTmpfs =
    !std::getenv("TMPDIR") && ::access("/dev/shm", W_OK) == 0 && ::setenv("TMPDIR", "/dev/shm", 0) == 0;

int runAs(uid_t uid, const std::function<int()>& work) {
    const pid_t child = ::fork();
    if (child == 0) {
        if (uid != 0 && (::setgroups(0, nullptr) != 0 || ::setgid(kNogroup) != 0 || ::setuid(uid) != 0)) ::_exit(99);
        ::_exit(work());
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

const std::string& demoDatabase() {
    static const TempFolder folder;  // a forked trial ends with _exit and leaves it to the parent
    static const std::string path = [] {
        const std::string p = folder.file("clean.db");
        sample::Options options;  // clean: "delete first" refuses a register whose uncaptioned column holds values
        options.customers = 30, options.resources = 6, options.bookings = 400, options.clean = true;
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
        if (sqlite3_prepare_v2(db, ("SELECT * FROM \"" + table + "\" ORDER BY ID").c_str(), -1, &st, nullptr) ==
            SQLITE_OK)
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
        std::string text = table + ": " + std::to_string(rows.size()) + " rows where " + std::to_string(want.size()) +
                           " were expected; ID ";
        if (a != rows.end() && (b == want.end() || a->first < b->first))
            return text + std::to_string(a->first) + " is there: " + a->second;
        if (a == rows.end() || b->first < a->first)
            return text + std::to_string(b->first) + " is missing: " + b->second;
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
    return checked ? "" : "integrity: " + checked.error().description;
}

ImportRun runImport(db::Database& db, const std::string& registerName, const std::string& filePath, bool deleteFirst,
                    JobProgress* progress, const ReportTo* report) {
    if (!registerByName(registerName)) throw std::invalid_argument("register " + registerName);
    ImportRequest request{registerName, filePath, deleteFirst, {}, false};
    const LinkTable links = autoLinked(db, request, filePath, "se");
    ImportServices services{db, "se"};
    watchImport(services, progress);
    CodeTexts texts;
    RecordingNotices notices;
    ImportRun run;
    std::unique_ptr<SkippedLinesReport> skipped;
    if (report) {
        auto created = SkippedLinesReport::create(report->files, report->path, {db.Name(), filePath}, texts, notices);
        if (!created)
            return run.reported = created.error(), run.message = describedFileError(created.error(), texts).description,
                   run;
        skipped = std::move(*created);
        skipped->attach(services);
    }
    run.outcome = importRegister(links, request, services);
    run.message = importStopMessage(run.outcome, filePath, texts);
    if (skipped) run.reported = skipped->finish(run.outcome);
    if (!run.reported) run.message += describedFileError(run.reported.error(), texts).description;
    return run;
}

}  // namespace vexla::testing
