// A strict reader for the JSON the tool prints (objects, arrays, strings, non-negative
// integers, true, false, null),
// written independently of the tool's writer so that it can judge it. It rejects what a
// conforming parser rejects: raw control characters, bad escapes, bytes that are not UTF-8,
// trailing text; it also refuses surrogate escapes, which the tool never writes.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace vireo::test {

struct JsonValue {
    enum class Kind { Null, Bool, Number, String, Array, Object } kind = Kind::Null;
    bool boolean = false;
    std::string text; // a string's value, in UTF-8; a number's digits
    std::vector<JsonValue> elements;
    std::map<std::string, JsonValue> members;

    const JsonValue& operator[](const std::string& key) const { return members.at(key); }
};

// The value of the whole text, or nullopt when it is not valid JSON of the kinds above.
std::optional<JsonValue> ParseJson(const std::string& text);

} // namespace vireo::test
