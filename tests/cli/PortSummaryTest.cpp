// The end of a run on several ports: one exit code for all, and the summary's rows.
#include "cli/PortSummary.h"
#include "cli/ExitCodes.h"

#include <gtest/gtest.h>

namespace vireo::cli {
namespace {

struct ExitCase {
    std::vector<int> codes;
    int expected;
};

class CombinedExit : public ::testing::TestWithParam<ExitCase> {};

TEST_P(CombinedExit, IsZeroOnlyWhenAllSucceededElseTheSharedCodeElseOne) {
    EXPECT_EQ(CombinedExitCode(GetParam().codes), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, CombinedExit,
    ::testing::Values(ExitCase{{0, 0, 0}, kExitOk}, ExitCase{{0, 4, 0}, kExitNoAnswer},
                      ExitCase{{4, 0, 4}, kExitNoAnswer}, ExitCase{{5, 5, 5}, kExitTransfer},
                      ExitCase{{3, 0, 4}, kExitFailure}, ExitCase{{4, 3}, kExitFailure},
                      ExitCase{{130, 0, 130}, kExitInterrupted}, ExitCase{{0, 6}, kExitVerify},
                      ExitCase{{1, 0, 1}, kExitFailure}));

PortOutcome Outcome(const std::string& port, const std::string& product, int exitCode,
                    const std::string& message) {
    PortOutcome o;
    o.port = port;
    o.module.productName = product;
    o.module.firmwareVersion = product.empty() ? "" : "v1.1.0";
    o.newFirmwareVersion = exitCode == kExitOk ? "v1.2.0" : "";
    o.exitCode = exitCode;
    o.message = message;
    o.seconds = 26.44;
    return o;
}

TEST(SummaryTable, FlashRowsLineUpUnderTheirHeadingsAndNameWhyAPortFailed) {
    const std::string table =
        SummaryTable(Verb::Flash, {Outcome("COM3", "KA40", 0, "Completed successfully."),
                                   Outcome("COM12", "", 3, "ERROR: Could not open serial port.")});
    EXPECT_EQ(table, "Port   Module  Old version  New version  Result      Time\n"
                     "COM3   KA40    v1.1.0       v1.2.0       OK          26.4 s\n"
                     "COM12  -       -            -            FAILED (3)  26.4 s  "
                     "ERROR: Could not open serial port.\n");
}

TEST(SummaryTable, OtherVerbsShowOneVersion) {
    const std::string table = SummaryTable(Verb::Set, {Outcome("COM1", "KA40", 0, "OK")});
    EXPECT_EQ(table, "Port  Module  Version  Result  Time\n"
                     "COM1  KA40    v1.1.0   OK      26.4 s\n");
}

} // namespace
} // namespace vireo::cli
