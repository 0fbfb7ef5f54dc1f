// The vireo-sim executable as people start it.
#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "SimTestSupport.h"

namespace vireo::sim {
namespace {

using namespace testing;

struct Child {
    pid_t pid = -1;
    int out = -1;
};

Child Spawn(const std::vector<std::string>& args) {
    int p[2];
    if (pipe(p) != 0)
        return {};
    pid_t pid = fork();
    if (pid == 0) {
        dup2(p[1], 1);
        close(p[0]);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(VIREO_SIM_EXECUTABLE));
        for (const auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(VIREO_SIM_EXECUTABLE, argv.data());
        _exit(127);
    }
    close(p[1]);
    return {pid, p[0]};
}

std::string ReadAll(int fd, std::size_t limit = 1 << 16) {
    std::string s;
    char buf[1024];
    ssize_t n;
    while (s.size() < limit && (n = read(fd, buf, sizeof buf)) > 0)
        s.append(buf, static_cast<std::size_t>(n));
    return s;
}

TEST(Executable, HelpListsTheOptions) {
    Child c = Spawn({"--help"});
    std::string text = ReadAll(c.out);
    int status = 0;
    waitpid(c.pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    for (const char* opt : {"--com", "--baud", "--product", "--version", "--eui", "--node-name",
                            "--node-type", "--uf", "--data-mode", "--damaged", "--sleepy",
                            "--remotes", "--pacing", "--byte-gap", "--data-dir", "--log"})
        EXPECT_NE(text.find(opt), std::string::npos) << opt;
    close(c.out);
}

TEST(Executable, PrintsThePathFirstRegistersAndCleansUpOnTerm) {
    SimConfig cfg = FastConfig();
    const std::string log = cfg.portDir + "/bytes.log";
    Child c = Spawn({"--com", "7", "--port-dir", cfg.portDir, "--data-dir", SampleDir(), "--log",
                     log, "--product", "KD40", "--remotes", "2"});
    ASSERT_GT(c.pid, 0);
    std::string first;
    char ch;
    while (read(c.out, &ch, 1) == 1 && ch != '\n')
        first += ch;
    ASSERT_EQ(first.rfind("/dev/", 0), 0u) << first;
    char target[256] = {};
    ASSERT_GT(readlink((cfg.portDir + "/COM7").c_str(), target, sizeof target - 1), 0);
    EXPECT_EQ(first, target);

    Line line;
    ASSERT_TRUE(line.Open(first, 9600));
    line.Command("ATE0\r\n");
    EXPECT_EQ(ValueOf(line.Command("AT+PRODUCTNAME\r\n")), "KD40");
    line.Close();

    kill(c.pid, SIGTERM);
    int status = 0;
    waitpid(c.pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    struct stat st {};
    EXPECT_NE(lstat((cfg.portDir + "/COM7").c_str(), &st), 0) << "the port entry is removed";
    std::string recorded = ReadFile(log);
    EXPECT_NE(recorded.find("tool->module"), std::string::npos);
    EXPECT_NE(recorded.find("AT+PRODUCTNAME\\r\\n"), std::string::npos);
    EXPECT_NE(recorded.find("module->tool"), std::string::npos);
    close(c.out);
}

TEST(Executable, RefusesBadOptions) {
    for (std::vector<std::string> args :
         {std::vector<std::string>{"--baud", "fast"}, std::vector<std::string>{"--remotes", "301"},
          std::vector<std::string>{"--frobnicate"}}) {
        Child c = Spawn(args);
        int status = 0;
        waitpid(c.pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << args[0];
        close(c.out);
    }
}

} // namespace
} // namespace vireo::sim
