// Reads the JSON the tool prints into plain values (numbers keep their digits). Qt's reader
// rejects bytes that are not UTF-8 and trailing text; a top-level value of any kind is read.
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

// The value of the whole text, or nullopt when it is not valid JSON.
std::optional<JsonValue> ParseJson(const std::string& text);

} // namespace vireo::test
