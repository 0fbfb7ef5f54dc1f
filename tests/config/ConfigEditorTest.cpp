#include "config/ConfigEditor.h"

#include <gtest/gtest.h>

namespace {

ConfigParam Param(const char* choices, const char* values, const char* command = "AT+X\r\n") {
    ConfigParam p{};
    CopyField(p.choiceList, choices);
    CopyField(p.valueList, values);
    CopyField(p.command, command);
    return p;
}

TEST(ConfigEditor, ListsSplitAtColonsWithinTheEditorsLimits) {
    EXPECT_EQ(std::vector<std::string>({"Only"}), SplitList("Only"));
    EXPECT_EQ(std::vector<std::string>({"a", "", "c"}), SplitList("a::c"));
    std::string many;
    for (int i = 0; i < 30; ++i)
        many += std::to_string(i) + ":";
    EXPECT_EQ(20u, SplitList(many).size());
    EXPECT_EQ(2u, SplitList(many, 2).size());
    EXPECT_EQ(63u, SplitList(std::string(100, 'x')).front().size());
}

TEST(ConfigEditor, ReplyPicksTheLastMatchingValueOrItsNumber) {
    const ConfigParam withValues = Param("Slow:Fast:Turbo", "1:2:2");
    EXPECT_EQ(2, ChoiceIndexForReply(withValues, "2")); // the later of two equal values
    EXPECT_EQ(0, ChoiceIndexForReply(withValues, "1"));
    EXPECT_EQ(0, ChoiceIndexForReply(withValues, "7")); // not listed: first entry
    EXPECT_EQ(0, ChoiceIndexForReply(withValues, ""));
    const ConfigParam byIndex = Param("Off:On", "");
    EXPECT_EQ(1, ChoiceIndexForReply(byIndex, "1"));
    EXPECT_EQ(5, ChoiceIndexForReply(byIndex, "5")); // beyond the list: nothing selected
    EXPECT_EQ(0, ChoiceIndexForReply(byIndex, "x"));
}

TEST(ConfigEditor, SavedValueComesFromTheValueListOrTheIndex) {
    const ConfigParam join = Param("Automatic:Manual:Disabled", "A:M:D");
    EXPECT_EQ("M", ChoiceValueToSave(join, "Manual"));
    EXPECT_EQ("A", ChoiceValueToSave(join, "")); // nothing selected: the first value
    EXPECT_EQ("D", ChoiceValueToSave(Param("a:b:c", "X:D"), "c")); // short list: its last entry
    EXPECT_EQ("2", ChoiceValueToSave(Param("a:b:c", ""), "c"));
    EXPECT_EQ("0", ChoiceValueToSave(Param("a:b:c", ""), "zz"));
}

TEST(ConfigEditor, WriteCommandAndRangeText) {
    EXPECT_EQ("AT+X=5\r\n", SaveCommand(Param("", ""), "5"));
    EXPECT_EQ("ATS0A=hello world\r\n", SaveCommand(Param("", "", "ATS0A\r\n"), "hello world"));
    ConfigParam ranged{};
    EXPECT_EQ("", RangeText(ranged));
    CopyField(ranged.rangeMin, "11");
    CopyField(ranged.rangeMax, "26");
    EXPECT_EQ("11 ~ 26", RangeText(ranged));
}

} // namespace
