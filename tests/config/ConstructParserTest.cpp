// Parser of construct files: one input file per edge case in data/, with the records it
// must give written beside it here.
#include "config/ConstructFile.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

struct Expected {
    std::string group;
    std::string name;
    int32_t type = PT_NONE;
    int32_t width = 0;
    std::string choiceList;
    std::string valueList;
    std::string rangeMin;
    std::string rangeMax;
    std::string description;
    std::string command;
};

std::string DataFile(const std::string& name) {
    bool ok = false;
    std::string text = ReadConstructFile(std::string(VIREO_CONFIG_TEST_DATA) + "/" + name, &ok);
    EXPECT_TRUE(ok) << name;
    return text;
}

std::unique_ptr<CConstructData> Parse(const std::string& text, bool remote = false) {
    auto data = std::make_unique<CConstructData>();
    data->ParseConstructText(text, remote);
    return data;
}

void ExpectRecords(const CConstructData& data, const std::vector<Expected>& expected) {
    ASSERT_EQ(data.m_nParams, static_cast<int32_t>(expected.size()));
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE("record " + std::to_string(i));
        const ConfigParam& p = data.m_params[i];
        const Expected& e = expected[i];
        EXPECT_EQ(p.group, e.group);
        EXPECT_EQ(p.name, e.name);
        EXPECT_EQ(p.type, e.type);
        EXPECT_EQ(p.width, e.width);
        EXPECT_EQ(p.choiceList, e.choiceList);
        EXPECT_EQ(p.valueList, e.valueList);
        EXPECT_EQ(p.rangeMin, e.rangeMin);
        EXPECT_EQ(p.rangeMax, e.rangeMax);
        EXPECT_EQ(p.description, e.description);
        EXPECT_EQ(p.command, e.command);
    }
    // Records past the last one stay unfilled.
    if (expected.size() < static_cast<size_t>(kMaxParams)) {
        static const ConfigParam zero{};
        EXPECT_EQ(std::memcmp(&data.m_params[expected.size()], &zero, sizeof zero), 0);
    }
}

std::vector<std::vector<std::string>> Rows(const CConstructData& data) {
    std::vector<std::vector<std::string>> rows;
    for (int g = 0; g < data.m_nGroups; ++g) {
        std::vector<std::string> row;
        for (const char* entry : data.GroupRow(g))
            row.emplace_back(entry);
        rows.push_back(row);
    }
    return rows;
}

using Rows_t = std::vector<std::vector<std::string>>;

TEST(ConstructParser, ReadsEveryFieldOfAWellFormedFile) {
    auto data = Parse(DataFile("basic.vmcon"));
    ExpectRecords(*data,
                  {
                      {"Network Settings", "Channel", PT_10, 0, "11:12:13:14", "0B:0C:0D:0E", "",
                       "", "Radio channel the module uses", "AT+CH\r\n"},
                      {"Network Settings", "PAN ID", PT_16, 4, "", "", "0000", "FFFF",
                       "PAN identifier, hexadecimal", "AT+PANID\r\n"},
                      {"Network Settings", "Power Level", PT_10, 0, "", "", "-8", "3",
                       "Transmit power in dBm", "AT+PL\r\n"},
                      {"Device", "Node Label", PT_STRING, 32, "", "", "", "", "Name of the node",
                       "AT+NODENAME\r\n"},
                      {"Device", "Baud Rate", PT_10, 0, "9600:19200:115200", "", "", "",
                       "Line speed", "AT+BR\r\n"},
                      {"Device", "Firmware Version", PT_GET, 0, "", "", "", "", "Firmware version",
                       "AT+VERSION\r\n"},
                      {"Device", "Sleep Mode", PT_NONE, 0, "", "", "", "", "Unknown type keyword",
                       "AT+SM\r\n"},
                  });
    EXPECT_EQ(data->m_nGroups, 2);
    data->BuildGroupTable();
    EXPECT_EQ(Rows(*data),
              (Rows_t{{"Network Settings", "Channel", "PAN ID", "Power Level"},
                      {"Device", "Node Label", "Baud Rate", "Firmware Version", "Sleep Mode"}}));
}

TEST(ConstructParser, WidthInParenthesesStopsTheListsAndTenIsTestedFirst) {
    auto data = Parse(DataFile("string_width.vmcon"));
    ExpectRecords(*data,
                  {
                      // "10" is found before "String": type 10, width 10, no lists.
                      {"Radio", "Short Name", PT_10, 10, "", "", "", "", "Ten characters",
                       "AT+SN\r\n"},
                      {"Radio", "Long Name", PT_16, 16, "", "", "", "", "Sixteen characters",
                       "AT+LN\r\n"},
                      {"Radio", "Label", PT_STRING, 32, "", "", "", "", "Free text", "AT+LB\r\n"},
                      // With a width the choice list is not looked for: it is read as the
                      // description field (no "<"/">": empty) and the value list as the command.
                      {"Radio", "Mode", PT_10, 2, "", "", "", "", "", "1:2\r\n"},
                  });
}

TEST(ConstructParser, TypeTenWithoutChoiceListIsFreeText) {
    auto data = Parse(DataFile("type10_without_lists.vmcon"));
    ExpectRecords(*data,
                  {
                      {"Radio", "Node Identifier", PT_10, 0, "", "", "", "", "Any decimal number",
                       "AT+NI\r\n"},
                      // A value list without a choice list is not consumed: it takes the place
                      // of the description, and the description field that of the command.
                      {"Radio", "Retries", PT_10, 0, "", "", "", "", "", "No choice list>\r\n"},
                  });
}

TEST(ConstructParser, RangeInsideADescriptionSwallowsTheNextEntry) {
    auto data = Parse(DataFile("range_in_description.vmcon"));
    ExpectRecords(*data,
                  {
                      {"Radio", "Power", PT_16, 0, "", "", "Range of the transmit power>", "AT+PW",
                       "", "11:12\r\n"},
                      {"Radio", "Address", PT_GET, 0, "", "", "", "", "Address", "AT+AD\r\n"},
                  });
}

TEST(ConstructParser, CommandWithoutSemicolonRunsIntoTheNextField) {
    auto data = Parse(DataFile("command_without_semicolon.vmcon"));
    ExpectRecords(*data,
                  {
                      {"Radio", "Power", PT_16, 0, "", "", "", "", "Transmit power",
                       "AT+PW\n[Radio/Channel]16\r\n"},
                      // The heading taken into the command is still read as the next entry.
                      {"Radio", "Channel", PT_16, 0, "", "", "", "", "Channel", "AT+CH\r\n"},
                      // No ";" left in the file: an empty command.
                      {"Radio", "Last", PT_16, 0, "", "", "", "", "Last entry", "\r\n"},
                  });
}

TEST(ConstructParser, TruncatedEntryGivesEmptyFields) {
    auto data = Parse(DataFile("truncated_entry.vmcon"));
    ASSERT_EQ(data->m_nParams, 2);
    const ConfigParam& p = data->m_params[1];
    EXPECT_STREQ(p.name, "Power");
    EXPECT_EQ(p.type, PT_16);
    EXPECT_STREQ(p.description, "");
    EXPECT_STREQ(p.command, "\r\n");
}

TEST(ConstructParser, KeyedValueStartsTwoAfterTheEqualsSignAndNeverBeyondTheField) {
    auto data = Parse(DataFile("keyed_values.vmcon"));
    ExpectRecords(*data, {
                             {"Radio", "No Equals", PT_16, 0, "", "", "ange0", "ax5", "d",
                              "ommandAT+NE\r\n"},
                             {"Radio", "Empty Value", PT_16, 0, "", "", "", "", "d", "\r\n"},
                             {"Radio", "One Char", PT_16, 0, "", "", "", "", "d", "\r\n"},
                         });
}

TEST(ConstructParser, NonConsecutiveGroupGivesTwoRows) {
    auto data = Parse(DataFile("non_consecutive_groups.vmcon"));
    EXPECT_EQ(data->m_nParams, 4);
    EXPECT_EQ(data->m_nGroups, 3);
    data->BuildGroupTable();
    EXPECT_EQ(Rows(*data), (Rows_t{{"Network", "Channel"},
                                   {"Device", "Name"},
                                   {"Network", "PAN ID", "Power"}}));
}

TEST(ConstructParser, RemoteModeLeavesOutSecuritySettings) {
    const std::string text = DataFile("security_settings.vmcon");

    auto local = Parse(text, false);
    EXPECT_EQ(local->m_nParams, 4);
    EXPECT_EQ(local->m_nGroups, 3);
    local->BuildGroupTable();
    EXPECT_EQ(Rows(*local), (Rows_t{{"Network", "Channel"},
                                    {"Security Settings", "Link Key", "Network Key"},
                                    {"Network", "PAN ID"}}));
    EXPECT_STREQ(local->m_params[1].choiceList, "Off:On");
    EXPECT_STREQ(local->m_params[2].rangeMax, "32");

    auto remote = Parse(text, true);
    ExpectRecords(*remote, {
                               {"Network", "Channel", PT_16, 0, "", "", "", "", "Channel",
                                "AT+CH\r\n"},
                               {"Network", "PAN ID", PT_16, 4, "", "", "", "", "PAN",
                                "AT+PANID\r\n"},
                           });
    // Groups are counted over every entry, so the count exceeds the rows; the surplus rows
    // stay empty.
    EXPECT_EQ(remote->m_nGroups, 3);
    remote->BuildGroupTable();
    EXPECT_EQ(Rows(*remote), (Rows_t{{"Network", "Channel", "PAN ID"}, {}, {}}));
}

TEST(ConstructParser, UnstoredTypeTenEntryDoesNotConsumeItsLists) {
    // In remote mode the left-out entry's lists are not consumed (its record is unfilled), so
    // its description field is searched for the next "[" and yields an entry of its own.
    auto remote = Parse(DataFile("security_unstored_lists.vmcon"), true);
    ExpectRecords(*remote, {
                               {"x", "y", PT_NONE, 0, "", "", "", "", "",
                                "[Network/Channel]16\r\n"},
                               {"Network", "Channel", PT_16, 0, "", "", "", "", "Ch",
                                "AT+CH\r\n"},
                           });
    EXPECT_EQ(remote->m_nGroups, 3);

    auto local = Parse(DataFile("security_unstored_lists.vmcon"), false);
    ExpectRecords(*local, {
                              {"Security Settings", "Link Key", PT_10, 0, "Off:On", "0:1", "", "",
                               "Key [x/y] mode", "AT+KEY\r\n"},
                              {"Network", "Channel", PT_16, 0, "", "", "", "", "Ch", "AT+CH\r\n"},
                          });
}

struct TypeCase {
    const char* typeField;
    int32_t type;
    int32_t width;
};

class ConstructTypeField : public testing::TestWithParam<TypeCase> {};

TEST_P(ConstructTypeField, GivesTypeAndWidth) {
    const TypeCase& c = GetParam();
    auto data = Parse(std::string("[G/N]") + c.typeField + ";D=<d>;C= AT+X;");
    ASSERT_EQ(data->m_nParams, 1);
    EXPECT_EQ(data->m_params[0].type, c.type);
    EXPECT_EQ(data->m_params[0].width, c.width);
}

INSTANTIATE_TEST_SUITE_P(
    TestOrderAndWidth, ConstructTypeField,
    testing::Values(TypeCase{"10", PT_10, 0}, TypeCase{"16", PT_16, 0},
                    TypeCase{"String", PT_STRING, 0}, TypeCase{"Get", PT_GET, 0},
                    TypeCase{"Get16", PT_16, 0}, TypeCase{"1016", PT_10, 0},
                    TypeCase{"string", PT_NONE, 0}, TypeCase{"GET", PT_NONE, 0},
                    TypeCase{"", PT_NONE, 0}, TypeCase{"16(4)", PT_16, 4},
                    TypeCase{"16(4", PT_16, 0}, TypeCase{"16(abc)", PT_16, 0},
                    TypeCase{"16(7x)", PT_16, 7}, TypeCase{"16)(5", PT_16, 0},
                    TypeCase{"String(99999999999)", PT_STRING, 2147483647}));

struct DescriptionCase {
    const char* field;
    const char* description;
};

class ConstructDescription : public testing::TestWithParam<DescriptionCase> {};

TEST_P(ConstructDescription, IsTheTextBetweenTheBrackets) {
    auto data = Parse(std::string("[G/N]16;") + GetParam().field + ";C= AT+X;");
    ASSERT_EQ(data->m_nParams, 1);
    EXPECT_STREQ(data->m_params[0].description, GetParam().description);
}

INSTANTIATE_TEST_SUITE_P(Brackets, ConstructDescription,
                         testing::Values(DescriptionCase{"D=<text>", "text"},
                                         DescriptionCase{"D=<a>b>", "a"},
                                         DescriptionCase{"D=a>b", "D=a"},
                                         DescriptionCase{"D=<open", ""},
                                         DescriptionCase{"no brackets", ""},
                                         DescriptionCase{"D=<>", ""},
                                         DescriptionCase{"D=<a<b>", "a<b"}));

TEST(ConstructParser, TextWithoutEntriesGivesNoRecords) {
    for (const std::string& text :
         {std::string(), std::string("no entries here; none at all"),
          std::string("\x01\xff\x7f\x80 binary ] / ; < >")}) {
        auto data = Parse(text);
        EXPECT_EQ(data->m_nParams, 0);
        EXPECT_EQ(data->m_nGroups, 0);
    }
}

TEST(ConstructParser, TextEndsAtTheFirstZeroByte) {
    const char raw[] = "[A/One]16;D=<d>;C= AT+A;\n\0[B/Two]16;D=<d>;C= AT+B;";
    const std::string text(raw, sizeof raw - 1);
    auto data = Parse(text);
    EXPECT_EQ(data->m_nParams, 1);
    EXPECT_EQ(data->m_nGroups, 1);
}

TEST(ConstructParser, NewParseReplacesEveryRecord) {
    auto data = std::make_unique<CConstructData>();
    data->ParseConstructText(DataFile("basic.vmcon"), false);
    data->ParseConstructText("[G/N]16;D=<d>;C= AT+X;", false);
    ExpectRecords(*data, {{"G", "N", PT_16, 0, "", "", "", "", "d", "AT+X\r\n"}});
}

} // namespace
