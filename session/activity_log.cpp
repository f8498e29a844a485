#include "session/activity_log.h"

#include "common/cp1252.h"
#include "common/platform.h"

namespace vexla {

ActivityLog::ActivityLog(FileSystem& files, MessageBoxes& messages, std::string programFolder)
    : files_(files), messages_(messages), path_(std::move(programFolder) + "/Logg.txt") {}

void ActivityLog::Logg(const std::string& text) {
    Status status;
    if (LoggFil == 0) {
        LoggFil = 1;  // stays assigned even when the open below fails
        auto opened = files_.openAppend(path_);
        if (opened)
            file_ = std::move(opened.value());
        else
            status = opened.error();
    }
    if (status && !file_) status = Error{52, "Bad file name or number", kProgramTitle};
    if (status) {
        std::string line = utf8ToCp1252(text);
        line += "\r\n";
        status = file_->write(line);
        if (status) status = file_->flush();
    }
    if (!status) {
        const Error& e = status.error();
        messages_.show("Error " + std::to_string(e.number) + " (" + e.description +
                           (e.file.empty() ? "" : ": " + e.file) + ") in procedure Logg of Form frmAdmin",
                       kProgramTitle, MsgIcon::None, MsgButtons::Ok);
    }
}

void ActivityLog::closeAll() {
    if (file_) (void)file_->close();
    file_.reset();
    LoggFil = 0;
}

}  // namespace vexla
