// The window's side of a job, on a terminal: the information line, the
// message boxes and the file dialogs when vexla-transfer runs the window's
// jobs from a script.
#pragma once

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>

#include "common/job_progress.h"

#include "common/platform/file_dialog_host.h"
#include "common/platform/message_boxes.h"

namespace vexla::transfer {

// The program's name, which begins each of its errors on standard error,
// as a script's reader expects of a command-line tool.
inline constexpr const char* kProgramName = "vexla-transfer";

// Writes `text` as one error of the program on `err`: "vexla-transfer: text".
void printError(std::FILE* err, const std::string& text);

// The boxes of `shown` with the program's name for their caption, whatever
// caption the window would give them: every box the program shows on its
// own (a language file it cannot read) is one of its errors.
class ProgramNamedBoxes final : public MessageBoxes {
public:
    explicit ProgramNamedBoxes(MessageBoxes& shown) : shown_(shown) {}
    MsgAnswer show(const std::string& text, const std::string&, MsgIcon icon, MsgButtons buttons) override {
        return shown_.show(text, kProgramName, icon, buttons);
    }
    void beep() override { shown_.beep(); }

private:
    MessageBoxes& shown_;
};

// The information line as one line on standard error that redraws itself,
// shown only on a terminal: a job's progress there, nothing in a log file.
class StatusLine {
public:
    StatusLine(std::FILE* err, bool terminal) : err_(err), terminal_(terminal) {}
    // Replaces the line's text (nothing happens off a terminal).
    void show(const std::string& text);
    // Removes the line, so the next output starts on a clean line.
    void clear();

private:
    std::FILE* err_;
    bool terminal_;
    bool shown_ = false;
};

// A job's progress as a bar on the status line, redrawn at most five times
// a second, and at once when a phase reaches its total (once, however often
// the job reports it): "[#####-----]  50 %  12 of 24 MB, time left about
// 0:03". The job is asked to stop once `stopSignal` answers a signal.
class TerminalProgress final : public JobProgress {
public:
    TerminalProgress(StatusLine& line, TextSource& texts, std::function<int()> stopSignal)
        : line_(line), texts_(texts), stopSignal_(std::move(stopSignal)) {}
    void report(std::uint64_t done, std::uint64_t total, ProgressUnit unit) override;
    bool stopRequested() const override { return stopSignal_ && stopSignal_() != 0; }

private:
    StatusLine& line_;
    TextSource& texts_;
    std::function<int()> stopSignal_;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now(), drawn_{};
    ProgressSnapshot shown_;  // the figure drawn last
};

// The message boxes of a run nobody answers. A box with an OK button goes
// to `console` (standard error), after the status line is cleared; a
// question is answered `questions` without being shown, since the command
// line has answered it already (--force). A job's box with an OK button
// tells why it failed, so it is written as the program's error, under the
// program's name rather than the window's caption. The text of the last
// box shown is kept, for the run's report of why it failed.
class RunMessageBoxes final : public MessageBoxes {
public:
    RunMessageBoxes(MessageBoxes& console, StatusLine& status, MsgAnswer questions)
        : console_(console), status_(status), questions_(questions) {}
    MsgAnswer show(const std::string& text, const std::string& title, MsgIcon icon, MsgButtons buttons) override;
    void beep() override { console_.beep(); }
    std::string lastShown;
    // The same boxes for what is no part of the job's result (the activity
    // log that cannot be written): shown under their own caption, never
    // taken as lastShown.
    MessageBoxes& besideTheJob() { return beside_; }

private:
    MsgAnswer tell(const std::string& text, const std::string& title, MsgIcon icon, MsgButtons buttons);

    class Beside final : public MessageBoxes {
    public:
        explicit Beside(RunMessageBoxes& run) : run_(run) {}
        MsgAnswer show(const std::string& text, const std::string& title, MsgIcon icon, MsgButtons buttons) override;
        void beep() override { run_.beep(); }

    private:
        RunMessageBoxes& run_;
    };

    MessageBoxes& console_;
    StatusLine& status_;
    MsgAnswer questions_;
    Beside beside_{*this};
};

// A job's progress with its total left out: the bytes of a register file
// read from standard input, whose size nobody knows beforehand.
class CountOnlyProgress final : public JobProgress {
public:
    explicit CountOnlyProgress(JobProgress& shown) : shown_(shown) {}
    void report(std::uint64_t done, std::uint64_t, ProgressUnit unit) override { shown_.report(done, 0, unit); }
    bool stopRequested() const override { return shown_.stopRequested(); }

private:
    JobProgress& shown_;
};

// The file dialogs answered from the command line: the first dialog chooses
// `path` and the file type `filterIndex` (1-based, as the dialog lists them);
// any later one is cancelled, so a job that would ask again (a refused
// file) ends rather than asking forever.
class ScriptedFileDialogs final : public FileDialogHost {
public:
    explicit ScriptedFileDialogs(std::string path, int filterIndex = 1)
        : path_(std::move(path)), filterIndex_(filterIndex) {}
    bool getOpenFileName(OpenFileName& ofn) override { return answer(ofn); }
    bool getSaveFileName(OpenFileName& ofn) override { return answer(ofn); }

private:
    bool answer(OpenFileName& ofn);
    std::string path_;
    int filterIndex_;
    bool answered_ = false;
};

}  // namespace vexla::transfer
