// One import as every front end runs it: the request built from the register,
// its fields and the file, the links (automatic, a mapping file's or the
// dialog's), the refusals made before anything changes, the report of the
// skipped lines, and the import itself. The window and vexla-transfer only
// ask (a question, an option) and render the outcome.
//
// Nothing in the file is dropped without being counted: a column of the file
// that no link takes but that holds a value on some line refuses the import
// (ImportStop::ValuesUnlinked) unless the caller leaves it out knowingly
// (ImportChoices::ignoredColumns). Which columns hold values is found by one
// pass over the file before the import (scanRegisterFile): it reads as the
// import reads, never holds the file whole, and keeps the booking system out
// of nothing. Finding them during the import's own pass instead would cost
// no second read, but an import refused at its end would have kept the
// writers out for its whole length only to roll back, and the window could
// not ask before it starts.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/platform/file_system.h"
#include "common/platform/notices.h"
#include "common/platform/text_source.h"
#include "common/result.h"
#include "registers/import.h"
#include "registers/link_table.h"

namespace vexla {

class SkippedLinesReport;

// What one pass over a register file finds.
struct FileScan {
    long records = 0;  // the lines after the header that are not empty
    // Per field of the header: the lines of the header's field count that
    // hold a value there (empty for a header of more than kMaxFields fields).
    std::vector<long> valuesByColumn;  // 0 for a column not watched
};

// Reads the register file at `path` once as the import reads it (its
// records, split as the import splits them), counting its records and, for
// each column of `watched` (0-based), the lines that hold a value there:
// anything but blanks. The reader's error when the file cannot be read to
// its end.
Result<FileScan> scanRegisterFile(const std::string& path, std::vector<std::size_t> watched = {});

// Whether a field of a line holds a value: anything but spaces and tabs.
bool holdsValue(std::string_view field);

// The columns of `scan` that no link of `links` takes and `ignored` (1-based)
// does not name, that hold a value, in file order, named by `fileFields`.
std::vector<UnlinkedColumn> unlinkedColumns(const FileScan& scan, const LinkTable& links,
                                            const std::vector<std::string>& fileFields,
                                            const std::vector<int>& ignored);

// What the caller chose for the import.
struct ImportChoices {
    bool deleteFirst = false;
    bool dryRun = false;
    std::vector<int> ignoredColumns;  // 1-based: columns whose values are left out knowingly
};

class ImportPlan {
public:
    // The import of the file at `path` into register `registerName` ("Kund",
    // "Resurser", "Bokningar"), whose fields have the type codes `fieldTypes`
    // (databaseFields, in order), through `links` between them and the file's
    // fields `fileFields` (its header, as the links name it).
    ImportPlan(std::string registerName, std::string path, std::vector<int> fieldTypes, LinkTable links,
               std::vector<std::string> fileFields, ImportChoices choices);
    ~ImportPlan();
    ImportPlan(ImportPlan&&) noexcept;

    const ImportRequest& request() const { return request_; }
    const LinkTable& links() const { return links_; }

    // Why the import may not run, as a stopped outcome that changed nothing:
    // no link (NoLinks, the file not read), or columns holding values that
    // no link takes and the choices do not leave out (ValuesUnlinked,
    // outcome.unlinked lists them). Reads the file once, the first time; a
    // file that cannot be read to its end refuses nothing here: the import
    // stops at the same place and says so.
    std::optional<ImportOutcome> refusal();
    // Leaves the columns of `columns` out as well (the window's Yes).
    void ignore(const std::vector<UnlinkedColumn>& columns);

    // Writes every skipped line of the run to a new report at `path` (the
    // database `database` and the register file are never its target). The
    // file system's error when it cannot be made.
    Status reportTo(FileSystem& files, const std::string& path, const std::string& database, TextSource& texts,
                    const Notices& notices);
    // An import that empties the register first, with a staging engine
    // (services.engine): runs it whole on the staging copy unless refusal()
    // refuses it, the database untouched, and keeps it for run(). Its
    // outcome: a stop (nothing kept), or what run() would put in place
    // (inserted: the file's records). Any other import stages nothing and
    // answers no stop: run() does all of it.
    ImportOutcome stage(ImportServices& services);
    // Runs the import through `services` unless refusal() refuses it, the
    // report written as it goes and put in place at the end: what stage()
    // kept goes into the database in one short transaction.
    ImportOutcome run(ImportServices& services);
    // Whether the report was written and put in place (ok without a report).
    const Status& reportWritten() const { return reportWritten_; }

private:
    ImportRequest request_;
    LinkTable links_;
    std::vector<std::string> fileFields_;
    std::vector<int> ignored_;
    std::optional<Result<FileScan>> scan_;
    std::unique_ptr<SkippedLinesReport> report_;
    std::optional<StagedImport> staged_;
    Status reportWritten_;

    // The file's columns no link takes (0-based): the scan watches these only.
    std::vector<std::size_t> unlinkedPositions() const;
};

}  // namespace vexla
