// The bootloader: its entry and menu, and uploads from a standard sender (lrzsz's sx).
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "LineFixture.h"

namespace vireo::sim {
namespace {

using namespace testing;
using Bootloader = LineTest;

TEST_F(Bootloader, EntersAt115200WithoutOkAndShowsItsMenu) {
    Start(FastConfig()); // the application at 9600
    line.Command("ATE0\r\n");
    line.Write("AT+BOOTLOAD\n");
    ASSERT_TRUE(line.ReadUntil("ENTER"));
    ASSERT_TRUE(sim->WaitForMode(Mode::Bootloader, 5s));
    line.ReadFor(200ms);
    const std::string entry = line.Take();
    EXPECT_EQ(entry.find("OK"), std::string::npos) << entry;
    EXPECT_EQ(entry.find("ERROR"), std::string::npos) << entry;
    line.Write("\n");
    line.ReadFor(300ms);
    EXPECT_EQ(line.Take(), "") << "a line feed at 9600 is noise to the bootloader";
    ASSERT_TRUE(line.SetRate(115200));
    line.Write("\x03\n");
    ASSERT_TRUE(line.ReadUntil("BL"));
    line.ReadFor(100ms);
    EXPECT_EQ(line.Take().find('C'), std::string::npos) << "no stray start signal in the menu";
    line.Write("2");
    EXPECT_TRUE(sim->WaitForMode(Mode::Command, 5s));
}

// Runs lrzsz's sx on the slave (stdin and stdout both the line); returns its exit status.
int RunSx(const std::string& slave, bool oneK, const std::string& file) {
    const pid_t pid = fork();
    if (pid == 0) {
        const int fd = open(slave.c_str(), O_RDWR | O_NOCTTY);
        const int devnull = open("/dev/null", O_WRONLY);
        if (fd < 0 || devnull < 0)
            _exit(126);
        dup2(fd, 0);
        dup2(fd, 1);
        dup2(devnull, 2);
        if (oneK)
            execlp("sx", "sx", "-k", file.c_str(), static_cast<char*>(nullptr));
        else
            execlp("sx", "sx", file.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

struct Upload {
    const char* name;
    const char* file;
    bool oneK;
    const char* version; // nullptr: the module must stay damaged
};

class StandardSender : public LineTest, public ::testing::WithParamInterface<Upload> {};

// A damaged module only shows its menu again until an image for its model arrives whole.
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
    const int status = RunSx(sim->SlavePath(), GetParam().oneK, file);
    ASSERT_NE(status, 127) << "lrzsz's sx is needed for this test";
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
                         ::testing::Values(Upload{"Valid128", "KA40_v1.1.0.ebl", false, "v1.1.0"},
                                           Upload{"Valid1k", "KA40_v1.2.0.ebl", true, "v1.2.0"},
                                           Upload{"Corrupt", "KA40_v1.2.0_corrupt.ebl", false,
                                                  nullptr},
                                           Upload{"OtherModel", "KD40_v1.1.0.ebl", true, nullptr}),
                         [](const auto& upload) { return std::string(upload.param.name); });

} // namespace
} // namespace vireo::sim
