// The notices of a run (common/platform/notices.h) as the system log and the
// activity log get them.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "common/platform/notices.h"
#include "common/platform/system_log.h"
#include "common/platform/text_source.h"

namespace vexla {

// A notice in the user's language: the text of `code`, ": ", `path` and ": "
// (left out when the error names that file itself), then the error's number
// and its description as describedFileError words it.
std::string noticeLine(TextSource& texts, const std::string& code, const std::string& path, const Error& e);

// The notices of the unattended job, kept for the activity log, which gets
// them after the job's own lines. Told from any thread.
class KeptNotices {
public:
    void keep(std::string line);
    // The lines kept so far, in the order told; none are kept after.
    std::vector<std::string> take();

private:
    std::mutex mutex_;
    std::vector<std::string> lines_;
};

// Notices told to the system log at Warning: noticeLine, then the engine's
// or the system's own English words of the error in brackets when the error
// carries them (what support looks up, the errno's text or the engine's
// message), after the user's name as the activity log's lines are mirrored
// there; also kept in `kept` (without the user's name) when given.
class SystemLogNotices final : public Notices {
public:
    SystemLogNotices(TextSource& texts, SystemLog& log, KeptNotices* kept = nullptr)
        : texts_(texts), log_(log), kept_(kept) {}
    void tell(const std::string& code, const std::string& path, const Error& e) const override;

private:
    TextSource& texts_;
    SystemLog& log_;
    KeptNotices* kept_;
};

}  // namespace vexla
