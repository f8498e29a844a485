// What the jobs see of the main window: the state it shares with every
// dialog and the few things a job may do to it. The window implements this;
// tests drive jobs against a fake.
//
// The window holds no connection to the database: between jobs the booking
// system, vexla-transfer and the nightly job may use it while the window sits
// open. Each job opens its own connection through engine() when it starts,
// and its closing (by the connection's owner going out of scope) ends the
// hold, also after a failure or a stop.
#pragma once

#include <string>

#include "db/engine.h"

namespace vexla {

struct AdminState {
    std::string DataBas;         // full path of the database file in use; empty when none
    std::string msSökväg;        // its folder, without a trailing separator
    std::string lastExportPath;  // register file the last export chose
    bool Kommandorad = false;    // started with /d or /a: the maintenance jobs log their steps
    std::string Språk = "en";    // "se" or "en", from the installed language file
    std::string loginName;       // the administrator the last login admitted (the activity log names them)
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
    // Appends a notice (JobContext::notice), which the system log has had
    // already, to the activity log: where the log mirrors its lines there,
    // this one is not mirrored again.
    virtual void LoggNotice(const std::string& text) { Logg(text); }
    // Closes every file the program holds open (the log among them), as
    // ending the program does.
    virtual void closeAllFiles() = 0;
};

}  // namespace vexla
