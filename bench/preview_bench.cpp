// What the administrator waits for before an import changes anything: the
// preview of a bookings register file of N lines (the time from choosing the
// file to the rows the mapping dialog shows: the database opened, the first
// lines read, converted and checked, everything rolled back and closed), the
// count of the file's lines the question before emptying names, and a try
// run of the whole file against the import itself, both with delete-first,
// each on a fresh copy of the same database. The database and its file are
// made once in the folder given (kept there for the next run).
//   vexla-bench-preview [--bookings N] [--dir FOLDER] [--runs N]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "bench/bookings_file.h"
#include "common/posix_file_system.h"
#include "db/sqlite_engine.h"
#include "registers/field_mapping.h"
#include "registers/import.h"
#include "registers/import_confirmation.h"
#include "registers/import_preview.h"
#include "registers/register_file_writer.h"
#include "registers/register_kind.h"
#include "tools/sample_generator.h"

namespace {

using namespace vexla;
using Clock = std::chrono::steady_clock;

const RegisterKind& bookings() { return *registerByName("Bokningar"); }

double since(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

struct Quiet final : MessageBoxes {
    MsgAnswer show(const std::string& text, const std::string&, MsgIcon, MsgButtons) override {
        std::fprintf(stderr, "%s\n", text.c_str());
        return MsgAnswer::Ok;
    }
    void beep() override {}
};
struct CodeTexts final : TextSource {
    std::string TextTillAndra(const std::string& code) override { return code; }
};

// The links the Auto button makes, the field types put into `request`.
bool link(db::Database& db, ImportRequest& request, LinkTable& links) {
    const auto fields = databaseFields(db, bookings(), "se");
    Quiet boxes;
    CodeTexts texts;
    const auto fileFields = registerFileFields(request.path, boxes, texts);
    if (!fields || !fileFields) return false;
    std::vector<std::string> captions;
    for (const DatabaseField& f : *fields) {
        captions.push_back(f.caption);
        request.fieldTypes.push_back(f.typeCode);
    }
    for (const auto& [field, filePos] : autoLinkPairs(captions, *fileFields))
        links.push_back({captions[static_cast<std::size_t>(field)], std::to_string(field),
                         (*fileFields)[static_cast<std::size_t>(filePos)], std::to_string(filePos)});
    return true;
}

bool prepare(const std::string& dbPath, const std::string& file, long size) {
    if (std::filesystem::exists(dbPath) && std::filesystem::exists(file)) return true;
    sample::Options options;
    options.bookings = size;
    options.customers = 5000;
    options.resources = 300;
    options.clean = true;
    if (!sample::makeSampleDatabase(dbPath, options)) return false;
    return bench::writeBookingsFile(dbPath, file);
}

// Seconds of one preview as the dialog makes it, or of the whole import
// (dryRun: undone at its end) on a fresh copy of the database.
double preview(const std::string& dbPath, const std::string& file, std::size_t& lines) {
    const auto t = Clock::now();
    db::SqliteEngine engine;
    auto db = engine.OpenDatabase(dbPath, true);
    if (!db) return -1;
    ImportRequest request{"Bokningar", file, false, {}, false};
    LinkTable links;
    if (!link(**db, request, links)) return -1;
    const ImportPreview p = previewImport(links, request, db->get(), "se", ValueTextFormat{}, 20);
    lines = p.lines.size();
    (void)(*db)->Close();
    return since(t);
}

double import(const std::string& original, const std::string& copy, const std::string& file, bool dryRun,
              long& inserted) {
    std::filesystem::copy_file(original, copy, std::filesystem::copy_options::overwrite_existing);
    db::SqliteEngine engine;
    auto db = engine.OpenDatabase(copy, true);
    if (!db) return -1;
    ImportRequest request{"Bokningar", file, true, {}, dryRun};
    LinkTable links;
    if (!link(**db, request, links)) return -1;
    const auto t = Clock::now();
    ImportServices services{**db, "se"};
    const ImportOutcome outcome = importRegister(links, request, services);
    const double seconds = since(t);
    inserted = outcome.inserted;
    (void)(*db)->Close();
    return outcome.stopped() ? -1 : seconds;
}

}  // namespace

int main(int argc, char** argv) {
    long size = 1000000;
    int runs = 3;
    std::string dir = "/dev/shm/vexla-bench-preview";
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--bookings")) size = std::atol(argv[i + 1]);
        if (!std::strcmp(argv[i], "--dir")) dir = argv[i + 1];
        if (!std::strcmp(argv[i], "--runs")) runs = std::atoi(argv[i + 1]);
    }
    std::filesystem::create_directories(dir);
    const std::string dbPath = dir + "/bok-" + std::to_string(size) + ".db";
    const std::string file = dir + "/BokningsReg-" + std::to_string(size) + ".skv";
    if (!prepare(dbPath, file, size)) {
        std::fprintf(stderr, "could not make the database or its file in %s\n", dir.c_str());
        return 1;
    }
    std::printf("%ld bookings, file %.0f MB\n", size, std::filesystem::file_size(file) / 1e6);
    double best = 1e9, worst = 0;
    std::size_t lines = 0;
    for (int i = 0; i < 10; ++i) {
        const double s = preview(dbPath, file, lines);
        if (s < 0) return 1;
        best = std::min(best, s), worst = std::max(worst, s);
    }
    std::printf("preview (%zu lines): best %.4f s, worst %.4f s of 10\n", lines, best, worst);
    auto t = Clock::now();
    const auto counted = registerFileRecords(file);
    std::printf("line count for the question: %ld lines in %.3f s\n", counted ? *counted : -1L, since(t));
    const std::string copy = dir + "/copy.db";
    for (int i = 0; i < runs; ++i) {
        long inserted = 0, tried = 0;
        const double real = import(dbPath, copy, file, false, inserted);
        const double dry = import(dbPath, copy, file, true, tried);
        std::printf("pair %d: import %.2f s (%ld), try run %.2f s (%ld), ratio %.2f\n", i + 1, real, inserted, dry,
                    tried, dry / real);
    }
    std::filesystem::remove(copy);
    return 0;
}
