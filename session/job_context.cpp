#include "session/job_context.h"
#include "texts/text_codes.h"

#include "common/datetime.h"
#include "common/file_writing.h"
#include "common/ini_file.h"
#include "common/temporary_files.h"

namespace vexla {

std::string JobContext::now() const {
    LocaleInfo& locale = platform.locale;
    return formatGeneral(platform.clock.now(), locale.value(LocaleItem::ShortDate).value_or("yyyy-MM-dd"),
                         locale.value(LocaleItem::TimeFormat).value_or("HH:mm:ss"));
}

void JobContext::runLong(const std::function<void(JobContext&)>& work) {
    if (runner)
        runner->run(*this, work);
    else
        work(*this);
}

Status JobContext::stoppable(db::Database& db, const std::function<Status()>& statement) const {
    if (stopRequested()) return stoppedByUser();
    db.InterruptWhen([this] { return stopRequested(); });
    const Status s = statement();
    db.InterruptWhen({});
    return !s && stopRequested() ? Status(stoppedByUser()) : s;
}

void JobContext::removeAbandonedFiles(const std::string& folder) const {
    const AbandonedCleanup cleanup = vexla::removeAbandonedFiles(platform.files, folder);
    for (const std::string& path : cleanup.removed) main.Logg(text(txt::LeftoverRemoved) + ": " + path);
    for (const Error& e : cleanup.failures) notice(txt::FileLeftBehind, e.file, e);
    if (cleanup.unlisted) notice(txt::LeftoversNotSought, folder, *cleanup.unlisted);
    if (cleanup.unsynced) notice(txt::FolderNotSynced, folder, *cleanup.unsynced);
}

void JobContext::noticeNotRemoved(const Error& e) const {
    const bool synced = e.what != txt::OpSync;
    notice(synced ? txt::FileLeftBehind : txt::FolderNotSynced, e.file, e);
}

void JobContext::close(db::Database& database) const {
    if (Status s = database.Close(); !s) notice(txt::NotClosedCleanly, database.Name(), s.error());
}

void JobContext::close(db::ExaminedFile& file, const std::string& path) const {
    if (Status s = file.Close(); !s) notice(txt::NotClosedCleanly, path, s.error());
}

Error JobContext::described(const Error& e) const { return describedFileError(e, texts); }

std::string numberAndDescription(const Error& e) { return std::to_string(e.number) + "\r\n" + e.description; }

std::optional<int> waitSecondsFrom(const std::string& value) {
    if (value.empty() || value.size() > 5 || value.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    const int seconds = std::stoi(value);
    return seconds <= 86400 ? std::optional(seconds) : std::nullopt;
}

double configuredWait(const std::string& ini) {
    return waitSecondsFrom(readIniString(ini, "System", "Wait", 16)).value_or(10);
}

}  // namespace vexla
