#include "db/date_literal.h"
#include "common/text.h"

#include <cctype>

namespace vexla::db {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isBlank(char c) { return c == ' ' || c == '\t'; }

// Reads 1 to maxDigits digits at s[pos]; counts them in `count`.
bool number(std::string_view s, size_t& pos, int maxDigits, int& value, int& count) {
    value = 0;
    count = 0;
    while (pos < s.size() && isDigit(s[pos]) && count < maxDigits) {
        value = value * 10 + (s[pos] - '0');
        ++pos;
        ++count;
    }
    return count > 0;
}

int windowYear(int year, int digitCount) {
    if (digitCount > 2) return year;
    return year < 30 ? 2000 + year : 1900 + year;
}

// Reads an AM/PM marker (AM, PM, A, P in any case) and applies it to hour.
bool amPm(std::string_view s, size_t& pos, int& hour) {
    if (pos >= s.size()) return false;
    const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(s[pos])));
    if (c != 'A' && c != 'P') return false;
    ++pos;
    if (pos < s.size() && (s[pos] == 'M' || s[pos] == 'm')) ++pos;
    if (hour < 1 || hour > 12) return false;
    if (c == 'A' && hour == 12) hour = 0;
    if (c == 'P' && hour != 12) hour += 12;
    return true;
}

// Matches the quoted text that starts at picture[i] (a quote) against s from
// pos; '' inside it is one quote. Leaves i past the closing quote.
bool matchQuoted(std::string_view s, size_t& pos, std::string_view picture, size_t& i) {
    size_t j = i + 1;
    while (j < picture.size()) {
        if (picture[j] == '\'') {
            if (j + 1 >= picture.size() || picture[j + 1] != '\'') break;
            if (pos >= s.size() || s[pos] != '\'') return false;
            ++pos;
            j += 2;
            continue;
        }
        if (pos >= s.size() || s[pos] != picture[j]) return false;
        ++pos;
        ++j;
    }
    i = j + 1;
    return true;
}

// What one field of a picture has matched so far.
struct PictureState {
    DateTime& t;
    int count = 0;  // digits read by the last number, for the year's window
    bool sawHour12 = false;
};

// Matches `run` repeats of the picture character c against s from pos.
bool matchField(std::string_view s, size_t& pos, char c, size_t run, PictureState& st) {
    DateTime& t = st.t;
    switch (c) {
        case 'y': {
            int y = 0;
            if (!number(s, pos, run >= 3 ? 4 : 2, y, st.count)) return false;
            t.year = windowYear(y, st.count);
            return true;
        }
        case 'M': return run <= 2 && number(s, pos, 2, t.month, st.count);
        case 'd': return run <= 2 && number(s, pos, 2, t.day, st.count);
        case 'H': return number(s, pos, 2, t.hour, st.count);
        case 'h': return (st.sawHour12 = number(s, pos, 2, t.hour, st.count));
        case 'm': return number(s, pos, 2, t.minute, st.count);
        case 's': return number(s, pos, 2, t.second, st.count);
        case 't':
            if (!st.sawHour12 || !amPm(s, pos, t.hour)) return false;
            st.sawHour12 = false;
            return true;
        case ' ':
            // A blank in the picture matches one or more blanks.
            if (pos >= s.size() || !isBlank(s[pos])) return false;
            while (pos < s.size() && isBlank(s[pos])) ++pos;
            return true;
        default:
            for (size_t k = 0; k < run; ++k) {
                if (pos >= s.size() || s[pos] != c) return false;
                ++pos;
            }
            return true;
    }
}

// Matches s from pos against a picture string, filling the fields it names.
// Returns false when s does not follow the picture. A 12-hour picture without
// a marker leaves the hour as written.
bool matchPicture(std::string_view s, size_t& pos, std::string_view picture, DateTime& t) {
    PictureState st{t};
    size_t i = 0;
    while (i < picture.size()) {
        const char c = picture[i];
        if (c == '\'') {
            if (!matchQuoted(s, pos, picture, i)) return false;
            continue;
        }
        size_t run = 1;
        while (i + run < picture.size() && picture[i + run] == c) ++run;
        if (!matchField(s, pos, c, run, st)) return false;
        i += run;
    }
    return true;
}

// H:mm or H:mm:ss, an optional AM/PM after a blank.
bool matchColonTime(std::string_view s, size_t& pos, DateTime& t) {
    int count = 0;
    if (!number(s, pos, 2, t.hour, count)) return false;
    if (pos >= s.size() || s[pos] != ':') return false;
    ++pos;
    if (!number(s, pos, 2, t.minute, count) || count != 2) return false;
    t.second = 0;
    if (pos < s.size() && s[pos] == ':') {
        ++pos;
        if (!number(s, pos, 2, t.second, count) || count != 2) return false;
    }
    size_t p = pos;
    while (p < s.size() && isBlank(s[p])) ++p;
    if (p < s.size() && p > pos && amPm(s, p, t.hour)) pos = p;
    return true;
}

bool matchTime(std::string_view s, size_t pos, const DatePictures& pictures, DateTime& t) {
    DateTime byPicture = t;
    size_t p = pos;
    if (!pictures.longTime.empty() && matchPicture(s, p, pictures.longTime, byPicture) && p == s.size()) {
        t = byPicture;
        return true;
    }
    p = pos;
    return matchColonTime(s, p, t) && p == s.size();
}

bool matchIso(std::string_view s, DateTime& t) {
    size_t pos = 0;
    int count = 0;
    if (!number(s, pos, 4, t.year, count) || count != 4) return false;
    if (pos >= s.size() || s[pos++] != '-') return false;
    if (!number(s, pos, 2, t.month, count)) return false;
    if (pos >= s.size() || s[pos++] != '-') return false;
    if (!number(s, pos, 2, t.day, count)) return false;
    if (pos == s.size()) return true;
    if (s[pos] != 'T' && !isBlank(s[pos])) return false;
    ++pos;
    while (pos < s.size() && isBlank(s[pos])) ++pos;
    return matchColonTime(s, pos, t) && pos == s.size();
}

// The short date, optionally followed by blanks and a time.
std::optional<DateTime> matchSystemForm(std::string_view s, const DatePictures& pictures) {
    DateTime t;
    size_t pos = 0;
    if (pictures.shortDate.empty() || !matchPicture(s, pos, pictures.shortDate, t)) return std::nullopt;
    if (pos == s.size()) return t;
    if (!isBlank(s[pos])) return std::nullopt;
    while (pos < s.size() && isBlank(s[pos])) ++pos;
    if (!matchTime(s, pos, pictures, t)) return std::nullopt;
    return t;
}

}  // namespace

std::optional<DateTime> parseDateLiteral(std::string_view text, const DatePictures& pictures) {
    const std::string_view s = trimSpace(text);
    if (s.empty()) return std::nullopt;
    auto valid = [](const DateTime& t) -> std::optional<DateTime> {
        if (isValid(t)) return t;
        return std::nullopt;
    };
    if (DateTime t; matchIso(s, t)) return valid(t);
    // The system's form before a time alone: where the time separator is the
    // date separator (dd.MM.yy and HH.mm.ss) a text that names a valid date
    // is taken as that date.
    if (auto date = matchSystemForm(s, pictures); date && isValid(*date)) return date;
    if (DateTime t; matchTime(s, 0, pictures, t)) return valid(t);
    return std::nullopt;
}

}  // namespace vexla::db
