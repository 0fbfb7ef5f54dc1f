#include "config/ConfigEditor.h"

#include <gtest/gtest.h>

namespace {

ConfigParam Param(const char* choices, const char* values) {
    ConfigParam p{};
    CopyField(p.choiceList, choices);
    CopyField(p.valueList, values);
    return p;
}

// What the Configuration page's own tests do not reach: the list limits, repeated values and
// value lists shorter than their choices.
TEST(ConfigEditor, ListsSplitAtColonsWithinTheEditorsLimits) {
    EXPECT_EQ(std::vector<std::string>({"a", "", "c"}), SplitList("a::c"));
    std::string many;
    for (int i = 0; i < 30; ++i)
        many += std::to_string(i) + ":";
    EXPECT_EQ(20u, SplitList(many).size());
    EXPECT_EQ(2u, SplitList(many, 2).size());
    EXPECT_EQ(63u, SplitList(std::string(100, 'x')).front().size());
}

TEST(ConfigEditor, ChoicesMapToValuesByTheLastMatchOrTheLastListedValue) {
    const ConfigParam withValues = Param("Slow:Fast:Turbo", "1:2:2");
    EXPECT_EQ(2, ChoiceIndexForReply(withValues, "2")); // the later of two equal values
    EXPECT_EQ(0, ChoiceIndexForReply(withValues, "7")); // not listed: first entry
    EXPECT_EQ(0, ChoiceIndexForReply(Param("Off:On", ""), "x"));
    EXPECT_EQ("D", ChoiceValueToSave(Param("a:b:c", "X:D"), "c")); // short list: its last entry
    EXPECT_EQ("0", ChoiceValueToSave(Param("a:b:c", ""), "zz"));
}

} // namespace
