// Which of the fixed locales (common/fixed_locale.h) an installation uses:
// Locale= of the [System] section of the program folder's Vexla.ini, by
// default the one of the installed language.
#pragma once

#include <cstdio>
#include <string>

#include "common/fixed_locale.h"
#include "common/platform/system_log.h"
#include "common/platform/text_source.h"

namespace vexla {

// The locale of the language languageOfTexts names: sv_SE for "se", en_US for any other.
LocaleName localeOfLanguage(const std::string& language);

// Locale= of [System] in `programFolder`/Vexla.ini; where it is not set (or
// blank), the installed language's. A value that names no locale is not
// guessed at: the language's locale is used, and one line in the language of
// `texts` naming the value and the locale used goes to `err` and to `log` at
// Warning, so that an administrator learns why the files look as they do.
LocaleName installedLocale(const std::string& programFolder, TextSource& texts, std::FILE* err, SystemLog& log);

}  // namespace vexla
