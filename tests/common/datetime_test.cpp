#include "common/datetime.h"

#include <gtest/gtest.h>

namespace vexla {
namespace {

TEST(DateTimeText, PicturesRenderTheirTokens) {
    struct Case {
        DateTime t;
        const char* picture;
        const char* expected;
    };
    for (const Case& c :
         {Case{{2026, 3, 4, 8, 5, 9}, "yyyy-MM-dd HH:mm:ss", "2026-03-04 08:05:09"},
          Case{{2026, 3, 4, 8, 5, 9}, "M/d/yy h:mm:ss tt", "3/4/26 8:05:09 AM"},
          Case{{2026, 3, 4, 0, 30, 0}, "h:mm t", "12:30 A"}, Case{{2026, 3, 4, 12, 0, 0}, "hh:mm tt", "12:00 PM"},
          Case{{2026, 3, 4, 23, 59, 59}, "H.mm", "23.59"}, Case{{2026, 11, 30, 7, 0, 0}, "'it''s' d", "it's 30"},
          Case{{2009, 1, 2, 7, 0, 0}, "y", "9"}, Case{{99, 1, 2, 7, 0, 0}, "yyyy yy", "0099 99"},
          Case{{2026, 3, 4, -7, 0, 0}, "HH", "-7"}}) {
        EXPECT_EQ(formatPicture(c.t, c.picture), c.expected) << c.picture;
    }
}

TEST(DateTimeValidity, KnowsTheCalendar) {
    for (const auto& [t, valid] : {std::pair<DateTime, bool>{{2024, 2, 29, 0, 0, 0}, true},
                                   {{2026, 2, 29, 0, 0, 0}, false},
                                   {{2000, 2, 29, 23, 59, 59}, true},
                                   {{1900, 2, 29, 0, 0, 0}, false},
                                   {{2026, 4, 31, 0, 0, 0}, false},
                                   {{2026, 1, 1, 24, 0, 0}, false},
                                   {{1899, 12, 30, 0, 0, 0}, true}}) {
        EXPECT_EQ(isValid(t), valid) << formatPicture(t, "yyyy-MM-dd HH:mm:ss");
    }
}

}  // namespace
}  // namespace vexla
