// The check dialog: check the database, rescue the rows of a damaged one,
// or put one of its dated backups back. Each button runs its job through
// care_from_window.h and shows the lines it answers; a check's answer is a
// table of the registers and indexes, its whole report kept under Details;
// the list shows the backups beside the database.
#pragma once

#include <QDialog>

#include <array>
#include <functional>
#include <vector>

#include "common/platform.h"
#include "maintenance/care_from_window.h"
#include "session/job_context.h"
#include "texts/mtexter.h"

class QCheckBox;
class QHBoxLayout;
class QLabel;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;
class QToolButton;

namespace vexla {

class frmKontroll : public QDialog {
public:
    // `owner` lends the dialog its icon and is the window it is modal to;
    // `context` makes the context each click's job runs with.
    frmKontroll(QWidget* owner, mTexter& texts, std::function<JobContext()> context);

    // Loads the dialog (texts, the list of backups), checks the database at
    // once when `checkFirst` (a job has just met a damaged file), and shows
    // the dialog modally until it is closed.
    void showModal(bool checkFirst = false);

    QLabel* lblDatabas = nullptr;
    QPushButton* cmdKontrollera = nullptr;
    QCheckBox* chkFullständig = nullptr;
    QPushButton* cmdRädda = nullptr;
    QPushButton* cmdLäggPåPlats = nullptr;  // the rescued file put in the database's place
    QLabel* lblSäkerhetskopior = nullptr;
    QLabel* lblKolumner = nullptr;  // the column titles above the list
    QListWidget* lstSäkerhetskopior = nullptr;
    QPushButton* cmdÅterställ = nullptr;
    QTableWidget* tblKontroll = nullptr;  // a register or index a row
    QPlainTextEdit* txtResultat = nullptr;
    QToolButton* cmdDetaljer = nullptr;     // checked: txtDetaljer shows
    QPlainTextEdit* txtDetaljer = nullptr;  // the check's whole report, the engine's lines included
    QPushButton* cmdStäng = nullptr;

    // The event handlers, callable from tests as the window system would call them.
    void Form_Load();
    void cmdKontrollera_Click();
    void cmdRädda_Click();
    void cmdLäggPåPlats_Click();
    void cmdÅterställ_Click();

    const std::vector<BackupEntry>& backups() const { return backups_; }

private:
    void makeCheckAnswer();
    void show(const CareShown& shown);
    void showRows(JobContext& ctx, const std::vector<CheckRow>& rows);
    // Makes the button that puts a rescued file in place, at the end of `row`.
    void addPlaceRescued(QHBoxLayout& row);
    void fillBackups();

    mTexter& texts_;
    std::function<JobContext()> context_;
    std::vector<BackupEntry> backups_;
};

}  // namespace vexla
