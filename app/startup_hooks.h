// The point of the start-up where another job takes over: the question for
// a database path when none is known.
#pragma once

#include <optional>
#include <string>

namespace vexla {

class frmAdmin;

class StartupHooks {
public:
    virtual ~StartupHooks() = default;
    // No database path is known. Answers the path to use (possibly one the
    // start-up will still reject), or nullopt to end the program.
    virtual std::optional<std::string> askForDatabasePath(frmAdmin& window) = 0;
};

}  // namespace vexla
