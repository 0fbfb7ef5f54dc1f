// The profile file layer: lookups and writes by the rules of the system's profile functions.
// Whole configuration files written key by key are the configuration tests' part, whatever
// bytes a file holds the profile fuzz target's.
#include "platform/ProfileFile.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

using vireo::CProfileFile;

TEST(ProfileLookup, FollowsTheRulesOfTheSystemProfileFunctions) {
    const char* const text = "orphan=before any section\r\n"
                             "[ Main ]\r\n"
                             "  Key  =  padded value  \r\n"
                             "key=second key line of the same name\r\n"
                             "quoted=\"in quotes\"\r\n"
                             "single='in single quotes'\r\n"
                             "half=\"open quote\r\n"
                             "no equals sign here\r"
                             "cr=after a lone CR\n"
                             "empty=\r\n"
                             "[main]\r\n"
                             "later=in the second section of the same name\r\n"
                             "[Other]\r\n"
                             "key=other\r\n";
    CProfileFile file;
    file.Parse(text);
    const std::map<std::pair<std::string, std::string>, std::optional<std::string>> expected = {
        {{"Main", "key"}, "padded value"},   {{"MAIN", "KEY"}, "padded value"},
        {{"main", "quoted"}, "in quotes"},   {{"main", "single"}, "in single quotes"},
        {{"main", "half"}, "\"open quote"},  {{"main", "no equals sign here"}, std::nullopt},
        {{"main", "cr"}, "after a lone CR"}, {{"main", "empty"}, ""},
        {{"main", "later"}, std::nullopt},   {{"main", "orphan"}, std::nullopt},
        {{"other", "key"}, "other"},         {{"absent", "key"}, std::nullopt},
    };
    for (const auto& [where, value] : expected)
        EXPECT_EQ(value, file.GetString(where.first, where.second))
            << where.first << "/" << where.second;
    EXPECT_EQ("fallback", vireo::GetProfileString("A", "b", "fallback", "/nonexistent/file.ini"));
}

TEST(ProfileWriting, ReplacesTheFirstKeyKeepsBlankLinesAndRefusesLineBreaks) {
    CProfileFile file;
    file.Parse("; comment\r\n\r\n[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\n");
    EXPECT_TRUE(file.WriteString("a", "X", "3"));
    EXPECT_TRUE(file.WriteString("A", "z", "4"));
    EXPECT_TRUE(file.WriteString("C", "w", "5"));
    EXPECT_EQ("; comment\r\n\r\n[A]\r\nX=3\r\nz=4\r\n\r\n[B]\r\ny=2\r\n[C]\r\nw=5\r\n",
              file.Text());
    // A value ending in CR LF has a blank line behind it: added once, never twice.
    for (const char* value : {"6\r\n", "7\r\n"})
        EXPECT_TRUE(file.WriteString("A", "x", value));
    const std::string section = "; comment\r\n\r\n[A]\r\nx=7\r\n\r\nz=4\r\n\r\n[B]";
    EXPECT_EQ(section, file.Text().substr(0, section.size()));

    const std::string before = file.Text();
    const std::vector<std::vector<std::string>> refused = {
        {"A", "x", "1\r\n[B]\r\ny=injected"},
        {"A", "x", "1\r"},
        {"A\r\n[B", "x", "1"},
        {"A", "x\n", "1"},
        {"A]", "x", "1"},
        {"A", "x=y", "1"},
        {"A", "", "1"},
    };
    for (const auto& r : refused)
        EXPECT_FALSE(file.WriteString(r[0], r[1], r[2])) << r[0] << "|" << r[1] << "|" << r[2];
    EXPECT_EQ(before, file.Text());
}

} // namespace
