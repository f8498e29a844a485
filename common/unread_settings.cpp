#include "common/unread_settings.h"

#include <filesystem>
#include <mutex>
#include <set>

namespace vexla {

namespace {

struct Teller {
    std::mutex mutex;
    std::string program, folder;
    std::FILE* err = nullptr;
    SystemLog* log = nullptr;
    std::set<std::string> told;  // a file read three times in a run is told once
};

Teller& teller() {
    static Teller one;
    return one;
}

}  // namespace

void tellUnreadSettingsAs(const std::string& program, const std::string& programFolder, std::FILE* err,
                          SystemLog& log) {
    Teller& t = teller();
    const std::lock_guard<std::mutex> lock(t.mutex);
    t.program = std::filesystem::path(program).filename().string();
    t.folder = programFolder;
    t.err = err;
    t.log = &log;
    t.told.clear();
}

void tellUnreadSettings(const std::string& path, const std::string& reason) {
    Teller& t = teller();
    const std::lock_guard<std::mutex> lock(t.mutex);
    if (!t.log || !t.told.insert(path).second) return;
    const std::string line = unreadSettingsLine(t.program, t.folder, path, reason);
    std::fprintf(t.err, "%s\n", line.c_str());
    std::fflush(t.err);
    t.log->write(LogPriority::Warning, line);
}

std::string unreadSettingsLine(const std::string& program, const std::string& programFolder, const std::string& path,
                               const std::string& reason) {
    std::string shown = path;
    if (!programFolder.empty()) {
        const std::filesystem::path relative =
            std::filesystem::path(path).lexically_normal().lexically_relative(programFolder);
        if (!relative.empty()) shown = relative.string();
    }
    return program + ": " + shown + " not read: " + reason;
}

}  // namespace vexla
