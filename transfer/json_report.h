// The --json answer of vexla-transfer: one object per run, for a script to
// read instead of the localized texts. "command" and "status" (the exit
// status) always, the job's own figures, and "error" {"number", "text"}
// when the run failed.
#pragma once

#include <QJsonArray>
#include <QJsonObject>

#include <optional>
#include <string>
#include <vector>

#include "maintenance/backup_list.h"
#include "maintenance/compaction.h"
#include "maintenance/database_check.h"
#include "maintenance/database_copy.h"
#include "maintenance/database_rescue.h"
#include "maintenance/restore.h"
#include "registers/export_register.h"
#include "registers/import.h"

namespace vexla::transfer {

// A line the import skipped: its number in the file and why.
struct SkippedLine {
    long line = 0;
    SkipReason reason = SkipReason::WrongFieldCount;
};

// Why a run failed: the failure's error number (the file system's or the
// engine's; for a complaint of the program's own, the number of its text)
// and the text the run showed for it.
struct ReportedError {
    long number = 0;
    std::string text;
};

// Seconds with three decimals, as "held_s" says them.
double heldFigure(double seconds);

// The figures of each job, keys in English words with underscores.
// export: "records", "format" ("register" | "spreadsheet"), "encoding"
// ("windows-1252" | "utf-8"), "not_returnable" (records that will not come
// back unchanged), "not_returnable_ids" (the ID values of the first 20 of
// them, as text) and "held_s".
QJsonObject exportFigures(const ExportOutcome& outcome);
// import: "inserted", "deleted", "skipped" (total) and "skipped_lines"
// [{"reason": "field_count" | "duplicate_key", "line"}], every skipped
// line in file order, "dry_run", "held_s", how long the import kept the
// booking system's writers out, and "unmapped_values" [{"column" (1-based),
// "caption", "values" (lines holding one)}], the columns no link takes that
// stopped it for their values.
QJsonObject importFigures(const ImportOutcome& outcome, const std::vector<SkippedLine>& skipped, bool dryRun);
// compact: "backup", the backup written ("" when none is left), "held_s",
// the longest span in seconds the booking system could not commit, and
// "wal_bytes", log left for the booking system's next checkpoint.
QJsonObject compactionFigures(const CompactionOutcome& outcome);
// copy: "target", the copy written, and "backup", "held_s" and
// "wal_bytes" of the compaction after it.
QJsonObject copyFigures(const CopyOutcome& outcome);
// check: "result" ("sound", "damaged", "links_broken"; nothing after a
// failure), "engine_messages", "tables" {name: rows}, "links" [{"table",
// "column", "parent", "rows", "broken", "first_ids"}] and "unreadable"
// [{"name", "table", "index", "entries"}], and "held_s", how long its
// reading kept the booking system's commits out (rollback journal only).
QJsonObject checkFigures(const CheckOutcome& outcome);
// recover: "target", "backup" (whose counts stand in, "" when none) and
// "tables" [{"table", "rescued", "known", "lost"}], known and lost null
// where no count is known.
QJsonObject rescueFigures(const RescueOutcome& outcome);
// backups: "backups" [{"name", "path", "date" (yyyy-mm-dd), "size",
// "customers", "resources", "bookings" (-1 unreadable), "sound", "problem"}].
QJsonObject backupFigures(const std::vector<BackupEntry>& backups);
// restore: "backup", "kept", "held_s", "wal_bytes" (as compact), "before"
// and "restored" {"customers", "resources", "bookings"}.
QJsonObject restoreFigures(const RestoreOutcome& outcome);
// A refusal of a database in use: "holders" [{"program", "pid", "user"}],
// the processes that have it open, as far as this user may see them, or
// else the one our lock file names.
QJsonArray holdersFigure(const Error& refusal);

// The object as one line of compact JSON (UTF-8) and a line end: "command",
// "status", then `figures`, then "error" when given.
std::string jsonReport(const std::string& command, int status, const QJsonObject& figures,
                       const std::optional<ReportedError>& error);

}  // namespace vexla::transfer
