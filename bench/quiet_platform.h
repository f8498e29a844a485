// A platform for a job run by a benchmark: nobody at the screen, every
// question answered Yes (replace the last run's file), errors printed to
// standard error, a fixed clock and an ISO locale, the real file system.
#pragma once

#include <cstdio>
#include <string>

#include "common/platform.h"
#include "common/platform/text_source.h"
#include "common/posix_file_system.h"
#include "db/sqlite_engine.h"
#include "session/admin_state.h"

namespace vexla::bench {

struct Dialogs final : FileDialogHost {
    std::string path;
    int fileType = 0;  // the file type chosen (1-based); 0: the one shown first
    bool getOpenFileName(OpenFileName&) override { return false; }
    bool getSaveFileName(OpenFileName& ofn) override {
        ofn.file = path;
        if (fileType > 0) ofn.filterIndex = fileType;
        return true;
    }
};
struct Boxes final : MessageBoxes {
    MsgAnswer show(const std::string& text, const std::string&, MsgIcon, MsgButtons buttons) override {
        if (buttons == MsgButtons::Ok) std::fprintf(stderr, "%s\n", text.c_str());  // an error
        return MsgAnswer::Yes;                                                      // replace the previous run's file
    }
    void beep() override {}
};
struct Pointer final : MousePointer {
    void setBusy(bool) override {}
};
struct FixedClock final : Clock {
    DateTime now() override { return {2026, 12, 4, 3, 0, 0}; }
};
struct Locale final : LocaleInfo {
    std::optional<std::string> value(LocaleItem item) override {
        if (item == LocaleItem::ShortDate) return "yyyy-MM-dd";
        if (item == LocaleItem::TimeFormat) return "HH:mm:ss";
        if (item == LocaleItem::DecimalSeparator) return ",";
        return std::nullopt;
    }
};
struct Texts final : TextSource {
    std::string TextTillAndra(const std::string& code) override { return code; }
};
struct Window final : AdminWindow {
    AdminState s;
    db::SqliteEngine e;
    AdminState& state() override { return s; }
    db::DBEngine& engine() override { return e; }
    void setInfo(const std::string&) override {}
    std::string info() const override { return ""; }
    void setPathLabel(const std::string&) override {}
    std::string pathLabel() const override { return ""; }
    void Logg(const std::string&) override {}
    void closeAllFiles() override {}
};

struct QuietPlatform {
    Dialogs dialogs;
    Boxes boxes;
    Pointer pointer;
    FixedClock clock;
    Locale locale;
    PosixFileSystem files;
    Platform platform() { return Platform{boxes, dialogs, pointer, clock, locale, files, "."}; }
};

}  // namespace vexla::bench
