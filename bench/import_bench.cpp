// The import of a bookings register file against the sqlite3 shell's own
// bulk load of the same rows: for each size, a clean demo database is made,
// its bookings are written as a register file (header of Swedish captions,
// ";" between fields, CR LF, ESC for line breaks, Windows-1252), and then
//   - ImporteraRegister with "delete first" runs on a copy of the database;
//   - sqlite3 `.import` (csv mode, separator ";", header skipped) loads the
//     file into a copy whose Bokning table was emptied beforehand.
// Every step runs in a child process of its own, so the peak resident memory
// printed is that step's alone (for sqlite3: the shell's).
//   vexla-bench-import [--sizes N,N,...]
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "common/cp1252.h"
#include "common/platform/message_boxes.h"
#include "common/platform/text_source.h"
#include "db/sqlite_engine.h"
#include "db/tools/sample_generator.h"
#include "registers/field_catalogue.h"
#include "registers/import.h"

namespace {

using vexla::bench::inChild;
using vexla::bench::shell;
using Measure = vexla::bench::ChildRun;

class NoTexts final : public vexla::TextSource {
public:
    std::string TextTillAndra(const std::string& code) override { return code; }
};

class PrintingBoxes final : public vexla::MessageBoxes {
public:
    vexla::MsgAnswer show(const std::string& text, const std::string&, vexla::MsgIcon, vexla::MsgButtons) override {
        std::fprintf(stderr, "message: %s\n", text.c_str());
        return vexla::MsgAnswer::Ok;
    }
    void beep() override {}
};

// Writes the bookings as a register file, the way the export lays it out.
bool writeRegisterFile(const std::string& dbPath, const std::string& file) {
    vexla::db::SqliteEngine engine;
    auto db = engine.OpenDatabase(dbPath, true);
    if (!db) return false;
    auto rs = (*db)->OpenRecordset("SELECT * FROM Bokning");
    if (!rs) return false;
    vexla::db::Recordset& r = **rs;
    std::FILE* out = std::fopen(file.c_str(), "wb");
    if (!out) return false;
    std::string line, value;
    for (int i = 0; i < r.FieldCount(); ++i) {
        if (i) line += ';';
        line += vexla::KolumnTillRubrik(r.name(i), "se");
    }
    for (bool header = true; header || !r.Eof(); header = false) {
        if (!header) {
            line.clear();
            for (int i = 0; i < r.FieldCount(); ++i) {
                if (i) line += ';';
                const vexla::db::RawValue v = r.raw(i);
                if (v.kind == vexla::db::RawValue::Kind::Integer) line += std::to_string(v.integer);
                if (v.kind == vexla::db::RawValue::Kind::Real) {
                    char buf[32];
                    std::snprintf(buf, sizeof buf, "%.15g", v.real);
                    line += buf;
                }
                if (v.kind == vexla::db::RawValue::Kind::Text) {
                    value.assign(v.text);
                    for (std::size_t at; (at = value.find("\r\n")) != std::string::npos;) value.replace(at, 2, "\x1B");
                    line += value;
                }
            }
            r.MoveNext();
        }
        std::string bytes = vexla::utf8ToCp1252(line);
        bytes += "\r\n";
        std::fwrite(bytes.data(), 1, bytes.size(), out);
    }
    return std::fclose(out) == 0;
}

// For the second row of a size: every connection with a 64 MB page cache
// instead of SQLite's 2 MB, to show what the engine would gain by it.
int bigCache(sqlite3* db, const char**, const sqlite3_api_routines*) {
    return sqlite3_exec(db, "PRAGMA cache_size = -65536", nullptr, nullptr, nullptr);
}

bool ourImport(const std::string& dbPath, const std::string& file, bool largeCache) {
    if (largeCache) sqlite3_auto_extension(reinterpret_cast<void (*)()>(bigCache));
    vexla::db::SqliteEngine engine;
    auto db = engine.OpenDatabase(dbPath, true);
    if (!db) return false;
    vexla::ImportDialog dialog{"Bokningar", file, true, {}, false};
    std::vector<std::string> captions;
    {
        auto rs = (*db)->OpenRecordset("SELECT * FROM Bokning");
        if (!rs) return false;
        for (int i = 0; i < (*rs)->FieldCount(); ++i) {
            captions.push_back(vexla::KolumnTillRubrik((*rs)->name(i), "se"));
            dialog.lstFältTypes.push_back(vexla::typeCodeOfField((*rs)->type(i)));
        }
    }
    // The automatic linking: every header field to the first equal caption.
    vexla::LinkTable links;
    for (std::size_t f = 0; f < captions.size(); ++f)
        for (std::size_t c = 0; c < captions.size(); ++c)
            if (captions[c] == captions[f]) {
                links.push_back({captions[c], std::to_string(c), captions[f], std::to_string(f)});
                break;
            }
    NoTexts texts;
    PrintingBoxes boxes;
    vexla::ImportServices services{**db, boxes, texts, "se", [] { return std::chrono::steady_clock::now(); }, {}};
    const std::int32_t n = vexla::ImporteraRegister(links, dialog, services);
    auto count = (*db)->TableRecordCount("Bokning");
    return n > 0 && count && *count == n && (*db)->Close().ok();
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<long> sizes = {100000, 1000000};
    if (argc == 3 && !std::strcmp(argv[1], "--sizes")) {
        sizes.clear();
        for (char* p = argv[2]; *p;) {
            sizes.push_back(std::strtol(p, &p, 10));
            if (*p == ',') ++p;
        }
    } else if (argc != 1) {
        std::fprintf(stderr, "usage: vexla-bench-import [--sizes N,N,...]\n");
        return 2;
    }
    char folderName[] = "/tmp/vexla-import-bench-XXXXXX";
    const std::string folder = mkdtemp(folderName);
    std::printf("%10s %12s %12s %7s %12s %12s\n", "bookings", "import s", "sqlite3 s", "ratio", "import MB", "sqlite3 MB");
    for (long size : sizes) {
        const std::string demo = folder + "/demo.db", file = folder + "/BokningsReg.skv";
        const std::string ours = folder + "/ours.db", theirs = folder + "/theirs.db";
        for (const auto& p : {demo, ours, theirs, file}) std::filesystem::remove(p);
        const Measure made = inChild([&] {
            vexla::sample::Options options;
            options.bookings = size;
            options.customers = 5000;
            options.resources = 300;
            options.clean = true;
            return vexla::sample::makeSampleDatabase(demo, options).ok() && writeRegisterFile(demo, file);
        });
        if (!made.ok) {
            std::fprintf(stderr, "could not make the database or the register file\n");
            return 1;
        }
        std::filesystem::copy_file(demo, ours);
        std::filesystem::copy_file(demo, theirs);
        if (!shell("sqlite3 '" + theirs + "' 'DELETE FROM Bokning; VACUUM;'")) return 1;
        shell("sync");
        const std::string spare = folder + "/spare.db";
        std::filesystem::remove(spare);
        std::filesystem::copy_file(demo, spare);
        const Measure a = inChild([&] { return ourImport(ours, file, false); });
        const Measure big = inChild([&] { return ourImport(spare, file, true); });
        const Measure b = inChild([&] {
            return shell("sqlite3 '" + theirs + "' -cmd '.mode csv' -cmd '.separator \";\"' '.import --skip 1 " + file +
                         " Bokning'");
        });
        if (!a.ok || !b.ok || !big.ok) {
            std::fprintf(stderr, "a step failed (ours %d, sqlite3 %d)\n", a.ok, b.ok);
            return 1;
        }
        std::printf("%10ld %12.3f %12.3f %7.2f %12.1f %12.1f\n", size, a.seconds, b.seconds, a.seconds / b.seconds,
                    a.peakKb / 1024.0, b.peakKb / 1024.0);
        std::printf("%10s %12.3f %12.3f %7.2f %12.1f %12s  (engine page cache 64 MB)\n", "", big.seconds, b.seconds,
                    big.seconds / b.seconds, big.peakKb / 1024.0, "");
        std::fflush(stdout);
    }
    std::filesystem::remove_all(folder);
    return 0;
}
