// CTid: the user's locale date format and a trimmed locale time format as
// picture strings (tokens y M d H h m s t tt), so that the date-and-time
// pickers show a moment the way the user's system writes it. The program
// holds one instance, made by the main window after it has chosen its
// language; the object keeps no state of its own.
#pragma once

#include <string>

#include "common/platform/locale_info.h"
#include "common/platform/message_boxes.h"
#include "common/platform/text_source.h"

namespace vexla {

class CTid {
public:
    // The locale is read afresh on every call. Messages go to `messages`,
    // their lead text (R0030) comes from `texts`. All three must outlive the
    // object.
    CTid(LocaleInfo& locale, MessageBoxes& messages, TextSource& texts);

    // The locale's long date format when Långt is true, else its short date
    // format, unchanged. A locale that cannot tell gives "". Never fails.
    std::string DatumFormat(bool Långt);

    // A picture for the time of day cut from the locale's time format
    // (hours, minutes and seconds, such as HH:mm:ss or h:mm:ss tt):
    //
    //   Minuter false:  the part before the first ":"; a part of one
    //                   character gets an "H" in front (H:mm:ss gives HH).
    //   Minuter true, Sekunder false:  the part before the second ":"
    //                   (HH:mm:ss gives HH:mm, h:mm:ss tt gives h:mm).
    //   Minuter true, Sekunder true:  no time part at all.
    //
    // With Minuter true and "tt" in the locale's time format, AmPm appends
    // a marker: 1 " A/P", 2 " AM/PM", 4 " t", 5 " tt", any other value
    // nothing.
    //
    // A time format without the ":" a cut needs (none for the hour part,
    // fewer than two for hours and minutes) is runtime error 5, "Invalid
    // procedure call or argument". It is reported in a message box with an
    // OK button and no icon: the text of R0030, " ", the number, " (", the
    // description and ") in procedure TidFormat i Class Module CTid". The
    // result is then "".
    std::string TidFormat(bool Minuter = false, bool Sekunder = false, int AmPm = 0);

private:
    std::string localeValue(LocaleItem item);

    LocaleInfo& locale_;
    MessageBoxes& messages_;
    TextSource& texts_;
};

}  // namespace vexla
