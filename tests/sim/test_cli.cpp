// The vireo-sim executable as people start it.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <sys/wait.h>

#include "SimTestSupport.h"

namespace vireo::sim {
namespace {

using namespace testing;

std::string ReadLine(FILE* in) {
    char buf[512] = {};
    return fgets(buf, sizeof buf, in) ? std::string(buf, std::strcspn(buf, "\n")) : "";
}

// COM7 holds a link left by a crashed run: it is taken over, and removed again on SIGTERM.
TEST(Executable, PrintsThePathFirstRegistersAndCleansUpOnTerm) {
    const SimConfig cfg = FastConfig();
    const std::string com7 = cfg.portDir + "/COM7";
    ASSERT_EQ(symlink("/dev/pts/no-such-device", com7.c_str()), 0);
    // The shell prints its pid, then becomes the simulator.
    FILE* out = popen(("echo $$; exec " VIREO_SIM_EXECUTABLE " --com 7 --port-dir " + cfg.portDir +
                       " --data-dir " + SampleDir() + " --product KD40")
                          .c_str(),
                      "r");
    ASSERT_NE(out, nullptr);
    const pid_t pid = std::stoi(ReadLine(out));
    const std::string first = ReadLine(out);
    char target[256] = {};
    ASSERT_GT(readlink(com7.c_str(), target, sizeof target - 1), 0);
    EXPECT_EQ(first, target);
    Line line;
    ASSERT_TRUE(line.Open(first, 9600));
    line.Command("ATE0\r\n");
    EXPECT_EQ(line.Command("AT+PRODUCTNAME\r\n"), Answer("KD40"));
    line.Close();
    kill(pid, SIGTERM);
    const int status = pclose(out);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    struct stat st {};
    EXPECT_NE(lstat(com7.c_str(), &st), 0) << "the port entry is removed";
}

} // namespace
} // namespace vireo::sim
