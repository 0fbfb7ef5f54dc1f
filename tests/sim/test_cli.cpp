// The vireo-sim executable as people start it.
#include <gtest/gtest.h>

#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "LineFixture.h"

namespace vireo::sim {
namespace {

using namespace testing;

// Starts vireo-sim with its standard output on a pipe; returns the pid and the pipe's end.
std::pair<pid_t, int> Spawn(std::vector<std::string> args) {
    int p[2];
    if (pipe(p) != 0)
        return {-1, -1};
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(p[1], 1);
        std::vector<char*> argv{const_cast<char*>(VIREO_SIM_EXECUTABLE)};
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(VIREO_SIM_EXECUTABLE, argv.data());
        _exit(127);
    }
    close(p[1]);
    return {pid, p[0]};
}

int ExitCode(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// COM7 holds a link left by a crashed run: it is taken over, and removed again on SIGTERM.
TEST(Executable, PrintsThePathFirstRegistersAndCleansUpOnTerm) {
    SimConfig cfg = FastConfig();
    ASSERT_EQ(symlink("/dev/pts/no-such-device", (cfg.portDir + "/COM7").c_str()), 0);
    const std::string log = cfg.portDir + "/bytes.log";
    auto [pid, out] = Spawn({"--com", "7", "--port-dir", cfg.portDir, "--data-dir", SampleDir(),
                             "--log", log, "--product", "KD40", "--remotes", "2"});
    ASSERT_GT(pid, 0);
    std::string first;
    for (char ch; read(out, &ch, 1) == 1 && ch != '\n';)
        first += ch;
    close(out);
    char target[256] = {};
    ASSERT_GT(readlink((cfg.portDir + "/COM7").c_str(), target, sizeof target - 1), 0);
    EXPECT_EQ(first, target);

    Line line;
    ASSERT_TRUE(line.Open(first, 9600));
    line.Command("ATE0\r\n");
    EXPECT_EQ(line.Command("AT+PRODUCTNAME\r\n"), Answer("KD40"));
    line.Close();

    kill(pid, SIGTERM);
    EXPECT_EQ(ExitCode(pid), 0);
    struct stat st {};
    EXPECT_NE(lstat((cfg.portDir + "/COM7").c_str(), &st), 0) << "the port entry is removed";
    const std::string recorded = ReadFile(log);
    for (const char* text : {"tool->module", "AT+PRODUCTNAME\\r\\n", "module->tool"})
        EXPECT_NE(recorded.find(text), std::string::npos) << text;
}

TEST(Executable, RefusesBadOptions) {
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"--baud", "fast"}, {"--remotes", "301"}, {"--frobnicate"}}) {
        auto [pid, out] = Spawn(args);
        close(out);
        EXPECT_EQ(ExitCode(pid), 2) << args[0];
    }
}

} // namespace
} // namespace vireo::sim
