#include "tests/reliability/reliability_support.h"

#include <time.h>

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "db/errors.h"
#include "db/sqlite_engine.h"
#include "tools/sample_generator.h"
#include "common/posix_file_system.h"
#include "registers/field_catalogue.h"
#include "registers/field_mapping.h"
#include "registers/import_texts.h"
#include "registers/register_file_writer.h"
#include "registers/register_kind.h"
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

}  // namespace

const std::string& demoDatabase(bool clean) {
    static TempFolder* const folder = new TempFolder();  // outlives every trial; removed at exit below
    static const pid_t maker = [] {
        // Only the process that made the files removes them, not a forked trial.
        std::atexit([] {
            if (::getpid() == maker) delete folder;
        });
        return ::getpid();
    }();
    auto make = [](bool tidy) {
        const std::string p = folder->file(tidy ? "clean.db" : "demo.db");
        sample::Options options;
        options.customers = 30;
        options.resources = 6;
        options.bookings = 400;
        options.clean = tidy;
        if (!sample::makeSampleDatabase(p, options)) throw std::runtime_error("cannot make the demo database");
        return p;
    };
    if (clean) {
        static const std::string path = make(true);
        return path;
    }
    static const std::string path = make(false);
    return path;
}

void freshCopy(const std::string& path, const std::string& from) {
    std::error_code ec;
    for (const char* suffix : {"-journal", "-wal", "-shm", ".lock"}) fs::remove(path + suffix, ec);
    // The clean one: "delete first" refuses a register whose column without a caption holds values.
    fs::copy_file(from.empty() ? demoDatabase(true) : from, path, fs::copy_options::overwrite_existing);
}

Rows tableRows(const std::string& path, const std::string& table) {
    Rows rows;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return rows;
    }
    sqlite3_stmt* st = nullptr;
    const std::string sql = "SELECT * FROM \"" + table + "\" ORDER BY ID";
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) == SQLITE_OK) {
        const int columns = sqlite3_column_count(st);
        while (sqlite3_step(st) == SQLITE_ROW) {
            std::string row;
            for (int i = 0; i < columns; ++i) {
                if (i) row += '|';
                const auto* text = sqlite3_column_text(st, i);
                row += text ? reinterpret_cast<const char*>(text) : "NULL";
            }
            rows.emplace_hint(rows.end(), sqlite3_column_int64(st, 0), std::move(row));
        }
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return rows;
}

std::string rowsDiff(const Rows& now, const Rows& expected) {
    if (now == expected) return {};
    std::string text = std::to_string(now.size()) + " rows where " + std::to_string(expected.size()) + " were expected";
    auto a = now.begin();
    auto b = expected.begin();
    while (a != now.end() && b != expected.end() && *a == *b) ++a, ++b;
    if (a != now.end() && (b == expected.end() || a->first < b->first))
        text += "; ID " + std::to_string(a->first) + " is there: " + a->second;
    else if (b != expected.end() && (a == now.end() || b->first < a->first))
        text += "; ID " + std::to_string(b->first) + " is missing: " + b->second;
    else if (a != now.end())
        text += "; ID " + std::to_string(a->first) + " holds " + a->second + " instead of " + b->second;
    return text;
}

Rows placeholders(const Rows& rows) {
    Rows kept;
    for (const auto& [id, row] : rows)
        if (id <= -1) kept[id] = row;
    return kept;
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

ImportRun runImport(db::Database& db, const std::string& registerName, const std::string& filePath, bool deleteFirst,
                    std::function<bool()> cancelled) {
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
    services.cancelled = std::move(cancelled);
    ImportRun run{importRegister(links, request, services), {}};
    run.message = importStopMessage(run.outcome, filePath, texts);
    return run;
}

void writeRegister(const std::string& dbPath, const std::string& registerName, const std::string& filePath) {
    const RegisterKind* reg = registerByName(registerName);
    db::SqliteEngine engine;
    auto db = engine.OpenDatabase(dbPath, true);
    if (!reg || !db) throw std::runtime_error("cannot open " + dbPath);
    auto rs = (*db)->OpenRecordset("SELECT * FROM " + std::string(reg->table));
    PosixFileSystem files;
    auto out = files.createFile(filePath, Placement{});
    if (!rs || !out || !writeRegisterFile(**rs, **out, "se", ValueTextFormat{}) || !(*out)->commit())
        throw std::runtime_error("cannot write " + filePath);
    (*rs)->Close();
    (void)(*db)->Close();
}

std::string engineErrorHead(int sqliteCode) {
    const Error e = (sqliteCode & 0xFF) == SQLITE_FULL ? db::notEnoughSpace() : db::diskError();
    return std::to_string(e.number) + "\r\n" + e.description;
}

void sleepFor(std::chrono::steady_clock::duration d) {
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(d).count();
    if (ns <= 0) return;
    timespec ts{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
    while (::nanosleep(&ts, &ts) != 0) {
    }
}

}  // namespace vexla::testing
