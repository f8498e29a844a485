#include "common/datetime.h"

#include <cstdio>

namespace vexla {

namespace {

bool isLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int daysInMonth(int y, int m) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && isLeap(y) ? 29 : days[m - 1];
}

std::string number(int value, int width) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%0*d", width, value);
    return buf;
}

}  // namespace

bool isValid(const DateTime& t) {
    if (t.year < 100 || t.year > 9999 || t.month < 1 || t.month > 12) return false;
    if (t.day < 1 || t.day > daysInMonth(t.year, t.month)) return false;
    return t.hour >= 0 && t.hour < 24 && t.minute >= 0 && t.minute < 60 && t.second >= 0 && t.second < 60;
}

std::string formatPicture(const DateTime& t, const std::string& picture) {
    std::string out;
    size_t i = 0;
    while (i < picture.size()) {
        const char c = picture[i];
        if (c == '\'') {  // quoted literal text; '' inside quotes is one quote
            size_t j = i + 1;
            while (j < picture.size()) {
                if (picture[j] == '\'') {
                    if (j + 1 < picture.size() && picture[j + 1] == '\'') {
                        out += '\'';
                        j += 2;
                        continue;
                    }
                    break;
                }
                out += picture[j++];
            }
            i = j + 1;
            continue;
        }
        size_t run = 1;
        while (i + run < picture.size() && picture[i + run] == c) ++run;
        const int w = run >= 2 ? 2 : 1;
        switch (c) {
            case 'y': out += run >= 3 ? number(t.year, 4) : number(t.year % 100, run == 1 ? 1 : 2); break;
            case 'M': out += number(t.month, w); break;
            case 'd': out += number(t.day, w); break;
            case 'H': out += number(t.hour, w); break;
            case 'h': out += number(t.hour % 12 == 0 ? 12 : t.hour % 12, w); break;
            case 'm': out += number(t.minute, w); break;
            case 's': out += number(t.second, w); break;
            case 't': out += run == 1 ? (t.hour < 12 ? "A" : "P") : (t.hour < 12 ? "AM" : "PM"); break;
            default: out.append(run, c); break;
        }
        i += run;
    }
    return out;
}

std::string formatGeneral(const DateTime& t, const std::string& shortDate, const std::string& longTime) {
    if (t.isZeroDate()) return formatPicture(t, longTime);
    if (t.isMidnight()) return formatPicture(t, shortDate);
    return formatPicture(t, shortDate) + " " + formatPicture(t, longTime);
}

}  // namespace vexla
