// The end of a run on several ports: one exit code for all, and the summary's rows.
#include "cli/PortSummary.h"
#include "cli/ExitCodes.h"

#include <gtest/gtest.h>

namespace vireo::cli {
namespace {

TEST(CombinedExitCode, IsZeroOnlyWhenAllSucceededElseTheSharedCodeElseOne) {
    const std::pair<std::vector<int>, int> rows[] = {
        {{0, 0, 0}, kExitOk},      {{0, 4, 0}, kExitNoAnswer},        {{4, 0, 4}, kExitNoAnswer},
        {{3, 0, 4}, kExitFailure}, {{130, 0, 130}, kExitInterrupted}, {{0, 6}, kExitVerify},
    };
    for (const auto& [codes, expected] : rows)
        EXPECT_EQ(CombinedExitCode(codes), expected) << ::testing::PrintToString(codes);
}

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

// Columns line up under their headings, a failed port says why, and only flash shows two
// versions.
TEST(SummaryTable, RowsLineUpAndNameWhyAPortFailed) {
    EXPECT_EQ(
        SummaryTable(Verb::Flash, {Outcome("COM3", "KA40", 0, "Completed successfully."),
                                   Outcome("COM12", "", 3, "ERROR: Could not open serial port.")}),
        "Port   Module  Old version  New version  Result      Time\n"
        "COM3   KA40    v1.1.0       v1.2.0       OK          26.4 s\n"
        "COM12  -       -            -            FAILED (3)  26.4 s  "
        "ERROR: Could not open serial port.\n");
    EXPECT_EQ(SummaryTable(Verb::Set, {Outcome("COM1", "KA40", 0, "OK")}),
              "Port  Module  Version  Result  Time\n"
              "COM1  KA40    v1.1.0   OK      26.4 s\n");
}

} // namespace
} // namespace vireo::cli
