// What every maintenance job works with: the main window (its state, its
// information line, its log), the platform, the language texts and the
// locale formats. Handed to each job whole.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "common/job_progress.h"
#include "common/paths.h"
#include "common/platform.h"
#include "common/platform/text_source.h"
#include "common/result.h"
#include "session/admin_state.h"
#include "session/job_notices.h"

namespace vexla {

class JobRunner;

struct JobContext {
    AdminWindow& main;
    Platform& platform;
    TextSource& texts;
    // The compaction checks its result with the full integrity check
    // instead of the quick check and the counts alone.
    bool fullCheck = false;
    // Where the long part of a job runs (runLong); none: right here.
    JobRunner* runner = nullptr;
    // Who watches the job's progress and may ask it to stop; none: nobody.
    JobProgress* progress = nullptr;
    // How long a job waits for the booking system's transactions to end
    // before it is refused (--wait, Wait= of Vexla.ini), in seconds.
    double waitSeconds = 10;
    // Where the job's notices are kept besides the system log (the
    // unattended job's, for the activity log); none: the system log alone.
    KeptNotices* keptNotices = nullptr;

    std::string text(const std::string& code) const { return texts.TextTillAndra(code); }
    // The current date and time as the system writes a date-time value.
    std::string now() const;
    // A failure's number and description, a file error naming its file and
    // what was done to it in the user's language.
    Error described(const Error& e) const;
    // Tells a failure that changes nothing the job does or answers but that
    // an administrator should hear of (common/platform/notices.h): to the
    // system log at Warning, and to keptNotices when set.
    void notice(const std::string& code, const std::string& path, const Error& e) const {
        notices().tell(code, path, e);
    }
    // A failure of removeDurably on a file of ours the job no longer
    // needs: told as that file left behind (txt::FileLeftBehind), or as its
    // folder not synced after the removal (txt::FolderNotSynced).
    void noticeNotRemoved(const Error& e) const;
    // The same for the steps below the jobs that take a Notices.
    SystemLogNotices notices() const { return {texts, platform.systemLog, keptNotices}; }
    // Closes a database of the job's, or a file it examined (`path`); a
    // failure frees it all the same and is told (txt::NotClosedCleanly).
    void close(db::Database& database) const;
    void close(db::ExaminedFile& file, const std::string& path) const;
    // Runs `work`, the part of a job that takes long and asks nothing, through
    // the runner: with a window it runs on a worker thread while the window
    // shows its progress, and `work` gets a context whose window and
    // platform may be used from there. Returns when `work` has ended.
    void runLong(const std::function<void(JobContext&)>& work);
    void report(std::uint64_t done, std::uint64_t total, ProgressUnit unit) const {
        if (progress) progress->report(done, total, unit);
    }
    bool stopRequested() const { return progress && progress->stopRequested(); }
    // Reports, and answers whether the job may go on (no stop was asked for).
    bool advance(std::uint64_t done, std::uint64_t total, ProgressUnit unit) const {
        report(done, total, unit);
        return !stopRequested();
    }
    // Runs `statement`, a long statement of `db`, so that a stop asked for
    // before or meanwhile interrupts it: its Status, or stoppedByUser()
    // after a stop.
    Status stoppable(db::Database& db, const std::function<Status()>& statement) const;
    // Removes what killed jobs left in `folder`: temporary files and
    // folders of ours whose writer is gone (common/temporary_files.h), never
    // a file of anybody else. Each path removed is logged (R9370); a path
    // that cannot be removed, a folder that cannot be listed (nothing was
    // looked for) or synced is told as a notice. The job goes on either way.
    void removeAbandonedFiles(const std::string& folder) const;
    std::string inDatabaseFolder(const std::string& name) const {
        return main.state().msSökväg + kPathSeparator + name;
    }
};

// Closes a database of a job when it goes out of scope (JobContext::close):
// for a function that returns on many paths.
class ClosedAtEnd {
public:
    ClosedAtEnd(const JobContext& ctx, db::Database& database) : ctx_(ctx), database_(database) {}
    ~ClosedAtEnd() { ctx_.close(database_); }
    ClosedAtEnd(const ClosedAtEnd&) = delete;
    ClosedAtEnd& operator=(const ClosedAtEnd&) = delete;

private:
    const JobContext& ctx_;
    db::Database& database_;
};

// Runs the long part of a job (see JobContext::runLong). The window's runner
// uses a worker thread; run without a window, the work runs in place.
class JobRunner {
public:
    virtual ~JobRunner() = default;
    // Runs `work` to its end with a context made from `ctx` for the thread it
    // runs on, its progress going to the runner's watcher.
    virtual void run(JobContext& ctx, const std::function<void(JobContext&)>& work) = 0;
};

// A job's wait as a person writes it (--wait, Wait=): seconds in digits
// only, at most a day; nothing for anything else.
std::optional<int> waitSecondsFrom(const std::string& value);

// Wait= of the [System] section of the settings file `ini`: the seconds a
// job of the window waits for the booking system's transactions
// (waitSecondsFrom); 10 when it is not set or is no such number.
double configuredWait(const std::string& ini);

// "Error number" CR LF "description": the head of most job failure messages.
std::string numberAndDescription(const Error& e);

}  // namespace vexla
