#include "common/datetime.h"

#include <cstdio>

namespace vexla {

namespace {

bool isLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int daysInMonth(int y, int m) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && isLeap(y) ? 29 : days[m - 1];
}

// Appends value as "%0*d" would, without the formatting machinery: a
// register export writes millions of these.
void appendNumber(std::string& out, int value, int width) {
    if (value < 0) {
        char buf[16];
        const int n = std::snprintf(buf, sizeof buf, "%0*d", width, value);
        out.append(buf, static_cast<size_t>(n));
        return;
    }
    char buf[12];
    char* p = buf + sizeof buf;
    do {
        *--p = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value > 0);
    const auto digits = static_cast<int>(buf + sizeof buf - p);
    if (digits < width) out.append(static_cast<size_t>(width - digits), '0');
    out.append(p, static_cast<size_t>(digits));
}

}  // namespace

bool isValid(const DateTime& t) {
    if (t.year < 100 || t.year > 9999 || t.month < 1 || t.month > 12) return false;
    if (t.day < 1 || t.day > daysInMonth(t.year, t.month)) return false;
    return t.hour >= 0 && t.hour < 24 && t.minute >= 0 && t.minute < 60 && t.second >= 0 && t.second < 60;
}

void appendPicture(std::string& out, const DateTime& t, const std::string& picture) {
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
            case 'y':
                if (run >= 3)
                    appendNumber(out, t.year, 4);
                else
                    appendNumber(out, t.year % 100, run == 1 ? 1 : 2);
                break;
            case 'M': appendNumber(out, t.month, w); break;
            case 'd': appendNumber(out, t.day, w); break;
            case 'H': appendNumber(out, t.hour, w); break;
            case 'h': appendNumber(out, t.hour % 12 == 0 ? 12 : t.hour % 12, w); break;
            case 'm': appendNumber(out, t.minute, w); break;
            case 's': appendNumber(out, t.second, w); break;
            case 't': out += run == 1 ? (t.hour < 12 ? "A" : "P") : (t.hour < 12 ? "AM" : "PM"); break;
            default: out.append(run, c); break;
        }
        i += run;
    }
}

std::string formatPicture(const DateTime& t, const std::string& picture) {
    std::string out;
    appendPicture(out, t, picture);
    return out;
}

void appendGeneral(std::string& out, const DateTime& t, const std::string& shortDate, const std::string& longTime) {
    if (t.isZeroDate()) return appendPicture(out, t, longTime);
    appendPicture(out, t, shortDate);
    if (t.isMidnight()) return;
    out += ' ';
    appendPicture(out, t, longTime);
}

std::string formatGeneral(const DateTime& t, const std::string& shortDate, const std::string& longTime) {
    std::string out;
    appendGeneral(out, t, shortDate, longTime);
    return out;
}

}  // namespace vexla
