#include "registers/gui/frm_koppla_falt.h"
#include "texts/text_codes.h"
#include "texts/text_tag.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScrollArea>
#include <QTableWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <iterator>
#include <vector>

#include "common/file_writing.h"
#include "common/open_save_dialog.h"
#include "common/qt/screen_fit.h"
#include "registers/field_mapping.h"
#include "registers/import.h"
#include "registers/import_confirmation.h"
#include "registers/import_preview.h"
#include "registers/import_report.h"
#include "registers/import_texts.h"
#include "registers/register_folders.h"
#include "registers/register_kind.h"
#include "registers/transfer_logging.h"
#include "session/exclusive_refusal.h"
#include "texts/qt/widget_texts.h"

namespace vexla {

namespace {

constexpr int kKeyRole = Qt::UserRole;
constexpr int kTypeRole = Qt::UserRole;
// The caption a link to the entry carries (linkCaption).
constexpr int kLinkCaptionRole = Qt::UserRole + 1;

QString q(const std::string& s) { return QString::fromStdString(s); }

// The position of the list's selected entry, -1 when none is selected. The
// current row alone is no selection: it stays behind when a selection is cleared.
int selectedRow(const QListWidget* list) {
    const QList<QListWidgetItem*> selected = list->selectedItems();
    return selected.isEmpty() ? -1 : list->row(selected.front());
}

// Selects entry `row` of the list, or leaves it without a selected and
// without a current entry when `row` is -1.
void selectRow(QListWidget* list, int row) {
    if (row >= 0)
        list->setCurrentRow(row);
    else
        list->selectionModel()->clear();
}

template <class W>
W* control(W* w, const char* name, const std::string& tag = {}) {
    w->setObjectName(QString::fromUtf8(name));
    if (!tag.empty()) w->setProperty("tag", QString::fromStdString(tag));
    return w;
}

// The open dialog's file types: both kinds at once, then each alone.
std::string importFilter(TextSource& texts) {
    return texts.TextTillAndra(txt::RegisterFilesFilterImport) + " (*.skv *.csv)|*.skv;*.csv|" +
           texts.TextTillAndra(txt::RegisterFileType) + " (*.skv)|*.skv|" +
           texts.TextTillAndra(txt::SpreadsheetFileType) + " (*.csv)|*.csv|";
}

}  // namespace

frmKopplaFält::frmKopplaFält(AdminWindow& main, QWidget* owner, Platform& platform, mTexter& texts,
                             std::int16_t& linkCounter, JobRunner* runner)
    : QDialog(owner), main_(main), platform_(platform), texts_(texts), linkCounter_(linkCounter), runner_(runner) {
    setObjectName(QString::fromUtf8("frmKopplaFält"));
    setProperty("tag", QString::fromLatin1(txt::LinkFieldsTitle));
    setModal(true);
    if (owner) setWindowIcon(owner->windowIcon());

    createControls();
    QWidget* content = layOutContent();
    load(content, layOutWindow(content));
    connectHandlers();
    fitToScreen(*this);  // what does not fit the screen scrolls
}

// Makes every control, named as the design names it, with its texts' tag.
void frmKopplaFält::createControls() {
    lblMallNamn = control(new QLabel(this), "lblMallNamn");
    cmdMall =
        control(new QPushButton(this), "cmdMall", textTag(txt::ChooseFileButton, txt::ChooseRegisterFileToImport));
    lstFilFält = control(new QListWidget(this), "lstFilFält", txt::FileFieldsListTip);
    lstFält = control(new QListWidget(this), "lstFält", txt::DatabaseFieldsListTip);
    cmdAuto = control(new QPushButton(this), "cmdAuto", textTag(txt::AutoLinkButton, txt::LinkFieldsTip));
    cmdLäggTill = control(new QPushButton(this), "cmdLäggTill", textTag(txt::AddButton, txt::LinkFieldsTip));
    Frame1 = control(new QGroupBox(this), "Frame1", txt::LinksHeading);
    lvKopplingar = control(new QTreeWidget(Frame1), "lvKopplingar", txt::LinksListTip);
    cmdTaBort = control(new QPushButton(Frame1), "cmdTaBort", textTag(txt::RemoveButton, txt::RemoveLinkTip));
    cmdTaBortAlla =
        control(new QPushButton(Frame1), "cmdTaBortAlla", textTag(txt::RemoveAllButton, txt::RemoveAllLinksTip));
    chkTaBort =
        control(new QCheckBox(this), "chkTaBort", textTag(txt::EmptyRegisterFirstBox, txt::EmptyRegisterFirstTip));
    lblInfo = control(new QLabel(this), "lblInfo");
    lblInfo->setWordWrap(true);
    lblInfo->hide();
    fraFörhandsvisning = control(new QGroupBox(this), "fraFörhandsvisning", txt::PreviewHeading);
    grdFörhandsvisning = control(new QTableWidget(fraFörhandsvisning), "grdFörhandsvisning");
    grdFörhandsvisning->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdFörhandsvisning->verticalHeader()->hide();
    // One line of text per row, so that the 20 lines take little room.
    grdFörhandsvisning->verticalHeader()->setDefaultSectionSize(grdFörhandsvisning->fontMetrics().height() + 6);
    grdFörhandsvisning->setMinimumHeight(120);
    lblFörhandsvisning = control(new QLabel(fraFörhandsvisning), "lblFörhandsvisning");
    lblFörhandsvisning->setWordWrap(true);
    lblFörhandsvisning->hide();
    cmdProva = control(new QPushButton(this), "cmdProva", textTag(txt::TryButton, txt::TryTip));
    cmdOk = control(new QPushButton(this), "cmdOk", textTag(txt::OkButton, txt::ImportThroughLinksTip));
    cmdAvbryt = control(new QPushButton(this), "cmdAvbryt", textTag(txt::CancelButton, txt::CloseWithoutImportingTip));
    lblDiv = {control(new QLabel(this), "lblDiv(0)", txt::RegisterFileFieldsHeading),
              control(new QLabel(this), "lblDiv(1)", txt::DatabaseFieldsHeading),
              control(new QLabel(this), "lblDiv(2)", txt::HowToLinkFields)};
    lblDiv[0]->setBuddy(lstFilFält);
    lblDiv[1]->setBuddy(lstFält);
    lblDiv[2]->setWordWrap(true);
    cmdOk->setDefault(true);
    lvKopplingar->setRootIsDecorated(false);
    lvKopplingar->setMinimumSize(420, 160);
    lstFilFält->setMinimumHeight(160);
    lstFält->setMinimumHeight(160);
}

// The scrolled part: the file, the two lists, the links, the preview.
QWidget* frmKopplaFält::layOutContent() {
    auto* middle = new QVBoxLayout;
    middle->addStretch();
    middle->addWidget(cmdAuto);
    middle->addWidget(cmdLäggTill);
    middle->addStretch();
    auto* lists = new QGridLayout;
    lists->setColumnStretch(0, 1);
    lists->setColumnStretch(2, 1);
    lists->addWidget(lblDiv[0], 0, 0);
    lists->addWidget(lblDiv[1], 0, 2);
    lists->addWidget(lstFilFält, 1, 0);
    lists->addLayout(middle, 1, 1);
    lists->addWidget(lstFält, 1, 2);
    auto* frameButtons = new QHBoxLayout;
    frameButtons->addStretch();
    frameButtons->addWidget(cmdTaBort);
    frameButtons->addWidget(cmdTaBortAlla);
    auto* frame = new QVBoxLayout(Frame1);
    frame->addWidget(lvKopplingar);
    frame->addLayout(frameButtons);
    auto* preview = new QVBoxLayout(fraFörhandsvisning);
    preview->addWidget(grdFörhandsvisning);
    preview->addWidget(lblFörhandsvisning);
    auto* top = new QHBoxLayout;
    top->addWidget(cmdMall);
    top->addWidget(lblMallNamn, 1);
    auto* content = new QWidget;
    content->setObjectName(QStringLiteral("innehåll"));
    auto* layout = new QVBoxLayout(content);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(top);
    // How to link, across both lists. Kept out of the grid: a grid holding a
    // wrapping label insists on its preferred height and squeezes the link
    // frame instead, whatever the lists could give up.
    layout->addWidget(lblDiv[2]);
    layout->addLayout(lists);
    layout->addWidget(Frame1);
    layout->addWidget(lblInfo);
    layout->addWidget(fraFörhandsvisning, 1);
    return content;
}

// The buttons below the scrolled `content`, and the tab order; answers the buttons' row.
QHBoxLayout* frmKopplaFält::layOutWindow(QWidget* content) {
    // The buttons stay below the scrolled part, so that OK, Cancel and
    // "empty first" can be reached however little of the rest fits the screen.
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(chkTaBort);
    bottom->addStretch();
    bottom->addWidget(cmdProva);
    bottom->addWidget(cmdOk);
    bottom->addWidget(cmdAvbryt);
    scrInnehåll = new QScrollArea(this);
    scrInnehåll->setObjectName(QStringLiteral("scrInnehåll"));
    scrInnehåll->setFrameShape(QFrame::NoFrame);
    scrInnehåll->setFocusPolicy(Qt::NoFocus);  // Tab goes to the controls inside it
    scrInnehåll->setWidgetResizable(true);
    scrInnehåll->setWidget(content);
    auto* outer = new QVBoxLayout(this);
    outer->addWidget(scrInnehåll, 1);
    outer->addLayout(bottom);
    // Tab goes the way the work goes: the file, a field in each list, the
    // buttons that link them, the links, the preview, then the import itself.
    // Set once the layouts hold the controls: moving a control into the
    // scrolled content takes it out of the order set before.
    QWidget* tabOrder[] = {cmdMall,       lstFilFält,         lstFält,   cmdAuto,  cmdLäggTill, lvKopplingar, cmdTaBort,
                           cmdTaBortAlla, grdFörhandsvisning, chkTaBort, cmdProva, cmdOk,       cmdAvbryt};
    for (std::size_t i = 1; i < std::size(tabOrder); ++i) setTabOrder(tabOrder[i - 1], tabOrder[i]);

    return bottom;
}

// The texts of the language, the size that shows everything, the link columns.
void frmKopplaFält::load(QWidget* content, QHBoxLayout* bottom) {
    QLayout* layout = content->layout();
    QLayout* outer = this->layout();
    // Load.
    platform_.pointer.setBusy(true);
    WidgetTextForm form(this, {lblMallNamn, cmdMall, lstFilFält, lstFält, cmdAuto, cmdLäggTill, Frame1, lvKopplingar,
                               cmdTaBort, cmdTaBortAlla, chkTaBort, cmdOk, cmdAvbryt, lblDiv[0], lblDiv[1], lblDiv[2],
                               fraFörhandsvisning, cmdProva});
    texts_.SetTextOfForm(form);
    nameAfterCaption(*lstFilFält, lblDiv[0]->text());
    nameAfterCaption(*lstFält, lblDiv[1]->text());
    nameAfterCaption(*lvKopplingar, Frame1->title());
    nameAfterCaption(*grdFörhandsvisning, fraFörhandsvisning->title());
    // A layout counts a wrapping label as one line in its minimum; shrunk to
    // that, the content would squeeze the link frame until the remove buttons
    // cover the list. The narrowest width wraps the instructions most, so the
    // height they need there is the least the content may have: below it,
    // the content scrolls rather than overlaps. (Without a text the label
    // does not wrap, and the layout's own minimum holds.)
    layout->activate();
    const int narrowest = layout->totalMinimumSize().width();
    content->setMinimumWidth(narrowest);
    if (layout->hasHeightForWidth()) content->setMinimumHeight(layout->totalMinimumHeightForWidth(narrowest));
    // The whole content without a scroll bar, as far as the screen allows (fitToScreen).
    const QMargins m = outer->contentsMargins();
    const QSize whole = content->sizeHint().expandedTo(content->minimumSize());
    resize(std::max(whole.width(), bottom->sizeHint().width()) + m.left() + m.right() + 2,
           whole.height() + outer->spacing() + bottom->sizeHint().height() + m.top() + m.bottom() + 2);
    CreateLinkColumns();
    UpdateControlStates();
    cmdLäggTill->setEnabled(false);
    cmdTaBort->setEnabled(false);
    platform_.pointer.setBusy(false);
}

void frmKopplaFält::connectHandlers() {
    connect(cmdMall, &QPushButton::clicked, this, [this] { cmdMall_Click(); });
    connect(cmdAuto, &QPushButton::clicked, this, [this] { cmdAuto_Click(); });
    connect(cmdLäggTill, &QPushButton::clicked, this, [this] { cmdLäggTill_Click(); });
    connect(cmdTaBort, &QPushButton::clicked, this, [this] { cmdTaBort_Click(); });
    connect(cmdTaBortAlla, &QPushButton::clicked, this, [this] { cmdTaBortAlla_Click(); });
    connect(cmdOk, &QPushButton::clicked, this, [this] { cmdOk_Click(); });
    connect(cmdProva, &QPushButton::clicked, this, [this] { cmdProva_Click(); });
    connect(chkTaBort, &QCheckBox::toggled, this, [this] { refreshPreview(); });
    connect(cmdAvbryt, &QPushButton::clicked, this, [this] { reject(); });
    connect(lstFilFält, &QListWidget::itemClicked, this, [this] { lstClick(); });
    connect(lstFält, &QListWidget::itemClicked, this, [this] { lstClick(); });
    connect(lstFilFält, &QListWidget::currentRowChanged, this, [this] { lstClick(); });
    connect(lstFält, &QListWidget::currentRowChanged, this, [this] { lstClick(); });
    // Space selects the current entry without moving it: no click, no row change.
    connect(lstFilFält, &QListWidget::itemSelectionChanged, this, [this] { lstClick(); });
    connect(lstFält, &QListWidget::itemSelectionChanged, this, [this] { lstClick(); });
    connect(lvKopplingar, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* item) { lvKopplingar_ItemClick(item); });
}

void frmKopplaFält::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    if (activated_) return;
    setLinkColumnWidths();  // the list has its real width only now that the dialog is laid out
    // The work starts with the file; left alone, the dialog would focus OK.
    cmdMall->setFocus(Qt::OtherFocusReason);
    Form_Activate();
}

void frmKopplaFält::Form_Activate() {
    activated_ = true;
    static constexpr std::array<std::pair<const char*, const char*>, 3> suffix{
        {{"Kund", txt::CustomersTitleSuffix},
         {"Resurser", txt::ResourcesTitleSuffix},
         {"Bokningar", txt::BookingsTitleSuffix}}};
    for (const auto& [name, code] : suffix)
        if (Tag == name) setWindowTitle(windowTitle() + QStringLiteral(" ") + q(texts_.TextTillAndra(code)));
    FillDatabaseFields();
}

void frmKopplaFält::CreateLinkColumns() {
    lvKopplingar->clear();
    lvKopplingar->setColumnCount(5);
    lvKopplingar->setHeaderLabels({QStringLiteral("Key"), q(texts_.TextTillAndra(txt::FileFieldColumn)),
                                   q(texts_.TextTillAndra(txt::DatabaseFieldColumn)),
                                   q(texts_.TextTillAndra(txt::FileFieldNumberColumn)),
                                   q(texts_.TextTillAndra(txt::TypeColumn))});
    setLinkColumnWidths();
}

void frmKopplaFält::setLinkColumnWidths() {
    // The two visible columns share the list's width; the others are hidden.
    const float width = static_cast<float>(lvKopplingar->viewport()->width());
    const float half = width / 2.0f;
    const int widths[5] = {0, static_cast<int>(width - half - 100.0f), static_cast<int>(half - 100.0f), 0, 0};
    for (int c = 0; c < 5; ++c) {
        lvKopplingar->setColumnWidth(c, widths[c]);
        lvKopplingar->setColumnHidden(c, widths[c] <= 0 && (c == 0 || c >= 3));
    }
}

// Reads the register's fields with a connection of its own, closed again
// before the dialog waits for the user: the dialog holds nothing meanwhile.
void frmKopplaFält::FillDatabaseFields() {
    AdminState& state = main_.state();
    const RegisterKind* reg = registerByName(Tag);
    if (!reg) return;
    auto db = main_.engine().OpenDatabase(state.DataBas, true);
    if (!db) return;  // no message: the list stays empty and OK has nothing to link
    auto fields = databaseFields(**db, *reg, state.Språk);
    JobContext{main_, platform_, texts_}.close(**db);
    if (!fields) return;
    for (const DatabaseField& field : *fields) {
        auto* item = new QListWidgetItem(q(field.caption), lstFält);
        item->setData(kTypeRole, field.typeCode);
        item->setData(kLinkCaptionRole, q(linkCaption(field)));
    }
}

void frmKopplaFält::cmdMall_Click() {
    const std::string path = OpenSaveDialog(platform_.fileDialogs, platform_.messages, 0, 0x201804,
                                            importFilter(texts_), texts_.TextTillAndra(txt::ChooseRegisterFileToImport),
                                            registerFileFolder(platform_, Tag, main_.state().msSökväg), "");
    if (path.empty() || path == "*.skv") return;
    // The next dialog starts here, also when this file is refused: the
    // user is likely to fix it and choose it again.
    rememberRegisterFolder(platform_, Tag, path);
    platform_.pointer.setBusy(true);
    if (auto fields = registerFileFields(path, platform_.messages, texts_)) {
        lstFilFält->clear();
        for (const std::string& field : *fields) lstFilFält->addItem(q(field));
        lblMallNamn->setText(q(path));
        setInfo("");
        UpdateControlStates();
        refreshPreview();
    }
    platform_.pointer.setBusy(false);
}

void frmKopplaFält::UpdateControlStates() {
    const bool chosen = !lblMallNamn->text().isEmpty();
    for (QWidget* w : std::initializer_list<QWidget*>{lstFilFält, lstFält, lvKopplingar, cmdTaBortAlla, cmdProva})
        w->setEnabled(chosen);
}

// Add is possible exactly while both lists have a selected entry; a current
// row left behind without its selection does not count.
void frmKopplaFält::lstClick() { cmdLäggTill->setEnabled(selectedRow(lstFilFält) >= 0 && selectedRow(lstFält) >= 0); }

void frmKopplaFält::addLink(int fieldRow, int fileRow) {
    const std::string key = "k" + std::to_string(linkCounter_);
    auto* row = new QTreeWidgetItem(
        lvKopplingar, {QString::number(fieldRow), lstFilFält->item(fileRow)->text(),
                       lstFält->item(fieldRow)->data(kLinkCaptionRole).toString(), QString::number(fileRow)});
    row->setData(0, kKeyRole, q(key));
    lvKopplingar->setCurrentItem(row);
    selectedKey_ = key;
    ++linkCounter_;
}

void frmKopplaFält::cmdLäggTill_Click() {
    const int fieldRow = selectedRow(lstFält), fileRow = selectedRow(lstFilFält);
    if (fieldRow < 0 || fileRow < 0) return;
    addLink(fieldRow, fileRow);
    lvKopplingar->viewport()->update();
    // No current row either, or the next click in one list would find the
    // other one still "chosen".
    selectRow(lstFilFält, -1);
    selectRow(lstFält, -1);
    cmdLäggTill->setEnabled(false);
    UpdateControlStates();
    refreshPreview();
}

void frmKopplaFält::cmdAuto_Click() {
    lvKopplingar->clear();
    const int fieldSelected = selectedRow(lstFält);
    const int fileSelected = selectedRow(lstFilFält);
    std::vector<std::string> captions, fileFields;
    for (int i = 0; i < lstFält->count(); ++i) captions.push_back(lstFält->item(i)->text().toStdString());
    for (int i = 0; i < lstFilFält->count(); ++i) fileFields.push_back(lstFilFält->item(i)->text().toStdString());
    const auto pairs = autoLinkPairs(captions, fileFields);
    for (const auto& [field, file] : pairs) addLink(field, file);
    setInfo(unlinkedFieldsText(unlinkedFileFields(pairs, fileFields, texts_), texts_));
    lvKopplingar->setFocus();
    QKeyEvent end(QEvent::KeyPress, Qt::Key_End, Qt::NoModifier);
    QCoreApplication::sendEvent(lvKopplingar, &end);
    lvKopplingar->viewport()->update();
    selectRow(lstFält, fieldSelected);
    selectRow(lstFilFält, fileSelected);
    lstClick();
    UpdateControlStates();
    refreshPreview();
    if (lvKopplingar->topLevelItemCount() > 0) cmdOk->setFocus();
}

void frmKopplaFält::lvKopplingar_ItemClick(QTreeWidgetItem* item) {
    if (!item) return;
    selectedKey_ = item->data(0, kKeyRole).toString().toStdString();
    cmdTaBort->setEnabled(true);
}

void frmKopplaFält::cmdTaBort_Click() {
    for (int i = 0; i < lvKopplingar->topLevelItemCount(); ++i) {
        if (lvKopplingar->topLevelItem(i)->data(0, kKeyRole).toString().toStdString() == selectedKey_) {
            delete lvKopplingar->takeTopLevelItem(i);
            cmdTaBortAlla->setEnabled(lvKopplingar->topLevelItemCount() > 0);
            break;
        }
    }
    cmdTaBort->setEnabled(false);
    refreshPreview();
}

void frmKopplaFält::cmdTaBortAlla_Click() {
    lvKopplingar->clear();
    cmdTaBortAlla->setEnabled(false);
    refreshPreview();
}

LinkTable frmKopplaFält::linkTable() const {
    LinkTable links;
    for (int i = 0; i < lvKopplingar->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* row = lvKopplingar->topLevelItem(i);
        links.push_back({row->text(2).toStdString(), row->text(0).toStdString(), row->text(1).toStdString(),
                         row->text(3).toStdString()});
    }
    return links;
}

void frmKopplaFält::setInfo(const std::string& text) {
    lblInfo->setText(q(text));
    lblInfo->setVisible(!text.empty());
}

}  // namespace vexla
