// The user's regional settings from Qt's locale data (CLDR), given in the
// picture-string token language of the date pickers.
//
// Qt's format strings are close to that language; the differences are
// translated:
//   AP, ap, A, a, Ap, aP (AM/PM marker)     -> tt
//   h, hh in a format without a marker      -> H, HH (Qt's h is then 24-hour)
//   h, hh with a marker; H, HH              -> kept
//   t (time zone)                           -> dropped, together with the
//                                              blanks, comma or parentheses
//                                              that set it off
//   d..dddd, M..MMMM, yy, yyyy, m, s        -> kept
//   'quoted text'                           -> kept, quotes included
#pragma once

#include <QLocale>
#include <QString>

#include "common/platform/locale_info.h"

namespace vexla {

class QtLocaleInfo final : public LocaleInfo {
public:
    // The locale of the user's system.
    QtLocaleInfo();
    // A given locale (tests, or a program that chooses its own).
    explicit QtLocaleInfo(const QLocale& locale);

    // ShortDate: the short date format; LongDate: the long date format;
    // TimeFormat: the long time format without its time zone (hours,
    // minutes, seconds and the AM/PM marker where the locale uses one);
    // DecimalSeparator: the decimal point. Always answers a value.
    std::optional<std::string> value(LocaleItem item) override;

private:
    QLocale locale_;
};

// A Qt date or time format string in the token language, in UTF-8.
std::string pictureFromQtFormat(const QString& qtFormat);

}  // namespace vexla
