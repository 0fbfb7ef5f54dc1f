// The bootloader taking uploads from a standard sender (lrzsz's sx); its entry and menu are
// what every firmware update test of the manager goes through.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include "SimTestSupport.h"

namespace vireo::sim {
namespace {

using namespace testing;

struct Upload {
    const char* name;
    const char* file;
    bool oneK;
    const char* version; // nullptr: the module must stay damaged
};

class StandardSender : public LineTest, public ::testing::WithParamInterface<Upload> {};

// A damaged module only shows its menu again until an image for its model arrives whole. The
// manager sends 128-byte blocks of valid images only (its flash tests cover those); a standard
// sender also sends 1k blocks, and a corrupt image must leave the module damaged.
TEST_P(StandardSender, DamagedModuleTakesOnlyAValidImage) {
    SimConfig c = FastConfig();
    c.damaged = true;
    c.timing.startSignalIntervalMs = 1000;
    Start(c);
    line.Write("\x03\n"); // the tool's probe
    ASSERT_TRUE(line.ReadUntil("BL"));
    line.Take();
    line.Write("2");
    ASSERT_TRUE(line.ReadUntil("BL"));
    line.Write("1");
    ASSERT_TRUE(line.ReadUntil("C"));
    const std::string file = SampleDir() + "/" + GetParam().file;
    const std::string slave = sim->SlavePath();
    const int status = std::system(("sx " + std::string(GetParam().oneK ? "-k " : "") + file +
                                    " <" + slave + " >" + slave + " 2>/dev/null")
                                       .c_str());
    ASSERT_NE(WEXITSTATUS(status), 127) << "lrzsz's sx is needed for this test";
    EXPECT_EQ(status, 0);
    ASSERT_TRUE(sim->WaitForSent("omplete", 10s));
    const std::string image = ReadFile(file);
    EXPECT_EQ(sim->LastImage().substr(0, image.size()), image);
    line.ReadFor(400ms);
    line.Take();
    line.Write("2");
    if (GetParam().version) {
        EXPECT_TRUE(sim->WaitForMode(Mode::Command, 5s));
        EXPECT_EQ(sim->Local().Version(), GetParam().version);
    } else {
        EXPECT_TRUE(line.ReadUntil("BL"));
        EXPECT_TRUE(sim->Local().Damaged());
    }
}

INSTANTIATE_TEST_SUITE_P(Images, StandardSender,
                         ::testing::Values(Upload{"Valid1k", "KA40_v1.2.0.ebl", true, "v1.2.0"},
                                           Upload{"Corrupt", "KA40_v1.2.0_corrupt.ebl", false,
                                                  nullptr}),
                         [](const auto& upload) { return std::string(upload.param.name); });

} // namespace
} // namespace vireo::sim
