#include "common/qt/toolkit_translator.h"
#include "texts/text_codes.h"

#include <QLibraryInfo>

#include <cstring>

#include "common/platform/text_source.h"

namespace vexla {

namespace {

// The labels the catalogue lacks, by context and source text, and the
// language text that words each.
struct MissingLabel {
    const char* context;
    const char* source;
    const char* code;
};
constexpr MissingLabel kMissing[] = {
    {"QFileDialog", "Look in:", txt::DialogLookIn},
    {"QFileDialog", "&New Folder", txt::DialogNewFolder},
    {"QFileDialog", "Recent Places", txt::DialogRecentPlaces},
    {"QFileDialog", "&Choose", txt::DialogChoose},
    {"QFileSystemModel", "Computer", txt::DialogComputer},
    {"QFileDialog", "Remove", txt::DialogRemove},
    // The type column of the file dialog's list, asked of the icon provider.
    {"QAbstractFileIconProvider", "Folder", txt::DialogFolder},
    {"QAbstractFileIconProvider", "Drive", txt::DialogDrive},
};

}  // namespace

bool ToolkitTranslator::loadFor(const std::string& language, TextSource& texts) {
    loaded_ = false;
    missing_.clear();
    if (language != "se") return false;
    if (!load(QStringLiteral("qt_sv"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) return false;
    for (const MissingLabel& m : kMissing) {
        const std::string text = texts.TextTillAndra(m.code);
        if (!text.empty()) missing_[{m.context, m.source}] = QString::fromStdString(text);
    }
    loaded_ = true;
    return true;
}

QString ToolkitTranslator::translate(const char* context, const char* sourceText, const char* disambiguation,
                                     int n) const {
    if (!loaded_ || !context || !sourceText) return {};
    QString found = QTranslator::translate(context, sourceText, disambiguation, n);
    // The standard buttons' captions, worded in the catalogue under their old context.
    if (found.isEmpty() && std::strcmp(context, "QPlatformTheme") == 0)
        found = QTranslator::translate("QDialogButtonBox", sourceText, disambiguation, n);
    if (found.isEmpty()) {
        const auto m = missing_.find({context, sourceText});
        if (m != missing_.end()) found = m->second;
    }
    return found;
}

}  // namespace vexla
