// The database path dialog: the administrator types the path of a booking
// database or browses for it. It serves both the change of database and the
// start-up question for a missing path; the caller reads the text box after
// the dialog has hidden itself.
#pragma once

#include <QDialog>

#include <string>

#include "common/platform.h"
#include "maintenance/job_dialogs.h"
#include "session/admin_state.h"
#include "texts/mtexter.h"

class QLineEdit;
class QPushButton;

namespace vexla {

class frmSökväg : public QDialog, public PathDialog {
public:
    // `main` gives the database folder the browser starts in. All references
    // must outlive the dialog.
    frmSökväg(QWidget* owner, AdminWindow& main, Platform& platform, mTexter& texts);

    // PathDialog. A dialog already loaded (shown before and not unloaded since)
    // keeps its text box: only a load takes startPath.
    std::string showModal(const std::string& startPath) override;
    std::string txtSökväg() const override;
    void unload() override;

    // The dialog's answer: "Ok" after cmdOk, "" after cmdAvbryt, Esc or the close box.
    const std::string& tag() const { return tag_; }

    // The text box is named txtSökväg on the form; txtSökväg() above reads it.
    QLineEdit* txtSökvägBox = nullptr;
    QPushButton* cmdBläddra = nullptr;
    QPushButton* cmdOk = nullptr;
    QPushButton* cmdAvbryt = nullptr;

    // The event handlers, callable from tests as the window system would call them.
    void Form_Load(const std::string& startPath);
    void Form_Activate();
    void cmdBläddra_Click();
    void cmdOk_Click();

protected:
    void showEvent(QShowEvent* e) override;
    void reject() override;  // cmdAvbryt, Esc and the close box

private:
    AdminWindow& main_;
    Platform& platform_;
    mTexter& texts_;
    std::string tag_;
    bool loaded_ = false;
};

}  // namespace vexla
