#include "common/qt/button_texts.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

#include "common/platform/text_source.h"

namespace vexla {

void captionStandardButtons(QMessageBox& box, TextSource& texts) {
    const std::pair<QMessageBox::StandardButton, const char*> captions[] = {{QMessageBox::Yes, "R9012"},
                                                                            {QMessageBox::No, "R9013"},
                                                                            {QMessageBox::Ok, "R0898"},
                                                                            {QMessageBox::Cancel, "R1048"}};
    for (const auto& [which, code] : captions) {
        QAbstractButton* button = box.button(which);
        const std::string caption = texts.TextTillAndra(code);
        if (button && !caption.empty()) button->setText(QString::fromStdString(caption));
    }
}

void captionCancelButton(QFileDialog& dialog, TextSource& texts) {
    const std::string caption = texts.TextTillAndra("R1048");
    if (!caption.empty()) dialog.setLabelText(QFileDialog::Reject, QString::fromStdString(caption));
}

}  // namespace vexla
