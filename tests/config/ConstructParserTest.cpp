// Parser of construct files and its group table. Each edge case of the file format is a file
// data/<case>.vmcon with the result it must give beside it in data/<case>.expected: for each
// mode ("mode local", "mode remote") the group count, one "rec" line per record
// (group|name|type|width|choices|values|min|max|description|command, CR and LF written as \r
// and \n) and one "row" line per row of the group table. Lines starting with "#" say what the
// case is about. Inputs beyond the limits are cut, never read or written out of bounds (run
// under AddressSanitizer to see the latter).
#include "config/ConstructFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>

namespace {

using Row = std::vector<std::string>;

std::string Escaped(const char* text) {
    std::string out;
    for (; *text; ++text)
        out += *text == '\r' ? "\\r" : *text == '\n' ? "\\n" : std::string(1, *text);
    return out;
}

std::unique_ptr<CConstructData> Load(const std::string& text, bool remote = false) {
    auto data = std::make_unique<CConstructData>();
    data->ParseConstructText(text, remote);
    data->BuildGroupTable();
    return data;
}

Row RowOf(const CConstructData& data, int row) {
    const auto entries = data.GroupRow(row);
    return Row(entries.begin(), entries.end());
}

std::string Describe(const std::string& text, bool remote) {
    const auto data = Load(text, remote);
    std::string out = std::string("mode ") + (remote ? "remote" : "local") + "\ngroups " +
                      std::to_string(data->m_nGroups) + "\n";
    for (int i = 0; i < data->m_nParams; ++i) {
        const ConfigParam& p = data->m_params[i];
        out += "rec ";
        for (const char* field : {p.group, p.name})
            out += Escaped(field) + "|";
        out += std::to_string(p.type) + "|" + std::to_string(p.width);
        for (const char* field :
             {p.choiceList, p.valueList, p.rangeMin, p.rangeMax, p.description, p.command})
            out += "|" + Escaped(field);
        out += "\n";
    }
    for (int g = 0; g < data->m_nGroups; ++g) {
        const Row row = RowOf(*data, g);
        std::string line = "row";
        for (size_t k = 0; k < row.size(); ++k)
            line += (k == 0 ? " " : "|") + row[k];
        out += line + "\n";
    }
    return out;
}

std::vector<std::string> Cases() {
    std::vector<std::string> cases;
    for (const auto& entry : std::filesystem::directory_iterator(VIREO_CONFIG_TEST_DATA))
        if (entry.path().extension() == ".expected")
            cases.push_back(entry.path().stem().string());
    std::sort(cases.begin(), cases.end());
    return cases;
}

class ConstructParserCase : public testing::TestWithParam<std::string> {};

TEST_P(ConstructParserCase, GivesTheExpectedRecordsAndRows) {
    const std::string base = std::string(VIREO_CONFIG_TEST_DATA) + "/" + GetParam();
    bool ok = false;
    const std::string text = ReadConstructFile(base + ".vmcon", &ok);
    ASSERT_TRUE(ok);
    std::ifstream file(base + ".expected");
    std::string expected, line;
    while (std::getline(file, line))
        if (!line.starts_with("#"))
            expected += line + "\n";
    std::string actual = Describe(text, false);
    if (expected.find("mode remote") != std::string::npos)
        actual += Describe(text, true);
    EXPECT_EQ(actual, expected);
}

INSTANTIATE_TEST_SUITE_P(Files, ConstructParserCase, testing::ValuesIn(Cases()),
                         [](const auto& param) { return param.param; });

TEST(ConstructParser, TypeFieldGivesTypeAndWidth) {
    const std::vector<std::tuple<const char*, int32_t, int32_t>> cases = {
        {"Get16", PT_16, 0},    {"1016", PT_10, 0},
        {"string", PT_NONE, 0}, {"16(4", PT_16, 0},
        {"16(abc)", PT_16, 0},  {"16(7x)", PT_16, 7},
        {"16)(5", PT_16, 0},    {"String(99999999999)", PT_STRING, 2147483647}};
    for (const auto& [field, type, width] : cases) {
        const auto data = Load(std::string("[G/N]") + field + ";D=<d>;C= AT+X;");
        ASSERT_EQ(data->m_nParams, 1) << field;
        EXPECT_EQ(data->m_params[0].type, type) << field;
        EXPECT_EQ(data->m_params[0].width, width) << field;
    }
}

TEST(ConstructParser, DescriptionIsTheTextBetweenTheBrackets) {
    const std::vector<std::pair<const char*, const char*>> cases = {
        {"D=<a>b>", "a"}, {"D=a>b", "D=a"}, {"D=<open", ""}, {"D=<a<b>", "a<b"}};
    for (const auto& [field, description] : cases)
        EXPECT_STREQ(Load(std::string("[G/N]16;") + field + ";C= AT+X;")->m_params[0].description,
                     description)
            << field;
}

TEST(ConstructParser, TextWithoutEntriesOrAfterAZeroByteGivesNoRecords) {
    for (const std::string text : {"", "no entries; none at all", "\x01\xff\x7f\x80 ] / ; < >"})
        EXPECT_EQ(Load(text)->m_nParams, 0) << text;
    const char raw[] = "[A/One]16;D=<d>;C= AT+A;\n\0[B/Two]16;D=<d>;C= AT+B;";
    EXPECT_EQ(Load(std::string(raw, sizeof raw - 1))->m_nParams, 1);
}

TEST(ConstructParser, NewParseReplacesEveryRecord) {
    auto data = Load("[A/One]10;Combo_list= a:b;D=<d>;C= AT+A;[B/Two]16;D=<d>;C= AT+B;");
    data->ParseConstructText("[G/N]16;D=<d>;C= AT+X;", false);
    ASSERT_EQ(data->m_nParams, 1);
    EXPECT_STREQ(data->m_params[0].choiceList, "");
    EXPECT_STREQ(data->m_params[1].name, "");
}

std::string Entries(const std::string& group, int count) {
    std::string text;
    for (int i = 0; i < count; ++i)
        text += "[" + group + "/P" + std::to_string(i) + "]16;D=<d>;C= AT+X;\r\n";
    return text;
}

TEST(ConstructLimits, RecordsStopAtAThousandAndRowsAtTwentyFive) {
    auto data = Load(Entries("G", 1005));
    EXPECT_EQ(data->m_nParams, kMaxParams);
    EXPECT_STREQ(data->m_params[kMaxParams - 1].name, "P999");
    EXPECT_EQ(data->m_nGroups, kMaxGroupRows); // 1000 names need more rows of 39 than exist
    for (int r = 0; r < kMaxGroupRows; ++r) {  // each row repeats the group's name
        const Row row = RowOf(*data, r);
        ASSERT_EQ(row.size(), 40u) << r;
        EXPECT_EQ(row[0], "G");
        EXPECT_EQ(row[1], "P" + std::to_string(39 * r));
    }

    std::string text;
    for (int g = 0; g < 30; ++g)
        text += Entries("G" + std::to_string(g), 2);
    data = Load(text);
    EXPECT_EQ(data->m_nGroups, kMaxGroupRows);
    EXPECT_EQ(RowOf(*data, 24), (Row{"G24", "P0", "P1"}));
    EXPECT_TRUE(data->GroupRow(25).empty());
}

TEST(ConstructLimits, OverlongFieldsAreTruncatedAndTerminated) {
    const std::string group(40, 'g'), name(200, 'n'), choices(300, 'c'), values(300, 'v'),
        low(100, 'l'), high(100, 'h'), description(3000, 'd'), command(200, 'x');
    const auto data = Load("[" + group + "/" + name + "]10;Combo_list= " + choices +
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
    for (size_t length : {0, 124, 125, 126, 1000}) {
        ConfigParam param{};
        std::memset(param.command, 'z', sizeof param.command); // no terminator left from before
        SetCommand(param, std::string(length, 'a'));
        EXPECT_EQ(param.command, std::string(std::min<size_t>(length, 125), 'a') + "\r\n");
    }
}

TEST(ConstructGroupTable, RecordWithoutGroupEndsTheTable) {
    const auto first = Load(Entries("", 1) + Entries("G", 1));
    EXPECT_EQ(first->m_nGroups, 1);
    EXPECT_TRUE(first->GroupRow(0).empty());
    const auto middle = Load(Entries("A", 1) + Entries("", 1) + Entries("A", 1));
    EXPECT_EQ(middle->m_nGroups, 3);
    EXPECT_EQ(RowOf(*middle, 0), (Row{"A", "P0"}));
    EXPECT_TRUE(middle->GroupRow(1).empty());
}

} // namespace
