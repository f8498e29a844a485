#include "common/qt/qt_locale_info.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "common/ctid.h"
#include "tests/support/fake_platform.h"

namespace vexla {
namespace {

TEST(QtFormatTranslation, GivesThePickerTokens) {
    using Row = std::tuple<const char*, const char*, const char*>;
    for (const auto& [name, qtFormat, want] :
         {Row{"zone_after_blank", "HH:mm:ss t", "HH:mm:ss"}, Row{"marker_upper", "h:mm:ss AP t", "h:mm:ss tt"},
          Row{"marker_single_letter", "h:mm a", "h:mm tt"}, Row{"h_without_marker_is_24_hour", "hh:mm", "HH:mm"},
          Row{"single_h_without_marker", "h.mm.ss t", "H.mm.ss"},
          Row{"zone_after_quoted_text", "H:mm:ss 'ч'. t", "H:mm:ss 'ч'."},
          Row{"zone_without_blank", "HH:mm:sst", "HH:mm:ss"}, Row{"quoted_a_is_no_marker", "'at' hh:mm", "'at' HH:mm"},
          Row{"doubled_quote_in_text", "h 'o''clock' AP", "h 'o''clock' tt"}, Row{"empty", "", ""}}) {
        EXPECT_EQ(pictureFromQtFormat(QString::fromUtf8(qtFormat)), want) << name;
    }
}

// The values come in the token language of the locale pictures (expected:
// what Qt's CLDR data gives for these locales) and give the interval pickers
// their format: DatumFormat(false) + " " + TidFormat(true, false, 4).
TEST(QtLocaleValues, ComeInTheTokenLanguageAndGiveThePickersTheirFormat) {
    struct LocaleCase {
        const char *locale, *shortDate, *longDate, *time, *decimal, *pickerFormat;
    };
    for (const LocaleCase& c :
         {LocaleCase{"sv_SE", "yyyy-MM-dd", "dddd d MMMM yyyy", "HH:mm:ss", ",", "yyyy-MM-dd HH:mm"},
          LocaleCase{"en_US", "M/d/yy", "dddd, MMMM d, yyyy", "h:mm:ss tt", ".", "M/d/yy h:mm t"},
          LocaleCase{"de_DE", "dd.MM.yy", "dddd, d. MMMM yyyy", "HH:mm:ss", ",", "dd.MM.yy HH:mm"}}) {
        SCOPED_TRACE(c.locale);
        QtLocaleInfo info{QLocale(QString::fromLatin1(c.locale))};
        EXPECT_EQ((std::vector{info.value(LocaleItem::ShortDate), info.value(LocaleItem::LongDate),
                               info.value(LocaleItem::TimeFormat), info.value(LocaleItem::DecimalSeparator)}),
                  (std::vector<std::optional<std::string>>{c.shortDate, c.longDate, c.time, c.decimal}));
        testing::FakeMessageBoxes messages;
        testing::CodeTexts texts;
        CTid tid(info, messages, texts);
        EXPECT_EQ(tid.DatumFormat(false) + " " + tid.TidFormat(true, false, 4), c.pickerFormat);
        EXPECT_TRUE(messages.shown.empty());
    }
}

}  // namespace
}  // namespace vexla
