// Failures that change nothing a step does or answers, but that leave
// something an administrator should hear of: a file of ours that could not
// be removed, a folder that could not be listed or synced, a database that
// could not be closed cleanly. The steps that meet one tell it here; a
// job's context tells it to the system log (and, unattended, to the
// activity log after the job's own lines): JobContext::notice.
#pragma once

#include <string>

#include "common/result.h"

namespace vexla {

// What a notice says was not done (language text codes).
namespace notice {
// A file of ours that could not be removed stays behind.
inline constexpr const char* LeftBehind = "R9585";
// A folder that could not be listed: its leftovers were not looked for.
inline constexpr const char* LeftoversNotSought = "R9586";
// A folder that could not be listed: no old backup in it was deleted.
inline constexpr const char* BackupsNotPruned = "R9587";
// A folder that could not be listed: no backup's counts were compared.
inline constexpr const char* BackupsNotCompared = "R9588";
// A rename or removal in a folder that could not be made durable.
inline constexpr const char* FolderNotSynced = "R9589";
// A database or file that could not be closed cleanly.
inline constexpr const char* NotClosed = "R9590";
// A rollback that failed: the engine undoes the changes at the next opening.
inline constexpr const char* NotRolledBack = "R9591";
// The user's remembered folders could not be saved.
inline constexpr const char* FoldersNotSaved = "R9592";
// The hold on the booking system's writers could not be let go: it ends
// when its connection is closed.
inline constexpr const char* NotReleased = "R9593";
}  // namespace notice

class Notices {
public:
    virtual ~Notices() = default;
    // `code`: the text code of what was not done; `path`: the file or
    // folder it concerns; `e`: the failure.
    virtual void tell(const std::string& code, const std::string& path, const Error& e) const = 0;

    // Notices that go nowhere: for tests and tools that tell nobody.
    static const Notices& none();
};

}  // namespace vexla
