// The database engine as the rest of the program sees it: an engine that
// opens and compacts database files, an open database that runs statements,
// a recordset that walks the rows of a query, and a prepared statement for
// bulk work. SQLite is one implementation (sqlite_engine.h); tests may put a
// fake or a fault-injecting one in its place.
//
// Statements are written in the booking system's SQL dialect: [bracketed]
// names, #date# literals (ISO form or the system's short date and long time),
// True/False, unquoted numbers and 'text' with a doubled '' inside. Only
// SELECT * | columns FROM t [WHERE ...] [ORDER BY ...], DELETE FROM t
// [WHERE ...] and INSERT INTO t [(columns)] VALUES(literals) are understood;
// anything else is refused with an error, never passed through.
//
// Every failure comes back as an Error with the engine's number and English
// description; nothing throws.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/platform/locale_info.h"
#include "common/result.h"
#include "db/variant.h"

namespace vexla::db {

class Recordset;

// One column of an open recordset, by position: a light handle that is only
// valid while its recordset is.
class Field {
public:
    Field(const Recordset& rs, int index) : rs_(&rs), index_(index) {}
    const std::string& Name() const;
    int Type() const;
    // The value in the current record; error 3021 when there is none.
    Result<Variant> Value() const;
    // The stored value without conversion (the fast path of the export).
    RawValue Raw() const;
    int index() const { return index_; }

private:
    const Recordset* rs_;
    int index_;
};

// The rows of one query, forward only. After opening it stands on the first
// row, or at the end when there is none.
class Recordset {
public:
    virtual ~Recordset() = default;

    // True when there is no current record. (The engine calls this EOF; the C
    // library has taken that name for a macro.)
    virtual bool Eof() const = 0;
    // Back to the first row; on a forward-only recordset this runs the query
    // again unless it still stands on its first row.
    virtual Status MoveFirst() = 0;
    // To the next row; error 3021 at the end.
    virtual Status MoveNext() = 0;
    // The number of rows visited so far: non-zero whenever a row exists, exact
    // once the end has been reached.
    virtual long RecordCount() const = 0;
    // Ends the query. Closing twice, or closing after the database closed, is harmless.
    virtual void Close() = 0;

    // Fields.Count and the columns by position, in the table's order.
    virtual int FieldCount() const = 0;
    virtual const std::string& name(int index) const = 0;
    virtual int type(int index) const = 0;
    virtual Result<Variant> value(int index) const = 0;
    virtual RawValue raw(int index) const = 0;
    // The position of the column of that name (letter case ignored), or -1.
    virtual int indexOf(std::string_view name) const = 0;

    // Fields(i) and Fields("name"); error 3265 for an index out of range or an unknown name.
    Result<Field> Fields(int index) const;
    Result<Field> Fields(std::string_view name) const;
};

// A statement prepared once and run many times with new values; the import
// uses it for its INSERT of every line. Each ? of the statement is a value
// slot. The values are checked against the column the slot feeds when they
// are bound, by the same rules as literals written into the statement text,
// so a refused value is known (and its column with it) before Execute.
class PreparedStatement {
public:
    virtual ~PreparedStatement() = default;
    virtual int ParameterCount() const = 0;
    // Slots are numbered from 0. Each bind replaces the slot's earlier value.
    // BindText: what would stand between the quotes of a 'text' literal, undoubled.
    virtual Status BindText(int slot, std::string_view text) = 0;
    // BindDate: what would stand between the # marks of a date literal.
    virtual Status BindDate(int slot, std::string_view literal) = 0;
    // BindBare: an unquoted literal as written: a number (a leading minus allowed,
    // and the system's decimal separator as well as "."), True, False or Null.
    virtual Status BindBare(int slot, std::string_view literal) = 0;
    virtual Status BindNull(int slot) = 0;
    virtual Status Bind(int slot, const Variant& value) = 0;
    // What slot `slot` holds, as the column will store it (Null before its
    // first bind or after a refused one): for showing what a statement would
    // write. A text stays valid until the slot is bound again.
    virtual RawValue BoundValue(int slot) const = 0;
    // Runs the statement with the bound values; the values stay bound.
    virtual Status Execute() = 0;
    // Runs a prepared SELECT; the recordset must be closed before the next run.
    virtual Result<std::unique_ptr<Recordset>> OpenRecordset() = 0;
    virtual long RecordsAffected() const = 0;
    virtual void Close() = 0;
};

// The rows of one table that Database::CopyRowsInto keeps: those whose
// date column `column` lies from `first` to `last`, both ends included, and
// those where it is Null (no comparison with either end removes them).
struct KeptRows {
    std::string table, column;
    DateTime first, last;
};

// An open database file.
class Database {
public:
    virtual ~Database() = default;

    // Runs a DELETE or INSERT statement whole, or fails with nothing changed.
    // options: dao::FailOnError or 0; a statement never half runs either way.
    virtual Status Execute(std::string_view sql, int options = dao::FailOnError) = 0;
    // Opens the rows of a SELECT. type, options and lock are accepted as the
    // callers pass them; every recordset is a forward-only, read-only view.
    virtual Result<std::unique_ptr<Recordset>> OpenRecordset(std::string_view sql, int type = 0, int options = 0,
                                                             int lock = 0) = 0;
    // The same with values for the statement's ? slots, in order.
    virtual Result<std::unique_ptr<Recordset>> OpenRecordset(std::string_view sql,
                                                             const std::vector<Variant>& parameters) = 0;
    virtual Result<std::unique_ptr<PreparedStatement>> Prepare(std::string_view sql) = 0;
    // The number of rows the last Execute changed.
    virtual long RecordsAffected() const = 0;

    // An explicit transaction; without one every statement commits by itself.
    virtual Status BeginTrans() = 0;
    virtual Status CommitTrans() = 0;
    virtual Status Rollback() = 0;

    // The user tables, in the file's order, and a table's row count.
    virtual Result<std::vector<std::string>> TableNames() = 0;
    virtual Result<long> TableRecordCount(std::string_view table) = 0;
    // The columns of a table that every new record must give a value: NOT
    // NULL without a default, other than the key the engine numbers itself.
    virtual Result<std::vector<std::string>> RequiredColumns(std::string_view table) = 0;
    // A full consistency check of the file; an Error names what is wrong.
    virtual Status CheckIntegrity() = 0;
    // The check of every page and the structure of every table and index,
    // without looking each row up in each index (a tenth of the full check).
    virtual Status QuickCheck() = 0;
    // The row count of every user table and the entry count of every index
    // ("table" and "table.index"); an index whose count is not its table's
    // row count (a partial one aside) is 3049.
    virtual Result<std::map<std::string, long>> ContentCounts() = 0;
    // Writes a compacted copy of this database into `path`, a file of the
    // caller's that is missing or empty (FileSystem::createFile's temporary
    // file): the same schema, rows, user_version, application_id, page size
    // and journal mode, nothing added. Not synced: where the file is made,
    // its mode and owner, its sync and its place are the caller's.
    virtual Status CompactInto(const std::string& path) = 0;
    // Keeps every other connection from writing (BEGIN IMMEDIATE: the
    // write lock of either journal mode), waiting for a writer's
    // transaction up to the engine's wait: 3260 when it is not had. Readers
    // go on reading. ReleaseWriters ends it (nothing was written).
    virtual Status HoldWriters() = 0;
    // How long this connection waits for another's lock from now on.
    virtual void SetWait(double seconds) = 0;
    virtual Status ReleaseWriters() = 0;
    // A number that changes whenever another connection commits to the
    // file: equal answers of one connection mean nobody wrote between.
    virtual Result<long long> DataVersion() = 0;
    // Replaces the content of this database's file by that of `result` (a
    // database of this engine with the same page size, open) as one
    // transaction of this file, through the engine's own locks and journal:
    // the file keeps its inode, owner, group, mode and journal mode, and
    // every connection, open before or after, sees the old content or the
    // new. `holder`, a connection to this same file, holds the writers off
    // (HoldWriters) when this is called, and answered `builtAt` as its
    // DataVersion when `result` was read from the file; its hold passes to
    // this write-in, which proves by `holder`'s DataVersion, once it has the
    // write lock itself, that nobody committed since (3197 ContentChanged
    // otherwise, nothing written: the caller builds its result again). Once
    // it has the write lock it waits for any other lock at most `lockWait`
    // seconds (the exclusive lock of a rollback journal's commit, which an
    // open read transaction refuses):
    // 3260 and nothing written when that is not had. A stop asked for
    // through InterruptWhen is taken before each step and rolls back; the
    // last step, which commits, runs to its end once it has begun. `result`
    // is read in one read transaction from the first step to the last.
    // `alongside`, when given, runs on a thread of its own while the pages
    // are written and may read `result` through a connection of its own:
    // the commit waits for it and is taken only when it succeeds; its
    // failure rolls back and is the answer. `holder` holds nothing after.
    virtual Status WriteInFrom(Database& result, Database& holder, long long builtAt, double lockWait,
                               const std::function<Status()>& alongside) = 0;
    // Empties `table` by `deleteStatement` (a DELETE of the dialect on it)
    // and fills it with the rows of `staged`'s table of that name that the
    // delete left no row in their place (a row kept here stays as it is), as
    // one transaction of this database that holds the writers off
    // (waiting like HoldWriters); answers the rows the delete removed. A
    // failure rolls back with nothing changed. `staged` is a copy of this
    // database (OpenStagingCopy) the caller has changed; it is only read.
    virtual Result<long> ReplaceTableFrom(Database& staged, std::string_view table,
                                          std::string_view deleteStatement) = 0;
    // Folds a write-ahead log into the file as far as nobody's reading
    // prevents, waiting for nobody longer than `limitSeconds`; with
    // `truncate` the log is emptied too once whole. Answers the bytes of log
    // not yet in the file: 0 when the file holds every commit (always for a
    // database in rollback mode).
    virtual Result<std::uint64_t> Checkpoint(bool truncate, double limitSeconds) = 0;
    // Writes the database file to the disk. Through the connection's own
    // descriptor: a second descriptor of the file, once closed, would take
    // this connection's locks with it.
    virtual Status SyncFile() = 0;
    // Builds a copy of this database from its rows in `destination`, an
    // empty file of the caller's that nobody else uses (the caller discards
    // it after a failure). The copy gets this database's page size,
    // auto-vacuum mode, user_version, application_id and journal mode; its
    // tables in this file's order, each filled with its rows (with only the
    // rows `keep` names for a table it names, letter case ignored), the
    // AUTOINCREMENT counters as they are here; then its indexes, triggers
    // and views, in this file's order. The statistics tables of ANALYZE are
    // not copied. All in one transaction of the copy; this database is only
    // read, and must be open outside a transaction.
    // `progress` hears (rows written, rows to write) now and then, also
    // while the indexes are built; answering false interrupts the copy,
    // which then fails at once. On any failure this database is as it was
    // and the connection as before the call.
    virtual Status CopyRowsInto(const std::string& destination, const std::vector<KeptRows>& keep,
                                const std::function<bool(std::uint64_t, std::uint64_t)>& progress) = 0;
    // For a load of many rows into `table` inside the caller's open
    // transaction: drops the table's indexes that only speed up reading
    // (made by CREATE INDEX, not UNIQUE: no row can be refused for their
    // sake) and answers the statements that make them again, in the file's
    // order. The load then writes the table alone, and CreateIndexes builds
    // each index once from its sorted keys, which costs far less than
    // keeping every index in step row by row once the indexes outgrow the
    // cache. A rollback of the transaction brings the indexes back as they
    // were; an error leaves every index in place.
    virtual Result<std::vector<std::string>> DropReadingIndexes(std::string_view table) = 0;
    // Runs, in the caller's open transaction, the statements
    // DropReadingIndexes answered. Interruptible through InterruptWhen; on
    // an error the caller rolls the transaction back.
    virtual Status CreateIndexes(const std::vector<std::string>& statements) = 0;
    // Rewrites this database's file in place without its free pages, as one
    // transaction of its own: a failure leaves the file as it was.
    virtual Status Vacuum() = 0;
    // From now on a statement of this connection that runs long asks
    // `asked` now and then (every few thousand steps of the engine, and a
    // watching thread every few hundredths of a second, so `asked` must be
    // safe to call from another thread) and ends with an error as soon as
    // it answers true; an empty function ends that.
    virtual void InterruptWhen(std::function<bool()> asked) = 0;

    // Closes every recordset and prepared statement of this database and frees
    // the file (unlocks it), and removes the scratch file a snapshot or a
    // staging copy is; a failure of either is the answer, the rest done all
    // the same. Closing twice is harmless.
    virtual Status Close() = 0;
    // The path it was opened with.
    virtual const std::string& Name() const = 0;
};

// One table or index of a file that may be damaged, read to its end.
struct ObjectReading {
    std::string name;   // the table's or the index's
    std::string table;  // the table it belongs to (its own name for a table)
    bool index = false;
    bool whole = false;  // read to its end without a fault
    long entries = 0;    // rows or index entries read, up to the fault
};

// The rows of `table` whose `column` names no row of `parent` by its
// `parentColumn`; with `parent` empty, the rows whose `column` is Null.
struct LinkCheck {
    std::string table, column, parent, parentColumn;
};

// What a LinkCheck found.
struct BrokenLinks {
    long rows = 0;                    // the rows of the table looked at
    long count = 0;                   // those whose link is broken
    std::vector<long long> firstIds;  // the lowest row ids among them, ascending
};

// The rows a rescue wrote for one table.
struct TableRescue {
    std::string table;
    long rescued = 0;
    long refused = 0;  // rows read but refused by the new file's constraints (values garbled by the damage)
    long faults = 0;   // row-id ranges that could not be read and were stepped past
};

// A database file opened to be examined and rescued, which may be damaged.
// Nothing is ever written to the file: it is read through read-only
// connections (the link checks have one of their own) that each keep a read
// transaction (a shared lock) from the opening to Close, so no writer can
// change it meanwhile, and our fence keeps our own programs out.
class ExaminedFile {
public:
    virtual ~ExaminedFile() = default;
    // The user tables, in the file's order; an error when the schema
    // itself cannot be read.
    virtual Result<std::vector<std::string>> TableNames() = 0;
    // The engine's own check (full: every row looked up in every index as
    // well, else every page and the structure of every b-tree): its
    // messages, none when the file is sound. An error when it cannot run.
    virtual Result<std::vector<std::string>> EngineCheck(bool full) = 0;
    // Every table (by row id, every column) and every index (a covering scan
    // of its own entries) read to its end or its first fault, in the file's
    // order. Partial indexes are not read on their own.
    virtual Result<std::vector<ObjectReading>> ReadEachObject() = 0;
    // The links of `check` looked at through the column's index where there
    // is one; `firstFew` row ids at most. Nothing when the tables or columns
    // are not there. Reads through a connection of its own: it may run on
    // another thread while EngineCheck runs (never beside another call but
    // that one, and InterruptWhen set before both start).
    virtual Result<std::optional<BrokenLinks>> RowsWithoutLink(const LinkCheck& check, int firstFew) = 0;
    // The table's row count as the file itself knows it: counted through
    // the table or, where that fails, through one of its whole indexes.
    // Nothing when no count can be read in full.
    virtual Result<std::optional<long>> RowCount(const std::string& table) = 0;
    // Writes every row that can still be read into the database file
    // `path`, a file of the caller's that is missing or empty (FileSystem::
    // createFile's temporary file, which the caller syncs and places): the
    // tables with their definitions in the file's order, each read by row-id
    // ranges and stepping past a range that fails; then sqlite_sequence, the
    // indexes, triggers and views; with the file's page size, user_version
    // and application_id. On any failure, or when `progress` (rows written,
    // rows estimated) answers false (stoppedByUser), what `path` holds is of
    // no use.
    virtual Result<std::vector<TableRescue>> RescueInto(
        const std::string& path, const std::function<bool(std::uint64_t, std::uint64_t)>& progress) = 0;
    // As Database::InterruptWhen.
    virtual void InterruptWhen(std::function<bool()> asked) = 0;
    // Whether the read transaction keeps other connections from committing
    // (a rollback journal's file; in WAL mode readers keep nobody out).
    virtual bool KeepsCommitsOut() = 0;
    // Ends the read transaction and frees the file. Closing twice is harmless.
    virtual Status Close() = 0;
};

// Holds a database path fenced against every other process (our exclusive
// lock without an open connection), for jobs that close, copy, delete and
// recreate the file and must keep everyone out in between. Opening the
// fenced path through the same engine is not hindered by the fence.
class DatabaseFence {
public:
    DatabaseFence() = default;
    explicit DatabaseFence(std::shared_ptr<void> hold) : hold_(std::move(hold)) {}
    bool held() const { return hold_ != nullptr; }
    void release() { hold_.reset(); }

private:
    std::shared_ptr<void> hold_;
};

class DBEngine {
public:
    virtual ~DBEngine() = default;
    // Opens an existing database file; never creates one. exclusive: nobody
    // else can open the file until Close (and this open fails with 3356 when
    // somebody else holds it). 3024 for a missing file or folder, 3343 for a
    // file that is not a database (an empty file included).
    //
    // A database is never locked merely by being open: like the booking
    // system's own connections, it takes the engine's locks for each
    // statement or transaction, waiting for another connection's lock up to
    // the engine's wait (SetWait). `exclusive` (jobs that change the
    // database) takes our fence as well, which keeps our own programs' other
    // jobs out; the booking system is not kept out by it. 3356 when one of
    // ours holds the fence, or when the file cannot be read within the wait.
    virtual Result<std::unique_ptr<Database>> OpenDatabase(const std::string& path, bool exclusive = true) = 0;
    // Writes a compacted copy of source to destination, which must not exist
    // (3204): the database as Database::CompactInto writes it.
    virtual Status CompactDatabase(const std::string& source, const std::string& destination) = 0;
    virtual Result<DatabaseFence> FenceDatabase(const std::string& path) = 0;
    // Opens a database file that may be damaged to examine it, read only
    // (ExaminedFile): fenced, and with a read lock from now to Close. 3356
    // when somebody holds it, 3024 missing, 3343 not a database (an empty
    // file included); a file with an unfinished transaction's journal
    // beside it (which only a writer may roll back) is 3051.
    virtual Result<std::unique_ptr<ExaminedFile>> OpenForExamination(const std::string& path) = 0;
    // A consistent picture of the database for a job that reads it long (an
    // export), taken so that the booking system is not kept from committing
    // meanwhile. Where readers keep no writer out (WAL) it is the database
    // itself, read in one transaction to Close; otherwise a copy taken in one
    // short read transaction into a scratch file of ours, removed at Close.
    virtual Result<std::unique_ptr<Database>> OpenSnapshot(const std::string& path) {
        return OpenDatabase(path, false);
    }
    // A copy of the whole database, taken in one short read into a scratch
    // file of ours (removed at Close), for a job to do its long work on
    // before it writes the result into the database in one short step
    // (Database::ReplaceTableFrom). Nobody else sees or waits for it.
    virtual Result<std::unique_ptr<Database>> OpenStagingCopy(const std::string& /*path*/) {
        return Error{3219, "Invalid operation.", "DAO.DBEngine"};
    }
    // Writes the bytes of the database file `content` over the file `path`,
    // which no connection can open (its header is destroyed), in place:
    // under the engine's exclusive lock on `path`, taken on the bytes every
    // connection of the engine locks (waiting up to the engine's wait for
    // the booking system's connections: 3260 when they keep it), `keep`
    // runs first (the caller's backup of the bytes about to be replaced;
    // its failure is the answer, nothing written). Then the file's rollback
    // journal and write-ahead log, which belong to the bytes replaced, are
    // emptied, the content written from the first byte, the file cut to its
    // size and synced, and the lock released. The file keeps its inode,
    // owner, group and mode. Answers the seconds the lock was held.
    virtual Result<double> OverwriteUnopenable(const std::string& /*path*/, const std::string& /*content*/,
                                               const std::function<Status()>& /*keep*/) {
        return Error{3219, "Invalid operation.", "DAO.DBEngine"};
    }
    // How long a database opened from now on waits for a lock another
    // connection holds (a transaction of the booking system), in seconds.
    virtual void SetWait(double /*seconds*/) {}
    // How databases opened from now on read dates and numbers bound as
    // text (BindBare): by the short date, time and decimal separator of `locale`.
    virtual void ReadValuesBy(LocaleInfo& /*locale*/) {}
};

// The settings the engine reads dates and numbers by: the system's short
// date and long time picture strings (y M d H h m s t tt), and its decimal
// separator, accepted in values bound with BindBare.
struct EngineSettings {
    std::string shortDate = "yyyy-MM-dd";
    std::string longTime = "HH:mm:ss";
    std::string decimalSeparator = ",";
    // How long a connection waits for another's lock, in seconds.
    double waitSeconds = 10;
};

// The settings of the user's regional settings, the defaults where the
// locale has no answer.
inline EngineSettings engineSettingsFor(LocaleInfo& locale) {
    EngineSettings settings;
    settings.shortDate = locale.value(LocaleItem::ShortDate).value_or(settings.shortDate);
    settings.longTime = locale.value(LocaleItem::TimeFormat).value_or(settings.longTime);
    settings.decimalSeparator = locale.value(LocaleItem::DecimalSeparator).value_or(settings.decimalSeparator);
    return settings;
}

}  // namespace vexla::db
