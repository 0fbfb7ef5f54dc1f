// What the tool writes on standard error for several ports' verbs on their own threads: the
// core's messages (through the UI services) and the verbs' own lines reach the console of the
// thread's port, whole and after its name.
#include "cli/PortConsole.h"
#include "cli/Connection.h"
#include "cli/ConsoleUi.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <map>
#include <sstream>
#include <thread>

namespace vireo::cli {
namespace {

std::string Contents(std::FILE* file) {
    std::string text;
    std::rewind(file);
    for (int c; (c = std::fgetc(file)) != EOF;)
        text += static_cast<char>(c);
    return text;
}

TEST(PortConsole, MessagesOfEachThreadGoToItsOwnPortWithoutMixingLines) {
    constexpr int kPorts = 6;
    constexpr int kMessages = 200;
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    int unattributed = 0; // messages that reach the process-wide services: none should
    CConsoleUi global([&unattributed](const std::string&) { ++unattributed; });
    const CConsoleUiInstall globalInstall(global);
    std::vector<std::string> names;
    for (int i = 0; i < kPorts; ++i)
        names.push_back("COM" + std::to_string(i + 1));
    std::vector<PortOutcome> outcomes(kPorts);
    std::vector<std::string> reasons(kPorts);
    {
        CProgressBoard board(file, false, names);
        std::vector<std::thread> threads;
        for (int i = 0; i < kPorts; ++i) {
            threads.emplace_back([&, i] {
                CPortConsole console(board, static_cast<size_t>(i), outcomes[i]);
                CConsoleUi ui([&console](const std::string& line) { console.Message(line); });
                const CConsoleUiInstall uiInstall(ui, CConsoleUiInstall::Scope::Thread);
                const CPortConsoleInstall install(console);
                const std::string me = "from " + names[i];
                for (int m = 0; m < kMessages; ++m) {
                    if (m % 2)
                        ShowMessage("ERROR: core message " + std::to_string(m) + " " + me + "\n" +
                                    me);
                    else
                        PrintError("verb message " + std::to_string(m) + " " + me + "\n  " + me);
                }
                reasons[i] = console.Reason();
            });
        }
        for (std::thread& thread : threads)
            thread.join();
    }
    EXPECT_EQ(unattributed, 0);
    std::map<std::string, int> lines;
    std::istringstream in(Contents(file));
    for (std::string line; std::getline(in, line);) {
        const std::string port = line.substr(0, line.find(':'));
        EXPECT_EQ(line.substr(line.size() - (5 + port.size())), "from " + port) << line;
        ++lines[port];
    }
    for (int i = 0; i < kPorts; ++i) {
        EXPECT_EQ(lines[names[i]], kMessages * 2) << names[i];
        // The first error, its lines joined: the reason in the summary.
        EXPECT_EQ(reasons[i], "ERROR: core message 1 from " + names[i] + " from " + names[i]);
    }
    std::fclose(file);
}

} // namespace
} // namespace vireo::cli
