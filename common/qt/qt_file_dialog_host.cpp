#include "common/qt/qt_file_dialog_host.h"
#include "texts/text_codes.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

#include "common/qt/button_texts.h"
#include "common/qt/screen_fit.h"

#include "common/platform.h"

namespace vexla {

namespace {

QString patternsOf(const std::string& pattern) {
    QStringList patterns = QString::fromStdString(pattern).split(u';', Qt::SkipEmptyParts);
    for (QString& p : patterns) {
        p = p.trimmed();
        if (p == QStringLiteral("*.*")) p = QStringLiteral("*");
    }
    return patterns.join(u' ');
}

// The dialog with the checks Qt's own accept does not make. It stays a
// QFileDialog to the buttons and the line edit, which call accept().
class CheckingFileDialog final : public QFileDialog {
public:
    CheckingFileDialog(QWidget* owner, std::uint32_t flags, TextSource& texts)
        : QFileDialog(owner), flags_(flags), texts_(texts) {
        fitToScreen(*this);
    }

    void accept() override {
        const QStringList files = selectedFiles();
        if (files.size() == 1 && !QFileInfo(files.first()).isDir() && !acceptable(QFileInfo(files.first()))) return;
        QFileDialog::accept();  // also opens a chosen folder, and asks before overwriting
    }

private:
    bool acceptable(const QFileInfo& chosen) {
        if ((flags_ & ofn::PathMustExist) && !QFileInfo(chosen.absolutePath()).isDir()) {
            QApplication::beep();
            QMessageBox box(QMessageBox::Warning, QString::fromUtf8(kProgramTitle),
                            text(txt::DialogFolderDoesNotExist) + QStringLiteral(": ") +
                                QDir::toNativeSeparators(chosen.absolutePath()),
                            QMessageBox::Ok, this);
            captionStandardButtons(box, texts_);
            box.exec();
            return false;
        }
        if ((flags_ & ofn::CreatePrompt) && !(flags_ & ofn::FileMustExist) && !chosen.exists()) {
            QApplication::beep();
            QMessageBox box(QMessageBox::Question, QString::fromUtf8(kProgramTitle),
                            QDir::toNativeSeparators(chosen.absoluteFilePath()) + u'\n' +
                                text(txt::DialogCreateFileQuestion) + u'?',
                            QMessageBox::Yes | QMessageBox::No, this);
            box.setDefaultButton(QMessageBox::Yes);  // Enter creates the file the user just named
            captionStandardButtons(box, texts_);
            return box.exec() == QMessageBox::Yes;
        }
        return true;
    }

    QString text(const char* code) { return QString::fromStdString(texts_.TextTillAndra(code)); }

    std::uint32_t flags_;
    TextSource& texts_;
};

// The initial file name: the record's buffer up to its NUL, without the
// blank padding behind the name.
QString initialName(const std::string& buffer) {
    std::string name = buffer.substr(0, buffer.find('\0'));
    name.erase(name.find_last_not_of(' ') + 1);
    return QString::fromStdString(name);
}

qsizetype characterCount(const QString& text) { return text.toUcs4().size(); }

// The suffix of a filter's single pattern, "csv" of "Kalkylblad (*.csv)"; "" for any other filter.
QString suffixOf(const QString& filter) {
    const qsizetype open = filter.lastIndexOf(QStringLiteral("(*."));
    if (open < 0 || !filter.endsWith(u')')) return {};
    const QString suffix = filter.mid(open + 3, filter.size() - open - 4);
    return suffix.contains(u' ') || suffix.contains(u'*') ? QString() : suffix;
}

// In a save dialog, a name with a suffix takes the suffix of the file type
// chosen, so that "KundReg.skv" becomes "KundReg.csv" with the type of *.csv.
void nameFollowsType(QFileDialog& dialog) {
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& filter) {
        const QStringList typed = dialog.selectedFiles();
        const QString suffix = suffixOf(filter);
        if (typed.size() != 1 || suffix.isEmpty()) return;
        const QFileInfo name(typed.first());
        if (name.isDir() || name.suffix().isEmpty()) return;
        dialog.selectFile(name.completeBaseName() + u'.' + suffix);
    });
}

}  // namespace

QStringList qtNameFilters(const std::string& filterList) {
    QStringList filters;
    std::size_t at = 0;
    while (at < filterList.size()) {
        const std::size_t descriptionEnd = filterList.find('\0', at);
        if (descriptionEnd == std::string::npos || descriptionEnd == at) break;
        const std::size_t patternEnd = filterList.find('\0', descriptionEnd + 1);
        if (patternEnd == std::string::npos) break;
        QString description = QString::fromStdString(filterList.substr(at, descriptionEnd - at)).trimmed();
        const QString patterns = patternsOf(filterList.substr(descriptionEnd + 1, patternEnd - descriptionEnd - 1));
        at = patternEnd + 1;
        if (patterns.isEmpty()) continue;
        const QString shown = QStringLiteral("(") + patterns + u')';
        const qsizetype open = description.lastIndexOf(u'(');
        if (description.endsWith(u')') && open >= 0 &&
            patternsOf(description.mid(open + 1, description.size() - open - 2).toStdString()) == patterns)
            description = description.left(open).trimmed();
        filters << (description.isEmpty() ? shown : description + u' ' + shown);
    }
    return filters;
}

QtFileDialogHost::QtFileDialogHost(QWidget* owner, TextSource& texts) : owner_(owner), texts_(texts) {}

bool QtFileDialogHost::getOpenFileName(OpenFileName& ofn) { return run(ofn, false); }

bool QtFileDialogHost::getSaveFileName(OpenFileName& ofn) { return run(ofn, true); }

bool QtFileDialogHost::run(OpenFileName& ofn, bool save) {
    CheckingFileDialog dialog(owner_, ofn.flags, texts_);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    captionCancelButton(dialog, texts_);
    dialog.setWindowTitle(QString::fromStdString(ofn.title));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(!save && (ofn.flags & ofn::FileMustExist) ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    if (!(ofn.flags & ofn::OverwritePrompt)) dialog.setOption(QFileDialog::DontConfirmOverwrite);
    const QStringList filters = qtNameFilters(ofn.filter);
    if (!filters.isEmpty()) dialog.setNameFilters(filters);
    if (ofn.filterIndex > 1 && ofn.filterIndex <= filters.size()) dialog.selectNameFilter(filters[ofn.filterIndex - 1]);
    if (!ofn.initialDir.empty()) dialog.setDirectory(QString::fromStdString(ofn.initialDir));
    if (const QString name = initialName(ofn.file); !name.isEmpty()) dialog.selectFile(name);
    if (save) nameFollowsType(dialog);

    QString chosen;
    QObject::connect(&dialog, &QFileDialog::filesSelected, &dialog, [&chosen](const QStringList& files) {
        if (!files.isEmpty()) chosen = files.first();
    });
    if (dialog.exec() != QDialog::Accepted || chosen.isEmpty()) return false;

    const QFileInfo info(chosen);
    const QString path = QDir::fromNativeSeparators(info.absoluteFilePath());
    if (characterCount(path) > ofn.maxFile - 1) return false;
    ofn.file = path.toStdString();
    ofn.fileTitle = info.fileName().toStdString();
    if (const qsizetype type = filters.indexOf(dialog.selectedNameFilter()); type >= 0)
        ofn.filterIndex = static_cast<int>(type) + 1;
    return true;
}

}  // namespace vexla
