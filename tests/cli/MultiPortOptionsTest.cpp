// --port with several ports: the list, and the command lines it does not go with.
#include "cli/CommandLine.h"

#include <gtest/gtest.h>
#include <sstream>

namespace vireo::cli {
namespace {

ParsedCommandLine Parse(const std::string& line) {
    std::vector<std::string> args;
    std::istringstream in(line);
    for (std::string arg; in >> arg;)
        args.push_back(arg);
    return ParseCommandLine(args);
}

TEST(MultiPortOptions, PortsAreKeptInTheirOrderTheFirstAsThePort) {
    const ParsedCommandLine parsed = Parse("flash --port COM12,com3,COM7 a.ebl");
    ASSERT_EQ(parsed.error, "");
    EXPECT_EQ(parsed.options.ports, (std::vector<int>{12, 3, 7}));
    EXPECT_EQ(parsed.options.port, 12);
}

struct RefusedCase {
    const char* line;
    const char* error;
};

class MultiPortRefused : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(MultiPortRefused, IsAUsageError) {
    EXPECT_EQ(Parse(GetParam().line).error, GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, MultiPortRefused,
    ::testing::Values(RefusedCase{"info --port COM1,COM1", "'COM1' is given twice"},
                      RefusedCase{"info --port COM1,,COM2",
                                  "'' is no port name; give COM1 .. COM255"},
                      RefusedCase{"info --port COM1,", "'' is no port name; give COM1 .. COM255"},
                      RefusedCase{"get --port COM1,COM2 AT+PANID",
                                  "several ports go with flash, info, set and import only"},
                      RefusedCase{"export --port COM1,COM2 a.zgb",
                                  "several ports go with flash, info, set and import only"},
                      RefusedCase{"set --port COM1,COM2 --remote 00124B000A0B0C0D AT+NODENAME x",
                                  "--remote does not go with several ports"},
                      RefusedCase{"flash --port COM1,COM2 --remote 000D6F0000B10001 a.ebl",
                                  "--remote does not go with several ports"},
                      RefusedCase{"flash --port COM1 --json --remote 000D6F0000B10001 a.ebl",
                                  "--json does not go with --remote"}));

} // namespace
} // namespace vireo::cli
