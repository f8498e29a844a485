#include "common/file_writing.h"

#include "common/error_texts.h"
#include "common/system_user.h"

namespace vexla {

Status copyDurably(FileSystem& files, const Notices& notices, const std::string& from, const std::string& to,
                   const Placement& placement, bool* ownerKept, const std::function<bool()>& goOn) {
    auto file = files.createFile(to, placement);
    if (!file) return file.error();
    std::function<bool(std::uint64_t)> progress;
    if (goOn) progress = [&](std::uint64_t) { return goOn(); };
    Status s = (*file)->copyFrom(from, progress);
    if (s) s = (*file)->commit();
    if (!s) closeAbandoned(**file, notices);
    if (ownerKept) *ownerKept = !s || (*file)->ownerKept();
    return s;
}

void closeAbandoned(NewFile& file, const Notices& notices) {
    const std::string temporary = file.temporaryPath();
    if (Status closed = file.close(); !closed) notices.tell(txt::FileLeftBehind, temporary, closed.error());
}

Status renameDurably(FileSystem& files, const std::string& from, const std::string& to) {
    if (auto s = files.renameFile(from, to); !s) return s;
    return files.syncFolder(folderOf(to));
}

Status removeDurably(FileSystem& files, const std::string& path) {
    if (auto s = files.removeFile(path); !s) return s;
    return files.syncFolder(folderOf(path));
}

Error describedFileError(const Error& e, TextSource& texts) {
    if (e.worded) return e;
    Error d = e;
    d.description = errorDescription(e, texts);
    d.worded = true;
    // Permission is the user's: whoever reads the message may be another
    // user than the one the job ran as (cron, sudo), so the refused one is named.
    const bool denied = e.number == fserr::PermissionDenied && e.subject.empty();
    const std::string deniedTo = denied ? texts.TextTillAndra(txt::DeniedToUser) + " " + systemUserName() : "";
    if (e.file.empty() || e.what.empty()) {
        if (denied) d.description += " (" + deniedTo + ")";
        return d;
    }
    // A refusal may name whom it refused (a user) between its text and the file.
    const std::string whom = denied ? " " + deniedTo : e.subject.empty() ? "" : " " + e.subject;
    const std::string named = texts.TextTillAndra(e.what) + whom + ": " + e.file;
    // A refusal has no description of its own: what was refused says it all.
    d.description = e.description.empty() ? named : d.description + " (" + named + ")";
    d.what.clear();
    return d;
}

}  // namespace vexla
