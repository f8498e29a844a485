#include "session/job_notices.h"

#include <utility>

#include "common/file_writing.h"
#include "session/activity_log.h"

namespace vexla {

std::string noticeLine(TextSource& texts, const std::string& code, const std::string& path, const Error& e) {
    // A folder's error names it with its separator ("/srv/vexla/").
    const bool named = !e.file.empty() && e.file.starts_with(path) && e.file.size() <= path.size() + 1;
    return texts.TextTillAndra(code) + ": " + (named || path.empty() ? "" : path + ": ") + std::to_string(e.number) +
           " " + describedFileError(e, texts).description;
}

void KeptNotices::keep(std::string line) {
    const std::lock_guard lock(mutex_);
    lines_.push_back(std::move(line));
}

std::vector<std::string> KeptNotices::take() {
    const std::lock_guard lock(mutex_);
    return std::exchange(lines_, {});
}

void SystemLogNotices::tell(const std::string& code, const std::string& path, const Error& e) const {
    std::string line = noticeLine(texts_, code, path, e);
    if (!e.worded && !e.description.empty()) line += " [" + e.description + "]";
    log_.write(LogPriority::Warning, systemLine(log_.userName(), line));
    if (kept_) kept_->keep(line);
}

}  // namespace vexla
