// Two points of the start-up where other jobs take over: the unattended job
// asked for with /a, and the question for a database path when none is known.
#pragma once

#include <optional>
#include <string>

namespace vexla {

class frmAdmin;

class StartupHooks {
public:
    virtual ~StartupHooks() = default;
    // The command line L holds /a. Runs the unattended job when /a names one
    // and answers the program's exit status; nullopt lets the start-up go on
    // (no job named, the window opens).
    virtual std::optional<int> runUnattended(frmAdmin& window, const std::string& commandLine) = 0;
    // No database path is known. Answers the path to use (possibly one the
    // start-up will still reject), or nullopt to end the program.
    virtual std::optional<std::string> askForDatabasePath(frmAdmin& window) = 0;
};

// Used until the maintenance jobs are plugged in: no unattended job, and the
// window opens without a database path.
class NoStartupJobs final : public StartupHooks {
public:
    std::optional<int> runUnattended(frmAdmin&, const std::string&) override { return std::nullopt; }
    std::optional<std::string> askForDatabasePath(frmAdmin&) override { return std::string(); }
};

}  // namespace vexla
