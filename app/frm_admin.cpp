#include "app/frm_admin.h"
#include "texts/text_codes.h"
#include "texts/text_tag.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEvent>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include "common/qt/screen_fit.h"
#include "login/frm_login.h"
#include "maintenance/compaction.h"
#include "maintenance/database_copy.h"
#include "maintenance/database_location.h"
#include "maintenance/gui/frm_intervall.h"
#include "maintenance/gui/frm_kontroll.h"
#include "maintenance/gui/frm_sokvag.h"
#include "registers/export_register.h"
#include "registers/gui/frm_koppla_falt.h"
#include "registers/register_kind.h"
#include "session/damaged_file.h"
#include "texts/qt/widget_texts.h"

namespace vexla {

namespace {

QString q(const std::string& s) { return QString::fromStdString(s); }

// The key of the database chosen in the window, as the system's Vexla.ini names it.
constexpr std::string_view kChosenDatabaseKey = "DataBas1";

// A PNG of the program's resources. Its format is named, not guessed:
// guessing loads every image plugin, which the start-up need not wait for.
QPixmap png(const QString& path) {
    QImageReader reader(path, "png");
    reader.setAutoDetectImageFormat(false);
    return QPixmap::fromImage(reader.read());
}

QPushButton* button(const char* name, const std::string& tag, QWidget* parent) {
    auto* b = new QPushButton(parent);
    b->setObjectName(QString::fromUtf8(name));
    b->setProperty("tag", QString::fromStdString(tag));
    b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    return b;
}

QGroupBox* frame(const char* name, const char* tag, QPushButton* first, QPushButton* second) {
    auto* box = new QGroupBox;
    box->setObjectName(QString::fromUtf8(name));
    box->setProperty("tag", QString::fromLatin1(tag));
    auto* lay = new QVBoxLayout(box);
    lay->addWidget(first);
    lay->addWidget(second);
    return box;
}

}  // namespace

frmAdmin::frmAdmin(Platform& platform, db::DBEngine& engine, mTexter& texts, StartupHooks& hooks,
                   FolderMemory& chosenDatabase)
    : QDialog(nullptr, Qt::Window | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      platform_(platform),
      engine_(engine),
      texts_(texts),
      hooks_(hooks),
      chosenDatabase_(chosenDatabase),
      log_(platform.files, platform.messages, texts, platform.programFolder, platform.systemLog),
      runner_(this, texts) {
    setObjectName(QStringLiteral("frmAdmin"));
    fitToScreen(*this);
    // While a job runs, its buttons and the others wait; Close stays, and
    // asks the job to stop first.
    runner_.onRunning = [this](bool running) {
        cmdDB->setEnabled(!running);
        enableJobs(!running && !pathLabel().empty());
    };
    setProperty("tag", QString::fromLatin1(txt::AdminTitle));
    setWindowIcon(QIcon(png(QStringLiteral(":/vexla-admin.png"))));
    buildControls();
}

frmAdmin::~frmAdmin() = default;

void frmAdmin::buildControls() {
    // Import is index 0 and export index 1 of each register's pair.
    cmdKundReg = {button("cmdKundReg(0)", textTag(txt::ImportCustomersButton, txt::ImportCustomersTip), this),
                  button("cmdKundReg(1)", textTag(txt::ExportCustomersButton, txt::ExportCustomersTip), this)};
    cmdBokningReg = {button("cmdBokningReg(0)", textTag(txt::ImportBookingsButton, txt::ImportBookingsTip), this),
                     button("cmdBokningReg(1)", textTag(txt::ExportBookingsButton, txt::ExportBookingsTip), this)};
    cmdResursReg = {button("cmdResursReg(0)", textTag(txt::ImportResourcesButton, txt::ImportResourcesTip), this),
                    button("cmdResursReg(1)", textTag(txt::ExportResourcesButton, txt::ExportResourcesTip), this)};
    Frame2 = frame("Frame2", txt::CustomersFrame, cmdKundReg[0], cmdKundReg[1]);
    fraBokningar = frame("fraBokningar", txt::BookingsFrame, cmdBokningReg[0], cmdBokningReg[1]);
    Frame1 = frame("Frame1", txt::ResourcesFrame, cmdResursReg[0], cmdResursReg[1]);

    cmdDB = button("cmdDB", textTag(txt::ChangeDatabaseButton, txt::ChangeDatabaseTip), this);
    cmdKomprimera = button("cmdKomprimera", textTag(txt::CompactButton, txt::CompactTip), this);
    cmdKopiera = button("cmdKopiera", textTag(txt::CopyButton, txt::CopyTip), this);
    cmdKontroll = button("cmdKontroll", textTag(txt::ControlButton, txt::ControlTip), this);
    cdmStäng = button("cdmStäng", textTag(txt::CloseButton, txt::QuitTip), this);
    cmdKomprimera->setDefault(true);

    imgBild = new QLabel(this);
    imgBild->setObjectName(QStringLiteral("imgBild"));
    imgResurs = {new QLabel(this), new QLabel(this)};
    for (int i = 0; i < 2; ++i) {
        imgResurs[i]->setObjectName(QStringLiteral("imgResurs(%1)").arg(i));
        imgResurs[i]->setFixedSize(211, 51);
    }

    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setProperty("tag", QString::fromLatin1(txt::DatabaseLabel));
    lblSökväg = new QLabel(this);
    lblSökväg->setObjectName(QString::fromUtf8("lblSökväg"));
    lblSökväg->setTextInteractionFlags(Qt::TextSelectableByMouse);

    Line1 = new QFrame(this);
    Line1->setObjectName(QStringLiteral("Line1"));
    Line1->setFrameShape(QFrame::HLine);
    Line1->setFrameShadow(QFrame::Sunken);

    // The information line wraps a long result and scrolls within an area
    // of four lines: it never widens the window past the screen, and never
    // takes height from the buttons above it.
    picInfo = new QFrame(this);
    picInfo->setObjectName(QStringLiteral("picInfo"));
    picInfo->setFrameShape(QFrame::Panel);
    picInfo->setFrameShadow(QFrame::Sunken);
    lblInfo = new QLabel;
    lblInfo->setObjectName(QStringLiteral("lblInfo"));
    lblInfo->setWordWrap(true);
    lblInfo->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblInfo->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* scroll = new QScrollArea(picInfo);
    scroll->setObjectName(QStringLiteral("picInfoScroll"));
    scroll->setWidget(lblInfo);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setFocusPolicy(Qt::NoFocus);  // a result to read, not a stop for Tab
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setFixedHeight(4 * lblInfo->fontMetrics().lineSpacing() + 6);
    auto* info = new QHBoxLayout(picInfo);
    info->setContentsMargins(2, 2, 2, 2);
    info->addWidget(scroll);

    auto* top = new QHBoxLayout;
    top->addWidget(imgBild);
    top->addStretch();
    top->addWidget(imgResurs[0]);
    top->addWidget(imgResurs[1]);

    auto* registers = new QHBoxLayout;
    registers->addWidget(Frame2);
    registers->addWidget(fraBokningar);
    registers->addWidget(Frame1);

    auto* jobs = new QHBoxLayout;
    jobs->addWidget(cmdDB);
    jobs->addWidget(cmdKomprimera);
    jobs->addWidget(cmdKopiera);
    jobs->addWidget(cmdKontroll);
    jobs->addStretch();
    jobs->addWidget(cdmStäng);

    auto* path = new QHBoxLayout;
    path->addWidget(Label1);
    path->addWidget(lblSökväg, 1);

    auto* main = new QVBoxLayout(this);
    main->addLayout(top);
    main->addLayout(registers);
    main->addLayout(jobs);
    main->addWidget(Line1);
    main->addLayout(path);
    main->addWidget(picInfo);

    // Start disabled; the path label enables them.
    enableJobs(false);

    // Closing ends the program with every file closed. The dialog's own
    // reject() is taken directly: ours presses this button.
    connect(cdmStäng, &QPushButton::clicked, this, [this] {
        closeAllFiles();
        QDialog::reject();
        QCoreApplication::quit();
    });
    connect(cmdKomprimera, &QPushButton::clicked, this, &frmAdmin::cmdKomprimera_Click);
    connect(cmdKopiera, &QPushButton::clicked, this, &frmAdmin::cmdKopiera_Click);
    connect(cmdDB, &QPushButton::clicked, this, &frmAdmin::cmdDB_Click);
    connect(cmdKontroll, &QPushButton::clicked, this, &frmAdmin::cmdKontroll_Click);
    // Register kinds: 0 customers, 1 resources, 2 bookings.
    const std::array<std::array<QPushButton*, 2>*, 3> byKind{&cmdKundReg, &cmdResursReg, &cmdBokningReg};
    for (int kind = 0; kind < 3; ++kind)
        for (int index = 0; index < 2; ++index)
            connect((*byKind[kind])[index], &QPushButton::clicked, this,
                    [this, kind, index] { registerClicked(kind, index); });
}

std::optional<int> frmAdmin::runStartup(const StartingDatabase& start) {
    applyTexts();

    // Compaction's caption tells what else it does: "caption && R1843" shows a literal "&".
    cmdKomprimera->setText(cmdKomprimera->text() + QStringLiteral(" && ") +
                           q(texts_.TextTillAndra(txt::BackUpCaptionPiece)));
    cmdKomprimera->setToolTip(cmdKomprimera->toolTip() + QStringLiteral(". ") +
                              q(texts_.TextTillAndra(txt::DatedBackupFirstNote)));

    imgBild->setPixmap(windowIcon().pixmap(32, 32));
    chooseLanguage();
    Tid_ = std::make_unique<CTid>(platform_.locale, platform_.messages, texts_);

    start.applyTo(state_);
    if (state_.DataBas.empty()) {
        auto chosen = hooks_.askForDatabasePath(*this);
        if (!chosen) return 0;
        state_.DataBas = *chosen;
        settleDatabaseFolder();
        // Only a path the start-up takes is kept for the next start.
        if (!state_.DataBas.empty()) chosenDatabase_.remember(kChosenDatabaseKey, state_.DataBas);
    } else {
        settleDatabaseFolder();
    }
    setPathLabel(" " + state_.DataBas);
    // The captions came from the language file after the layout was built:
    // no button may now be narrower than its caption, in either language,
    // and the window grows to hold them (it may grow further, not shrink).
    for (QPushButton* b : findChildren<QPushButton*>()) b->setMinimumWidth(b->sizeHint().width());
    adjustSize();
    return std::nullopt;
}

void frmAdmin::applyTexts() {
    WidgetTextForm form(
        this, {Frame2,      cmdKundReg[0],   cmdKundReg[1],   fraBokningar, cmdBokningReg[0], cmdBokningReg[1],
               Frame1,      cmdResursReg[0], cmdResursReg[1], cmdDB,        cmdKomprimera,    cmdKopiera,
               cmdKontroll, cdmStäng,        picInfo,         lblInfo,      Label1,           lblSökväg,
               imgBild,     imgResurs[0],    imgResurs[1],    Line1});
    texts_.SetTextOfForm(form);
}

void frmAdmin::chooseLanguage() {
    const bool swedish = languageOfTexts(texts_) == "se";
    state_.Språk = swedish ? "se" : "en";
    imgResurs[0]->setVisible(swedish);
    imgResurs[1]->setVisible(!swedish);
    // Only the banner shown is read.
    imgResurs[swedish ? 0 : 1]->setPixmap(
        png(swedish ? QStringLiteral(":/banner_se.png") : QStringLiteral(":/banner_en.png")));
}

void frmAdmin::settleDatabaseFolder() {
    if (auto folder = folderOfPath(state_.DataBas, kPathSeparator)) {
        state_.msSökväg = *folder;
    } else {
        state_.DataBas.clear();
        setInfo(texts_.TextTillAndra(txt::NoValidDatabasePath));
    }
}

// Every register transfer starts with a fresh login; a refused or cancelled
// login ends the click silently.
void frmAdmin::registerClicked(int kind, int index) {
    frmLogin login(this, platform_, texts_, LoginDatabase{engine_, state_.DataBas});
    login.exec();
    if (login.answer() != "Ok") return;
    state_.loginName = login.txtUserName->text().toStdString();
    const RegisterKind* reg = registerByKind(static_cast<std::int16_t>(kind));
    if (index == 0) {
        frmKopplaFält mapping(*this, this, platform_, texts_, linkCounter_, &runner_);
        mapping.Tag = std::string(reg->name);
        mapping.exec();
        return;
    }
    JobContext ctx = jobContext();
    const ExportOutcome outcome = exportRegister(ctx, reg->kind);
    showExport(ctx, reg->kind, outcome);
    offerCheck(outcome.failure);
}

JobContext frmAdmin::jobContext() {
    JobContext ctx{*this, platform_, texts_, false, &runner_, nullptr};
    ctx.waitSeconds = configuredWait(platform_.programFolder + "/Vexla.ini");
    engine().SetWait(ctx.waitSeconds);
    return ctx;
}

void frmAdmin::cmdKomprimera_Click() {
    JobContext ctx = jobContext();
    setInfo("");
    CompactionOutcome outcome;
    ctx.runLong([&](JobContext& worker) { outcome = compactDatabase(worker); });
    showCompaction(ctx, outcome);
    // A compacted file that failed its own check is set aside: the database is whole.
    if (outcome.setAside.empty()) offerCheck(outcome.failure);
}

void frmAdmin::cmdKopiera_Click() {
    JobContext ctx = jobContext();
    askAndCopyDatabase(ctx, intervalDialog());
}

void frmAdmin::cmdDB_Click() {
    JobContext ctx = jobContext();
    const std::string before = state_.DataBas;
    changeDatabase(ctx, pathDialog());
    if (state_.DataBas != before) chosenDatabase_.remember(kChosenDatabaseKey, state_.DataBas);
}

void frmAdmin::cmdKontroll_Click() { checkDialog().showModal(); }

void frmAdmin::offerCheck(const std::optional<Error>& failure) {
    if (!failure || !isDamagedDatabase(*failure)) return;
    if (platform_.messages.show(texts_.TextTillAndra(txt::CheckDamagedNowQuestion) + "?", kProgramTitle,
                                MsgIcon::Question, MsgButtons::YesNo) == MsgAnswer::Yes)
        checkDialog().showModal(true);
}

frmSökväg& frmAdmin::pathDialog() {
    if (!pathDialog_) pathDialog_ = std::make_unique<frmSökväg>(this, *this, platform_, texts_);
    return *pathDialog_;
}

frmIntervall& frmAdmin::intervalDialog() {
    if (!intervalDialog_) intervalDialog_ = std::make_unique<frmIntervall>(this, platform_, texts_, *Tid_);
    return *intervalDialog_;
}

void frmAdmin::setInfo(const std::string& text) {
    lblInfo->setText(q(text));
    lblInfo->repaint();  // a long job writes here and must be seen before it ends
}

frmKontroll& frmAdmin::checkDialog() {
    if (!checkDialog_) checkDialog_ = std::make_unique<frmKontroll>(this, texts_, [this] { return jobContext(); });
    return *checkDialog_;
}

std::string frmAdmin::info() const { return lblInfo->text().toStdString(); }

void frmAdmin::setPathLabel(const std::string& text) {
    lblSökväg->setText(q(text));
    enableJobs(!text.empty());
}

void frmAdmin::enableJobs(bool enable) {
    for (QPushButton* b : {cmdKundReg[0], cmdKundReg[1], cmdBokningReg[0], cmdBokningReg[1], cmdResursReg[0],
                           cmdResursReg[1], cmdKomprimera, cmdKopiera, cmdKontroll})
        b->setEnabled(enable);
}

std::string frmAdmin::pathLabel() const { return lblSökväg->text().toStdString(); }

void frmAdmin::Logg(const std::string& text) { log_.Logg(text); }

void frmAdmin::LoggNotice(const std::string& text) { log_.LoggNotice(text); }

bool frmAdmin::event(QEvent* e) {
    if (e->type() == QEvent::WindowActivate && cmdKomprimera->isEnabled()) cmdKomprimera->setFocus();
    return QDialog::event(e);
}

void frmAdmin::reject() { cdmStäng->click(); }

void frmAdmin::closeEvent(QCloseEvent* e) {
    // The close box closes as the Close button does.
    e->ignore();
    cdmStäng->click();
}

}  // namespace vexla
