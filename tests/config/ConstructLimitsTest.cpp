// Limits of the construct data and the group table: a file beyond them is cut, never read
// or written out of bounds (run under AddressSanitizer to see the latter).
#include "config/ConstructFile.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

using Row = std::vector<std::string>;

std::string Entries(const std::string& group, int count) {
    std::string text;
    for (int i = 0; i < count; ++i)
        text += "[" + group + "/P" + std::to_string(i) + "]16;D=<d>;C= AT+X;\r\n";
    return text;
}

std::unique_ptr<CConstructData> Load(const std::string& text) {
    auto data = std::make_unique<CConstructData>();
    data->ParseConstructText(text, false);
    data->BuildGroupTable();
    return data;
}

Row RowOf(const CConstructData& data, int row) {
    const auto entries = data.GroupRow(row);
    return Row(entries.begin(), entries.end());
}

TEST(ConstructLimits, EntriesBeyondAThousandAreNotStored) {
    auto data = Load(Entries("G", 1005));
    EXPECT_EQ(data->m_nParams, kMaxParams);
    EXPECT_STREQ(data->m_params[kMaxParams - 1].name, "P999");
    EXPECT_EQ(data->m_nGroups, kMaxGroupRows); // 1000 names need more rows of 39 than exist
    EXPECT_EQ(RowOf(*data, 24).size(), 40u);
}

TEST(ConstructLimits, GroupRowsStopAtTwentyFive) {
    std::string text;
    for (int g = 0; g < 30; ++g)
        text += Entries("G" + std::to_string(g), 2);
    auto data = Load(text);
    EXPECT_EQ(data->m_nParams, 60);
    EXPECT_EQ(data->m_nGroups, kMaxGroupRows);
    EXPECT_EQ(RowOf(*data, 24), (Row{"G24", "P0", "P1"}));
    EXPECT_TRUE(data->GroupRow(25).empty());

    // A large group in the last row is cut at the row's end.
    text.clear();
    for (int g = 0; g < 24; ++g)
        text += Entries("G" + std::to_string(g), 1);
    data = Load(text + Entries("Big", 50));
    EXPECT_EQ(data->m_nGroups, kMaxGroupRows);
    EXPECT_EQ(RowOf(*data, 24).size(), 40u);
    EXPECT_EQ(RowOf(*data, 24).back(), "P38");
}

class ConstructLargeGroup : public testing::TestWithParam<std::pair<int, std::vector<size_t>>> {};

TEST_P(ConstructLargeGroup, ContinuesInANewRowOfTheSameName) {
    const auto& [names, rowSizes] = GetParam();
    auto data = Load(Entries("Big", names) + Entries("Small", 1));
    ASSERT_EQ(data->m_nGroups, static_cast<int32_t>(rowSizes.size()) + 1);
    int next = 0;
    for (size_t r = 0; r < rowSizes.size(); ++r) {
        const Row row = RowOf(*data, static_cast<int>(r));
        ASSERT_EQ(row.size(), rowSizes[r]) << "row " << r;
        EXPECT_EQ(row[0], "Big");
        for (size_t k = 1; k < row.size(); ++k)
            EXPECT_EQ(row[k], "P" + std::to_string(next++));
    }
    EXPECT_EQ(next, names);
    EXPECT_EQ(RowOf(*data, data->m_nGroups - 1), (Row{"Small", "P0"}));
}

INSTANTIATE_TEST_SUITE_P(NamesPerRow, ConstructLargeGroup,
                         testing::Values(std::pair(38, std::vector<size_t>{39}),
                                         std::pair(39, std::vector<size_t>{40}),
                                         std::pair(40, std::vector<size_t>{40, 2}),
                                         std::pair(100, std::vector<size_t>{40, 40, 23})),
                         [](const auto& c) { return std::to_string(c.param.first) + "Names"; });

TEST(ConstructLimits, OverlongFieldsAreTruncatedAndTerminated) {
    const std::string group(40, 'g'), name(200, 'n'), choices(300, 'c'), values(300, 'v'),
        low(100, 'l'), high(100, 'h'), description(3000, 'd'), command(200, 'x');
    auto data = Load("[" + group + "/" + name + "]10;Combo_list= " + choices +
                     ";Value_list= " + values + ";Range= " + low + ";Max= " + high +
                     ";Description=<" + description + ">;Command= " + command + ";");
    ASSERT_EQ(data->m_nParams, 1);
    const ConfigParam& p = data->m_params[0];
    EXPECT_EQ(p.group, group.substr(0, 31));
    EXPECT_EQ(p.name, name.substr(0, 127));
    EXPECT_EQ(p.choiceList, choices.substr(0, 255));
    EXPECT_EQ(p.valueList, values.substr(0, 255));
    EXPECT_EQ(p.rangeMin, low.substr(0, 63));
    EXPECT_EQ(p.rangeMax, high.substr(0, 63));
    EXPECT_EQ(p.description, description.substr(0, 2047));
    EXPECT_EQ(p.command, command.substr(0, 125) + "\r\n");
    EXPECT_EQ(RowOf(*data, 0), (Row{group.substr(0, 31), name.substr(0, 127)}));
}

TEST(ConstructLimits, CommandKeepsItsLineEndAtEveryLength) {
    for (size_t length : {0, 124, 125, 126, 1000}) {
        ConfigParam p{};
        std::memset(p.command, 'z', sizeof p.command); // no terminator left from before
        SetCommand(p, std::string(length, 'a'));
        EXPECT_EQ(p.command, std::string(std::min<size_t>(length, 125), 'a') + "\r\n");
    }
}

TEST(ConstructGroupTable, ReadFailureShowsOneFixedRow) {
    auto data = Load(Entries("G", 3));
    data->ClearGroupTable();
    data->SetReadFailed();
    data->BuildGroupTable(); // no records: the table stays as it is
    EXPECT_EQ(data->m_nParams, 0);
    EXPECT_EQ(data->m_nGroups, 1);
    EXPECT_EQ(RowOf(*data, 0), (Row{"CONSTRUCT FILE READ FAIL"}));
    EXPECT_STREQ(data->m_params[0].name, "");
}

TEST(ConstructGroupTable, RecordWithoutGroupEndsTheTable) {
    auto first = Load(Entries("", 1) + Entries("G", 1));
    EXPECT_EQ(first->m_nParams, 2);
    EXPECT_EQ(first->m_nGroups, 1);
    EXPECT_TRUE(first->GroupRow(0).empty());

    auto middle = Load(Entries("A", 1) + Entries("", 1) + Entries("A", 1));
    EXPECT_EQ(middle->m_nGroups, 3);
    EXPECT_EQ(RowOf(*middle, 0), (Row{"A", "P0"}));
    EXPECT_TRUE(middle->GroupRow(1).empty());
}

} // namespace
