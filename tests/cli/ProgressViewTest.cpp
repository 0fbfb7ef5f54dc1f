// The transfer's progress on a terminal: one line, rewritten in place.
#include "cli/ProgressView.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <sstream>

namespace vireo::cli {
namespace {

// What a terminal line shows for text: each "\r" goes back to its start, and later
// characters overwrite earlier ones.
std::string Shown(const std::string& text) {
    std::string line;
    std::istringstream in(text);
    for (std::string part; std::getline(in, part, '\r');)
        line = part + line.substr(std::min(part.size(), line.size()));
    return line.substr(0, line.find_last_not_of(' ') + 1);
}

TEST(ConsoleProgressView, OnATerminalRewritesOneLineAndLeavesNoRestOfLongerText) {
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    {
        CConsoleProgressView view(file, true);
        view.SetStatus("Preparing for firmware update......");
        view.SetStatus("50.00% Completed!");
        view.SetProgress(50);
    }
    std::string text(static_cast<size_t>(std::ftell(file)), '\0');
    std::rewind(file);
    ASSERT_EQ(text.size(), std::fread(text.data(), 1, text.size(), file));
    std::fclose(file);
    ASSERT_EQ(text.find('\n'), text.size() - 1) << "one line end, at the end";
    text.pop_back();
    EXPECT_EQ(Shown(text),
              "[" + std::string(15, '#') + std::string(15, '.') + "] 50.00% Completed!");
}

} // namespace
} // namespace vireo::cli
