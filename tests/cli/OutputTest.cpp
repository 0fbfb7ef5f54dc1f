// What the tool prints: module texts in JSON (escaping, UTF-8 passed through, bytes that are no
// UTF-8 read as Latin-1), and the one exit code for all of a run on several ports.
#include "cli/ExitCodes.h"
#include "cli/Json.h"
#include "cli/PortSummary.h"

#include <gtest/gtest.h>

namespace vireo::cli {
namespace {

// What a text gives: its name, its bytes, and the JSON string.
const std::tuple<const char*, std::string, std::string> kEscapeCases[] = {
    {"quote and backslash", "a\"b\\c", "\"a\\\"b\\\\c\""},
    {"control bytes", "\x01\t\r\n\x1f", "\"\\u0001\\u0009\\u000d\\u000a\\u001f\""},
    {"DEL", "a\x7f", "\"a\\u007f\""},
    {"two-byte UTF-8", "caf\xc3\xa9", "\"caf\xc3\xa9\""},
    {"three-byte UTF-8", "\xe2\x82\xac", "\"\xe2\x82\xac\""},
    {"four-byte UTF-8", "\xf0\x9f\x93\xa1", "\"\xf0\x9f\x93\xa1\""},
    {"Latin-1 byte", "caf\xe9", "\"caf\\u00e9\""},
    {"stray continuation byte", "\x80", "\"\\u0080\""},
    {"sequence cut short at the end", "\xe2\x82", "\"\\u00e2\\u0082\""},
    {"sequence cut short by ASCII", "\xc3\x41", "\"\\u00c3A\""},
    {"overlong form", "\xc0\xaf", "\"\\u00c0\\u00af\""},
    {"surrogate", "\xed\xa0\x80", "\"\\u00ed\\u00a0\\u0080\""},
    {"beyond U+10FFFF", "\xf4\x90\x80\x80", "\"\\u00f4\\u0090\\u0080\\u0080\""},
    {"highest code point", "\xf4\x8f\xbf\xbf", "\"\xf4\x8f\xbf\xbf\""},
};

TEST(JsonString, EscapesWhatJsonForbidsAndKeepsWellFormedUtf8) {
    for (const auto& [name, input, json] : kEscapeCases)
        EXPECT_EQ(JsonString(input), json) << name;
}

TEST(CombinedExitCode, IsZeroOnlyWhenAllSucceededElseTheSharedCodeElseOne) {
    const std::pair<std::vector<int>, int> rows[] = {
        {{0, 0, 0}, kExitOk},      {{0, 4, 0}, kExitNoAnswer},        {{4, 0, 4}, kExitNoAnswer},
        {{3, 0, 4}, kExitFailure}, {{130, 0, 130}, kExitInterrupted}, {{0, 6}, kExitVerify},
    };
    for (const auto& [codes, expected] : rows)
        EXPECT_EQ(CombinedExitCode(codes), expected) << ::testing::PrintToString(codes);
}

} // namespace
} // namespace vireo::cli
