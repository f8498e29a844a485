#include "maintenance/gui/frm_kontroll.h"
#include "texts/text_codes.h"
#include "texts/text_tag.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

#include "common/qt/screen_fit.h"
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

// A button's caption as it reads: no access key's "&", no trailing "...".
QString captionOf(const QAbstractButton& button) {
    QString caption = button.text();
    caption.replace(QStringLiteral("&&"), QStringLiteral("\x01")).remove(QLatin1Char('&'));
    caption.replace(QLatin1Char('\x01'), QLatin1Char('&'));
    if (caption.endsWith(QStringLiteral("..."))) caption.chop(3);
    return caption;
}

QTableWidgetItem* cell(const QString& text, Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter) {
    auto* item = new QTableWidgetItem(text);
    item->setTextAlignment(align);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    return item;
}

}  // namespace

frmKontroll::frmKontroll(QWidget* owner, mTexter& texts, std::function<JobContext()> context)
    : QDialog(owner), texts_(texts), context_(std::move(context)) {
    setObjectName(QStringLiteral("frmKontroll"));
    setProperty("tag", QString::fromLatin1(txt::ControlTitle));
    setModal(true);
    fitToScreen(*this);

    lblDatabas = named(new QLabel(this), "lblDatabas");
    lblDatabas->setTextInteractionFlags(Qt::TextSelectableByMouse);
    cmdKontrollera = named(new QPushButton(this), "cmdKontrollera", textTag(txt::CheckButton, txt::CheckTip));
    chkFullständig = named(new QCheckBox(this), "chkFullständig", txt::FullCheckBox);
    cmdRädda = named(new QPushButton(this), "cmdRädda", textTag(txt::RescueButton, txt::RescueTip));
    lblSäkerhetskopior = named(new QLabel(this), "lblSäkerhetskopior", txt::BackupsLabel);
    lblKolumner = named(new QLabel(this), "lblKolumner");
    lstSäkerhetskopior = named(new QListWidget(this), "lstSäkerhetskopior");
    lblSäkerhetskopior->setBuddy(lstSäkerhetskopior);
    cmdÅterställ = named(new QPushButton(this), "cmdÅterställ", textTag(txt::RestoreButton, txt::RestoreTip));
    makeCheckAnswer();
    cmdStäng = named(new QPushButton(this), "cmdStäng", txt::CloseButton);
    for (QWidget* w : std::initializer_list<QWidget*>{lblKolumner, lstSäkerhetskopior, txtDetaljer}) fixedPitch(w);
    lstSäkerhetskopior->setMinimumHeight(5 * lstSäkerhetskopior->fontMetrics().lineSpacing());
    txtResultat->setMinimumHeight(4 * txtResultat->fontMetrics().lineSpacing());
    tblKontroll->setMinimumHeight(6 * tblKontroll->fontMetrics().lineSpacing());

    auto* check = new QHBoxLayout;
    check->addWidget(cmdKontrollera);
    check->addWidget(chkFullständig);
    check->addStretch();
    check->addWidget(cmdRädda);
    addPlaceRescued(*check);
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
    layout->addWidget(tblKontroll, 2);
    layout->addWidget(txtResultat, 1);
    layout->addWidget(cmdDetaljer, 0, Qt::AlignLeft);
    layout->addWidget(txtDetaljer, 1);
    layout->addLayout(close);

    connect(cmdKontrollera, &QPushButton::clicked, this, [this] { cmdKontrollera_Click(); });
    connect(cmdRädda, &QPushButton::clicked, this, [this] { cmdRädda_Click(); });
    connect(cmdÅterställ, &QPushButton::clicked, this, [this] { cmdÅterställ_Click(); });
    connect(cmdDetaljer, &QToolButton::toggled, this, [this](bool on) {
        cmdDetaljer->setArrowType(on ? Qt::DownArrow : Qt::RightArrow);
        txtDetaljer->setVisible(on);
    });
    connect(cmdStäng, &QPushButton::clicked, this, [this] { QDialog::reject(); });
    // A double click on a backup asks to restore it, as the button does.
    connect(lstSäkerhetskopior, &QListWidget::itemActivated, this, [this] { cmdÅterställ_Click(); });
}

// The check's answer: its table, the verdict and advice, and the whole
// report under Details, hidden until a check has answered.
void frmKontroll::makeCheckAnswer() {
    tblKontroll = named(new QTableWidget(0, 4, this), "tblKontroll");
    tblKontroll->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tblKontroll->setSelectionBehavior(QAbstractItemView::SelectRows);
    tblKontroll->verticalHeader()->hide();
    // A line of text a row: the table is read at a glance, not scrolled.
    tblKontroll->verticalHeader()->setDefaultSectionSize(tblKontroll->fontMetrics().lineSpacing() + 6);
    tblKontroll->horizontalHeader()->setStretchLastSection(true);
    tblKontroll->hide();
    txtResultat = named(new QPlainTextEdit(this), "txtResultat");
    txtResultat->setReadOnly(true);
    txtResultat->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    cmdDetaljer = named(new QToolButton(this), "cmdDetaljer", txt::CheckDetailsButton);
    cmdDetaljer->setCheckable(true);
    cmdDetaljer->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    cmdDetaljer->setArrowType(Qt::RightArrow);
    cmdDetaljer->hide();
    txtDetaljer = named(new QPlainTextEdit(this), "txtDetaljer");
    txtDetaljer->setReadOnly(true);
    txtDetaljer->setLineWrapMode(QPlainTextEdit::NoWrap);
    txtDetaljer->hide();
}

void frmKontroll::showModal(bool checkFirst) {
    Form_Load();
    if (checkFirst) cmdKontrollera_Click();
    exec();
}

void frmKontroll::Form_Load() {
    if (parentWidget()) setWindowIcon(parentWidget()->windowIcon());
    WidgetTextForm form(
        this, {lblDatabas, cmdKontrollera, chkFullständig, cmdRädda, cmdLäggPåPlats, lblSäkerhetskopior, lblKolumner,
               lstSäkerhetskopior, cmdÅterställ, tblKontroll, txtResultat, cmdDetaljer, txtDetaljer, cmdStäng});
    texts_.SetTextOfForm(form);
    nameAfterCaption(*lstSäkerhetskopior, lblSäkerhetskopior->text());
    nameAfterCaption(*txtResultat, windowTitle());
    nameAfterCaption(*tblKontroll, windowTitle());
    nameAfterCaption(*txtDetaljer, cmdDetaljer->text());
    JobContext ctx = context_();
    lblDatabas->setText(q(ctx.main.state().DataBas));
    txtResultat->clear();
    showRows(ctx, {});
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

// The table and the details of a check; none: both hidden.
void frmKontroll::showRows(JobContext& ctx, const std::vector<CheckRow>& rows) {
    tblKontroll->setVisible(!rows.empty());
    cmdDetaljer->setVisible(!rows.empty());
    if (rows.empty()) cmdDetaljer->setChecked(false);
    tblKontroll->setHorizontalHeaderLabels({q(ctx.text(txt::CheckRegisterColumn)), q(ctx.text(txt::CheckReadColumn)),
                                            q(ctx.text(txt::CheckExpectedColumn)), q(ctx.text(txt::CheckStateColumn))});
    tblKontroll->setRowCount(static_cast<int>(rows.size()));
    const Qt::Alignment number = Qt::AlignRight | Qt::AlignVCenter;
    for (int r = 0; r < tblKontroll->rowCount(); ++r) {
        const CheckRow& row = rows[static_cast<std::size_t>(r)];
        // The word says it, the colour lets it be seen at a glance.
        QString state = q(ctx.text(row.whole ? txt::StateWhole : txt::StateDamaged));
        if (!row.note.empty()) state += QStringLiteral("; ") + q(row.note);
        const QColor colour = !row.whole         ? QColor(0xf4, 0xc7, 0xc3)
                              : row.note.empty() ? QColor(0xcd, 0xeb, 0xc5)
                                                 : QColor(0xfc, 0xe8, 0xb2);
        tblKontroll->setItem(r, 0, cell(q(row.name)));
        tblKontroll->setItem(r, 1, cell(q(groupedNumber(ctx, row.read)), number));
        tblKontroll->setItem(r, 2,
                             cell(row.expected ? q(groupedNumber(ctx, *row.expected)) : QStringLiteral("?"), number));
        tblKontroll->setItem(r, 3, cell(state));
        for (int c = 0; c < 4; ++c) {
            tblKontroll->item(r, c)->setBackground(colour);
            tblKontroll->item(r, c)->setForeground(QColor(Qt::black));
        }
    }
    tblKontroll->resizeColumnsToContents();
}

void frmKontroll::cmdKontrollera_Click() {
    JobContext ctx = context_();
    CareShown shown = checkFromWindow(ctx, chkFullständig->isChecked());
    // The advice names this window's button; the command line keeps its own.
    if (shown.damaged)
        shown.lines.push_back(ctx.text(txt::RescueAdviceWindow) + " \"" + captionOf(*cmdRädda).toStdString() + "\".");
    show(shown);
    QString details;
    for (const std::string& line : shown.details) details += q(line) + '\n';
    txtDetaljer->setPlainText(details);
    showRows(ctx, shown.rows);
    // A damaged file: its rescue is the next thing to do.
    (shown.damaged ? cmdRädda : cmdKontrollera)->setDefault(true);
    (shown.damaged ? cmdRädda : cmdKontrollera)->setFocus();
}

void frmKontroll::cmdRädda_Click() {
    JobContext ctx = context_();
    show(rescueFromWindow(ctx));
}

void frmKontroll::addPlaceRescued(QHBoxLayout& row) {
    cmdLäggPåPlats =
        named(new QPushButton(this), "cmdLäggPåPlats", textTag(txt::PlaceRescuedButton, txt::PlaceRescuedTip));
    row.addWidget(cmdLäggPåPlats);
    setTabOrder(cmdRädda, cmdLäggPåPlats);  // made after the rest, read beside the rescue
    connect(cmdLäggPåPlats, &QPushButton::clicked, this, [this] { cmdLäggPåPlats_Click(); });
}

void frmKontroll::cmdLäggPåPlats_Click() {
    JobContext ctx = context_();
    const CareShown shown = placeRescuedFromWindow(ctx);
    show(shown);
    if (!shown.changed) return;
    showRows(ctx, {});  // the check was of the file replaced
    fillBackups();
}

void frmKontroll::cmdÅterställ_Click() {
    const int row = lstSäkerhetskopior->currentRow();
    JobContext ctx = context_();
    if (row < 0 || static_cast<std::size_t>(row) >= backups_.size()) {
        ctx.platform.messages.beep();
        ctx.platform.messages.show(ctx.text(txt::ChooseBackupInList), kProgramTitle, MsgIcon::None, MsgButtons::Ok);
        return;
    }
    const std::string chosen = backups_[static_cast<std::size_t>(row)].path;
    const CareShown shown = restoreFromWindow(ctx, backups_[static_cast<std::size_t>(row)]);
    show(shown);
    if (!shown.changed) return;
    showRows(ctx, {});  // the check was of the file replaced
    fillBackups();
    // The backup of the replaced state comes first in the list; the chosen
    // one stays chosen, so the restore button still means it.
    const auto kept =
        std::find_if(backups_.begin(), backups_.end(), [&](const BackupEntry& b) { return b.path == chosen; });
    if (kept != backups_.end()) lstSäkerhetskopior->setCurrentRow(static_cast<int>(kept - backups_.begin()));
}

}  // namespace vexla
