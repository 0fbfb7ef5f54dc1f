// Construct file reading, the parameter store built from it, and the firmware image check.
#include <gtest/gtest.h>

#include <set>

#include "SimTestSupport.h"
#include "sim/ConstructFile.h"
#include "sim/FirmwareImage.h"
#include "sim/ParamStore.h"

namespace vireo::sim {
namespace {

using testing::Sample;

TEST(ConstructFile, DamagedFilesNeverBreakTheReader) {
    const std::string sample = Sample("KA40_v1.1.0.vmcon");
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

// The manager's own reader checks the sample files' shape; here: one entry per command, and
// every default is a value the simulated module itself accepts.
TEST(SampleData, EveryDefaultIsAcceptedByTheModule) {
    for (const char* file : {"KA40_v1.0.2", "KA40_v1.1.0", "KD40_v1.0.2", "KD40_v1.1.0",
                             "KM40X_v1.0.2", "KM40X_v1.1.0"}) {
        SCOPED_TRACE(file);
        std::vector<ConstructEntry> entries;
        ASSERT_TRUE(ReadConstructFile(testing::SampleDir() + "/" + file + ".vmcon", &entries));
        std::set<std::string> commands;
        for (const auto& e : entries) {
            EXPECT_TRUE(commands.insert(e.command).second) << "duplicate " << e.command;
        }
        for (const auto& d : BuildParamDefs(entries)) {
            const bool settable =
                d.kind != ParamKind::ReadOnly && d.command != "AT+NODENAME" && d.command != "AT+UF";
            EXPECT_TRUE(!settable || IsValidValue(d, d.defaultValue)) << d.command;
        }
    }
}

class Store : public ::testing::Test {
protected:
    void SetUp() override { store = Load("KA40_v1.1.0"); }
    static ParamStore Load(const std::string& name) {
        std::vector<ConstructEntry> entries;
        EXPECT_TRUE(ReadConstructFile(testing::SampleDir() + "/" + name + ".vmcon", &entries));
        return ParamStore(std::make_shared<const std::vector<ParamDef>>(BuildParamDefs(entries)));
    }
    ParamStore store;
};

TEST_F(Store, AcceptsAndRejectsWritesByKind) {
    EXPECT_EQ(store.Read("ats01"), "3") << "the default of the description, in any case";
    EXPECT_EQ(store.Read("AT+NOSUCH"), std::nullopt);
    using R = ParamStore::WriteResult;
    const struct {
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
        const auto before = store.Read(c.command);
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
    ParamStore downgraded = Load("KA40_v1.0.2");
    downgraded.CarryOver(store);
    EXPECT_EQ(downgraded.Read("AT+CHANNEL"), "20");
    EXPECT_EQ(downgraded.Read("ATS02"), std::nullopt); // v1.0.2 has no antenna select
    store.RestoreDefaults();
    EXPECT_EQ(store.Read("AT+CHANNEL"), "15");
}

TEST(FirmwareImageFormat, ValidOnlyForItsModelWithIntactPayload) {
    const std::string image = BuildImage("KD40", "v2.0.1", std::string(3000, '\x5A'));
    std::string version;
    EXPECT_TRUE(IsValidImageFor(image + std::string(100, '\x26'), "KD40", &version));
    EXPECT_EQ(version, "v2.0.1");
    EXPECT_FALSE(IsValidImageFor(image, "KA40"));
    std::string corrupt = image;
    corrupt[1000] ^= 1;
    EXPECT_FALSE(IsValidImageFor(corrupt, "KD40"));
    EXPECT_FALSE(IsValidImageFor(image.substr(0, 2000), "KD40"));
    EXPECT_FALSE(IsValidImageFor(BuildImage("KD40", "2.0", "x"), "KD40"));
    for (const char* p : {"KA40", "KD40", "KM40X"})
        for (const char* v : {"v1.0.2", "v1.1.0", "v1.2.0"}) {
            EXPECT_TRUE(IsValidImageFor(Sample(std::string(p) + "_" + v + ".ebl"), p, &version))
                << p << v;
            EXPECT_EQ(version, v);
        }
    for (const char* bad :
         {"KA40_v1.2.0_corrupt.ebl", "KA40_v1.2.0_truncated.ebl", "KA40_no_header.ebl"}) {
        const std::string sample = Sample(bad);
        EXPECT_NE(sample.substr(0, 256).find("KA40"), std::string::npos) << bad;
        EXPECT_FALSE(IsValidImageFor(sample, "KA40")) << bad;
    }
}

} // namespace
} // namespace vireo::sim
