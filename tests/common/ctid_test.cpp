#include "common/ctid.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <ostream>
#include <string>

#include "common/platform.h"
#include "tests/support/fake_platform.h"

namespace vexla {
namespace {

class FixedTexts final : public TextSource {
public:
    std::string TextTillAndra(const std::string& code) override { return code == "R0030" ? "Fel nummer" : ""; }
};

const std::string kError =
    "Fel nummer 5 (Invalid procedure call or argument) in procedure TidFormat i Class Module CTid";

struct TimeCase {
    const char* name;
    std::optional<std::string> timeFormat;  // nullopt: the locale cannot tell
    bool Minuter;
    bool Sekunder;
    int AmPm;
    std::string want;
    bool error;
};

std::ostream& operator<<(std::ostream& os, const TimeCase& c) { return os << c.name; }

class TidFormatCases : public ::testing::TestWithParam<TimeCase> {};

TEST_P(TidFormatCases, CutsTheLocaleTimeFormat) {
    const TimeCase& c = GetParam();
    testing::FakeLocaleInfo locale;
    if (c.timeFormat)
        locale.values[LocaleItem::TimeFormat] = *c.timeFormat;
    else
        locale.values.erase(LocaleItem::TimeFormat);
    testing::FakeMessageBoxes messages;
    FixedTexts texts;
    CTid tid(locale, messages, texts);

    EXPECT_EQ(tid.TidFormat(c.Minuter, c.Sekunder, c.AmPm), c.want);
    if (c.error) {
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_EQ(messages.shown[0].text, kError);
        EXPECT_EQ(messages.shown[0].title, kProgramTitle);
        EXPECT_EQ(messages.shown[0].icon, MsgIcon::None);
        EXPECT_EQ(messages.shown[0].buttons, MsgButtons::Ok);
    } else {
        EXPECT_TRUE(messages.shown.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Formats, TidFormatCases,
    ::testing::Values(
        TimeCase{"hour_of_two_digits", "HH:mm:ss", false, false, 0, "HH", false},
        TimeCase{"hour_of_one_digit_gets_H", "H:mm:ss", false, false, 0, "HH", false},
        TimeCase{"twelve_hour_of_one_letter_gets_H", "h:mm:ss tt", false, false, 5, "Hh", false},
        TimeCase{"hour_alone_has_no_marker", "hh:mm:ss tt", false, false, 2, "hh", false},
        TimeCase{"marker_first", "tt h:mm:ss", false, false, 0, "tt h", false},
        TimeCase{"no_tt_no_marker", "HH:mm:ss", true, false, 4, "HH:mm", false},
        TimeCase{"marker_one_letter", "h:mm:ss tt", true, false, 4, "h:mm t", false},
        TimeCase{"marker_a_p", "h:mm:ss tt", true, false, 1, "h:mm A/P", false},
        TimeCase{"marker_am_pm", "h:mm:ss tt", true, false, 2, "h:mm AM/PM", false},
        TimeCase{"marker_two_letters", "h:mm:ss tt", true, false, 5, "h:mm tt", false},
        TimeCase{"marker_3_appends_nothing", "h:mm:ss tt", true, false, 3, "h:mm", false},
        TimeCase{"single_t_is_no_tt", "h:mm:ss t", true, false, 5, "h:mm", false},
        TimeCase{"marker_before_the_time", "tt h:mm:ss", true, false, 4, "tt h:mm t", false},
        TimeCase{"minutes_and_seconds_give_no_time", "HH:mm:ss", true, true, 0, "", false},
        TimeCase{"minutes_and_seconds_give_marker_only", "h:mm:ss tt", true, true, 5, " tt", false},
        TimeCase{"no_seconds_error_drops_marker", "h:mm tt", true, false, 4, "", true},
        TimeCase{"no_seconds_still_gives_hour", "HH:mm", false, false, 0, "HH", false},
        TimeCase{"dots_have_no_hour_part", "HH.mm.ss", false, false, 0, "", true},
        TimeCase{"unknown_format_has_no_hour_part", std::nullopt, false, false, 0, "", true},
        TimeCase{"unknown_format_with_seconds", std::nullopt, true, true, 5, "", false},
        TimeCase{"text_after_nul_ignored", std::string("HH:mm\0:ss", 9), true, false, 0, "", true}),
    [](const auto& info) { return std::string(info.param.name); });

struct DateCase {
    const char* name;
    std::optional<std::string> shortDate, longDate;
    bool Långt;
    std::string want;
};

std::ostream& operator<<(std::ostream& os, const DateCase& c) { return os << c.name; }

class DatumFormatCases : public ::testing::TestWithParam<DateCase> {};

TEST_P(DatumFormatCases, ReturnsTheLocaleDateFormat) {
    const DateCase& c = GetParam();
    testing::FakeLocaleInfo locale;
    locale.values.erase(LocaleItem::ShortDate);
    locale.values.erase(LocaleItem::LongDate);
    if (c.shortDate) locale.values[LocaleItem::ShortDate] = *c.shortDate;
    if (c.longDate) locale.values[LocaleItem::LongDate] = *c.longDate;
    testing::FakeMessageBoxes messages;
    FixedTexts texts;
    CTid tid(locale, messages, texts);

    EXPECT_EQ(tid.DatumFormat(c.Långt), c.want);
    EXPECT_TRUE(messages.shown.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Formats, DatumFormatCases,
    ::testing::Values(DateCase{"short", "yyyy-MM-dd", "'den 'd MMMM yyyy", false, "yyyy-MM-dd"},
                      DateCase{"long", "yyyy-MM-dd", "'den 'd MMMM yyyy", true, "'den 'd MMMM yyyy"},
                      DateCase{"unknown_short", std::nullopt, "dddd d MMMM yyyy", false, ""},
                      DateCase{"unknown_long", "M/d/yy", std::nullopt, true, ""},
                      DateCase{"cut_at_nul", std::string("dd.MM.yy\0xx", 11), std::nullopt, false, "dd.MM.yy"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vexla
