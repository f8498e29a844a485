// The system log (syslog, the journal): where an administrator looks first.
// Each line the activity log writes is mirrored there, and each job ends
// with one summary line there alone.
#pragma once

#include <string>

namespace vexla {

// How much a line matters, from the outcome it tells of.
enum class LogPriority { Error, Warning, Notice, Info };

class SystemLog {
public:
    virtual ~SystemLog() = default;
    // Writes `text` (UTF-8, one line) at `priority`. Never fails aloud: the
    // system log is a copy of what the program tells elsewhere.
    virtual void write(LogPriority priority, const std::string& text) = 0;
    // The name of the system user the program runs as ("" when unknown).
    virtual std::string userName() const = 0;

    // A log that keeps nothing: for tests and tools that log nowhere.
    static SystemLog& none();
};

}  // namespace vexla
