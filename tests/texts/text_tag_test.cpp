#include "texts/text_tag.h"

#include <gtest/gtest.h>

namespace vexla {
namespace {

// A control's tag: the caption code, after "+" a second code to append, after ";" the tooltip code.
TEST(TextTag, SplitsIntoCodes) {
    struct Case {
        const char* tag;
        const char* caption;
        const char* second;
        const char* toolTip;
    };
    for (const Case& c : {Case{"", "", "", ""}, Case{"R1825", "R1825", "", ""},
                          Case{"R1827;R1828", "R1827", "", "R1828"}, Case{"R1861+R1808", "R1861", "R1808", ""},
                          Case{"R1861+R1808;R1863", "R1861", "R1808", "R1863"},
                          Case{"R1861;R1863+R1808", "R1861", "", "R1863+R1808"}, Case{"R1;R2;R3", "R1", "", "R2;R3"},
                          Case{"R1+R2+R3", "R1", "R2+R3", ""}, Case{";R1828", "", "", "R1828"},
                          Case{"R1827;", "R1827", "", ""}, Case{"+R1808", "", "R1808", ""},
                          Case{"R17", "R17", "", ""}}) {
        const TextTag codes = parseTextTag(c.tag);
        EXPECT_EQ(codes.caption, c.caption) << c.tag;
        EXPECT_EQ(codes.second, c.second) << c.tag;
        EXPECT_EQ(codes.toolTip, c.toolTip) << c.tag;
    }
}

}  // namespace
}  // namespace vexla
