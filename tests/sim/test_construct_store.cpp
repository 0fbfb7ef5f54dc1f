// The parameter store built from the construct files, and the firmware image check.
#include <gtest/gtest.h>

#include <set>

#include "SimTestSupport.h"
#include "sim/ConstructFile.h"
#include "sim/FirmwareImage.h"
#include "sim/ParamStore.h"

namespace vireo::sim {
namespace {

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
}

} // namespace
} // namespace vireo::sim
