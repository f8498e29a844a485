// The row counts of the newest sound backup of the booking database, which
// stand in for a damaged file's own when a rescue says what it lost.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "session/job_context.h"

namespace vexla {

struct BackupCounts {
    std::string path;
    std::map<std::string, long> rows;  // per table asked for, where it could be counted
};

// The backups in `folder`, newest first: "Vexla<yyyy-MM-dd>.db" and
// "Vexla<yyyy-MM-dd>-<N>.db" (backupOrder: a day of the calendar) by day,
// then N; other names are none. The listing's error when the folder cannot
// be listed.
Result<std::vector<std::string>> backupsNewestFirst(FileSystem& files, const std::string& folder);

// The counts of `tables` in the newest backup in `folder` (other than
// `except`, the file being rescued) that opens as a booking database and
// passes the quick check; nothing when there is none, or when the folder
// cannot be listed (told: txt::BackupsNotCompared). Backups are only read.
std::optional<BackupCounts> newestSoundBackupCounts(JobContext& ctx, const std::string& folder,
                                                    const std::vector<std::string>& tables, const std::string& except);

}  // namespace vexla
