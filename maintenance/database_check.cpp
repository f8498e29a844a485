#include "maintenance/database_check.h"
#include "texts/text_codes.h"

#include <chrono>

#include <algorithm>
#include <thread>

#include "db/errors.h"
#include "maintenance/examination.h"

namespace vexla {

namespace {

// The steps the check reports its progress in.
enum CheckStep : std::uint64_t { Opening = 1, EngineCheck, Reading, Done };

// How many of the engine check's messages the lines show.
constexpr std::size_t kEngineLines = 5;

// The text of the missing thing a link names ("utan kund").
const char* missingCode(const db::LinkCheck& link) {
    if (link.parent.empty()) return txt::WithoutGroup;
    return link.parent == "Kund" ? txt::WithoutCustomer : txt::WithoutResource;
}

std::string idList(const std::vector<long long>& ids) {
    std::string list;
    for (long long id : ids) list += (list.empty() ? "" : ", ") + std::to_string(id);
    return list;
}

// The link findings of `table` in the user's words, joined by "; ".
std::string linkNote(JobContext& ctx, const CheckOutcome& outcome, const std::string& table) {
    std::string note;
    for (const LinkFinding& f : outcome.links) {
        if (f.link.table != table || f.found.count == 0) continue;
        note += (note.empty() ? "" : "; ") + std::to_string(f.found.count) + " " + ctx.text(missingCode(f.link)) +
                " (" + ctx.text(txt::IdWord) + " " + idList(f.found.firstIds) +
                (f.found.count > kFirstIds ? ", ..." : "") + ")";
    }
    return note;
}

// An index in the user's words: the engine names the indexes of a table's
// keys itself ("sqlite_autoindex_Kund_1"), so those are named by their
// table alone.
std::string indexWords(JobContext& ctx, const db::ObjectReading& o) {
    const std::string table = registerWords(ctx, o.table);
    const std::string automatic = "sqlite_autoindex_" + o.table + "_";
    if (o.name.rfind(automatic, 0) != 0) return ctx.text(txt::IndexWord) + " " + o.name + " (" + table + ")";
    const std::string number = o.name.substr(automatic.size());
    return ctx.text(txt::AutomaticIndexOf) + " " + table + (number == "1" ? "" : " " + number);
}

// Follows every link of the booking data that the file has.
Status followLinks(db::ExaminedFile& file, std::vector<LinkFinding>& links) {
    for (const db::LinkCheck& link : bookingLinks()) {
        auto found = file.RowsWithoutLink(link, kFirstIds);
        if (!found) return found.error();
        if (*found) links.push_back({link, **found});
    }
    return {};
}

Status check(JobContext& ctx, db::ExaminedFile& file, CheckOutcome& outcome) {
    const auto step = [&](CheckStep s) { return ctx.advance(s, Done, ProgressUnit::Steps); };
    if (!step(EngineCheck)) return stoppedByUser();
    Result<std::vector<std::string>> messages = std::vector<std::string>{};
    Status linked;
    // The links are followed beside the engine check, through the file's
    // second connection: on a whole file they cost no time of their own.
    // On a damaged one their findings are dropped.
    if (auto s = stoppableExamination(ctx, file,
                                      [&] {
                                          std::thread links([&] { linked = followLinks(file, outcome.links); });
                                          messages = file.EngineCheck(ctx.fullCheck);
                                          links.join();
                                          if (!messages) return Status(messages.error());
                                          return messages->empty() ? linked : Status();
                                      });
        !s)
        return s;
    outcome.engineMessages = *messages;
    if (!step(Reading)) return stoppedByUser();
    if (outcome.damaged()) {
        outcome.links.clear();
        Result<std::vector<db::ObjectReading>> objects = std::vector<db::ObjectReading>{};
        Status s = stoppableExamination(
            ctx, file, [&] { return (objects = file.ReadEachObject()) ? Status() : Status(objects.error()); });
        if (s) outcome.objects = *objects;
        return s;
    }
    auto tables = file.TableNames();
    if (!tables) return tables.error();
    // Every table's rows: those the links counted on their way, the others counted now.
    for (const std::string& table : *tables) {
        const auto counted = std::find_if(outcome.links.begin(), outcome.links.end(),
                                          [&](const LinkFinding& f) { return f.link.table == table; });
        if (counted != outcome.links.end()) {
            outcome.rows.emplace_back(table, counted->found.rows);
            continue;
        }
        Result<std::optional<long>> rows = std::optional<long>();
        if (auto s = stoppableExamination(
                ctx, file, [&] { return (rows = file.RowCount(table)) ? Status() : Status(rows.error()); });
            !s)
            return s;
        outcome.rows.emplace_back(table, rows->value_or(0));
    }
    return {};
}

}  // namespace

const std::vector<db::LinkCheck>& bookingLinks() {
    static const std::vector<db::LinkCheck> links{
        {"Bokning", "KundID", "Kund", "ID"},
        {"Bokning", "PersonID", "Person", "ID"},
        {"PrelBokning", "KundID", "Kund", "ID"},
        {"PrelBokning", "PersonID", "Person", "ID"},
        {"Users", "GruppID", "", ""},
    };
    return links;
}

bool CheckOutcome::linksBroken() const {
    if (failure || damaged()) return false;
    return std::any_of(links.begin(), links.end(), [](const LinkFinding& f) { return f.found.count > 0; });
}

bool CheckOutcome::held() const {
    return failure && (failure->number == db::err::OpenedExclusively || failure->number == db::err::RecordLocked);
}

std::vector<db::ObjectReading> CheckOutcome::unreadable() const {
    std::vector<db::ObjectReading> found;
    std::copy_if(objects.begin(), objects.end(), std::back_inserter(found),
                 [](const db::ObjectReading& o) { return !o.whole; });
    return found;
}

CheckOutcome checkDatabase(JobContext& ctx, const std::string& path) {
    CheckOutcome outcome;
    ctx.report(Opening, Done, ProgressUnit::Steps);
    auto file = openBookingFile(ctx, path.empty() ? ctx.main.state().DataBas : path);
    if (!file) {
        outcome.failure = file.error();
        return outcome;
    }
    const auto began = std::chrono::steady_clock::now();
    const bool keepsCommitsOut = (*file)->KeepsCommitsOut();
    Status s = check(ctx, **file, outcome);
    ctx.close(**file, path.empty() ? ctx.main.state().DataBas : path);
    const double held = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    if (!s) {
        outcome = CheckOutcome{};
        outcome.failure = ctx.described(s.error());
    } else {
        ctx.report(Done, Done, ProgressUnit::Steps);
    }
    if (keepsCommitsOut) outcome.heldSeconds = held;
    return outcome;
}

std::vector<std::string> checkLines(JobContext& ctx, const CheckOutcome& outcome) {
    if (outcome.failure) return {failureLine(ctx, *outcome.failure)};
    std::vector<std::string> lines;
    if (outcome.damaged()) {
        lines.push_back(ctx.text(txt::VerdictDamaged));
        // The engine's own words, the first few: the tables and indexes below say what they mean.
        for (std::size_t i = 0; i < outcome.engineMessages.size() && i < kEngineLines; ++i)
            lines.push_back("  " + outcome.engineMessages[i]);
        if (outcome.engineMessages.size() > kEngineLines) lines.push_back("  ...");
        const auto unreadable = outcome.unreadable();
        for (const db::ObjectReading& o : outcome.objects) {
            const std::string name = o.index ? ctx.text(txt::IndexWord) + " " + o.name + " (" + o.table + ")" : o.name;
            if (o.whole)
                lines.push_back(name + ": " + std::to_string(o.entries) + " " +
                                ctx.text(o.index ? txt::EntriesWord : txt::RowsWord));
            else
                lines.push_back(name + ": " + ctx.text(txt::CannotBeReadInFull) + ", " + std::to_string(o.entries) +
                                " " + ctx.text(o.index ? txt::EntriesWord : txt::RowsWord) + " " +
                                ctx.text(txt::ReadWord));
        }
        if (unreadable.empty()) lines.push_back(ctx.text(txt::DamageOutsideTables));
        lines.push_back(ctx.text(txt::RescueAdvice));
        return lines;
    }
    lines.push_back(ctx.text(outcome.linksBroken() ? txt::VerdictLinksBroken : txt::VerdictSound));
    for (const auto& [table, rows] : outcome.rows) {
        const std::string note = linkNote(ctx, outcome, table);
        lines.push_back(table + ": " + std::to_string(rows) + " " + ctx.text(txt::RowsWord) +
                        (note.empty() ? "" : "; " + note));
    }
    return lines;
}

std::string registerWords(JobContext& ctx, const std::string& table) {
    if (table == "Kund") return ctx.text(txt::CustomersFrame);
    if (table == "Person") return ctx.text(txt::ResourcesFrame);
    if (table == "Bokning") return ctx.text(txt::BookingsFrame);
    return table;
}

std::vector<CheckRow> checkRows(JobContext& ctx, const CheckOutcome& outcome) {
    std::vector<CheckRow> rows;
    if (outcome.failure) return rows;
    for (const auto& [table, count] : outcome.rows)
        rows.push_back({registerWords(ctx, table), table, false, count, count, true, linkNote(ctx, outcome, table)});
    for (const db::ObjectReading& o : outcome.objects) {
        // Whatever of its table reads whole counts the table's rows.
        const auto whole = std::find_if(outcome.objects.begin(), outcome.objects.end(),
                                        [&](const db::ObjectReading& w) { return w.whole && w.table == o.table; });
        std::optional<long> expected;
        if (o.whole)
            expected = o.entries;
        else if (whole != outcome.objects.end())
            expected = whole->entries;
        rows.push_back({o.index ? indexWords(ctx, o) : registerWords(ctx, o.table),
                        o.table,
                        o.index,
                        o.entries,
                        expected,
                        o.whole,
                        {}});
    }
    return rows;
}

}  // namespace vexla
