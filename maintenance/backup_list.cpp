#include "maintenance/backup_list.h"
#include "texts/text_codes.h"

#include <algorithm>

#include "db/booking_file.h"
#include "db/conversion.h"
#include "db/database_path.h"
#include "db/errors.h"
#include "maintenance/backups.h"

namespace vexla {

namespace {

std::string count(JobContext& ctx, long n) { return n < 0 ? "?" : groupedNumber(ctx, n); }

}  // namespace

std::string groupedNumber(JobContext& ctx, long n) {
    const std::string digits = std::to_string(n < 0 ? -n : n);
    // The regional settings pair the digit grouping with the decimal mark:
    // a decimal comma (Swedish) with a no-break space, a decimal point
    // (English) with a comma.
    const std::string decimal = ctx.platform.locale.value(LocaleItem::DecimalSeparator).value_or("");
    const std::string separator = decimal == "," ? "\u00A0" : decimal == "." ? "," : "";
    std::string grouped = n < 0 ? "-" : "";
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) grouped += separator;
        grouped += digits[i];
    }
    return grouped;
}

Result<std::vector<BackupEntry>> listBackups(JobContext& ctx) {
    FileSystem& files = ctx.platform.files;
    const AdminState& state = ctx.main.state();
    // Backups of something that is no database would be nobody's: its cause is told instead.
    if (auto refused = db::refusalAsDatabaseFile(state.DataBas)) return ctx.described(*refused);
    auto database = files.info(state.DataBas, true);
    if (!database) return ctx.described(database.error());
    if (database->kind == FileKind::Missing) return ctx.described(db::fileNotFound(state.DataBas));
    auto names = files.listFolder(state.msSökväg);
    if (!names) return ctx.described(names.error());
    const long today = dayNumber(ctx.platform.clock.now());
    std::vector<std::pair<std::pair<long, int>, BackupEntry>> found;
    for (const std::string& name : *names) {
        const auto order = backupOrder(name);
        if (!order || order->first > today || isDatabaseName(ctx, name)) continue;
        BackupEntry entry;
        entry.name = name;
        entry.path = ctx.inDatabaseFolder(name);
        auto there = files.info(entry.path, false);
        if (!there || there->kind != FileKind::Regular || there->sameFile(*database)) continue;
        const db::BookingFileFacts facts = db::inspectBookingFile(entry.path, [&] { return ctx.stopRequested(); });
        if (facts.stopped) return ctx.described(stoppedByUser());
        // A database too damaged to show its tables is listed, as unsound.
        if (!facts.bookingDatabase && !facts.damaged) continue;
        entry.day = DateTime{static_cast<int>(order->first / 10000), static_cast<int>(order->first / 100 % 100),
                             static_cast<int>(order->first % 100)};
        entry.size = there->size;
        entry.counts = {facts.customers, facts.resources, facts.bookings};
        entry.sound = facts.sound;
        entry.problem = facts.problem;
        found.emplace_back(*order, std::move(entry));
    }
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    std::vector<BackupEntry> backups;
    for (auto& [order, entry] : found) backups.push_back(std::move(entry));
    return backups;
}

RegisterCounts databaseCounts(JobContext& ctx) { return databaseCountsAndSoundness(ctx).first; }

std::pair<RegisterCounts, bool> databaseCountsAndSoundness(JobContext& ctx) {
    const db::BookingFileFacts facts = db::inspectBookingFile(ctx.main.state().DataBas);
    return {{facts.customers, facts.resources, facts.bookings}, facts.sound};
}

std::vector<std::string> backupListLines(JobContext& ctx, const std::vector<BackupEntry>& backups) {
    std::vector<std::string> lines{ctx.text(txt::BackupsOf) + ": " + ctx.main.state().DataBas};
    if (backups.empty()) {
        lines.push_back(ctx.text(txt::NoBackups));
        return lines;
    }
    const std::string shortDate = ctx.platform.locale.value(LocaleItem::ShortDate).value_or("yyyy-MM-dd");
    std::vector<std::vector<std::string>> table{
        {ctx.text(txt::NameColumn), ctx.text(txt::DateColumn), ctx.text(txt::SizeColumn), ctx.text(txt::CustomersFrame),
         ctx.text(txt::ResourcesFrame), ctx.text(txt::BookingsFrame), ctx.text(txt::SoundColumn)}};
    for (const BackupEntry& b : backups)
        table.push_back({b.name, formatPicture(b.day, shortDate), groupedNumber(ctx, static_cast<long>(b.size)),
                         count(ctx, b.counts.customers), count(ctx, b.counts.resources), count(ctx, b.counts.bookings),
                         ctx.text(b.sound ? txt::SoundYes : txt::SoundNoDamaged)});
    std::vector<std::size_t> width(table[0].size(), 0);
    for (const auto& row : table)
        for (std::size_t c = 0; c < row.size(); ++c) width[c] = std::max(width[c], db::characterCount(row[c]));
    // Names and dates to the left, numbers to the right, the verdict last.
    for (const auto& row : table) {
        std::string line;
        for (std::size_t c = 0; c < row.size(); ++c) {
            const std::string pad(width[c] - db::characterCount(row[c]), ' ');
            const bool number = c >= 2 && c <= 5;
            line += (c ? "  " : "") + (number ? pad + row[c] : row[c] + (c + 1 < row.size() ? pad : ""));
        }
        lines.push_back(line);
    }
    return lines;
}

}  // namespace vexla
