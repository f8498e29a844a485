#include "login/frm_login.h"
#include "texts/text_codes.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <tuple>

#include "common/qt/screen_fit.h"
#include "texts/qt/ok_cancel.h"
#include "texts/qt/widget_texts.h"

namespace vexla {

namespace {

QLabel* label(const char* name, const char* tag, QWidget* parent) {
    auto* l = new QLabel(parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setProperty("tag", QString::fromLatin1(tag));
    return l;
}

QLineEdit* textBox(const char* name, QWidget* parent) {
    auto* t = new QLineEdit(parent);
    t->setObjectName(QString::fromLatin1(name));
    t->setMaxLength(50);
    t->setMinimumWidth(220);
    return t;
}

}  // namespace

frmLogin::frmLogin(QWidget* owner, Platform& platform, mTexter& texts, LoginDatabase database)
    : QDialog(owner), platform_(platform), texts_(texts), database_(database) {
    setObjectName(QStringLiteral("frmLogin"));
    setProperty("tag", QString::fromLatin1(txt::LoginTitle));
    setModal(true);
    fitToScreen(*this);

    lblLabels = {label("lblLabels(0)", txt::UserNameLabel, this), label("lblLabels(1)", txt::PasswordLabel, this),
                 label("lblLabels(2)", txt::LoginTip, this)};
    QFont bold = lblLabels[2]->font();
    bold.setBold(true);
    lblLabels[2]->setFont(bold);
    txtUserName = textBox("txtUserName", this);
    txtPassword = textBox("txtPassword", this);
    txtPassword->setEchoMode(QLineEdit::Password);
    lblLabels[0]->setBuddy(txtUserName);
    lblLabels[1]->setBuddy(txtPassword);

    auto* form = new QFormLayout;
    form->addRow(lblLabels[0], txtUserName);
    form->addRow(lblLabels[1], txtPassword);
    auto* main = new QVBoxLayout(this);
    main->addWidget(lblLabels[2]);
    main->addLayout(form);

    // The user name comes first in the tab order, so it has the focus at the start.
    setTabOrder(txtUserName, txtPassword);
    std::tie(cmdOk, cmdAvbryt) = addOkCancel(*this, *main, txtPassword);
    txtUserName->setFocus();

    WidgetTextForm textForm(this,
                            {lblLabels[2], lblLabels[0], txtUserName, lblLabels[1], txtPassword, cmdOk, cmdAvbryt});
    texts_.SetTextOfForm(textForm);
    platform_.pointer.setBusy(false);
    if (owner) setWindowIcon(owner->windowIcon());

    connect(cmdOk, &QPushButton::clicked, this, [this] { cmdOk_Click(); });
    connect(cmdAvbryt, &QPushButton::clicked, this, [this] { reject(); });
}

void frmLogin::cmdOk_Click() {
    // Name and password exactly as typed: blanks are part of them.
    const LoginCheck checked = Validera(database_, platform_.messages, texts_, txtUserName->text().toStdString(),
                                        txtPassword->text().toStdString());
    if (checked == LoginCheck::Admitted) {
        tag_ = "Ok";
        accept();
        return;
    }
    // A database that would not answer has been told already; the name and
    // password may well be right.
    if (checked == LoginCheck::Refused) {
        platform_.messages.beep();
        platform_.messages.show(
            texts_.TextTillAndra(txt::LoginRefused) + "\r\n" + texts_.TextTillAndra(txt::CheckUserAndPassword),
            texts_.TextTillAndra(txt::LoginTitle), MsgIcon::Critical, MsgButtons::Ok);
    }
    txtPassword->setFocus();
    txtPassword->selectAll();
}

void frmLogin::reject() {
    tag_.clear();
    QDialog::reject();
}

}  // namespace vexla
