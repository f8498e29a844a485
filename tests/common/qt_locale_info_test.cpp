#include "common/qt/qt_locale_info.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "common/ctid.h"
#include "tests/support/fake_platform.h"

namespace vexla {
namespace {

struct TranslationCase {
    const char* name;
    const char* qtFormat;  // UTF-8
    const char* want;
};

std::ostream& operator<<(std::ostream& os, const TranslationCase& c) { return os << c.name; }

class QtFormatTranslation : public ::testing::TestWithParam<TranslationCase> {};

TEST_P(QtFormatTranslation, GivesThePickerTokens) {
    EXPECT_EQ(pictureFromQtFormat(QString::fromUtf8(GetParam().qtFormat)), GetParam().want);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, QtFormatTranslation,
    ::testing::Values(
        TranslationCase{"zone_after_blank", "HH:mm:ss t", "HH:mm:ss"},
        TranslationCase{"marker_upper", "h:mm:ss AP t", "h:mm:ss tt"},
        TranslationCase{"marker_lower", "h:mm:ss ap", "h:mm:ss tt"},
        TranslationCase{"marker_single_letter", "h:mm a", "h:mm tt"},
        TranslationCase{"marker_mixed_case", "hh:mm aP", "hh:mm tt"},
        TranslationCase{"marker_first", "AP h:mm", "tt h:mm"},
        TranslationCase{"h_without_marker_is_24_hour", "hh:mm", "HH:mm"},
        TranslationCase{"single_h_without_marker", "h.mm.ss t", "H.mm.ss"},
        TranslationCase{"upper_H_with_marker_kept", "H:mm AP", "H:mm tt"},
        TranslationCase{"zone_first", "t HH:mm:ss", "HH:mm:ss"},
        TranslationCase{"zone_in_parentheses", "H:mm:ss (t)", "H:mm:ss"},
        TranslationCase{"zone_after_comma", "h:mm:ss AP, t", "h:mm:ss tt"},
        TranslationCase{"zone_after_quoted_text", "H:mm:ss 'ч'. t", "H:mm:ss 'ч'."},
        TranslationCase{"zone_without_blank", "HH:mm:sst", "HH:mm:ss"},
        TranslationCase{"quoted_letters_untouched", "dddd d 'de' MMMM 'de' yyyy", "dddd d 'de' MMMM 'de' yyyy"},
        TranslationCase{"quoted_a_is_no_marker", "'at' hh:mm", "'at' HH:mm"},
        TranslationCase{"doubled_quote_in_text", "h 'o''clock' AP", "h 'o''clock' tt"},
        TranslationCase{"long_date_unchanged", "dddd, MMMM d, yyyy", "dddd, MMMM d, yyyy"},
        TranslationCase{"empty", "", ""}),
    [](const auto& info) { return std::string(info.param.name); });

// Expected values are what Qt's CLDR data gives for these locales.
struct LocaleCase {
    const char* name;
    const char* locale;
    const char* shortDate;
    const char* longDate;
    const char* time;
    const char* decimal;
    const char* pickerFormat;  // DatumFormat(false) + " " + TidFormat(true, false, 4)
};

std::ostream& operator<<(std::ostream& os, const LocaleCase& c) { return os << c.name; }

class QtLocaleValues : public ::testing::TestWithParam<LocaleCase> {};

TEST_P(QtLocaleValues, ComeInTheTokenLanguageAndGiveThePickersTheirFormat) {
    const LocaleCase& c = GetParam();
    QtLocaleInfo info{QLocale(QString::fromLatin1(c.locale))};
    EXPECT_EQ(info.value(LocaleItem::ShortDate), c.shortDate);
    EXPECT_EQ(info.value(LocaleItem::LongDate), c.longDate);
    EXPECT_EQ(info.value(LocaleItem::TimeFormat), c.time);
    EXPECT_EQ(info.value(LocaleItem::DecimalSeparator), c.decimal);
    // ...and give the interval pickers their format.
    testing::FakeMessageBoxes messages;
    class NoTexts final : public TextSource {
        std::string TextTillAndra(const std::string&) override { return {}; }
    } texts;
    CTid tid(info, messages, texts);
    EXPECT_EQ(tid.DatumFormat(false) + " " + tid.TidFormat(true, false, 4), c.pickerFormat);
    EXPECT_TRUE(messages.shown.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Locales, QtLocaleValues,
    ::testing::Values(LocaleCase{"swedish", "sv_SE", "yyyy-MM-dd", "dddd d MMMM yyyy", "HH:mm:ss", ",",
                                 "yyyy-MM-dd HH:mm"},
                      LocaleCase{"american", "en_US", "M/d/yy", "dddd, MMMM d, yyyy", "h:mm:ss tt", ".",
                                 "M/d/yy h:mm t"},
                      LocaleCase{"german", "de_DE", "dd.MM.yy", "dddd, d. MMMM yyyy", "HH:mm:ss", ",",
                                 "dd.MM.yy HH:mm"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vexla
