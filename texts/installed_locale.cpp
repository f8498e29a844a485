#include "texts/installed_locale.h"
#include "texts/text_codes.h"

#include "common/ini_file.h"
#include "common/text.h"
#include "texts/mtexter.h"

namespace vexla {

LocaleName localeOfLanguage(const std::string& language) {
    return language == "se" ? LocaleName::Swedish : LocaleName::English;
}

LocaleName installedLocale(const std::string& programFolder, TextSource& texts, std::FILE* err, SystemLog& log) {
    const LocaleName byLanguage = localeOfLanguage(languageOfTexts(texts));
    const std::string value(trimBlanks(readIniString(programFolder + "/Vexla.ini", "System", "Locale", 64)));
    if (value.empty()) return byLanguage;
    if (const auto named = localeNamed(value)) return *named;
    const std::string line = texts.TextTillAndra(txt::LocaleSettingUnknown) + ": " + value + ". " +
                             texts.TextTillAndra(txt::LocaleUsedInstead) + ": " + nameOf(byLanguage);
    std::fprintf(err, "%s\n", line.c_str());
    log.write(LogPriority::Warning, line);
    return byLanguage;
}

}  // namespace vexla
