// JSON output. Texts from the module are 8-bit and may hold anything: control bytes become
// \u00XX, quotes and backslashes are escaped, and bytes from 0x80 on pass through only as
// part of a well-formed UTF-8 sequence; any other such byte is taken as Latin-1 and written
// as \u00XX of its value, so that the output is always valid JSON in UTF-8.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vireo::cli {

// Length of the well-formed UTF-8 sequence (2 to 4 bytes) that starts at text[at], or 0 when
// none does (stray continuation byte, overlong form, surrogate, beyond U+10FFFF, cut short).
size_t Utf8SequenceLength(std::string_view text, size_t at);

// text as a JSON string literal, quotes included.
std::string JsonString(std::string_view text);

// One JSON object on one line, members in the order they were added.
class CJsonObject {
public:
    CJsonObject& Add(std::string_view key, std::string_view value);
    CJsonObject& Add(std::string_view key, const char* value) {
        return Add(key, std::string_view(value));
    }
    CJsonObject& Add(std::string_view key, bool value);
    CJsonObject& AddNumber(std::string_view key, long long value);
    std::string Text() const;

private:
    std::vector<std::pair<std::string, std::string>> m_members; // key, JSON value
};

// A JSON array of objects, one line per element.
std::string JsonArray(const std::vector<CJsonObject>& elements);

} // namespace vireo::cli
