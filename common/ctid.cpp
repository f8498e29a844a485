#include "common/ctid.h"
#include "texts/text_codes.h"

#include <optional>

#include "common/platform.h"
#include "common/result.h"

namespace vexla {

namespace {

// The runtime error a substring cut with a negative length raises; the
// time format is cut that way, so a missing ":" surfaces as this error.
Error invalidCall() { return Error{5, "Invalid procedure call or argument", "Vexla Admin"}; }

// The text before the n-th ":" (n from 1); an error when there are fewer.
Result<std::string> beforeColon(const std::string& format, int n) {
    std::size_t at = std::string::npos;
    std::size_t from = 0;
    for (int i = 0; i < n; ++i) {
        at = format.find(':', from);
        if (at == std::string::npos) return invalidCall();
        from = at + 1;
    }
    return format.substr(0, at);
}

const char* amPmMarker(int AmPm) {
    switch (AmPm) {
        case 1: return " A/P";
        case 2: return " AM/PM";
        case 4: return " t";
        case 5: return " tt";
        default: return "";
    }
}

}  // namespace

CTid::CTid(LocaleInfo& locale, MessageBoxes& messages, TextSource& texts)
    : locale_(locale), messages_(messages), texts_(texts) {}

std::string CTid::localeValue(LocaleItem item) {
    // A locale value is a C string: whatever follows a NUL is not part of it.
    const std::optional<std::string> value = locale_.value(item);
    if (!value) return {};
    return value->substr(0, value->find('\0'));
}

std::string CTid::DatumFormat(bool Långt) { return localeValue(Långt ? LocaleItem::LongDate : LocaleItem::ShortDate); }

std::string CTid::TidFormat(bool Minuter, bool Sekunder, int AmPm) {
    const std::string format = localeValue(LocaleItem::TimeFormat);
    std::string picture;
    if (!Minuter || !Sekunder) {
        Result<std::string> cut = beforeColon(format, Minuter ? 2 : 1);
        if (!cut) {
            const Error& e = cut.error();
            messages_.show(texts_.TextTillAndra(txt::ErrorLead) + " " + std::to_string(e.number) + " (" +
                               e.description + ") in procedure TidFormat i Class Module CTid",
                           kProgramTitle, MsgIcon::None, MsgButtons::Ok);
            return {};
        }
        picture = std::move(*cut);
        // H:mm:ss and HH:mm:ss both give a two-digit 24-hour field.
        if (!Minuter && picture.size() == 1) picture = "H" + picture;
    }
    if (Minuter && format.find("tt") != std::string::npos) picture += amPmMarker(AmPm);
    return picture;
}

}  // namespace vexla
