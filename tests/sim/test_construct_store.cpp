// Construct file reading and the parameter store built from it.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "SimTestSupport.h"
#include "sim/ConstructFile.h"
#include "sim/FirmwareImage.h"
#include "sim/ParamStore.h"

namespace vireo::sim {
namespace {

TEST(ConstructFile, ReadsEveryFieldOfAChoiceEntry) {
    auto e = ParseConstructText(
        "header text\r\n[Radio/Mode]10;\r\nCombo_list= Off:On:Auto;\r\nValue_list= 0:1:A;\r\n"
        "description=<Operating mode. Default: 1>;\r\ncommand= ATS0A;\r\ntrailing words\r\n");
    ASSERT_EQ(e.size(), 1u);
    EXPECT_EQ(e[0].group, "Radio");
    EXPECT_EQ(e[0].name, "Mode");
    EXPECT_EQ(e[0].typeField, "10");
    EXPECT_EQ(e[0].choiceList, "Off:On:Auto");
    EXPECT_EQ(e[0].valueList, "0:1:A");
    EXPECT_EQ(e[0].description, "Operating mode. Default: 1");
    EXPECT_EQ(e[0].command, "ATS0A");
}

TEST(ConstructFile, WidthSkipsListsAndStringTenCountsAsWidthTen) {
    auto e = ParseConstructText("[G/Name]String(10);\r\ndescription=<d>;\r\ncommand= AT+NN;\r\n"
                                "[G/Pan]16(4);\r\nRange_min= 0001;\r\nRange_max= "
                                "FFFE;\r\ndescription=<p>;\r\ncommand= AT+PANID;\r\n");
    ASSERT_EQ(e.size(), 2u);
    EXPECT_EQ(e[0].width, 10);
    EXPECT_EQ(e[0].command, "AT+NN");
    EXPECT_EQ(e[1].width, 4);
    EXPECT_EQ(e[1].rangeMin, "0001");
    EXPECT_EQ(e[1].rangeMax, "FFFE");
}

// The word "Range" in the description of an entry without range is read as a range: the
// description becomes the lower bound, the command the upper bound, and the next entry's
// heading is eaten. Sample files must never do this; the reader must behave the same.
TEST(ConstructFile, RangeWordInDescriptionShiftsTheFields) {
    auto e = ParseConstructText("[G/A]10;\r\ndescription=<Range of values>;\r\ncommand= ATS01;\r\n"
                                "[G/B]10;\r\ndescription=<b>;\r\ncommand= ATS02;\r\n");
    ASSERT_EQ(e.size(), 1u);
    EXPECT_EQ(e[0].rangeMax, "ATS01");
    EXPECT_EQ(e[0].description, "");
}

TEST(ConstructFile, DamagedFilesNeverBreakTheReader) {
    const std::string sample = testing::ReadFile(testing::SampleDir() + "/KA40_v1.1.0.vmcon");
    ASSERT_FALSE(sample.empty());
    std::uint32_t seed = 7;
    for (int run = 0; run < 300; ++run) {
        std::string text = sample.substr(0, sample.size() * (run % 10 + 1) / 10); // cut anywhere
        for (int k = 0; k < 20; ++k) {
            seed = seed * 1664525u + 1013904223u;
            static const char kSpecial[] = "[/];()=<>\0";
            text[seed % text.size()] = kSpecial[(seed >> 20) % (sizeof kSpecial - 1)];
        }
        for (const auto& e : ParseConstructText(text)) {
            ParamStore store(std::make_shared<const std::vector<ParamDef>>(BuildParamDefs({e})));
            for (const auto& c : store.Commands())
                store.Write(c, "1");
        }
    }
}

TEST(SampleData, EveryConstructFileIsWellFormed) {
    for (const char* product : {"KA40", "KD40", "KM40X"}) {
        for (const char* version : {"v1.0.2", "v1.1.0"}) {
            SCOPED_TRACE(std::string(product) + "_" + version);
            std::vector<ConstructEntry> entries;
            ASSERT_TRUE(ReadConstructFile(
                testing::SampleDir() + "/" + product + "_" + version + ".vmcon", &entries));
            EXPECT_GE(entries.size(), 40u);
            std::set<std::string> groups, commands;
            bool get = false, hex = false, str = false, dec = false, widthHex = false,
                 widthStr = false, values = false, combosOnly = false, range = false;
            for (const auto& e : entries) {
                groups.insert(e.group);
                // Within the manager's record sizes, so that nothing is cut.
                EXPECT_LT(e.group.size(), 32u);
                EXPECT_LT(e.name.size(), 128u);
                EXPECT_LT(e.description.size(), 2048u);
                EXPECT_LT(e.choiceList.size(), 256u);
                EXPECT_LE(std::count(e.choiceList.begin(), e.choiceList.end(), ':'), 19);
                EXPECT_TRUE(commands.insert(e.command).second) << "duplicate command " << e.command;
                EXPECT_FALSE(e.command.empty()) << e.name;
                EXPECT_EQ(e.command.find_first_of("\r\n[ "), std::string::npos) << e.name;
                EXPECT_FALSE(e.description.empty()) << e.name;
                EXPECT_EQ(e.description.find("OK"), std::string::npos) << e.name;
                get |= e.typeField == "Get";
                hex |= e.typeField.find("16") == 0;
                str |= e.typeField.find("String") == 0;
                dec |= e.typeField == "10";
                widthHex |= e.typeField.find("16(") == 0;
                widthStr |= e.typeField.find("String(") == 0;
                values |= !e.valueList.empty();
                combosOnly |= !e.choiceList.empty() && e.valueList.empty();
                range |= !e.rangeMin.empty() && !e.rangeMax.empty();
            }
            EXPECT_GE(groups.size(), 6u);
            EXPECT_TRUE(groups.count("Security Settings"));
            EXPECT_TRUE(get && hex && str && dec && widthHex && widthStr && values && combosOnly &&
                        range);
            // Every default is a value the module itself accepts.
            for (const auto& d : BuildParamDefs(entries)) {
                if (d.kind != ParamKind::ReadOnly && d.command != "AT+NODENAME" &&
                    d.command != "AT+UF") {
                    EXPECT_TRUE(IsValidValue(d, d.defaultValue))
                        << d.command << " default " << d.defaultValue;
                }
            }
        }
    }
}

class Store : public ::testing::Test {
protected:
    void SetUp() override {
        std::vector<ConstructEntry> entries;
        ASSERT_TRUE(ReadConstructFile(testing::SampleDir() + "/KA40_v1.1.0.vmcon", &entries));
        store = ParamStore(std::make_shared<const std::vector<ParamDef>>(BuildParamDefs(entries)));
    }
    ParamStore store;
};

TEST_F(Store, StartsWithTheDefaultsOfTheDescriptions) {
    EXPECT_EQ(store.Read("AT+PANID"), "1A2B");
    EXPECT_EQ(store.Read("ats01"), "3");
    EXPECT_EQ(store.Read("AT+PREFIX"), "");
    EXPECT_EQ(store.Read("AT+NOSUCH"), std::nullopt);
}

TEST_F(Store, AcceptsAndRejectsWritesByKind) {
    using R = ParamStore::WriteResult;
    struct Case {
        const char* command;
        const char* value;
        R result;
    } cases[] = {
        {"ATS12", "115200", R::Ok},
        {"ATS12", "4800", R::Invalid}, // value list
        {"ATS13", "2", R::Ok},
        {"ATS13", "3", R::Invalid}, // choice index
        {"ATS13", "-1", R::Invalid},
        {"AT+CHANNEL", "26", R::Ok}, // decimal range
        {"AT+CHANNEL", "27", R::Invalid},
        {"ATS01", "-20", R::Ok},
        {"ATS01", "x", R::Invalid},
        {"AT+PANID", "fffe", R::Ok}, // hex range, width
        {"AT+PANID", "FFFF", R::Invalid},
        {"AT+PANID", "10000", R::Invalid},
        {"AT+PANID", "12G4", R::Invalid},
        {"AT+NETNAME", "TENLETTERS", R::Ok}, // String(10)
        {"AT+NETNAME", "ELEVENCHARS", R::Invalid},
        {"AT+HWREV", "C1", R::ReadOnly},
        {"AT+NOSUCH", "1", R::Unknown},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.command) + "=" + c.value);
        auto before = store.Read(c.command);
        EXPECT_EQ(store.Write(c.command, c.value), c.result);
        if (c.result != R::Ok) {
            EXPECT_EQ(store.Read(c.command), before);
        }
    }
    EXPECT_EQ(store.Read("AT+PANID"), "FFFE");
}

TEST_F(Store, RestoreDefaultsAndCarryOverToAnotherVersion) {
    ASSERT_EQ(store.Write("AT+CHANNEL", "20"), ParamStore::WriteResult::Ok);
    ASSERT_EQ(store.Write("ATS02", "1"), ParamStore::WriteResult::Ok);
    std::vector<ConstructEntry> older;
    ASSERT_TRUE(ReadConstructFile(testing::SampleDir() + "/KA40_v1.0.2.vmcon", &older));
    ParamStore downgraded(std::make_shared<const std::vector<ParamDef>>(BuildParamDefs(older)));
    downgraded.CarryOver(store);
    EXPECT_EQ(downgraded.Read("AT+CHANNEL"), "20");
    EXPECT_EQ(downgraded.Read("ATS02"), std::nullopt); // v1.0.2 has no antenna select
    store.RestoreDefaults();
    EXPECT_EQ(store.Read("AT+CHANNEL"), "15");
}

TEST(FirmwareImageFormat, ValidOnlyForItsModelWithIntactPayload) {
    std::string image = BuildImage("KD40", "v2.0.1", std::string(3000, '\x5A'));
    std::string version;
    EXPECT_TRUE(IsValidImageFor(image + std::string(100, '\x26'), "KD40", &version));
    EXPECT_EQ(version, "v2.0.1");
    EXPECT_FALSE(IsValidImageFor(image, "KA40"));
    std::string corrupt = image;
    corrupt[1000] ^= 1;
    EXPECT_FALSE(IsValidImageFor(corrupt, "KD40"));
    EXPECT_FALSE(IsValidImageFor(image.substr(0, 2000), "KD40"));
    EXPECT_FALSE(IsValidImageFor(BuildImage("KD40", "2.0", "x"), "KD40"));
}

TEST(SampleData, ImagesAreValidOrInvalidAsNamed) {
    const std::string dir = testing::SampleDir() + "/";
    for (const char* p : {"KA40", "KD40", "KM40X"})
        for (const char* v : {"v1.0.2", "v1.1.0", "v1.2.0"}) {
            std::string version;
            EXPECT_TRUE(IsValidImageFor(testing::ReadFile(dir + p + "_" + v + ".ebl"), p, &version))
                << p << v;
            EXPECT_EQ(version, v);
        }
    for (const char* bad :
         {"KA40_v1.2.0_corrupt.ebl", "KA40_v1.2.0_truncated.ebl", "KA40_no_header.ebl"}) {
        std::string image = testing::ReadFile(dir + bad);
        EXPECT_FALSE(image.empty()) << bad;
        EXPECT_FALSE(IsValidImageFor(image, "KA40")) << bad;
        EXPECT_NE(image.substr(0, 256).find("KA40"), std::string::npos) << bad;
    }
}

} // namespace
} // namespace vireo::sim
