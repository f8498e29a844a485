#include "maintenance/backup_counts.h"

#include <algorithm>
#include <regex>

#include "maintenance/examination.h"

namespace vexla {

std::vector<std::string> backupsNewestFirst(FileSystem& files, const std::string& folder) {
    static const std::regex name(R"(Vexla(\d{4})-(\d{2})-(\d{2})(?:-([1-9]\d{0,5}))?\.db)");
    auto names = files.listFolder(folder);
    if (!names) return {};
    // (day, n) of each backup: "2026-12-04" and n sort as the calendar does.
    std::vector<std::pair<std::pair<std::string, long>, std::string>> found;
    for (const std::string& n : *names) {
        std::smatch m;
        if (!std::regex_match(n, m, name)) continue;
        const std::string day = m[1].str() + m[2].str() + m[3].str();
        found.push_back({{day, m[4].matched ? std::stol(m[4].str()) : 1}, folder + kPathSeparator + n});
    }
    std::sort(found.rbegin(), found.rend());
    std::vector<std::string> paths;
    for (const auto& f : found) paths.push_back(f.second);
    return paths;
}

std::optional<BackupCounts> newestSoundBackupCounts(JobContext& ctx, const std::string& folder,
                                                    const std::vector<std::string>& tables, const std::string& except) {
    for (const std::string& path : backupsNewestFirst(ctx.platform.files, folder)) {
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
        (void)(*file)->Close();  // only read
        if (counts) return counts;
    }
    return std::nullopt;
}

}  // namespace vexla
