#include "common/qt/qt_locale_info.h"

#include <algorithm>
#include <vector>

namespace vexla {

namespace {

enum class PieceKind { Field, Quoted, Other, TimeZone };

struct Piece {
    PieceKind kind;
    QString text;
};

bool isMarkerLetter(QChar c) { return c == u'a' || c == u'A'; }

// Whether the format shows an AM/PM marker outside quoted text; Qt's h
// means the 12-hour clock only then.
bool hasAmPmMarker(const QString& format) {
    bool quoted = false;
    for (QChar c : format) {
        if (c == u'\'')
            quoted = !quoted;
        else if (!quoted && isMarkerLetter(c))
            return true;
    }
    return false;
}

std::vector<Piece> translate(const QString& format) {
    const bool twelveHour = hasAmPmMarker(format);
    std::vector<Piece> pieces;
    qsizetype i = 0;
    while (i < format.size()) {
        const QChar c = format[i];
        if (c == u'\'') {  // quoted text up to the closing quote; '' is a quote
            qsizetype j = i + 1;
            while (j < format.size()) {
                if (format[j] == u'\'') {
                    if (j + 1 < format.size() && format[j + 1] == u'\'') {
                        j += 2;
                        continue;
                    }
                    break;
                }
                ++j;
            }
            j = qMin(j + 1, format.size());
            pieces.push_back({PieceKind::Quoted, format.mid(i, j - i)});
            i = j;
            continue;
        }
        if (isMarkerLetter(c)) {
            const bool pair = i + 1 < format.size() && (format[i + 1] == u'p' || format[i + 1] == u'P');
            pieces.push_back({PieceKind::Field, QStringLiteral("tt")});
            i += pair ? 2 : 1;
            continue;
        }
        if (!c.isLetter()) {
            pieces.push_back({PieceKind::Other, QString(c)});
            ++i;
            continue;
        }
        qsizetype run = 1;
        while (i + run < format.size() && format[i + run] == c) ++run;
        if (c == u't')
            pieces.push_back({PieceKind::TimeZone, format.mid(i, run)});
        else if (c == u'h' && !twelveHour)
            pieces.push_back({PieceKind::Field, QString(run, u'H')});
        else
            pieces.push_back({PieceKind::Field, format.mid(i, run)});
        i += run;
    }
    return pieces;
}

bool isSeparator(const Piece& p) { return p.kind == PieceKind::Other && (p.text[0].isSpace() || p.text[0] == u','); }

bool isText(const Piece& p, char16_t c) { return p.kind == PieceKind::Other && p.text[0] == c; }

// Drops each time zone with what sets it off from its neighbours: the
// parentheses around it and the blanks (and comma) before it, or after it
// when it opens the format.
void dropTimeZones(std::vector<Piece>& pieces) {
    for (;;) {
        const auto zone =
            std::find_if(pieces.begin(), pieces.end(), [](const Piece& p) { return p.kind == PieceKind::TimeZone; });
        if (zone == pieces.end()) return;
        std::size_t first = static_cast<std::size_t>(zone - pieces.begin());
        std::size_t last = first + 1;  // the range [first, last) goes
        if (first > 0 && last < pieces.size() && isText(pieces[first - 1], u'(') && isText(pieces[last], u')')) {
            --first;
            ++last;
        }
        while (first > 0 && isSeparator(pieces[first - 1])) --first;
        if (first == 0)
            while (last < pieces.size() && isSeparator(pieces[last])) ++last;
        pieces.erase(pieces.begin() + static_cast<std::ptrdiff_t>(first),
                     pieces.begin() + static_cast<std::ptrdiff_t>(last));
    }
}

}  // namespace

std::string pictureFromQtFormat(const QString& qtFormat) {
    std::vector<Piece> pieces = translate(qtFormat);
    dropTimeZones(pieces);
    QString picture;
    for (const Piece& p : pieces) picture += p.text;
    return picture.toStdString();
}

QtLocaleInfo::QtLocaleInfo() : locale_(QLocale::system()) {}

QtLocaleInfo::QtLocaleInfo(const QLocale& locale) : locale_(locale) {}

std::optional<std::string> QtLocaleInfo::value(LocaleItem item) {
    // The POSIX locale (no LANG, as under cron) has no regional settings of
    // its own; Qt's stand-in writes month names the pickers cannot show.
    // ISO dates and a 24-hour clock read the same everywhere.
    if (locale_.language() == QLocale::C) {
        switch (item) {
            case LocaleItem::ShortDate:
            case LocaleItem::LongDate: return "yyyy-MM-dd";
            case LocaleItem::TimeFormat: return "HH:mm:ss";
            case LocaleItem::DecimalSeparator: break;
        }
    }
    switch (item) {
        case LocaleItem::ShortDate: return pictureFromQtFormat(locale_.dateFormat(QLocale::ShortFormat));
        case LocaleItem::LongDate: return pictureFromQtFormat(locale_.dateFormat(QLocale::LongFormat));
        case LocaleItem::TimeFormat: return pictureFromQtFormat(locale_.timeFormat(QLocale::LongFormat));
        case LocaleItem::DecimalSeparator: return locale_.decimalPoint().toStdString();
    }
    return std::nullopt;
}

}  // namespace vexla
