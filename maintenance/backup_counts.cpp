#include "maintenance/backup_counts.h"

#include <algorithm>

#include "maintenance/backups.h"
#include "maintenance/examination.h"

namespace vexla {

Result<std::vector<std::string>> backupsNewestFirst(FileSystem& files, const std::string& folder) {
    auto names = files.listFolder(folder);
    if (!names) return names.error();
    std::vector<std::pair<std::pair<long, int>, std::string>> found;
    for (const std::string& n : *names)
        if (const auto order = backupOrder(n)) found.push_back({*order, folder + kPathSeparator + n});
    std::sort(found.rbegin(), found.rend());
    std::vector<std::string> paths;
    for (const auto& f : found) paths.push_back(f.second);
    return paths;
}

std::optional<BackupCounts> newestSoundBackupCounts(JobContext& ctx, const std::string& folder,
                                                    const std::vector<std::string>& tables, const std::string& except) {
    auto backups = backupsNewestFirst(ctx.platform.files, folder);
    if (!backups) {
        ctx.notice(txt::BackupsNotCompared, folder, backups.error());
        return std::nullopt;
    }
    for (const std::string& path : *backups) {
        if (path == except) continue;
        auto file = openBookingFile(ctx, path);
        if (!file) continue;
        auto messages = (*file)->EngineCheck(false);
        std::optional<BackupCounts> counts;
        if (messages && messages->empty()) {
            counts = BackupCounts{path, {}};
            for (const std::string& table : tables)
                if (auto rows = (*file)->RowCount(table); rows && *rows) counts->rows[table] = **rows;
        }
        ctx.close(**file, path);
        if (counts) return counts;
    }
    return std::nullopt;
}

}  // namespace vexla
