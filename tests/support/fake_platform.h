// Scripted stand-ins for the platform interfaces, shared by the tests: they
// record what a job showed and let a test answer questions and make any file
// operation fail.
#pragma once

#include <algorithm>
#include <atomic>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "common/job_progress.h"
#include "common/platform.h"
#include "common/platform/notices.h"
#include "common/platform/text_source.h"
#include "common/posix_file_system.h"

namespace vexla::testing {

struct ShownBox {
    std::string text, title;
    MsgIcon icon;
    MsgButtons buttons;
    bool operator==(const ShownBox&) const = default;
};
void PrintTo(const ShownBox& box, std::ostream* os);

class FakeMessageBoxes final : public MessageBoxes {
public:
    std::vector<ShownBox> shown;
    std::deque<MsgAnswer> answers;  // next answers; Ok/No/Cancel by buttons when empty
    int beeps = 0;

    MsgAnswer show(const std::string& text, const std::string& title, MsgIcon icon, MsgButtons buttons) override;
    void beep() override { ++beeps; }
};

class FakeMousePointer final : public MousePointer {
public:
    bool busy = false;
    int changes = 0;
    void setBusy(bool b) override { busy = b, ++changes; }
};

class FakeClock final : public Clock {
public:
    DateTime time{2026, 12, 4, 22, 15, 7};
    DateTime now() override { return time; }
};

class FakeLocaleInfo final : public LocaleInfo {
public:
    std::map<LocaleItem, std::string> values{{LocaleItem::ShortDate, "yyyy-MM-dd"},
                                             {LocaleItem::LongDate, "'den 'd MMMM yyyy"},
                                             {LocaleItem::TimeFormat, "HH:mm:ss"},
                                             {LocaleItem::DecimalSeparator, ","}};
    std::optional<std::string> value(LocaleItem item) override {
        return values.contains(item) ? std::optional(values.at(item)) : std::nullopt;
    }
};

class FakeFileDialogs final : public FileDialogHost {
public:
    std::deque<std::string> choices;  // next chosen paths; empty text or none = cancel
    std::deque<int> types;            // the file types (1-based) they are chosen with; none = the one shown
    std::vector<OpenFileName> asked;
    std::vector<bool> saves;   // per dialog asked for: a save dialog rather than an open one
    std::string leftOnCancel;  // written to the file buffer by a cancelled dialog, when not empty
    bool getOpenFileName(OpenFileName& ofn) override { return saves.push_back(false), answer(ofn); }
    bool getSaveFileName(OpenFileName& ofn) override { return saves.push_back(true), answer(ofn); }

private:
    bool answer(OpenFileName& ofn);
};

// The real file system, except that the n-th call (1-based) of a named
// operation ("openAppend", "createFile", "linkFile", "removeFile",
// "renameFile", "info", "infoFollowing" through links, ...) can be made to
// fail with a given error. The files it
// opens count their own calls as "write", "flush", "sync", "close",
// "copyFrom" and "commit".
class FaultyFileSystem final : public FileSystem {
public:
    void failCall(const std::string& op, int n, Error error) { faults_[op] = {n, std::move(error)}; }
    int calls(const std::string& op) const {
        const std::lock_guard<std::mutex> counting(mutex_);
        return calls_.contains(op) ? calls_.at(op) : 0;
    }
    // Free space to report instead of the disk's.
    std::optional<std::uint64_t> freeBytes;
    // Called with the operation's name before every counted call (a crash test kills itself here).
    std::function<void(const std::string& op)> beforeCall;

    bool exists(const std::string& path) override { return real_.exists(path); }
    Result<std::string> realPath(const std::string& path) override {
        return unlessFaulted("realPath", [&] { return real_.realPath(path); });
    }
    Result<std::string> readSmallFile(const std::string& path) override {
        return unlessFaulted("readSmallFile", [&] { return real_.readSmallFile(path); });
    }
    Result<std::unique_ptr<OutputFile>> openAppend(const std::string& path) override;
    Result<FileInfo> info(const std::string& path, bool follow) override {
        return unlessFaulted(follow ? "infoFollowing" : "info", [&] { return real_.info(path, follow); });
    }
    Result<std::unique_ptr<NewFile>> createFile(const std::string& target, const Placement& placement) override;
    Status linkFile(const std::string& from, const std::string& to) override {
        return unlessFaulted("linkFile", [&] { return real_.linkFile(from, to); });
    }
    Status removeFile(const std::string& path) override {
        return unlessFaulted("removeFile", [&] { return real_.removeFile(path); });
    }
    Result<std::vector<std::string>> removeAbandoned(const std::string& path) override {
        return unlessFaulted("removeAbandoned", [&] { return real_.removeAbandoned(path); });
    }
    Status renameFile(const std::string& from, const std::string& to) override {
        return unlessFaulted("renameFile", [&] { return real_.renameFile(from, to); });
    }
    Status syncFolder(const std::string& f) override {
        return unlessFaulted("syncFolder", [&] { return real_.syncFolder(f); });
    }
    Status syncFile(const std::string& p) override {
        return unlessFaulted("syncFile", [&] { return real_.syncFile(p); });
    }
    Result<std::vector<std::string>> listFolder(const std::string& f) override {
        return unlessFaulted("listFolder", [&] { return real_.listFolder(f); });
    }
    Result<std::uint64_t> fileSize(const std::string& p) override {
        return unlessFaulted("fileSize", [&] { return real_.fileSize(p); });
    }
    // Folders to take for read-only (the tests may run as root, who may write anywhere).
    std::vector<std::string> readOnly;
    bool writable(const std::string& folder) override {
        return std::find(readOnly.begin(), readOnly.end(), folder) == readOnly.end() && real_.writable(folder);
    }
    Result<std::uint64_t> availableBytes(const std::string& folder) override {
        return unlessFaulted("availableBytes", [&] {
            return freeBytes ? Result<std::uint64_t>(*freeBytes) : real_.availableBytes(folder);
        });
    }

    // Counts a call of op; the error when this call is to fail.
    std::optional<Error> fault(const std::string& op);
    // The real call's answer, or the error when this call of `op` is to fail.
    template <class Call>
    auto unlessFaulted(const char* op, Call call) -> decltype(call()) {
        if (auto e = fault(op)) return *e;
        return call();
    }

private:
    PosixFileSystem real_;
    mutable std::mutex mutex_;
    std::map<std::string, int> calls_;
    std::map<std::string, std::pair<int, Error>> faults_;
};

// A fresh folder below the system's temporary folder, removed with its contents.
// Every report a job makes; asks it to stop once `stopAt` (when not 0) is done.
class RecordingProgress final : public JobProgress {
public:
    std::vector<ProgressSnapshot> reports;
    std::uint64_t stopAt = 0;
    void report(std::uint64_t done, std::uint64_t total, ProgressUnit unit) override {
        reports.push_back({done, total, unit});
        if (stopAt != 0 && done >= stopAt) stop_ = true;
    }
    bool stopRequested() const override { return stop_; }

private:
    std::atomic<bool> stop_{false};
};

class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    // Writes bytes to name (creating folders on the way) and answers its path.
    std::string write(const std::string& name, const std::string& bytes) const;
    std::string read(const std::string& name) const;
    // The names in the folder, sorted.
    std::vector<std::string> list() const;

private:
    std::string path_;
};

// Language texts that are their own codes, so a test reads which text a job chose.
class CodeTexts final : public TextSource {
public:
    std::string TextTillAndra(const std::string& code) override { return code; }
};

// Language texts that are their codes in brackets, so a message shows which codes it joined.
class BracketTexts final : public TextSource {
public:
    std::string TextTillAndra(const std::string& code) override { return "[" + code + "]"; }
};

// UTF-8 lines as the Windows-1252 bytes of a file with CR LF line ends (a Lang.ini).
std::string cp1252Lines(const std::vector<std::string>& lines);

// Remembered folders in memory.
class FakeFolderMemory final : public FolderMemory {
public:
    std::map<std::string, std::string, std::less<>> folders;
    std::string recall(std::string_view key) override {
        const auto it = folders.find(key);
        return it == folders.end() ? "" : it->second;
    }
    void remember(std::string_view key, const std::string& folder) override { folders[std::string(key)] = folder; }
};

// A system log that records its lines.
class FakeSystemLog final : public SystemLog {
public:
    std::vector<std::pair<LogPriority, std::string>> lines;
    void write(LogPriority priority, const std::string& text) override { lines.emplace_back(priority, text); }
    std::string userName() const override { return "tester"; }
};

// Notices recorded as "code path number".
class RecordingNotices final : public Notices {
public:
    mutable std::vector<std::string> told;
    void tell(const std::string& code, const std::string& path, const Error& e) const override {
        told.push_back(code + " " + path + " " + std::to_string(e.number));
    }
};

// All the fakes at once, bundled as a Platform for a program folder.
struct FakePlatform {
    FakeMessageBoxes messages;
    FakeFileDialogs dialogs;
    FakeMousePointer pointer;
    FakeClock clock;
    FakeLocaleInfo locale;
    FaultyFileSystem files;
    FakeFolderMemory folders;
    FakeSystemLog systemLog;
    Platform platform(const std::string& programFolder) {
        return Platform{messages, dialogs, pointer, clock, locale, files, programFolder, folders, systemLog};
    }
    // The system log's warnings (the notices), without the user's name.
    std::vector<std::string> notices() const;
};

}  // namespace vexla::testing
