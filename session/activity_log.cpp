#include "session/activity_log.h"
#include "texts/text_codes.h"

#include <cstdio>

#include <filesystem>

#include "common/cp1252.h"
#include "common/file_writing.h"
#include "common/platform.h"

namespace vexla {

ActivityLog::ActivityLog(FileSystem& files, MessageBoxes& messages, TextSource& texts, std::string programFolder,
                         SystemLog& systemLog)
    : files_(files),
      messages_(messages),
      texts_(texts),
      systemLog_(systemLog),
      path_(std::move(programFolder) + "/Logg.txt") {}

std::string systemLine(const std::string& user, const std::string& text) {
    std::string line = user.empty() ? std::string() : "user " + user + ": ";
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;  // CR LF as one break
        line += text[i] == '\r' || text[i] == '\n' ? ' ' : text[i];
    }
    return line;
}

std::string jobSummaryLine(TextSource& texts, const std::string& job, int status, const std::string& database,
                           const std::string& reason, std::optional<double> held) {
    std::error_code ec;
    const std::filesystem::path full = std::filesystem::absolute(database, ec);
    std::string line = job + " " + texts.TextTillAndra(txt::SyslogEndedWithStatus) + " " + std::to_string(status) +
                       ": " + (ec || database.empty() ? database : full.lexically_normal().string());
    if (held) {
        char figure[48];
        std::snprintf(figure, sizeof figure, " held=%.3f s", *held);
        line += figure;
    }
    if (!reason.empty()) line += ": " + reason;
    return line;
}

void ActivityLog::toSystemLog(LogPriority priority, const std::string& text) {
    systemLog_.write(priority, systemLine(systemLog_.userName(), text));
}

void ActivityLog::Logg(const std::string& text) {
    // The blank lines between jobs only part them in the file.
    if (text.find_first_not_of(" \t\r\n") != std::string::npos) toSystemLog(LogPriority::Info, text);
    append(text);
}

void ActivityLog::LoggNotice(const std::string& text) { append(text); }

void ActivityLog::append(const std::string& text) {
    Status status;
    if (LoggFil == 0) {
        LoggFil = 1;  // stays assigned even when the open below fails
        auto opened = files_.openAppend(path_);
        if (opened)
            file_ = std::move(opened.value());
        else
            status = opened.error();
    }
    if (!file_) {
        if (!status) tellFailure(status.error());
        return;  // the run goes on without its log
    }
    std::string line = utf8ToCp1252(text);
    line += "\r\n";
    status = file_->write(line);
    if (status) status = file_->flush();
    if (!status) tellFailure(status.error());
}

void ActivityLog::tellFailure(const Error& e) {
    if (told_) return;
    told_ = true;
    // The installed log is writable by the group vexla only, so a user
    // outside it is the usual cause; for that the number is no help.
    const std::string why = e.number == fserr::PermissionDenied
                                ? texts_.TextTillAndra(txt::JoinGroupVexla)
                                : std::to_string(e.number) + " " + describedFileError(e, texts_).description;
    messages_.show(texts_.TextTillAndra(txt::ActivityLogNotWritable) + ": " + path_ + "\r\n" + why, kProgramTitle,
                   MsgIcon::Exclamation, MsgButtons::Ok);
}

void ActivityLog::closeAll() {
    if (file_) {
        if (Status closed = file_->close(); !closed) tellFailure(closed.error());
    }
    file_.reset();
    LoggFil = 0;
}

}  // namespace vexla
