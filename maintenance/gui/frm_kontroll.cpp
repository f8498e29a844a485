#include "maintenance/gui/frm_kontroll.h"
#include "texts/text_codes.h"
#include "texts/text_tag.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>

#include "maintenance/database_rescue.h"
#include "texts/qt/widget_texts.h"

namespace vexla {

namespace {

QString q(const std::string& s) { return QString::fromStdString(s); }

template <class W>
W* named(W* w, const char* name, const std::string& tag = {}) {
    w->setObjectName(QString::fromUtf8(name));
    if (!tag.empty()) w->setProperty("tag", QString::fromStdString(tag));
    return w;
}

// The report lines and the list line up their columns: a fixed-pitch font.
void fixedPitch(QWidget* w) { w->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont)); }

}  // namespace

frmKontroll::frmKontroll(QWidget* owner, mTexter& texts, std::function<JobContext()> context)
    : QDialog(owner), texts_(texts), context_(std::move(context)) {
    setObjectName(QStringLiteral("frmKontroll"));
    setProperty("tag", QString::fromLatin1(txt::ControlTitle));
    setModal(true);

    lblDatabas = named(new QLabel(this), "lblDatabas");
    lblDatabas->setTextInteractionFlags(Qt::TextSelectableByMouse);
    cmdKontrollera = named(new QPushButton(this), "cmdKontrollera", textTag(txt::CheckButton, txt::CheckTip));
    chkFullständig = named(new QCheckBox(this), "chkFullständig", txt::FullCheckBox);
    cmdRädda = named(new QPushButton(this), "cmdRädda", textTag(txt::RescueButton, txt::RescueTip));
    cmdLäggPåPlats =
        named(new QPushButton(this), "cmdLäggPåPlats", textTag(txt::PlaceRescuedButton, txt::PlaceRescuedTip));
    lblSäkerhetskopior = named(new QLabel(this), "lblSäkerhetskopior", txt::BackupsLabel);
    lblKolumner = named(new QLabel(this), "lblKolumner");
    lstSäkerhetskopior = named(new QListWidget(this), "lstSäkerhetskopior");
    lblSäkerhetskopior->setBuddy(lstSäkerhetskopior);
    cmdÅterställ = named(new QPushButton(this), "cmdÅterställ", textTag(txt::RestoreButton, txt::RestoreTip));
    txtResultat = named(new QPlainTextEdit(this), "txtResultat");
    txtResultat->setReadOnly(true);
    txtResultat->setLineWrapMode(QPlainTextEdit::NoWrap);
    cmdStäng = named(new QPushButton(this), "cmdStäng", txt::CloseButton);
    for (QWidget* w : std::initializer_list<QWidget*>{lblKolumner, lstSäkerhetskopior, txtResultat}) fixedPitch(w);
    lstSäkerhetskopior->setMinimumHeight(5 * lstSäkerhetskopior->fontMetrics().lineSpacing());
    txtResultat->setMinimumHeight(8 * txtResultat->fontMetrics().lineSpacing());

    auto* check = new QHBoxLayout;
    check->addWidget(cmdKontrollera);
    check->addWidget(chkFullständig);
    check->addStretch();
    check->addWidget(cmdRädda);
    check->addWidget(cmdLäggPåPlats);
    auto* restore = new QHBoxLayout;
    restore->addStretch();
    restore->addWidget(cmdÅterställ);
    auto* close = new QHBoxLayout;
    close->addStretch();
    close->addWidget(cmdStäng);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblDatabas);
    layout->addLayout(check);
    layout->addWidget(lblSäkerhetskopior);
    layout->addWidget(lblKolumner);
    layout->addWidget(lstSäkerhetskopior, 1);
    layout->addLayout(restore);
    layout->addWidget(txtResultat, 2);
    layout->addLayout(close);

    connect(cmdKontrollera, &QPushButton::clicked, this, [this] { cmdKontrollera_Click(); });
    connect(cmdRädda, &QPushButton::clicked, this, [this] { cmdRädda_Click(); });
    connect(cmdLäggPåPlats, &QPushButton::clicked, this, [this] { cmdLäggPåPlats_Click(); });
    connect(cmdÅterställ, &QPushButton::clicked, this, [this] { cmdÅterställ_Click(); });
    connect(cmdStäng, &QPushButton::clicked, this, [this] { QDialog::reject(); });
    // A double click on a backup asks to restore it, as the button does.
    connect(lstSäkerhetskopior, &QListWidget::itemActivated, this, [this] { cmdÅterställ_Click(); });
}

void frmKontroll::showModal(bool checkFirst) {
    Form_Load();
    if (checkFirst) cmdKontrollera_Click();
    exec();
}

void frmKontroll::Form_Load() {
    if (parentWidget()) setWindowIcon(parentWidget()->windowIcon());
    WidgetTextForm form(this, {lblDatabas, cmdKontrollera, chkFullständig, cmdRädda, cmdLäggPåPlats, lblSäkerhetskopior,
                               lblKolumner, lstSäkerhetskopior, cmdÅterställ, txtResultat, cmdStäng});
    texts_.SetTextOfForm(form);
    nameAfterCaption(*lstSäkerhetskopior, lblSäkerhetskopior->text());
    nameAfterCaption(*txtResultat, windowTitle());
    JobContext ctx = context_();
    lblDatabas->setText(q(ctx.main.state().DataBas));
    txtResultat->clear();
    cmdKontrollera->setDefault(true);
    cmdKontrollera->setFocus();
    fillBackups();
}

void frmKontroll::fillBackups() {
    JobContext ctx = context_();
    BackupsShown shown = backupsFromWindow(ctx);
    backups_ = std::move(shown.backups);
    lstSäkerhetskopior->clear();
    // Line 0 names the database (above already), line 1 holds the titles or
    // says there is none, then a line per backup; a failure is one line.
    const std::vector<std::string>& lines = shown.lines;
    lblKolumner->setText(lines.size() > 1 ? q(lines[1]) : QString());
    for (std::size_t i = 2; i < lines.size(); ++i) lstSäkerhetskopior->addItem(q(lines[i]));
    if (lines.size() == 1) txtResultat->setPlainText(q(lines[0]));
    if (!backups_.empty()) lstSäkerhetskopior->setCurrentRow(0);
    cmdÅterställ->setEnabled(!backups_.empty());
    // Wide enough for a whole line of the list: the columns are read across.
    int widest = 0;
    for (std::size_t i = 1; i < lines.size(); ++i)
        widest = std::max(widest, lstSäkerhetskopior->fontMetrics().horizontalAdvance(q(lines[i])));
    lstSäkerhetskopior->setMinimumWidth(widest + 4 * lstSäkerhetskopior->frameWidth() +
                                        lstSäkerhetskopior->verticalScrollBar()->sizeHint().width());
    adjustSize();
}

void frmKontroll::show(const CareShown& shown) {
    if (shown.lines.empty()) return;  // cancelled: the last report stays
    QString text;
    for (const std::string& line : shown.lines)
        text += q(line).replace(QStringLiteral("\r\n"), QStringLiteral("\n")) + '\n';
    txtResultat->setPlainText(text);
}

void frmKontroll::cmdKontrollera_Click() {
    JobContext ctx = context_();
    const CareShown shown = checkFromWindow(ctx, chkFullständig->isChecked());
    show(shown);
    // A damaged file: its rescue is the next thing to do.
    (shown.damaged ? cmdRädda : cmdKontrollera)->setDefault(true);
    (shown.damaged ? cmdRädda : cmdKontrollera)->setFocus();
}

void frmKontroll::cmdRädda_Click() {
    JobContext ctx = context_();
    show(rescueFromWindow(ctx));
}

void frmKontroll::cmdLäggPåPlats_Click() {
    JobContext ctx = context_();
    const CareShown shown = placeRescuedFromWindow(ctx);
    show(shown);
    if (shown.changed) fillBackups();
}

void frmKontroll::cmdÅterställ_Click() {
    const int row = lstSäkerhetskopior->currentRow();
    JobContext ctx = context_();
    if (row < 0 || static_cast<std::size_t>(row) >= backups_.size()) {
        ctx.platform.messages.beep();
        ctx.platform.messages.show(ctx.text(txt::ChooseBackupInList), kProgramTitle, MsgIcon::None, MsgButtons::Ok);
        return;
    }
    const CareShown shown = restoreFromWindow(ctx, backups_[static_cast<std::size_t>(row)]);
    show(shown);
    if (shown.changed) fillBackups();
}

}  // namespace vexla
