#include "transfer/json_report.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <cmath>

#include <cstdio>

namespace vexla::transfer {

namespace {

QString q(const std::string& text) { return QString::fromStdString(text); }

QJsonObject countsObject(const RegisterCounts& counts) {
    return {{"customers", static_cast<qint64>(counts.customers)},
            {"resources", static_cast<qint64>(counts.resources)},
            {"bookings", static_cast<qint64>(counts.bookings)}};
}

QJsonValue optionalCount(const std::optional<long>& n) {
    return n ? QJsonValue(static_cast<qint64>(*n)) : QJsonValue(QJsonValue::Null);
}

}  // namespace

double heldFigure(double seconds) { return static_cast<double>(std::llround(seconds * 1000)) / 1000; }

QJsonObject exportFigures(const ExportOutcome& outcome) {
    QJsonObject o;
    const bool sheet = outcome.layout.format == FileFormat::Spreadsheet;
    o["records"] = static_cast<qint64>(outcome.n);
    o["format"] = sheet ? "spreadsheet" : "register";
    o["encoding"] = sheet && outcome.layout.encoding == SheetEncoding::Utf8 ? "utf-8" : "windows-1252";
    o["not_returnable"] = static_cast<qint64>(outcome.counts.notReturnable);
    QJsonArray ids;
    for (const std::string& id : outcome.counts.notReturnableIds) ids.append(QString::fromStdString(id));
    o["not_returnable_ids"] = ids;
    o["held_s"] = heldFigure(outcome.heldSeconds);
    return o;
}

QJsonObject importFigures(const ImportOutcome& outcome, const std::vector<SkippedLine>& skipped, bool dryRun) {
    QJsonArray lines;
    for (const SkippedLine& s : skipped)
        lines.append(QJsonObject{{"reason", s.reason == SkipReason::DuplicateKey ? "duplicate_key" : "field_count"},
                                 {"line", static_cast<qint64>(s.line)}});
    QJsonArray unmapped;
    for (const UnlinkedColumn& c : outcome.unlinked)
        unmapped.append(
            QJsonObject{{"column", c.column}, {"caption", q(c.caption)}, {"values", static_cast<qint64>(c.values)}});
    return {{"inserted", static_cast<qint64>(outcome.inserted)},
            {"unmapped_values", unmapped},
            {"deleted", static_cast<qint64>(outcome.deleted)},
            {"skipped", static_cast<qint64>(outcome.skipped())},
            {"skipped_lines", lines},
            {"dry_run", dryRun},
            {"held_s", heldFigure(outcome.heldSeconds)}};
}

QJsonObject compactionFigures(const CompactionOutcome& outcome) {
    return {{"backup", q(outcome.backup)},
            {"held_s", heldFigure(outcome.heldSeconds)},
            {"wal_bytes", static_cast<qint64>(outcome.walBytes)}};
}

QJsonObject copyFigures(const CopyOutcome& outcome) {
    return {{"target", q(outcome.target)},
            {"backup", q(outcome.compaction.backup)},
            {"held_s", heldFigure(outcome.compaction.heldSeconds)},
            {"wal_bytes", static_cast<qint64>(outcome.compaction.walBytes)}};
}

QJsonObject checkFigures(const CheckOutcome& outcome) {
    QJsonObject figures{{"held_s", heldFigure(outcome.heldSeconds)}};
    if (!outcome.failure)
        figures["result"] = outcome.damaged() ? "damaged" : outcome.linksBroken() ? "links_broken" : "sound";
    QJsonArray messages;
    for (const std::string& m : outcome.engineMessages) messages.append(q(m));
    figures["engine_messages"] = messages;
    QJsonObject tables;
    for (const auto& [table, rows] : outcome.rows) tables[q(table)] = static_cast<qint64>(rows);
    figures["tables"] = tables;
    QJsonArray links;
    for (const LinkFinding& f : outcome.links) {
        QJsonArray ids;
        for (long long id : f.found.firstIds) ids.append(static_cast<qint64>(id));
        links.append(QJsonObject{{"table", q(f.link.table)},
                                 {"column", q(f.link.column)},
                                 {"parent", q(f.link.parent)},
                                 {"rows", static_cast<qint64>(f.found.rows)},
                                 {"broken", static_cast<qint64>(f.found.count)},
                                 {"first_ids", ids}});
    }
    figures["links"] = links;
    QJsonArray unreadable;
    for (const db::ObjectReading& r : outcome.unreadable())
        unreadable.append(QJsonObject{{"name", q(r.name)},
                                      {"table", q(r.table)},
                                      {"index", r.index},
                                      {"entries", static_cast<qint64>(r.entries)}});
    figures["unreadable"] = unreadable;
    return figures;
}

QJsonObject rescueFigures(const RescueOutcome& outcome) {
    QJsonArray tables;
    for (const RescuedTable& t : outcome.tables)
        tables.append(QJsonObject{{"table", q(t.table)},
                                  {"rescued", static_cast<qint64>(t.rescued)},
                                  {"known", optionalCount(t.known)},
                                  {"lost", optionalCount(t.lost())}});
    return {{"target", q(outcome.target)}, {"backup", q(outcome.backup)}, {"tables", tables}};
}

QJsonObject backupFigures(const std::vector<BackupEntry>& backups) {
    QJsonArray list;
    for (const BackupEntry& b : backups) {
        char day[16];
        std::snprintf(day, sizeof day, "%04d-%02d-%02d", b.day.year, b.day.month, b.day.day);
        QJsonObject entry{{"name", q(b.name)}, {"path", q(b.path)},
                          {"date", day},       {"size", static_cast<qint64>(b.size)},
                          {"sound", b.sound},  {"problem", q(b.problem)}};
        const QJsonObject counts = countsObject(b.counts);
        for (auto it = counts.begin(); it != counts.end(); ++it) entry[it.key()] = it.value();
        list.append(entry);
    }
    return {{"backups", list}};
}

QJsonObject restoreFigures(const RestoreOutcome& outcome) {
    return {{"backup", q(outcome.backup)},
            {"held_s", heldFigure(outcome.heldSeconds)},
            {"wal_bytes", static_cast<qint64>(outcome.walBytes)},
            {"kept", q(outcome.kept)},
            {"before", countsObject(outcome.before)},
            {"restored", countsObject(outcome.restored)}};
}

QJsonArray holdersFigure(const Error& refusal) {
    std::vector<Holder> openers = refusal.openers;
    // A refusal at our fence looks for no processes: the lock file named the holder.
    if (openers.empty() && refusal.holder.known()) openers.push_back(refusal.holder);
    QJsonArray holders;
    for (const Holder& h : openers)
        holders.append(
            QJsonObject{{"program", q(h.program)}, {"pid", static_cast<qint64>(h.pid)}, {"user", q(h.user)}});
    return holders;
}

std::string jsonReport(const std::string& command, int status, const QJsonObject& figures,
                       const std::optional<ReportedError>& error) {
    QJsonObject report = figures;
    report["command"] = q(command);
    report["status"] = status;
    if (error) report["error"] = QJsonObject{{"number", static_cast<qint64>(error->number)}, {"text", q(error->text)}};
    return QJsonDocument(report).toJson(QJsonDocument::Compact).toStdString() + "\n";
}

}  // namespace vexla::transfer
