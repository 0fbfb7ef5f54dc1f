// JSON output of texts that come from the module: escaping, UTF-8 pass-through and the
// Latin-1 reading of bytes that are no UTF-8.
#include "cli/Json.h"
#include "JsonReader.h"

#include <gtest/gtest.h>

namespace vireo::cli {
namespace {

struct EscapeCase {
    const char* name;
    std::string input;
    std::string json;    // what JsonString gives
    std::string decoded; // the value a JSON reader sees, in UTF-8
};

const EscapeCase kEscapeCases[] = {
    {"plain", "Bench unit", "\"Bench unit\"", "Bench unit"},
    {"quote and backslash", "a\"b\\c", "\"a\\\"b\\\\c\"", "a\"b\\c"},
    {"control bytes", "\x01\t\r\n\x1f", "\"\\u0001\\u0009\\u000d\\u000a\\u001f\"",
     "\x01\t\r\n\x1f"},
    {"DEL", "a\x7f", "\"a\\u007f\"", "a\x7f"},
    {"two-byte UTF-8", "caf\xc3\xa9", "\"caf\xc3\xa9\"", "caf\xc3\xa9"},
    {"three-byte UTF-8", "\xe2\x82\xac", "\"\xe2\x82\xac\"", "\xe2\x82\xac"},
    {"four-byte UTF-8", "\xf0\x9f\x93\xa1", "\"\xf0\x9f\x93\xa1\"", "\xf0\x9f\x93\xa1"},
    {"Latin-1 byte", "caf\xe9", "\"caf\\u00e9\"", "caf\xc3\xa9"},
    {"stray continuation byte", "\x80", "\"\\u0080\"", "\xc2\x80"},
    {"sequence cut short at the end", "\xe2\x82", "\"\\u00e2\\u0082\"", "\xc3\xa2\xc2\x82"},
    {"sequence cut short by ASCII",
     "\xc3"
     "A",
     "\"\\u00c3A\"",
     "\xc3\x83"
     "A"},
    {"overlong form", "\xc0\xaf", "\"\\u00c0\\u00af\"", "\xc3\x80\xc2\xaf"},
    {"surrogate", "\xed\xa0\x80", "\"\\u00ed\\u00a0\\u0080\"", "\xc3\xad\xc2\xa0\xc2\x80"},
    {"beyond U+10FFFF", "\xf4\x90\x80\x80", "\"\\u00f4\\u0090\\u0080\\u0080\"",
     "\xc3\xb4\xc2\x90\xc2\x80\xc2\x80"},
    {"highest code point", "\xf4\x8f\xbf\xbf", "\"\xf4\x8f\xbf\xbf\"", "\xf4\x8f\xbf\xbf"},
};

TEST(JsonString, EscapesWhatJsonForbidsAndKeepsWellFormedUtf8) {
    for (const EscapeCase& c : kEscapeCases) {
        SCOPED_TRACE(c.name);
        const std::string json = JsonString(c.input);
        EXPECT_EQ(json, c.json);
        const auto value = test::ParseJson(json);
        ASSERT_TRUE(value.has_value()) << json;
        EXPECT_EQ(test::Text(*value), c.decoded);
    }
}

} // namespace
} // namespace vireo::cli
