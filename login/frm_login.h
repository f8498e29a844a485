// The login dialog shown before every register transfer. A new one is made
// for each click; its answer is "Ok" after an accepted administrator login
// and empty after Cancel or the close box.
#pragma once

#include <QDialog>

#include <array>
#include <string>

#include "common/platform.h"
#include "login/validera.h"
#include "texts/mtexter.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace vexla {

class frmLogin : public QDialog {
public:
    frmLogin(QWidget* owner, Platform& platform, mTexter& texts, LoginDatabase database);

    // The dialog's answer: "Ok" or empty.
    const std::string& answer() const { return tag_; }

    std::array<QLabel*, 3> lblLabels{};
    QLineEdit* txtUserName = nullptr;
    QLineEdit* txtPassword = nullptr;
    QPushButton* cmdOk = nullptr;
    QPushButton* cmdAvbryt = nullptr;

    void cmdOk_Click();

protected:
    void reject() override;  // Esc and the close box do what cmdAvbryt does

private:
    Platform& platform_;
    mTexter& texts_;
    LoginDatabase database_;
    std::string tag_;
};

}  // namespace vexla
