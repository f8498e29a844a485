#include "maintenance/backups.h"
#include "texts/text_codes.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "common/file_writing.h"
#include "common/ini_file.h"
#include "db/booking_file.h"

namespace vexla {

long dayNumber(const DateTime& t) { return t.year * 10000L + t.month * 100L + t.day; }

std::optional<std::pair<long, int>> backupOrder(const std::string& name) {
    const auto digits = [&](std::size_t from, std::size_t n) {
        if (from + n > name.size()) return false;
        return std::all_of(name.begin() + static_cast<long>(from), name.begin() + static_cast<long>(from + n),
                           [](unsigned char c) { return std::isdigit(c); });
    };
    if (name.size() < 18 || name.compare(0, 5, "Vexla") != 0 || !digits(5, 4) || name[9] != '-' || !digits(10, 2) ||
        name[12] != '-' || !digits(13, 2) || name.compare(name.size() - 3, 3, ".db") != 0)
        return std::nullopt;
    const DateTime date{std::stoi(name.substr(5, 4)), std::stoi(name.substr(10, 2)), std::stoi(name.substr(13, 2))};
    if (!isValid(date)) return std::nullopt;
    const long day = dayNumber(date);
    if (name.size() == 18) return std::make_pair(day, 1);
    const std::string n = name.substr(16, name.size() - 19);
    if (name[15] != '-' || n.empty() || n.size() > 6 || n[0] == '0' || !digits(16, n.size())) return std::nullopt;
    return std::make_pair(day, std::stoi(n));
}

bool isDatabaseName(JobContext& ctx, const std::string& name) {
    const std::string& path = ctx.main.state().DataBas;
    return path.size() > name.size() && path.ends_with(name) && path[path.size() - name.size() - 1] == kPathSeparator;
}

Status secondName(JobContext& ctx, const std::string& real, const std::string& name, const FileInfo& database,
                  unsigned copyMode, bool durable, bool copy) {
    FileSystem& files = ctx.platform.files;
    if (!copy) {
        Status s = files.linkFile(real, name);
        if (s) return durable ? files.syncFolder(folderOf(name)) : Status();
        if (s.error().number == fserr::FileExists) return s;
    }
    Placement placement;
    placement.replace = false;
    placement.mode = copyMode;
    placement.owner = std::make_pair(database.uid, database.gid);
    placement.durable = durable;
    placement.database = ctx.main.state().DataBas;
    bool ownerKept = true;
    Status s =
        copyDurably(files, ctx.notices(), real, name, placement, &ownerKept, [&] { return !ctx.stopRequested(); });
    if (s && !ownerKept) ctx.main.Logg(ctx.text(txt::CopyWithoutGroup) + ": " + name);
    return s;
}

Result<std::string> makeBackup(JobContext& ctx, const std::string& real, const FileInfo& database, bool copy,
                               bool durable) {
    const DateTime today = ctx.platform.clock.now();
    for (int n = 1;; ++n) {
        const std::string backup = ctx.inDatabaseFolder(backupName(today, n));
        auto there = ctx.platform.files.info(backup, false);
        if (!there) return there.error();
        if (there->kind != FileKind::Missing) continue;
        Status s = secondName(ctx, real, backup, database, database.mode, durable, copy);
        if (s) return backup;
        if (s.error().number != fserr::FileExists) return s.error();
    }
}

void keepNewestBackups(JobContext& ctx, const std::string& written, const FileInfo& database) {
    const std::string ini = ctx.platform.programFolder + "/Vexla.ini";
    const std::string value = readIniString(ini, "System", "BackupKeep", 32);
    if (value.empty()) return;
    const bool number =
        value.size() <= 6 && std::all_of(value.begin(), value.end(), [](unsigned char c) { return std::isdigit(c); });
    if (!number || std::stol(value) < 1) {
        ctx.main.Logg(ctx.text(txt::BackupKeepInvalid) + ": BackupKeep=" + value);
        return;
    }
    FileSystem& files = ctx.platform.files;
    auto names = files.listFolder(ctx.main.state().msSökväg);
    if (!names) {
        ctx.notice(txt::BackupsNotPruned, ctx.main.state().msSökväg, names.error());
        return;
    }
    const DateTime now = ctx.platform.clock.now();
    const long today = dayNumber(now);
    std::vector<std::pair<std::pair<long, int>, std::string>> backups;
    for (const std::string& name : *names) {
        const auto order = backupOrder(name);
        const std::string path = ctx.inDatabaseFolder(name);
        if (!order || order->first > today || isDatabaseName(ctx, name) || path == written) continue;
        auto there = files.info(path, false);
        // One that cannot be looked at is kept, and said to be.
        if (!there) ctx.notice(txt::BackupsNotPruned, path, there.error());
        if (!there || there->kind != FileKind::Regular || there->sameFile(database) || !db::isBookingDatabase(path))
            continue;
        backups.emplace_back(*order, path);
    }
    std::sort(backups.rbegin(), backups.rend());
    const std::size_t keep = static_cast<std::size_t>(std::stol(value)) - (written.empty() ? 0 : 1);
    for (std::size_t i = keep; i < backups.size(); ++i) {
        const std::string& path = backups[i].second;
        if (Status s = removeDurably(files, path); !s)
            ctx.main.Logg(numberAndDescription(ctx.described(s.error())));
        else
            ctx.main.Logg(ctx.text(txt::OldBackupDeleted) + ": " + path);
    }
}

std::string backupName(const DateTime& day, int n) {
    return "Vexla" + formatPicture(day, "yyyy-MM-dd") + (n > 1 ? "-" + std::to_string(n) : "") + ".db";
}

}  // namespace vexla
