// The activity log Logg.txt in the program folder: one line per call,
// Windows-1252, CR LF, always appended to. The log is opened at the first
// line and stays open for the run. Every line also goes to the system log,
// where an administrator looks first.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "common/platform/file_system.h"
#include "common/platform/message_boxes.h"
#include "common/platform/system_log.h"
#include "common/platform/text_source.h"

namespace vexla {

class ActivityLog {
public:
    ActivityLog(FileSystem& files, MessageBoxes& messages, TextSource& texts, std::string programFolder,
                SystemLog& systemLog = SystemLog::none());

    // Appends text and CR LF, written through to the file at once so a killed
    // job still leaves its lines. A log that cannot be opened or written is
    // told once per run: R9270 ": " and the file, CR LF, then for a refused
    // permission R9271 (the user must be in the group vexla), for any other
    // failure its number and description. The line is dropped and the run
    // goes on; a failed open keeps its file number, so later lines are
    // dropped without a word.
    // The same text goes to the system log at Info, whether or not the file
    // could be written (see systemLine); a blank line does not.
    void Logg(const std::string& text);
    // The same for a notice (JobContext::notice), which the system log has
    // had already: to the file alone.
    void LoggNotice(const std::string& text);

    // One line for the system log alone (a job's summary), at `priority`.
    void toSystemLog(LogPriority priority, const std::string& text);

    // Closes the log (the program closes all files); the next Logg opens it
    // anew. A failure to close it (a write the system deferred) is told as
    // a failed write is.
    void closeAll();

    std::string path() const { return path_; }

private:
    void append(const std::string& text);
    void tellFailure(const Error& e);

    FileSystem& files_;
    MessageBoxes& messages_;
    TextSource& texts_;
    SystemLog& systemLog_;
    std::string path_;
    int LoggFil = 0;
    bool told_ = false;  // a failure was told; closeAll does not reset it
    std::unique_ptr<OutputFile> file_;
};

// A line of the activity log as the system log gets it: "user NAME: " and
// the text, its CR LF line breaks (a number above its description) joined
// by a blank, UTF-8 as it is. `user` empty: the text alone.
std::string systemLine(const std::string& user, const std::string& text);

// The system log's one line about a job that ended: "JOB R9570 STATUS:
// DATABASE", the database by its absolute path (relative to the current
// folder when given relative), " held=N.NNN s" when the job held the
// booking system's commits off (the longest span, in seconds), then ": "
// and `reason` when there is one.
std::string jobSummaryLine(TextSource& texts, const std::string& job, int status, const std::string& database,
                           const std::string& reason, std::optional<double> held = std::nullopt);

}  // namespace vexla
