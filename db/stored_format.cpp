#include "db/stored_format.h"

#include <cmath>

namespace vexla::db {

namespace {

void put(char* out, int value, int width) {
    for (int i = width - 1; i >= 0; --i) {
        out[i] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
}

// Reads exactly `width` digits at text[pos].
bool digits(std::string_view text, size_t pos, int width, int& value) {
    if (pos + width > text.size()) return false;
    value = 0;
    for (int i = 0; i < width; ++i) {
        const char c = text[pos + i];
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    return true;
}

bool readDate(std::string_view s, DateTime& t) {
    return s.size() >= 10 && digits(s, 0, 4, t.year) && s[4] == '-' && digits(s, 5, 2, t.month) && s[7] == '-' &&
           digits(s, 8, 2, t.day);
}

bool readTime(std::string_view s, DateTime& t) {
    return s.size() == 8 && digits(s, 0, 2, t.hour) && s[2] == ':' && digits(s, 3, 2, t.minute) && s[5] == ':' &&
           digits(s, 6, 2, t.second);
}

// Days from 0001-01-01 style civil calendar (proleptic Gregorian) to the date.
long daysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const long yoe = y - era * 400;
    const long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void civilFromDays(long z, int& y, int& m, int& d) {
    z += 719468;
    const long era = (z >= 0 ? z : z - 146096) / 146097;
    const long doe = z - era * 146097;
    const long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

}  // namespace

void formatStoredDateTime(const DateTime& t, char* out) {
    put(out, t.year, 4);
    out[4] = '-';
    put(out + 5, t.month, 2);
    out[7] = '-';
    put(out + 8, t.day, 2);
    out[10] = ' ';
    put(out + 11, t.hour, 2);
    out[13] = ':';
    put(out + 14, t.minute, 2);
    out[16] = ':';
    put(out + 17, t.second, 2);
}

bool parseStoredDateTime(std::string_view text, DateTime& out) {
    DateTime t;
    if (text.size() == 8) {
        if (!readTime(text, t)) return false;
    } else if (text.size() == 10) {
        if (!readDate(text, t)) return false;
    } else if (text.size() == kStoredDateTimeLength) {
        if (!readDate(text, t) || (text[10] != ' ' && text[10] != 'T') || !readTime(text.substr(11), t)) return false;
    } else {
        return false;
    }
    if (!isValid(t)) return false;
    out = t;
    return true;
}

bool dateFromSerial(double serial, DateTime& out) {
    if (!std::isfinite(serial)) return false;
    // Negative serials count days backwards but keep the time forward, as the engine does.
    double days = std::trunc(serial);
    double fraction = std::fabs(serial - days);
    long seconds = std::lround(fraction * 86400.0);
    if (seconds >= 86400) {
        seconds -= 86400;
        days += serial < 0 ? -1 : 1;
    }
    if (days < -700000 || days > 3000000) return false;
    DateTime t;
    civilFromDays(daysFromCivil(1899, 12, 30) + static_cast<long>(days), t.year, t.month, t.day);
    t.hour = static_cast<int>(seconds / 3600);
    t.minute = static_cast<int>(seconds / 60 % 60);
    t.second = static_cast<int>(seconds % 60);
    if (!isValid(t)) return false;
    out = t;
    return true;
}

}  // namespace vexla::db
