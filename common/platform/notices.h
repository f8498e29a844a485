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

class Notices {
public:
    virtual ~Notices() = default;
    // `code`: the text code of what was not done (txt::FileLeftBehind,
    // txt::FolderNotSynced, ...); `path`: the file or folder it concerns;
    // `e`: the failure.
    virtual void tell(const std::string& code, const std::string& path, const Error& e) const = 0;

    // Notices that go nowhere: for tests and tools that tell nobody.
    static const Notices& none();
};

}  // namespace vexla
