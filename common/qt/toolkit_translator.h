// The toolkit's own texts (the file dialog's labels, the standard buttons)
// in the program's language. The toolkit's Swedish catalogue qt_sv (Debian:
// qt6-translations-l10n) is an old one: it words the buttons under the
// context they had before they moved to QPlatformTheme, and lacks a few of
// the file dialog's labels. This translator reads the catalogue, asks it a
// button under its old context too, and takes the labels it lacks from the
// language file (without their access keys: only the program's own buttons
// carry one in the language file).
#pragma once

#include <QTranslator>

#include <map>
#include <string>
#include <utility>

namespace vexla {

class TextSource;

class ToolkitTranslator final : public QTranslator {
public:
    // Loads the toolkit's catalogue for `language` ("se" or "en") and reads
    // the missing labels from `texts`. Answers false, and translates
    // nothing, for English (the toolkit's own language) or when the
    // catalogue is not installed.
    bool loadFor(const std::string& language, TextSource& texts);

    QString translate(const char* context, const char* sourceText, const char* disambiguation = nullptr,
                      int n = -1) const override;
    bool isEmpty() const override { return !loaded_; }

private:
    bool loaded_ = false;
    std::map<std::pair<std::string, std::string>, QString> missing_;  // (context, source) -> text
};

}  // namespace vexla
