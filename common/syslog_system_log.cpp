#include "common/syslog_system_log.h"

#include <pwd.h>
#include <syslog.h>
#include <unistd.h>

#include <vector>

namespace vexla {

namespace {

class NoSystemLog final : public SystemLog {
public:
    void write(LogPriority, const std::string&) override {}
    std::string userName() const override { return {}; }
};

int syslogPriority(LogPriority priority) {
    switch (priority) {
        case LogPriority::Error: return LOG_ERR;
        case LogPriority::Warning: return LOG_WARNING;
        case LogPriority::Notice: return LOG_NOTICE;
        case LogPriority::Info: return LOG_INFO;
    }
    return LOG_INFO;
}

std::string effectiveUserName() {
    const uid_t uid = ::geteuid();
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_name)
        return found->pw_name;
    return std::to_string(uid);
}

}  // namespace

SystemLog& SystemLog::none() {
    static NoSystemLog log;
    return log;
}

SyslogSystemLog::SyslogSystemLog() : user_(effectiveUserName()) { ::openlog("vexla-admin", LOG_PID, LOG_USER); }

SyslogSystemLog::~SyslogSystemLog() { ::closelog(); }

void SyslogSystemLog::write(LogPriority priority, const std::string& text) {
    ::syslog(syslogPriority(priority), "%s", text.c_str());
}

}  // namespace vexla
