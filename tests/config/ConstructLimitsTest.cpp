// Limits of the construct data and the group table: a file beyond them is cut, never read
// or written out of bounds (run under AddressSanitizer to see the latter).
#include "config/ConstructFile.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

std::string Entry(const std::string& group, const std::string& name) {
    return "[" + group + "/" + name + "]16;Description=<d>;Command= AT+" + name + ";\r\n";
}

std::unique_ptr<CConstructData> ParseAndBuild(const std::string& text, bool remote = false) {
    auto data = std::make_unique<CConstructData>();
    data->ParseConstructText(text, remote);
    data->BuildGroupTable();
    return data;
}

std::vector<std::string> Row(const CConstructData& data, int row) {
    std::vector<std::string> entries;
    for (const char* e : data.GroupRow(row))
        entries.emplace_back(e);
    return entries;
}

TEST(ConstructLimits, EntriesBeyondAThousandAreNotStored) {
    std::string text;
    for (int i = 0; i < 1005; ++i)
        text += Entry("G", "P" + std::to_string(i));
    auto data = ParseAndBuild(text);
    EXPECT_EQ(data->m_nParams, kMaxParams);
    EXPECT_STREQ(data->m_params[kMaxParams - 1].name, "P999");
    EXPECT_EQ(data->m_nGroups, 25); // 1000 names in rows of 39
    EXPECT_EQ(Row(*data, 24).size(), 40u);
}

TEST(ConstructLimits, GroupRowsStopAtTwentyFive) {
    std::string text;
    for (int g = 0; g < 30; ++g)
        text += Entry("G" + std::to_string(g), "A") + Entry("G" + std::to_string(g), "B");
    auto data = ParseAndBuild(text);
    EXPECT_EQ(data->m_nParams, 60);
    EXPECT_EQ(data->m_nGroups, kMaxGroupRows);
    EXPECT_EQ(Row(*data, 24), (std::vector<std::string>{"G24", "A", "B"}));
    EXPECT_TRUE(data->GroupRow(25).empty());
}

struct GroupSizeCase {
    int names;                     // parameters in the group "Big"
    std::vector<size_t> rowSizes;  // entries per row, group name included
};

class ConstructLargeGroup : public testing::TestWithParam<GroupSizeCase> {};

TEST_P(ConstructLargeGroup, ContinuesInANewRowOfTheSameName) {
    std::string text;
    for (int i = 0; i < GetParam().names; ++i)
        text += Entry("Big", "P" + std::to_string(i));
    text += Entry("Small", "S");
    auto data = ParseAndBuild(text);

    const std::vector<size_t>& sizes = GetParam().rowSizes;
    ASSERT_EQ(data->m_nGroups, static_cast<int32_t>(sizes.size()) + 1);
    int next = 0;
    for (size_t r = 0; r < sizes.size(); ++r) {
        const std::vector<std::string> row = Row(*data, static_cast<int>(r));
        ASSERT_EQ(row.size(), sizes[r]) << "row " << r;
        EXPECT_EQ(row[0], "Big");
        for (size_t k = 1; k < row.size(); ++k)
            EXPECT_EQ(row[k], "P" + std::to_string(next++));
    }
    EXPECT_EQ(next, GetParam().names);
    EXPECT_EQ(Row(*data, data->m_nGroups - 1), (std::vector<std::string>{"Small", "S"}));
}

INSTANTIATE_TEST_SUITE_P(NamesPerRow, ConstructLargeGroup,
                         testing::Values(GroupSizeCase{38, {39}}, GroupSizeCase{39, {40}},
                                         GroupSizeCase{40, {40, 2}},
                                         GroupSizeCase{100, {40, 40, 23}}));

TEST(ConstructLimits, LargeGroupInTheLastRowIsCut) {
    std::string text;
    for (int g = 0; g < 24; ++g)
        text += Entry("G" + std::to_string(g), "A");
    for (int i = 0; i < 50; ++i)
        text += Entry("Big", "P" + std::to_string(i));
    auto data = ParseAndBuild(text);
    EXPECT_EQ(data->m_nParams, 74);
    EXPECT_EQ(data->m_nGroups, kMaxGroupRows);
    const std::vector<std::string> last = Row(*data, 24);
    ASSERT_EQ(last.size(), 40u);
    EXPECT_EQ(last[0], "Big");
    EXPECT_EQ(last[39], "P38");
}

TEST(ConstructLimits, OverlongFieldsAreTruncatedAndTerminated) {
    const std::string group(40, 'g'), name(200, 'n'), choices(300, 'c'), values(300, 'v'),
        low(100, 'l'), high(100, 'h'), description(3000, 'd'), command(200, 'x');
    const std::string text = "[" + group + "/" + name + "]10;Combo_list= " + choices +
                             ";Value_list= " + values + ";Range= " + low + ";Max= " + high +
                             ";Description=<" + description + ">;Command= " + command + ";";
    auto data = ParseAndBuild(text);
    ASSERT_EQ(data->m_nParams, 1);
    const ConfigParam& p = data->m_params[0];
    EXPECT_EQ(std::string(p.group), group.substr(0, 31));
    EXPECT_EQ(std::string(p.name), name.substr(0, 127));
    EXPECT_EQ(std::string(p.choiceList), choices.substr(0, 255));
    EXPECT_EQ(std::string(p.valueList), values.substr(0, 255));
    EXPECT_EQ(std::string(p.rangeMin), low.substr(0, 63));
    EXPECT_EQ(std::string(p.rangeMax), high.substr(0, 63));
    EXPECT_EQ(std::string(p.description), description.substr(0, 2047));
    EXPECT_EQ(std::string(p.command), command.substr(0, 125) + "\r\n");
    EXPECT_EQ(Row(*data, 0), (std::vector<std::string>{group.substr(0, 31), name.substr(0, 127)}));
}

class ConstructCommandLength : public testing::TestWithParam<size_t> {};

TEST_P(ConstructCommandLength, KeepsTheLineEnd) {
    ConfigParam p{};
    std::memset(p.command, 'z', sizeof p.command); // no terminator left from before
    SetCommand(p, std::string(GetParam(), 'a'));
    const size_t kept = std::min<size_t>(GetParam(), 125);
    EXPECT_EQ(std::string(p.command), std::string(kept, 'a') + "\r\n");
}

INSTANTIATE_TEST_SUITE_P(Lengths, ConstructCommandLength,
                         testing::Values<size_t>(0, 1, 124, 125, 126, 127, 128, 1000));

TEST(ConstructGroupTable, ReadFailureShowsOneFixedRow) {
    auto data = std::make_unique<CConstructData>();
    data->ParseConstructText("[G/N]16;D=<d>;C= AT+X;", false);
    data->ClearGroupTable();
    data->SetReadFailed();
    data->BuildGroupTable(); // no records: the table stays as it is
    EXPECT_EQ(data->m_nParams, 0);
    EXPECT_EQ(data->m_nGroups, 1);
    EXPECT_EQ(Row(*data, 0), (std::vector<std::string>{"CONSTRUCT FILE READ FAIL"}));
    EXPECT_STREQ(data->m_params[0].name, "");
}

TEST(ConstructGroupTable, RecordWithoutGroupEndsTheTable) {
    auto first = ParseAndBuild("[/Orphan]16;D=<d>;C= AT+O;\n" + Entry("G", "N"));
    EXPECT_EQ(first->m_nParams, 2);
    EXPECT_EQ(first->m_nGroups, 1);
    EXPECT_TRUE(first->GroupRow(0).empty());

    auto middle = ParseAndBuild(Entry("A", "One") + "[/Two]16;D=<d>;C= AT+T;\n" + Entry("A", "Three"));
    EXPECT_EQ(middle->m_nParams, 3);
    EXPECT_EQ(middle->m_nGroups, 3);
    EXPECT_EQ(Row(*middle, 0), (std::vector<std::string>{"A", "One"}));
    EXPECT_TRUE(middle->GroupRow(1).empty());
}

TEST(ConstructGroupTable, ClearNullsEveryEntry) {
    auto data = ParseAndBuild(Entry("A", "One") + Entry("B", "Two"));
    data->ClearGroupTable();
    for (const auto& row : data->m_groupTable)
        for (const char* entry : row)
            EXPECT_EQ(entry, nullptr);
    EXPECT_EQ(data->m_nParams, 2); // records stay
    EXPECT_TRUE(data->GroupRow(-1).empty());
    EXPECT_TRUE(data->GroupRow(kMaxGroupRows).empty());
}

} // namespace
