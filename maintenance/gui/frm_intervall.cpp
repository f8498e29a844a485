#include "maintenance/gui/frm_intervall.h"
#include "texts/text_codes.h"

#include <QDateTimeEdit>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <tuple>

#include "common/qt/screen_fit.h"
#include "texts/qt/ok_cancel.h"
#include "texts/qt/widget_texts.h"

namespace vexla {

namespace {

bool isAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// The Qt token for a run of `run` equal letters `c` of the locale picture,
// or "" when the letter is no token there.
std::string qtToken(char c, std::size_t run) {
    const auto repeat = [&](std::size_t most) { return std::string(std::min(run, most), c); };
    switch (c) {
        case 'y': return run >= 3 ? "yyyy" : "yy";
        case 'M':
        case 'd': return repeat(4);
        case 'H':
        case 'h':
        case 'm':
        case 's': return repeat(2);
        case 't': return run == 1 ? "A" : "AP";
        default: return {};
    }
}

DateTime valueOf(const QDateTimeEdit& picker) {
    const QDateTime v = picker.dateTime();
    // The pickers show no seconds; a value typed or stepped keeps none either.
    return DateTime{v.date().year(), v.date().month(), v.date().day(), v.time().hour(), v.time().minute(), 0};
}

QDateTimeEdit* picker(const char* name, const std::string& toolTip, QWidget* parent) {
    auto* p = new QDateTimeEdit(parent);
    p->setObjectName(QString::fromLatin1(name));
    p->setToolTip(QString::fromStdString(toolTip));
    p->setCalendarPopup(true);
    // Wall-clock times as the bookings store them: in UTC no hour is skipped
    // or doubled by a change to or from summer time.
    p->setTimeSpec(Qt::UTC);
    return p;
}

}  // namespace

std::string qtDisplayFormat(const std::string& picture) {
    std::string out;
    std::string literal;  // literal text waiting to be quoted
    const auto flushLiteral = [&] {
        if (literal.empty()) return;
        out += '\'';
        for (char c : literal) out += c == '\'' ? std::string("''") : std::string(1, c);
        out += '\'';
        literal.clear();
    };
    std::size_t i = 0;
    while (i < picture.size()) {
        const char c = picture[i];
        if (c == '\'') {  // quoted text up to the closing quote; '' inside is one quote
            std::size_t j = i + 1;
            for (; j < picture.size(); ++j) {
                if (picture[j] != '\'') {
                    literal += picture[j];
                } else if (j + 1 < picture.size() && picture[j + 1] == '\'') {
                    literal += '\'';
                    ++j;
                } else {
                    break;
                }
            }
            i = j + 1;
            continue;
        }
        std::size_t run = 1;
        while (i + run < picture.size() && picture[i + run] == c) ++run;
        if (const std::string token = qtToken(c, run); !token.empty()) {
            flushLiteral();
            out += token;
        } else if (isAsciiLetter(c)) {
            literal.append(run, c);
        } else {
            flushLiteral();
            out.append(run, c);
        }
        i += run;
    }
    flushLiteral();
    return out;
}

frmIntervall::frmIntervall(QWidget* owner, Platform& platform, mTexter& texts, CTid& tid)
    : QDialog(owner), platform_(platform), texts_(texts), tid_(tid) {
    setObjectName(QStringLiteral("frmIntervall"));
    setProperty("tag", QString::fromLatin1(txt::CopyIntervalTitle));
    setModal(true);
    fitToScreen(*this);

    DTPStartTidPicker = picker("DTPStartTid", texts_.TextTillAndra(txt::FirstBookingTip), this);
    DTPSlutTidPicker = picker("DTPSlutTid", texts_.TextTillAndra(txt::LastBookingTip), this);
    Label1 = {new QLabel(this), new QLabel(this)};
    Label1[0]->setObjectName(QStringLiteral("Label1(0)"));
    Label1[0]->setProperty("tag", QString::fromLatin1(txt::FirstBookingStartLabel));
    Label1[0]->setBuddy(DTPStartTidPicker);
    Label1[1]->setObjectName(QStringLiteral("Label1(1)"));
    Label1[1]->setProperty("tag", QString::fromLatin1(txt::LastBookingStartLabel));
    Label1[1]->setBuddy(DTPSlutTidPicker);

    auto* grid = new QGridLayout;
    grid->addWidget(Label1[0], 0, 0);
    grid->addWidget(DTPStartTidPicker, 0, 1);
    grid->addWidget(Label1[1], 1, 0);
    grid->addWidget(DTPSlutTidPicker, 1, 1);
    grid->setColumnStretch(1, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    setTabOrder(DTPStartTidPicker, DTPSlutTidPicker);
    std::tie(cmdOk, cmdAvbryt) = addOkCancel(*this, *layout, DTPSlutTidPicker);

    connect(cmdOk, &QPushButton::clicked, this, [this] { cmdOk_Click(); });
    connect(cmdAvbryt, &QPushButton::clicked, this, [this] { cmdAvbryt_Click(); });
}

std::string frmIntervall::showModal() {
    if (!loaded_) Form_Load();
    exec();
    return tag_;
}

DateTime frmIntervall::DTPStartTid() const { return valueOf(*DTPStartTidPicker); }

DateTime frmIntervall::DTPSlutTid() const { return valueOf(*DTPSlutTidPicker); }

void frmIntervall::unload() {
    if (isVisible()) QDialog::reject();
    loaded_ = false;
    tag_.clear();
}

// Texts, the locale's display format, and the working day of today as the
// interval proposed.
void frmIntervall::Form_Load() {
    loaded_ = true;
    tag_.clear();
    if (parentWidget()) setWindowIcon(parentWidget()->windowIcon());
    WidgetTextForm form(this, {DTPStartTidPicker, DTPSlutTidPicker, cmdOk, cmdAvbryt, Label1[0], Label1[1]});
    texts_.SetTextOfForm(form);

    const QString format =
        QString::fromStdString(qtDisplayFormat(tid_.DatumFormat(false) + " " + tid_.TidFormat(true, false, 4)));
    DTPStartTidPicker->setDisplayFormat(format);
    DTPSlutTidPicker->setDisplayFormat(format);

    const DateTime now = platform_.clock.now();
    const QDate today(now.year, now.month, now.day);
    DTPStartTidPicker->setDateTime(QDateTime(today, QTime(8, 0), Qt::UTC));
    DTPSlutTidPicker->setDateTime(QDateTime(today, QTime(17, 0), Qt::UTC));
    DTPStartTidPicker->setFocus();
}

// The last start time must come after the first: an equal or earlier end is refused.
void frmIntervall::cmdOk_Click() {
    if (DTPSlutTid() <= DTPStartTid()) {
        platform_.messages.beep();
        platform_.messages.show(texts_.TextTillAndra(txt::LastStartMustBeLater) + "!", kProgramTitle, MsgIcon::Critical,
                                MsgButtons::Ok);
        return;
    }
    tag_ = "OK";
    accept();
}

void frmIntervall::cmdAvbryt_Click() {
    tag_ = "Avbryt";
    QDialog::reject();
}

// Esc means Cancel, as the button says; only the close box leaves the tag alone.
void frmIntervall::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Escape && e->modifiers() == Qt::NoModifier) {
        cmdAvbryt->click();
        return;
    }
    QDialog::keyPressEvent(e);
}

}  // namespace vexla
