// The main window. Its start-up applies the language texts, chooses the
// language, takes the database path the command line or Vexla.ini gave and
// asks for one when there is none; then it offers the jobs as buttons.
#pragma once

#include <QDialog>

#include <array>
#include <memory>
#include <optional>
#include <string>

#include "app/startup_hooks.h"
#include "app/worker_runner.h"
#include "common/ctid.h"
#include "common/platform.h"
#include "session/activity_log.h"
#include "session/admin_state.h"
#include "session/command_line.h"
#include "session/job_context.h"
#include "texts/mtexter.h"

class QFrame;
namespace vexla {
class frmSökväg;
class frmIntervall;
class frmKontroll;
}  // namespace vexla
class QGroupBox;
class QLabel;
class QPushButton;

namespace vexla {

class frmAdmin : public QDialog, public AdminWindow {
public:
    // `chosenDatabase` keeps the database chosen in the window (the start-up
    // question, cmdDB) under "DataBas1" for the user's next start.
    frmAdmin(Platform& platform, db::DBEngine& engine, mTexter& texts, StartupHooks& hooks,
             FolderMemory& chosenDatabase = FolderMemory::none());
    ~frmAdmin() override;

    // Runs the start-up once, before the window is shown, from the database
    // the command line or Vexla.ini named. Answers nullopt when the window
    // is to be shown, or the exit status when the program ends here (no
    // database path was given).
    std::optional<int> runStartup(const StartingDatabase& start);

    // AdminWindow
    AdminState& state() override { return state_; }
    db::DBEngine& engine() override { return engine_; }
    void setInfo(const std::string& text) override;
    std::string info() const override;
    void setPathLabel(const std::string& text) override;
    std::string pathLabel() const override;
    void Logg(const std::string& text) override;
    void LoggNotice(const std::string& text) override;
    void closeAllFiles() override { log_.closeAll(); }

    // What the window's jobs work with; their long parts run on the worker.
    // A job's context; its wait is Wait= of Vexla.ini, read afresh for each job.
    JobContext jobContext();
    WorkerRunner& runner() { return runner_; }
    // The two maintenance dialogs; each exists once and is made when first needed.
    frmSökväg& pathDialog();
    frmIntervall& intervalDialog();
    frmKontroll& checkDialog();
    CTid* Tid() { return Tid_.get(); }

    // The job buttons' handlers.
    void cmdKomprimera_Click();
    void cmdKopiera_Click();
    void cmdDB_Click();
    void cmdKontroll_Click();

    // The controls, by their design names.
    QGroupBox* Frame2 = nullptr;
    std::array<QPushButton*, 2> cmdKundReg{};
    QGroupBox* fraBokningar = nullptr;
    std::array<QPushButton*, 2> cmdBokningReg{};
    QGroupBox* Frame1 = nullptr;
    std::array<QPushButton*, 2> cmdResursReg{};
    QPushButton* cmdDB = nullptr;
    QPushButton* cmdKomprimera = nullptr;
    QPushButton* cmdKopiera = nullptr;
    QPushButton* cmdKontroll = nullptr;
    QPushButton* cdmStäng = nullptr;
    QFrame* picInfo = nullptr;
    QLabel* lblInfo = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* lblSökväg = nullptr;
    QLabel* imgBild = nullptr;
    std::array<QLabel*, 2> imgResurs{};
    QFrame* Line1 = nullptr;

protected:
    bool event(QEvent* e) override;
    void reject() override;  // Esc presses cdmStäng
    void closeEvent(QCloseEvent* e) override;

private:
    void buildControls();  // the window's controls, laid out and connected
    void buildButtons();
    void buildLabels();
    void buildInfo();
    void layOut();
    void connectButtons();
    void applyTexts();
    void chooseLanguage();
    void settleDatabaseFolder();
    void registerClicked(int kind, int index);
    void enableJobs(bool enable);
    // After a job that met a damaged database file: asks whether to check it
    // now, and does so in the check dialog on Yes.
    void offerCheck(const std::optional<Error>& failure);

    Platform& platform_;
    db::DBEngine& engine_;
    mTexter& texts_;
    StartupHooks& hooks_;
    FolderMemory& chosenDatabase_;
    AdminState state_;
    ActivityLog log_;
    std::unique_ptr<CTid> Tid_;
    WorkerRunner runner_;
    std::int16_t linkCounter_ = 0;
    std::unique_ptr<frmSökväg> pathDialog_;
    std::unique_ptr<frmIntervall> intervalDialog_;
    std::unique_ptr<frmKontroll> checkDialog_;  // keys of the mapping dialog's links keep counting for the run
};

}  // namespace vexla
