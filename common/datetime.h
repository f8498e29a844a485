// A calendar date and a time of day, without time zone, as the booking
// database and the user's clock know them. The zero date 1899-12-30 stands
// for "no date": a value on it is a time of day alone.
#pragma once

#include <string>

namespace vexla {

struct DateTime {
    int year = 1899, month = 12, day = 30;
    int hour = 0, minute = 0, second = 0;

    bool isZeroDate() const { return year == 1899 && month == 12 && day == 30; }
    bool isMidnight() const { return hour == 0 && minute == 0 && second == 0; }

    friend bool operator==(const DateTime&, const DateTime&) = default;
    friend auto operator<=>(const DateTime&, const DateTime&) = default;
};

// True when the fields name a real calendar day and a valid time of day.
bool isValid(const DateTime& t);

// Renders t by a picture string of the locale token language
// (y, M, d, H, h, m, s, t, tt; text in single quotes and any other character
// stands for itself). Month and day names are not supported by this
// renderer: MMM/MMMM and ddd/dddd give the numbers.
std::string formatPicture(const DateTime& t, const std::string& picture);
// The same appended to out.
void appendPicture(std::string& out, const DateTime& t, const std::string& picture);

// The system's default text of a date-time value: the short date, a blank
// and the long time; a value at exactly midnight shows the date alone and a
// value on the zero date shows the time alone.
std::string formatGeneral(const DateTime& t, const std::string& shortDate, const std::string& longTime);
// The same appended to out.
void appendGeneral(std::string& out, const DateTime& t, const std::string& shortDate, const std::string& longTime);

}  // namespace vexla
