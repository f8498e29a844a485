// The field mapping dialog: the administrator picks a register file and
// links its header fields to the columns of the register's table, by hand or
// automatically by equal captions; below the links, the file's first lines
// as the import would store, skip or stop at them. Try runs the import and
// undoes it, to show what it would do; OK imports the file through the
// links, after asking when the register is to be emptied first.
// The dialog holds the database only while it reads the register's fields
// at activation, for the moment the preview converts its lines, and while
// an import runs; never while it waits.
#pragma once

#include <QDialog>

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "common/platform.h"
#include "registers/import.h"
#include "registers/import_plan.h"
#include "registers/link_table.h"
#include "session/admin_state.h"
#include "session/job_context.h"
#include "texts/mtexter.h"

class QCheckBox;
class QFrame;
class QHBoxLayout;
class QGroupBox;
class QLabel;
class QListWidget;
class QPushButton;
class QScrollArea;
class QTableWidget;
class QTreeWidget;
class QTreeWidgetItem;

namespace vexla {

// How many lines of the file the preview shows.
inline constexpr std::size_t kPreviewLines = 20;

class frmKopplaFält : public QDialog {
public:
    // linkCounter lives as long as the program: keys keep counting across showings.
    // The import runs through `runner` (in place when there is none).
    frmKopplaFält(AdminWindow& main, QWidget* owner, Platform& platform, mTexter& texts, std::int16_t& linkCounter,
                  JobRunner* runner = nullptr);

    // The register name ("Kund", "Resurser", "Bokningar"), set before the dialog is shown.
    std::string Tag;

    QLabel* lblMallNamn = nullptr;
    QPushButton* cmdMall = nullptr;
    QListWidget* lstFilFält = nullptr;
    QListWidget* lstFält = nullptr;
    QPushButton* cmdAuto = nullptr;
    QPushButton* cmdLäggTill = nullptr;
    QGroupBox* Frame1 = nullptr;
    QTreeWidget* lvKopplingar = nullptr;
    QPushButton* cmdTaBort = nullptr;
    QPushButton* cmdTaBortAlla = nullptr;
    QCheckBox* chkTaBort = nullptr;
    QLabel* lblInfo = nullptr;  // what the automatic linking could not link
    QGroupBox* fraFörhandsvisning = nullptr;
    QTableWidget* grdFörhandsvisning = nullptr;  // the line number, the note, the linked values
    QLabel* lblFörhandsvisning = nullptr;        // why the preview is short of something
    QScrollArea* scrInnehåll = nullptr;          // everything above the buttons, scrolled on a small screen
    QPushButton* cmdProva = nullptr;
    QPushButton* cmdOk = nullptr;
    QPushButton* cmdAvbryt = nullptr;
    std::array<QLabel*, 3> lblDiv{};

    // The event handlers, callable from tests as a click would call them.
    void Form_Activate();
    void cmdMall_Click();
    void cmdAuto_Click();
    void cmdLäggTill_Click();
    void cmdTaBort_Click();
    void cmdTaBortAlla_Click();
    void cmdOk_Click();
    void cmdProva_Click();
    void lstClick();
    void lvKopplingar_ItemClick(QTreeWidgetItem* item);

    // The links in list order, as the import reads them.
    LinkTable linkTable() const;

protected:
    void showEvent(QShowEvent* e) override;

private:
    // The constructor's steps, in its order.
    void createControls();
    QWidget* layOutContent();
    QHBoxLayout* layOutWindow(QWidget* content);
    void load(QWidget* content, QHBoxLayout* bottom);
    void connectHandlers();
    void CreateLinkColumns();
    void setLinkColumnWidths();
    void FillDatabaseFields();
    void UpdateControlStates();
    void addLink(int fieldRow, int fileRow);
    void setInfo(const std::string& text);
    void refreshPreview();
    // The import the dialog's file, links and box make (frm_koppla_falt_import.cpp).
    ImportPlan importPlan(bool dryRun) const;
    // Whether the plan may run: false after the box of its refusal, or when
    // the user keeps values no link takes by answering No.
    bool valuesAccepted(ImportPlan& plan);
    // Whether the register may be emptied for the file's `fileRecords`
    // records (the question asked).
    bool emptyingAccepted(ImportPlan& plan, long fileRecords);
    // Runs the plan (`staging`: stages it, ImportPlan::stage) on the worker
    // with progress and Cancel, holding the database for its run only;
    // nothing when the database cannot be opened (the reason already shown).
    std::optional<ImportOutcome> runImport(ImportPlan& plan, bool staging = false);
    // Logs and shows the outcome of OK's import, closing the dialog when it stored something.
    void showImported(const ImportPlan& plan, const ImportOutcome& outcome);
    void saveSkippedLines(ImportPlan& plan);

    AdminWindow& main_;
    Platform& platform_;
    mTexter& texts_;
    std::int16_t& linkCounter_;
    JobRunner* runner_;
    std::string selectedKey_;
    bool activated_ = false;
};

}  // namespace vexla
