#include "texts/text_tag.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace vexla {
namespace {

struct TagCase {
    const char* tag;
    const char* caption;
    const char* second;
    const char* toolTip;
};

void PrintTo(const TagCase& c, std::ostream* os) { *os << c.tag; }

class TextTagParse : public ::testing::TestWithParam<TagCase> {};

TEST_P(TextTagParse, SplitsIntoCodes) {
    const TagCase& c = GetParam();
    const TextTag codes = parseTextTag(c.tag);
    EXPECT_EQ(codes.caption, c.caption);
    EXPECT_EQ(codes.second, c.second);
    EXPECT_EQ(codes.toolTip, c.toolTip);
}

INSTANTIATE_TEST_SUITE_P(Table, TextTagParse,
                         ::testing::Values(TagCase{"", "", "", ""},                          //
                                         TagCase{"R1825", "R1825", "", ""},                 //
                                         TagCase{"R1827;R1828", "R1827", "", "R1828"},      //
                                         TagCase{"R1861+R1808", "R1861", "R1808", ""},      //
                                         TagCase{"R1861+R1808;R1863", "R1861", "R1808", "R1863"},
                                         TagCase{"R1861;R1863+R1808", "R1861", "", "R1863+R1808"},
                                         TagCase{"R1;R2;R3", "R1", "", "R2;R3"},            //
                                         TagCase{"R1+R2+R3", "R1", "R2+R3", ""},            //
                                         TagCase{";R1828", "", "", "R1828"},                //
                                         TagCase{"R1827;", "R1827", "", ""},                //
                                         TagCase{"+R1808", "", "R1808", ""},                //
                                         TagCase{"R17", "R17", "", ""}));

}  // namespace
}  // namespace vexla
