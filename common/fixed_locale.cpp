#include "common/fixed_locale.h"

namespace vexla {

namespace {

struct Settings {
    const char* name;
    const char* shortDate;
    const char* longDate;
    const char* time;
    const char* decimal;
};

constexpr Settings kLocales[] = {
    {"sv_SE", "yyyy-MM-dd", "yyyy-MM-dd", "HH:mm:ss", ","},
    {"en_US", "M/d/yyyy", "MM/dd/yyyy", "h:mm:ss tt", "."},
};

const Settings& settingsOf(LocaleName locale) { return kLocales[static_cast<int>(locale)]; }

}  // namespace

std::optional<LocaleName> localeNamed(std::string_view name) {
    for (LocaleName locale : {LocaleName::Swedish, LocaleName::English})
        if (name == settingsOf(locale).name) return locale;
    return std::nullopt;
}

const char* nameOf(LocaleName locale) { return settingsOf(locale).name; }

std::optional<std::string> FixedLocale::value(LocaleItem item) {
    const Settings& s = settingsOf(name_);
    switch (item) {
        case LocaleItem::ShortDate: return s.shortDate;
        case LocaleItem::LongDate: return s.longDate;
        case LocaleItem::TimeFormat: return s.time;
        case LocaleItem::DecimalSeparator: return s.decimal;
    }
    return std::nullopt;
}

}  // namespace vexla
