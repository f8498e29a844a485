// What the jobs see of the main window: the state it shares with every
// dialog and the few things a job may do to it. The window implements this;
// tests drive jobs against a fake.
#pragma once

#include <memory>
#include <string>

#include "db/engine.h"

namespace vexla {

struct AdminState {
    std::unique_ptr<db::Database> db;  // the shared connection; empty until a job opens it
    std::string DataBas;               // full path of the database file in use; empty when none
    std::string msSökväg;              // its folder, without a trailing separator
    std::string lastExportPath;        // register file the last export chose
    bool Kommandorad = false;          // started with /d or /a: the maintenance jobs log their steps
    std::string Språk = "en";          // "se" or "en", from the installed language file
};

class AdminWindow {
public:
    virtual ~AdminWindow() = default;
    virtual AdminState& state() = 0;
    virtual db::DBEngine& engine() = 0;
    // The information line; the text shows at once, also in the middle of a long job.
    virtual void setInfo(const std::string& text) = 0;
    virtual std::string info() const = 0;
    // The path label; a non-empty text enables the job buttons, an empty one disables them.
    virtual void setPathLabel(const std::string& text) = 0;
    virtual std::string pathLabel() const = 0;
    // Appends one line to the activity log.
    virtual void Logg(const std::string& text) = 0;
    // Closes every file the program holds open (the log among them), as
    // ending the program does.
    virtual void closeAllFiles() = 0;
};

}  // namespace vexla
