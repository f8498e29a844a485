#include "maintenance/gui/frm_sokvag.h"
#include "texts/text_codes.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QVBoxLayout>

#include <tuple>

#include "common/open_save_dialog.h"
#include "common/qt/screen_fit.h"
#include "common/text.h"
#include "texts/qt/ok_cancel.h"
#include "texts/qt/widget_texts.h"

namespace vexla {

namespace {

// The open dialog's options: hide read-only, path and file must exist, long names.
constexpr std::uint32_t kBrowseFlags = ofn::HideReadOnly | ofn::PathMustExist | ofn::FileMustExist | ofn::LongNames;
static_assert(kBrowseFlags == 0x201804);

// The bare pattern some dialogs answer when the user confirms without choosing a file.
constexpr const char* kPattern = "*.db";

QPushButton* button(const char* name, const char* tag, QWidget* parent) {
    auto* b = new QPushButton(parent);
    b->setObjectName(QString::fromUtf8(name));
    b->setProperty("tag", QString::fromLatin1(tag));
    return b;
}

}  // namespace

frmSökväg::frmSökväg(QWidget* owner, AdminWindow& main, Platform& platform, mTexter& texts)
    : QDialog(owner), main_(main), platform_(platform), texts_(texts) {
    setObjectName(QString::fromUtf8("frmSökväg"));
    setProperty("tag", QString::fromLatin1(txt::ChooseDatabaseTitle));
    setModal(true);
    fitToScreen(*this);

    txtSökvägBox = new QLineEdit(this);
    txtSökvägBox->setObjectName(QString::fromUtf8("txtSökväg"));
    txtSökvägBox->setMinimumWidth(360);
    cmdBläddra = button("cmdBläddra", txt::BrowseButton, this);

    auto* path = new QHBoxLayout;
    path->addWidget(txtSökvägBox, 1);
    path->addWidget(cmdBläddra);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(path);
    setTabOrder(txtSökvägBox, cmdBläddra);
    // OK is the default button: Enter in the text box confirms the typed path.
    std::tie(cmdOk, cmdAvbryt) = addOkCancel(*this, *layout, cmdBläddra);

    connect(cmdBläddra, &QPushButton::clicked, this, [this] { cmdBläddra_Click(); });
    connect(cmdOk, &QPushButton::clicked, this, [this] { cmdOk_Click(); });
    connect(cmdAvbryt, &QPushButton::clicked, this, [this] { reject(); });
}

std::string frmSökväg::showModal(const std::string& startPath) {
    if (!loaded_) Form_Load(startPath);
    adjustSize();
    exec();
    return tag_;
}

std::string frmSökväg::txtSökväg() const { return txtSökvägBox->text().toStdString(); }

void frmSökväg::unload() {
    if (isVisible()) QDialog::reject();
    loaded_ = false;
    tag_.clear();
    txtSökvägBox->clear();
}

// Applies the texts (Lang.ini is read afresh for every load) and fills the
// text box with the path the caller starts from.
void frmSökväg::Form_Load(const std::string& startPath) {
    loaded_ = true;
    tag_.clear();
    WidgetTextForm form(this, {txtSökvägBox, cmdBläddra, cmdOk, cmdAvbryt});
    texts_.SetTextOfForm(form);
    // The text box has no label of its own; the window's caption says what it holds.
    nameAfterCaption(*txtSökvägBox, windowTitle());
    platform_.pointer.setBusy(false);
    txtSökvägBox->setText(QString::fromStdString(std::string(trimBlanks(startPath))));
    txtSökvägBox->setFocus();
}

void frmSökväg::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    if (e->spontaneous()) return;  // restored from the task bar: not a new showing
    // Posted, so that a browser opened for an empty path comes up over the
    // dialog rather than before it.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (isVisible()) Form_Activate();
        },
        Qt::QueuedConnection);
}

// Without a path there is nothing to confirm yet: the browser is the first step.
void frmSökväg::Form_Activate() {
    if (txtSökvägBox->text().isEmpty()) cmdBläddra->click();
}

// Takes the chosen database file into the text box. Cancelling, or the bare
// pattern, leaves the box as it was.
void frmSökväg::cmdBläddra_Click() {
    const std::string chosen =
        OpenSaveDialog(platform_.fileDialogs, platform_.messages, 0, kBrowseFlags,
                       texts_.TextTillAndra(txt::DatabaseFilesFilter) + " (" + kPattern + ")|" + kPattern,
                       texts_.TextTillAndra(txt::ChooseDatabaseFile), main_.state().msSökväg, "");
    if (chosen.empty() || chosen == kPattern) return;
    txtSökvägBox->setText(QString::fromStdString(chosen));
    cmdOk->setFocus();
}

void frmSökväg::cmdOk_Click() {
    tag_ = "Ok";
    accept();
}

void frmSökväg::reject() {
    tag_.clear();
    QDialog::reject();
}

}  // namespace vexla
