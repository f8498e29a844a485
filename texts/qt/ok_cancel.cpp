#include "texts/qt/ok_cancel.h"
#include "texts/text_codes.h"

#include <QBoxLayout>
#include <QPushButton>

namespace vexla {

namespace {

QPushButton* button(const char* name, const char* tag, QWidget& parent) {
    auto* b = new QPushButton(&parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setProperty("tag", QString::fromLatin1(tag));
    return b;
}

}  // namespace

std::pair<QPushButton*, QPushButton*> addOkCancel(QWidget& dialog, QBoxLayout& layout, QWidget* before) {
    QPushButton* ok = button("cmdOk", txt::OkButton, dialog);
    ok->setDefault(true);
    QPushButton* cancel = button("cmdAvbryt", txt::CancelButton, dialog);
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(ok);
    row->addWidget(cancel);
    layout.addLayout(row);
    QWidget::setTabOrder(before, ok);
    QWidget::setTabOrder(ok, cancel);
    return {ok, cancel};
}

}  // namespace vexla
