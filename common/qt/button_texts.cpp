#include "common/qt/button_texts.h"
#include "texts/text_codes.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

#include "common/platform/text_source.h"

namespace vexla {

void captionStandardButtons(QMessageBox& box, TextSource& texts) {
    const std::pair<QMessageBox::StandardButton, const char*> captions[] = {{QMessageBox::Yes, txt::YesButton},
                                                                            {QMessageBox::No, txt::NoButton},
                                                                            {QMessageBox::Ok, txt::OkButton},
                                                                            {QMessageBox::Cancel, txt::CancelButton}};
    for (const auto& [which, code] : captions) {
        QAbstractButton* button = box.button(which);
        const std::string caption = texts.TextTillAndra(code);
        if (button && !caption.empty()) button->setText(QString::fromStdString(caption));
    }
}

void captionCancelButton(QFileDialog& dialog, TextSource& texts) {
    const std::string caption = texts.TextTillAndra(txt::CancelButton);
    if (!caption.empty()) dialog.setLabelText(QFileDialog::Reject, QString::fromStdString(caption));
}

}  // namespace vexla
