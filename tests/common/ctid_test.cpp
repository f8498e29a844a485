#include "common/ctid.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "common/platform.h"
#include "tests/support/fake_platform.h"

namespace vexla {
namespace {

// The clock's time format cut to the parts a picker shows; a format it
// cannot cut is reported once, in the program's plain OK box.
TEST(CTid, TidFormatCutsTheLocaleTimeFormat) {
    struct Case {
        const char* name;
        std::optional<std::string> timeFormat;  // nullopt: the locale cannot tell
        bool Minuter, Sekunder;
        int AmPm;
        std::string want;
        bool error;
    };
    for (const Case& c : {Case{"hour_of_one_digit_gets_H", "H:mm:ss", false, false, 0, "HH", false},
                          Case{"twelve_hour_of_one_letter_gets_H", "h:mm:ss tt", false, false, 5, "Hh", false},
                          Case{"no_tt_no_marker", "HH:mm:ss", true, false, 4, "HH:mm", false},
                          Case{"marker_one_letter", "h:mm:ss tt", true, false, 4, "h:mm t", false},
                          Case{"marker_a_p", "h:mm:ss tt", true, false, 1, "h:mm A/P", false},
                          Case{"marker_am_pm", "h:mm:ss tt", true, false, 2, "h:mm AM/PM", false},
                          Case{"marker_3_appends_nothing", "h:mm:ss tt", true, false, 3, "h:mm", false},
                          Case{"single_t_is_no_tt", "h:mm:ss t", true, false, 5, "h:mm", false},
                          Case{"minutes_and_seconds_give_no_time", "HH:mm:ss", true, true, 0, "", false},
                          Case{"minutes_and_seconds_give_marker_only", "h:mm:ss tt", true, true, 5, " tt", false},
                          Case{"no_seconds_error_drops_marker", "h:mm tt", true, false, 4, "", true},
                          Case{"dots_have_no_hour_part", "HH.mm.ss", false, false, 0, "", true},
                          Case{"unknown_format_with_seconds", std::nullopt, true, true, 5, "", false},
                          Case{"text_after_nul_ignored", std::string("HH:mm\0:ss", 9), true, false, 0, "", true}}) {
        testing::FakeLocaleInfo locale;
        c.timeFormat ? void(locale.values[LocaleItem::TimeFormat] = *c.timeFormat)
                     : void(locale.values.erase(LocaleItem::TimeFormat));
        testing::FakeMessageBoxes messages;
        testing::CodeTexts texts;
        EXPECT_EQ(CTid(locale, messages, texts).TidFormat(c.Minuter, c.Sekunder, c.AmPm), c.want) << c.name;
        EXPECT_EQ(messages.shown,
                  std::vector<testing::ShownBox>(c.error, {"R0030 5 (Invalid procedure call or argument) "
                                                           "in procedure TidFormat i Class Module CTid",
                                                           kProgramTitle, MsgIcon::None, MsgButtons::Ok}));
    }
}

TEST(CTid, DatumFormatIsTheLocaleDateFormat) {
    struct Case {
        const char* name;
        std::optional<std::string> shortDate, longDate;
        bool Långt;
        std::string want;
    };
    for (const Case& c : {Case{"short", "yyyy-MM-dd", "'den 'd MMMM yyyy", false, "yyyy-MM-dd"},
                          Case{"long", "yyyy-MM-dd", "'den 'd MMMM yyyy", true, "'den 'd MMMM yyyy"},
                          Case{"unknown_short", std::nullopt, "dddd d MMMM yyyy", false, ""},
                          Case{"unknown_long", "M/d/yy", std::nullopt, true, ""},
                          Case{"cut_at_nul", std::string("dd.MM.yy\0xx", 11), std::nullopt, false, "dd.MM.yy"}}) {
        testing::FakeLocaleInfo locale;
        using Item = std::pair<LocaleItem, std::optional<std::string>>;
        for (const auto& [item, value] :
             {Item{LocaleItem::ShortDate, c.shortDate}, Item{LocaleItem::LongDate, c.longDate}})
            value ? void(locale.values[item] = *value) : void(locale.values.erase(item));
        testing::FakeMessageBoxes messages;
        testing::CodeTexts texts;
        EXPECT_EQ(CTid(locale, messages, texts).DatumFormat(c.Långt), c.want) << c.name;
        EXPECT_TRUE(messages.shown.empty());
    }
}

}  // namespace
}  // namespace vexla
