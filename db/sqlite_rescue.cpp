// ExaminedFile::RescueInto of the SQLite engine (see engine.h for the
// contract). Every row passes through the program: read from the damaged
// file in row-id order, written by a prepared INSERT into a new file of its
// own connection. A read that faults ends at the damaged page; the next row
// that can be read is found by seeking ever further past the fault, then
// back towards it by halves, as far as a seek still succeeds, so only the
// rows of the damaged pages are lost.
#include <limits>

#include "common/job_progress.h"
#include "db/errors.h"
#include "db/sql_translator.h"
#include "db/sqlite_errors.h"
#include "db/sqlite_examined.h"

namespace vexla::db {

namespace {

constexpr sqlite3_int64 kLowest = std::numeric_limits<sqlite3_int64>::min();
constexpr sqlite3_int64 kHighest = std::numeric_limits<sqlite3_int64>::max();

// Rows between two looks at `progress`.
constexpr std::uint64_t kRowsPerLook = 2000;

class Rescue {
public:
    Rescue(sqlite3* from, const std::function<bool(std::uint64_t, std::uint64_t)>& progress)
        : from_(from), progress_(progress) {}
    ~Rescue() {
        if (to_) sqlite3_close_v2(to_);
    }

    Result<std::vector<TableRescue>> run(const std::string& source, const std::string& file) {
        auto objects = schemaObjects(from_, source);
        if (!objects) return objects.error();
        std::string pageSize, autoVacuum, userVersion, applicationId, journalMode;
        for (auto [pragma, value] :
             {std::pair{"page_size", &pageSize}, std::pair{"auto_vacuum", &autoVacuum},
              std::pair{"user_version", &userVersion}, std::pair{"application_id", &applicationId},
              std::pair{"journal_mode", &journalMode}})
            if (int rc = eachRow(from_, std::string("PRAGMA main.") + pragma, {},
                                 [&, value = value](sqlite3_stmt* s) {
                                     *value = columnText(s, 0);
                                     return false;
                                 });
                rc != SQLITE_DONE)
                return readFailure(rc, source);
        if (const int rc = sqlite3_open_v2(file.c_str(), &to_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
            rc != SQLITE_OK)
            return errorFromSqlite(to_, rc, source::Engine);
        sqlite3_extended_result_codes(to_, 1);
        // The file is nobody's until it is renamed into place: it needs no
        // journal and is synced once, whole, at the end.
        Status s = exec("PRAGMA page_size = " + pageSize + "; PRAGMA auto_vacuum = " + autoVacuum +
                        "; PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF; PRAGMA cache_size = -16384; BEGIN");
        std::vector<TableRescue> tables;
        for (const SchemaObject& o : *objects)
            if (s && o.type == "table" && !internal(o.name)) s = exec(o.sql);
        for (const SchemaObject& o : *objects) {
            if (!s || o.type != "table" || internal(o.name) || o.sql.rfind("CREATE VIRTUAL", 0) == 0) continue;
            auto copied = copyTable(o.name);
            if (!copied) return copied.error();
            tables.push_back(*copied);
        }
        if (s) s = copySequence(*objects);
        for (const SchemaObject& o : *objects)
            if (s && o.type != "table" && !internal(o.name)) s = exec(o.sql);
        if (s) s = exec("PRAGMA user_version = " + userVersion + "; PRAGMA application_id = " + applicationId);
        if (s) s = exec("COMMIT");
        if (s && sqlite3_stricmp(journalMode.c_str(), "wal") == 0) s = exec("PRAGMA journal_mode = WAL");
        if (!s) return s.error();
        const int rc = sqlite3_close(to_);
        to_ = nullptr;
        if (rc != SQLITE_OK) return errorFromSqlite(nullptr, rc, source::Engine);
        return tables;
    }

private:
    static bool internal(const std::string& name) { return sqlite3_strnicmp(name.c_str(), "sqlite_", 7) == 0; }

    Status exec(const std::string& sql) {
        if (sqlite3_exec(to_, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
            return errorFromSqlite(to_, sqlite3_extended_errcode(to_), source::Engine);
        return {};
    }
    Error readFailure(int rc, const std::string& source) const {
        return isFault(rc) ? corrupt(source) : errorFromSqlite(from_, rc);
    }
    bool goOn() {
        if (++rows_ % kRowsPerLook != 0 || !progress_) return true;
        return progress_(rows_, 0);
    }

    // Whether a seek to the first row at or after `at` reads that row whole.
    bool readable(sqlite3_stmt* probe, sqlite3_int64 at, int& rc) {
        sqlite3_reset(probe);
        sqlite3_bind_int64(probe, 1, at);
        rc = sqlite3_step(probe);
        if (rc == SQLITE_ROW || rc == SQLITE_DONE)
            rc = SQLITE_OK;
        else
            rc = sqlite3_extended_errcode(from_);
        return rc == SQLITE_OK;
    }

    // The lowest row id past `bad` (whose seek faults) from which the table
    // reads again; nothing when no seek past it succeeds. `rc`: a failure
    // that is no fault (a stop), which ends the search.
    std::optional<sqlite3_int64> resumeAfter(sqlite3_stmt* probe, sqlite3_int64 bad, int& rc) {
        sqlite3_int64 low = bad, step = 1;
        std::optional<sqlite3_int64> high;
        while (!high) {
            const sqlite3_int64 at = low > kHighest - step ? kHighest : low + step;
            if (readable(probe, at, rc)) {
                high = at;
            } else if (!isFault(rc)) {
                return std::nullopt;
            } else if (at == kHighest) {
                rc = SQLITE_OK;  // nothing past the fault can be read
                return std::nullopt;
            } else {
                low = at;
            }
            if (step < kHighest / 2) step *= 2;
        }
        while (*high - low > 1) {
            const sqlite3_int64 middle = low + (*high - low) / 2;
            if (readable(probe, middle, rc))
                high = middle;
            else if (!isFault(rc))
                return std::nullopt;
            else
                low = middle;
        }
        rc = SQLITE_OK;
        return high;
    }

    // The statements that copy one table: read from a row id on (a table
    // without row ids is read whole, in its key's order), probe one row from
    // a row id on, insert into the new file.
    struct TableStatements {
        sqlite3_stmt* read = nullptr;
        sqlite3_stmt* probe = nullptr;
        sqlite3_stmt* insert = nullptr;
        bool byRowId = false;
        int columns = 0;
        ~TableStatements() {
            sqlite3_finalize(read);
            sqlite3_finalize(probe);
            sqlite3_finalize(insert);
        }
    };

    Status prepareCopy(const std::string& name, TableStatements& st) {
        const std::string table = quoteIdentifier(name);
        const std::string fromRowId = "SELECT rowid, * FROM main." + table + " WHERE rowid >= ?1 ORDER BY rowid";
        st.byRowId = sqlite3_prepare_v2(from_, fromRowId.c_str(), -1, &st.read, nullptr) == SQLITE_OK;
        int rc = st.byRowId
                     ? sqlite3_prepare_v2(from_, (fromRowId + " LIMIT 1").c_str(), -1, &st.probe, nullptr)
                     : sqlite3_prepare_v2(from_, ("SELECT 0, * FROM main." + table).c_str(), -1, &st.read, nullptr);
        if (rc != SQLITE_OK) return errorFromSqlite(from_, rc);
        st.columns = sqlite3_column_count(st.read) - 1;
        std::string values;
        for (int i = 0; i < st.columns; ++i) values += i ? ", ?" : "?";
        rc = sqlite3_prepare_v2(to_, ("INSERT INTO main." + table + " VALUES(" + values + ")").c_str(), -1, &st.insert,
                                nullptr);
        if (rc != SQLITE_OK) return errorFromSqlite(from_, rc);
        return {};
    }

    // Copies rows from where the read statement stands until the table ends
    // (rc SQLITE_DONE) or a read fails (rc the engine's code); `last` is the
    // row id of the last row read. A failure to write or a stop is the Status.
    Status copyRows(TableStatements& st, TableRescue& done, std::optional<sqlite3_int64>& last, int& rc) {
        while ((rc = sqlite3_step(st.read)) == SQLITE_ROW) {
            for (int i = 0; i < st.columns; ++i)
                sqlite3_bind_value(st.insert, i + 1, sqlite3_column_value(st.read, i + 1));
            const int written = sqlite3_step(st.insert);
            sqlite3_reset(st.insert);
            // A row the new file's constraints refuse (a value garbled by the
            // damage against a unique one) is not rescued.
            if (written == SQLITE_DONE)
                ++done.rescued;
            else if ((written & 0xFF) == SQLITE_CONSTRAINT)
                ++done.refused;
            else
                return errorFromSqlite(to_, sqlite3_extended_errcode(to_), source::Engine);
            last = sqlite3_column_int64(st.read, 0);
            if (!goOn()) return stoppedByUser();
        }
        return {};
    }

    // Copies what can be read of one table, reading on past each fault from
    // the next row id that reads again.
    Result<TableRescue> copyTable(const std::string& name) {
        TableRescue done{name, 0, 0, 0};
        TableStatements st;
        Status s = prepareCopy(name, st);
        sqlite3_int64 from = kLowest;
        while (s) {
            sqlite3_reset(st.read);
            if (st.byRowId) sqlite3_bind_int64(st.read, 1, from);
            std::optional<sqlite3_int64> last;
            int rc = SQLITE_OK;
            s = copyRows(st, done, last, rc);
            if (!s || rc == SQLITE_DONE) break;
            rc = sqlite3_extended_errcode(from_);
            if (!isFault(rc)) {
                s = errorFromSqlite(from_, rc);
                break;
            }
            ++done.faults;
            if (!st.byRowId) break;
            const sqlite3_int64 bad = last ? (*last == kHighest ? kHighest : *last + 1) : from;
            const auto next = bad == kHighest ? std::nullopt : resumeAfter(st.probe, bad, rc);
            if (rc != SQLITE_OK) s = errorFromSqlite(from_, rc);
            if (!next) break;
            from = *next;
        }
        if (!s) return s.error();
        return done;
    }

    // The AUTOINCREMENT counters, as far as they can be read.
    Status copySequence(const std::vector<SchemaObject>& objects) {
        bool has = false;
        for (const SchemaObject& o : objects) has = has || o.name == "sqlite_sequence";
        if (!has) return {};
        if (auto s = exec("DELETE FROM sqlite_sequence"); !s) return s;
        sqlite3_stmt* insert = nullptr;
        if (sqlite3_prepare_v2(to_, "INSERT INTO sqlite_sequence VALUES(?1, ?2)", -1, &insert, nullptr) != SQLITE_OK)
            return errorFromSqlite(to_, sqlite3_extended_errcode(to_), source::Engine);
        int failed = SQLITE_OK;
        const int rc = eachRow(from_, "SELECT name, seq FROM main.sqlite_sequence", {}, [&](sqlite3_stmt* row) {
            sqlite3_bind_value(insert, 1, sqlite3_column_value(row, 0));
            sqlite3_bind_value(insert, 2, sqlite3_column_value(row, 1));
            if (sqlite3_step(insert) != SQLITE_DONE) failed = sqlite3_extended_errcode(to_);
            sqlite3_reset(insert);
            return failed == SQLITE_OK;
        });
        sqlite3_finalize(insert);
        if (failed != SQLITE_OK) return errorFromSqlite(to_, failed, source::Engine);
        if (rc != SQLITE_DONE && !isFault(rc)) return errorFromSqlite(from_, rc);
        return {};
    }

    sqlite3* from_;
    sqlite3* to_ = nullptr;
    const std::function<bool(std::uint64_t, std::uint64_t)>& progress_;
    std::uint64_t rows_ = 0;
};

}  // namespace

// The engine writes only the file it is given: where it is made, its mode
// and owner, its sync and its place are the caller's (FileSystem::createFile).
Result<std::vector<TableRescue>> rescueRows(sqlite3* db, const std::string& source, const std::string& path,
                                            const std::function<bool(std::uint64_t, std::uint64_t)>& progress) {
    if (path.empty()) return invalidPath(path);
    return Rescue(db, progress).run(source, path);
}

}  // namespace vexla::db
