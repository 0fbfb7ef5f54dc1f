// The transfer's progress on a terminal: one line, rewritten in place.
#include "cli/ProgressView.h"

#include <cstdio>
#include <gtest/gtest.h>

namespace vireo::cli {
namespace {

std::string Contents(std::FILE* file) {
    std::string text;
    std::rewind(file);
    for (int c; (c = std::fgetc(file)) != EOF;)
        text += static_cast<char>(c);
    return text;
}

// What a terminal shows for text: "\r" goes back to the start of the line and later
// characters overwrite earlier ones; "\n" starts a new line.
std::vector<std::string> Screen(const std::string& text) {
    std::vector<std::string> lines{""};
    size_t column = 0;
    for (char c : text) {
        if (c == '\r') {
            column = 0;
        } else if (c == '\n') {
            lines.emplace_back();
            column = 0;
        } else {
            std::string& line = lines.back();
            if (column < line.size())
                line[column] = c;
            else
                line += c;
            ++column;
        }
    }
    for (std::string& line : lines)
        line.erase(line.find_last_not_of(' ') + 1);
    return lines;
}

TEST(ConsoleProgressView, OnATerminalRewritesOneLineAndLeavesNoRestOfLongerText) {
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    {
        CConsoleProgressView view(file, true);
        view.SetStatus("Preparing for firmware update......");
        view.SetStatus("50.00% Completed!");
        view.SetProgress(50);
        EXPECT_EQ(Contents(file).find('\n'), std::string::npos) << "no line ends before the end";
    }
    const std::vector<std::string> expected{
        "[" + std::string(15, '#') + std::string(15, '.') + "] 50.00% Completed!", ""};
    EXPECT_EQ(Screen(Contents(file)), expected);
    std::fclose(file);
}

} // namespace
} // namespace vireo::cli
