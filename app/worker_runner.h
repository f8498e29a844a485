// The window's JobRunner: the long part of a job runs on a worker thread
// while the interface thread keeps the windows painted and answering and
// shows the job's progress (ProgressWindow, modal, with Cancel).
//
// The work gets a context whose window, platform and texts hand every call
// that touches the interface (the information line, the log, message boxes,
// file dialogs, the pointer, the language file) to the interface thread and
// wait for it; the
// shared state, the engine, the files, the clock and the locale are used
// directly: while a job runs, the interface thread leaves them alone (the
// progress window is modal and the job buttons are disabled).
#pragma once

#include <QObject>

#include <functional>
#include <memory>

#include "app/progress_window.h"
#include "session/job_context.h"

class QWidget;

namespace vexla {

class WorkerRunner final : public JobRunner {
public:
    WorkerRunner(QWidget* owner, TextSource& texts) : owner_(owner), texts_(texts) {}
    ~WorkerRunner() override;

    // Runs `work` on a worker thread and returns when it has ended, the
    // interface's events processed meanwhile.
    void run(JobContext& ctx, const std::function<void(JobContext&)>& work) override;

    // Told true before a job starts and false after it ended.
    std::function<void(bool running)> onRunning;
    // The progress window of the job running or of the last one (hidden).
    ProgressWindow* progressWindow() const { return window_.get(); }

private:
    QWidget* owner_;
    TextSource& texts_;
    std::unique_ptr<SharedProgress> progress_;
    std::unique_ptr<ProgressWindow> window_;
};

}  // namespace vexla
