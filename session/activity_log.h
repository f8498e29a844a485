// The activity log Logg.txt in the program folder: one line per call,
// Windows-1252, CR LF, always appended to. The log is opened at the first
// line and stays open for the run.
#pragma once

#include <memory>
#include <string>

#include "common/platform/file_system.h"
#include "common/platform/message_boxes.h"

namespace vexla {

class ActivityLog {
public:
    ActivityLog(FileSystem& files, MessageBoxes& messages, std::string programFolder);

    // Appends text and CR LF, written through to the file at once so a killed
    // job still leaves its lines. On failure shows "Error <n> (<description>)
    // in procedure Logg of Form frmAdmin" and drops the line. A failed open
    // keeps its file number, so every later call fails (and says so) too.
    void Logg(const std::string& text);

    // Closes the log (the program closes all files); the next Logg opens it anew.
    void closeAll();

    std::string path() const { return path_; }

private:
    FileSystem& files_;
    MessageBoxes& messages_;
    std::string path_;
    int LoggFil = 0;
    std::unique_ptr<OutputFile> file_;
};

}  // namespace vexla
