#include "app/progress_window.h"
#include "texts/mtexter.h"
#include "texts/text_codes.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "common/qt/screen_fit.h"

namespace vexla {

namespace {
QString q(const std::string& s) { return QString::fromStdString(s); }
}  // namespace

ProgressWindow::ProgressWindow(QWidget* owner, SharedProgress& progress, TextSource& texts)
    : QDialog(owner, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint),
      progress_(progress),
      texts_(texts) {
    setObjectName(QStringLiteral("progressWindow"));
    setWindowTitle(q(texts.TextTillAndra(txt::PleaseWait)));
    setModal(true);
    fitToScreen(*this);
    if (owner) setWindowIcon(owner->windowIcon());

    bar = new QProgressBar(this);
    bar->setObjectName(QStringLiteral("progressBar"));
    bar->setRange(0, 0);  // busy until a total is known
    bar->setMinimumWidth(360);
    label = new QLabel(this);
    label->setObjectName(QStringLiteral("progressLabel"));
    cancel = new QPushButton(q(texts.TextTillAndra(txt::CancelButton)), this);
    cancel->setObjectName(QStringLiteral("cmdAvbryt"));
    connect(cancel, &QPushButton::clicked, this, [this] { stop(); });

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(bar);
    layout->addWidget(label);
    layout->addLayout(buttons);

    timer_ = new QTimer(this);
    connect(timer_, &QTimer::timeout, this, [this] { refresh(); });
    timer_->start(100);
    refresh();
}

void ProgressWindow::refresh() {
    if (progress_.stopRequested()) return;  // the label says it is stopping
    const ProgressSnapshot p = progress_.snapshot();
    if (p.total > 0) {
        bar->setRange(0, 1000);
        bar->setValue(permille(p));
        // The share as the terminal writes it, not the toolkit's own "34%".
        bar->setFormat(q(percentText(permille(p) / 10, texts_)));
    } else {
        bar->setRange(0, 0);
    }
    label->setText(q(progressLabel(p, std::chrono::steady_clock::now() - start_, texts_)));
}

void ProgressWindow::stop() {
    progress_.requestStop();
    cancel->setEnabled(false);
    label->setText(q(texts_.TextTillAndra(txt::Stopping)));
}

void ProgressWindow::reject() { stop(); }

void ProgressWindow::closeEvent(QCloseEvent* e) {
    e->ignore();
    stop();
}

}  // namespace vexla
