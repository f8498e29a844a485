// The import of a register file into its register, without any window: the
// mapping dialog and vexla-transfer both run it and render its outcome.
//
// An import is all or nothing. The links are checked and the INSERT is
// prepared before anything is touched; then the "delete first" and every
// line's INSERT run in one transaction, committed at the end of the file. A
// stop of any kind (a line the register cannot take, a refused value, a full
// disk, a cancel) rolls the transaction back, and a killed process leaves a
// journal that the next opening of the file rolls back: the register is
// either exactly as it was or holds the whole file.
//
// What a line means is as the booking system's files have always been read:
// empty lines are skipped, ESC stands for CR LF, the fields are split at ";"
// (by the spreadsheet's rules when the header starts with a double quote),
// an empty date is 00:00:00 and an empty number 0. Values are bound as
// parameters, so a text is stored exactly as written, quotes included.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/job_progress.h"
#include "common/platform/notices.h"
#include "common/result.h"
#include "db/engine.h"
#include "registers/link_table.h"

namespace vexla {

// The most fields a line may have; a line with more is no register's record.
inline constexpr std::size_t kMaxFields = 1000;
// How many line numbers of each kind of skipped line an outcome keeps.
inline constexpr std::size_t kListedLines = 5;

// Why an import ended before the end of its file. Every stop but the last
// two leaves the register as it was.
enum class ImportStop {
    None,              // read to the end and committed (or, in a dry run, undone on purpose)
    Cancelled,         // the caller asked it to stop
    FileUnreadable,    // the file could not be opened or read (error: the file system's number)
    NotRegularFile,    // the path is a folder, a device or a pipe
    NoHeader,          // the file is empty, or its first line is
    LineTooLong,       // a line longer than kMaxLineBytes
    TooManyFields,     // a line of more than kMaxFields fields
    NoSeparator,       // a line without ";"
    WrongSeparator,    // the header is split by tabs or commas instead (separator: which)
    NotUtf8,           // a line that is not UTF-8 in a file taken for UTF-8
    NulCharacter,      // a line holding a NUL character: the file is no text
    UnclosedQuote,     // a quoted value still open at the end of the file (line: where it began)
    OtherEncoding,     // the file is UTF-16 or UTF-32 (value: the encoding's name)
    WrongFieldCount,   // with delete-first: a line of another field count than the header's
    DuplicateKey,      // with delete-first: a line whose key the register holds already
    RequiredValue,     // a column that needs a value got none (3314)
    Refused,           // the engine refused a value (value, expected), the statement or the commit (error: its number)
    LinkNoColumn,      // a link names no column of the register
    LinkTwice,         // two links fill one column
    LinkOutOfRange,    // a link's position is no field of the file or of the register
    RequiredUnlinked,  // a column that needs a value has no link
    KeyUnlinked,       // delete-first without a link to ID while other tables refer to the register
    UncaptionedLost,   // delete-first while a column without a caption that no link fills holds values
    // Refused by the import's plan (registers/import_plan.h) before the import ran:
    NoLinks,         // there is no link at all
    ValuesUnlinked,  // columns of the file that no link takes hold values (unlinked: which)
    // The commit answered an error (error: the engine's) after the file already held the import:
    SavedDespiteError,  // the register holds the whole import (committed is true)
    SaveUncertain,      // the register's count tells neither the import nor the state before it
};

// What a column takes, as a refused value's message says it.
enum class Expected { Nothing, Number, Date, YesNo, ShorterText };

// The kinds of line an import without delete-first skips and goes on.
enum class SkipReason { WrongFieldCount, DuplicateKey };

// A column of the file that no link takes, holding a value on some line.
struct UnlinkedColumn {
    int column = 0;       // 1-based, as the messages count
    std::string caption;  // its field of the header; "" for none
    long values = 0;      // the lines of the header's field count that hold a value there
    bool operator==(const UnlinkedColumn&) const = default;
};

// Line numbers of one kind: how many, and the first kListedLines of them.
struct LineList {
    long count = 0;
    std::vector<long> first;
    void add(long line);
};

// What an import did. A value: the window, the command line and the tests
// each render it their own way.
struct ImportOutcome {
    ImportStop stop = ImportStop::None;
    std::int32_t inserted = 0;                 // records stored (0 after a stop); in a dry run, what would have been
    long deleted = 0;                          // records the delete removed (0 after a stop)
    bool deletedFirst = false;                 // the delete ran and was committed
    bool committed = false;                    // the import's changes are in the file
    double heldSeconds = 0;                    // how long it kept the booking system's writers out
    LineList wrongFieldCount;                  // lines skipped for their field count
    LineList duplicates;                       // lines skipped because their key exists
    Error error;                               // the number and description behind the stop, where there is one
    long line = 0;                             // the line the import stopped at (the header is line 1); 0 for none
    std::string column;                        // the column (caption) or link (file field) the stop concerns
    std::size_t fields = 0, headerFields = 0;  // WrongFieldCount: the line's and the header's counts
    char separator = 0;                        // WrongSeparator: '\t' or ','
    std::string value;                         // Refused: the value refused, as in the file; OtherEncoding: its name
    Expected expected = Expected::Nothing;     // Refused: what the column takes instead
    std::vector<UnlinkedColumn> unlinked;      // ValuesUnlinked: the columns whose values would be left out

    bool stopped() const { return stop != ImportStop::None; }
    long skipped() const { return wrongFieldCount.count + duplicates.count; }
    // The register is as it was before the import: every stop but a failed commit that may have taken effect.
    bool unchanged() const {
        return stop != ImportStop::None && stop != ImportStop::SavedDespiteError && stop != ImportStop::SaveUncertain;
    }
};

// What to import.
struct ImportRequest {
    std::string registerName;     // "Kund", "Resurser" or "Bokningar"
    std::string path;             // the register file
    bool deleteFirst = false;     // empty the register (customers with ID -1 and lower spared) first
    std::vector<int> fieldTypes;  // the type code (typecode::) of each database field, by position
    bool dryRun = false;          // run everything, then undo it
};

using SteadyTime = std::chrono::steady_clock::time_point;

struct ImportProgress {
    std::int32_t inserted = 0;
    std::uint64_t bytesRead = 0, bytesTotal = 0;  // of the register file
};

// The shortest time between two progress reports (and one at the end of the file).
inline constexpr std::chrono::milliseconds kImportProgressInterval{100};

// What the import works with besides the request. Every callback may be empty.
struct ImportServices {
    ImportServices(db::Database& database, std::string language) : db(database), Språk(std::move(language)) {}

    db::Database& db;  // the job's own connection; no transaction of the caller's may be open
    // Given, an import that empties the register first does its work on a
    // copy of the database taken in one short read (OpenStagingCopy), and
    // only puts the register's new rows into the database in one short
    // transaction at its end: the booking system waits seconds less.
    db::DBEngine* engine = nullptr;
    std::string Språk;  // "se" or "en", the language of the links' captions
    // A monotonic clock; tests step it by hand.
    std::function<SteadyTime()> now = [] { return std::chrono::steady_clock::now(); };
    // Called at most once per kImportProgressInterval, and at the end of the file.
    std::function<void(const ImportProgress&)> progress;
    // Asked before every line; true stops the import (ImportStop::Cancelled).
    std::function<bool()> cancelled;
    // Called for every line that is skipped, with its number and its text as read.
    std::function<void(long line, SkipReason why, std::string_view text)> skipped;
    // Told what the import meets that changes nothing it answers: a
    // rollback that failed (the engine undoes it at the next opening), a
    // staging copy that could not be closed or removed.
    const Notices* notices = &Notices::none();
};

// Lets `progress` (none: nobody) watch an import: the bytes of the file
// read are its progress, and a stop it asks for cancels the import.
void watchImport(ImportServices& services, JobProgress* progress);

// An import that empties the register first, run whole on a staging copy of
// the database (stageImport) and not yet in it: the question before the
// register is emptied comes between the two, once the whole file is known
// to go in. Destroyed unused, it changes nothing.
class StagedImport {
public:
    StagedImport() = default;
    StagedImport(StagedImport&&) noexcept;
    ~StagedImport();

    // The import as run on the copy: a stop, or the counts it would give
    // (deleted: the copy's; the database's are known when it goes in).
    const ImportOutcome& outcome() const { return outcome_; }
    // Whether there is anything to put in place (no stop, no dry run).
    bool ready() const { return copy_ != nullptr; }
    // Closes and removes the copy; a failure to is told to the notices.
    void discard();

private:
    friend StagedImport stageImport(const LinkTable&, const ImportRequest&, ImportServices&);
    friend ImportOutcome putStagedInPlace(StagedImport&, const ImportRequest&, ImportServices&);
    ImportOutcome outcome_;
    std::unique_ptr<db::Database> copy_;
    const Notices* notices_ = &Notices::none();
};

// Runs the import of `request` (delete-first; services.engine given) on a
// staging copy taken in one short read, the database untouched: the long
// part of the import, with its progress, Cancel and every refusal.
StagedImport stageImport(const LinkTable& links, const ImportRequest& request, ImportServices& services);

// Puts what `staged` holds into services.db in one short transaction and
// answers the import's outcome; a staged stop is answered as it is.
ImportOutcome putStagedInPlace(StagedImport& staged, const ImportRequest& request, ImportServices& services);

// Imports request.path into its register through `links` (one row per
// link, in the mapping dialog's order). Never throws; see ImportOutcome.
// Before anything changes it refuses: a file it cannot read, a link without
// a column, two links to one column, a link outside the file's or the
// register's fields, an unlinked column that needs a value, and delete-first
// without a link to ID while another table refers to the register's records
// (renumbering them would point those records at other ones). Values of the
// file that no link takes are the plan's to refuse (registers/import_plan.h).
ImportOutcome importRegister(const LinkTable& links, const ImportRequest& request, ImportServices& services);

}  // namespace vexla
