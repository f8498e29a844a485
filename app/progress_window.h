// The window a long job shows while it runs on its worker thread: a bar of
// done against total, what that is in words with the time left once it can
// be told, and Cancel. It reads the job's progress itself ten times a
// second; the job never waits for it.
#pragma once

#include <QDialog>

#include <chrono>

#include "common/job_progress.h"
#include "common/platform/text_source.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

namespace vexla {

class ProgressWindow final : public QDialog {
public:
    ProgressWindow(QWidget* owner, SharedProgress& progress, TextSource& texts);

    QProgressBar* bar = nullptr;
    QLabel* label = nullptr;
    QPushButton* cancel = nullptr;

    // Reads the progress and shows it (the timer calls it).
    void refresh();

protected:
    void reject() override;  // Esc and the close box press Cancel
    void closeEvent(QCloseEvent* e) override;

private:
    void stop();

    SharedProgress& progress_;
    TextSource& texts_;
    QTimer* timer_ = nullptr;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

}  // namespace vexla
