// Parser of construct files. Each edge case is a file data/<case>.vmcon with the result it
// must give beside it in data/<case>.expected: for each mode ("mode local", "mode remote")
// the group count, one "rec" line per record (group|name|type|width|choices|values|min|max|
// description|command, with CR and LF written as \r and \n) and one "row" line per row of
// the group table. Lines starting with "#" say what the case is about.
#include "config/ConstructFile.h"

#include <gtest/gtest.h>

#include <cctype>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string Escaped(const char* text) {
    std::string out;
    for (; *text; ++text)
        out += *text == '\r' ? "\\r" : *text == '\n' ? "\\n" : std::string(1, *text);
    return out;
}

std::string Describe(const std::string& text, bool remote) {
    auto data = std::make_unique<CConstructData>();
    data->ParseConstructText(text, remote);
    data->BuildGroupTable();
    std::string out = std::string("mode ") + (remote ? "remote" : "local") + "\ngroups " +
                      std::to_string(data->m_nGroups) + "\n";
    for (int i = 0; i < data->m_nParams; ++i) {
        const ConfigParam& p = data->m_params[i];
        out += "rec " + Escaped(p.group) + "|" + Escaped(p.name) + "|" + std::to_string(p.type) +
               "|" + std::to_string(p.width) + "|" + Escaped(p.choiceList) + "|" +
               Escaped(p.valueList) + "|" + Escaped(p.rangeMin) + "|" + Escaped(p.rangeMax) + "|" +
               Escaped(p.description) + "|" + Escaped(p.command) + "\n";
    }
    for (int g = 0; g < data->m_nGroups; ++g) {
        std::string row = "row";
        for (const char* entry : data->GroupRow(g))
            row += (row.size() == 3 ? " " : "|") + std::string(entry);
        out += row + "\n";
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
    ASSERT_FALSE(expected.empty());
    std::string actual = Describe(text, false);
    if (expected.find("mode remote") != std::string::npos)
        actual += Describe(text, true);
    EXPECT_EQ(actual, expected);
}

INSTANTIATE_TEST_SUITE_P(Files, ConstructParserCase, testing::ValuesIn(Cases()),
                         [](const testing::TestParamInfo<std::string>& param) {
                             return param.param;
                         });

std::unique_ptr<CConstructData> Parse(const std::string& text) {
    auto data = std::make_unique<CConstructData>();
    data->ParseConstructText(text, false);
    return data;
}

// A test name made of the case's index and the letters and digits of its input.
std::string CaseName(size_t index, const char* input) {
    std::string name = "Case" + std::to_string(index) + "_";
    for (const char* c = input; *c; ++c)
        name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
    return name;
}

struct TypeCase {
    const char* typeField;
    int32_t type;
    int32_t width;
};

void PrintTo(const TypeCase& c, std::ostream* os) {
    *os << '"' << c.typeField << '"';
}

class ConstructTypeField : public testing::TestWithParam<TypeCase> {};

TEST_P(ConstructTypeField, GivesTypeAndWidth) {
    auto data = Parse(std::string("[G/N]") + GetParam().typeField + ";D=<d>;C= AT+X;");
    ASSERT_EQ(data->m_nParams, 1);
    EXPECT_EQ(data->m_params[0].type, GetParam().type);
    EXPECT_EQ(data->m_params[0].width, GetParam().width);
}

INSTANTIATE_TEST_SUITE_P(TestOrderAndWidth, ConstructTypeField,
                         testing::Values(TypeCase{"Get16", PT_16, 0}, TypeCase{"1016", PT_10, 0},
                                         TypeCase{"string", PT_NONE, 0},
                                         TypeCase{"GET", PT_NONE, 0}, TypeCase{"", PT_NONE, 0},
                                         TypeCase{"16(4", PT_16, 0}, TypeCase{"16(abc)", PT_16, 0},
                                         TypeCase{"16(7x)", PT_16, 7}, TypeCase{"16)(5", PT_16, 0},
                                         TypeCase{"String(99999999999)", PT_STRING, 2147483647}),
                         [](const auto& c) { return CaseName(c.index, c.param.typeField); });

struct DescriptionCase {
    const char* field;
    const char* description;
};

void PrintTo(const DescriptionCase& c, std::ostream* os) {
    *os << '"' << c.field << '"';
}

class ConstructDescription : public testing::TestWithParam<DescriptionCase> {};

TEST_P(ConstructDescription, IsTheTextBetweenTheBrackets) {
    auto data = Parse(std::string("[G/N]16;") + GetParam().field + ";C= AT+X;");
    ASSERT_EQ(data->m_nParams, 1);
    EXPECT_STREQ(data->m_params[0].description, GetParam().description);
}

INSTANTIATE_TEST_SUITE_P(Brackets, ConstructDescription,
                         testing::Values(DescriptionCase{"D=<a>b>", "a"},
                                         DescriptionCase{"D=a>b", "D=a"},
                                         DescriptionCase{"D=<open", ""},
                                         DescriptionCase{"no brackets", ""},
                                         DescriptionCase{"D=<a<b>", "a<b"}),
                         [](const auto& c) { return CaseName(c.index, c.param.field); });

TEST(ConstructParser, TextWithoutEntriesGivesNoRecords) {
    for (const std::string& text : {std::string(), std::string("no entries; none at all"),
                                    std::string("\x01\xff\x7f\x80 binary ] / ; < >")}) {
        auto data = Parse(text);
        EXPECT_EQ(data->m_nParams, 0);
        EXPECT_EQ(data->m_nGroups, 0);
    }
}

TEST(ConstructParser, TextEndsAtTheFirstZeroByte) {
    const char raw[] = "[A/One]16;D=<d>;C= AT+A;\n\0[B/Two]16;D=<d>;C= AT+B;";
    auto data = Parse(std::string(raw, sizeof raw - 1));
    EXPECT_EQ(data->m_nParams, 1);
    EXPECT_EQ(data->m_nGroups, 1);
}

TEST(ConstructParser, NewParseReplacesEveryRecord) {
    auto data =
        Parse(std::string("[A/One]10;Combo_list= a:b;D=<d>;C= AT+A;") + "[B/Two]16;D=<d>;C= AT+B;");
    data->ParseConstructText("[G/N]16;D=<d>;C= AT+X;", false);
    ASSERT_EQ(data->m_nParams, 1);
    EXPECT_STREQ(data->m_params[0].choiceList, "");
    EXPECT_STREQ(data->m_params[1].name, "");
    EXPECT_EQ(data->m_nGroups, 1);
}

} // namespace
