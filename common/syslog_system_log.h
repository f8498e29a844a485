// The system log through syslog(3), under the identifier "vexla-admin" with
// the process id, so the journal and rsyslog both show the lines.
#pragma once

#include "common/platform/system_log.h"

namespace vexla {

class SyslogSystemLog final : public SystemLog {
public:
    // Opens the connection to the system log for the run.
    SyslogSystemLog();
    ~SyslogSystemLog() override;
    SyslogSystemLog(const SyslogSystemLog&) = delete;
    SyslogSystemLog& operator=(const SyslogSystemLog&) = delete;

    void write(LogPriority priority, const std::string& text) override;
    // The name of the effective user from the password database; the user
    // id as digits when it has no entry.
    std::string userName() const override { return user_; }

private:
    std::string user_;
};

}  // namespace vexla
