#include "JsonReader.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>

namespace vireo::test {

namespace {

void AppendUtf8(std::string& out, uint32_t cp) {
    const int n = cp < 0x80 ? 1 : cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4;
    const unsigned char lead[] = {0, 0x00, 0xC0, 0xE0, 0xF0};
    out += static_cast<char>(lead[n] | (cp >> (6 * (n - 1))));
    for (int k = n - 2; k >= 0; --k)
        out += static_cast<char>(0x80 | ((cp >> (6 * k)) & 0x3F));
}

class Reader {
public:
    explicit Reader(const std::string& text) : s(text) {}

    bool Document(JsonValue& v) { return Value(v) && (Blanks(), i == s.size()); }

private:
    const std::string& s;
    size_t i = 0;

    unsigned char At(size_t k) const { return k < s.size() ? static_cast<unsigned char>(s[k]) : 0; }
    void Blanks() {
        while (At(i) == ' ' || At(i) == '\n' || At(i) == '\r' || At(i) == '\t')
            ++i;
    }
    bool Take(char c) { return Blanks(), At(i) == c ? (++i, true) : false; }
    bool Word(const std::string& w) {
        return s.compare(i, w.size(), w) == 0 ? (i += w.size(), true) : false;
    }

    bool Value(JsonValue& v) {
        Blanks();
        v.boolean = At(i) == 't';
        v.kind = At(i) == '{'                                      ? JsonValue::Kind::Object
                 : At(i) == '['                                    ? JsonValue::Kind::Array
                 : At(i) == '"'                                    ? JsonValue::Kind::String
                 : At(i) == 'n'                                    ? JsonValue::Kind::Null
                 : std::isdigit(static_cast<unsigned char>(At(i))) ? JsonValue::Kind::Number
                                                                   : JsonValue::Kind::Bool;
        switch (At(i)) {
        case '{': ++i; return Members(v);
        case '[': ++i; return Elements(v);
        case '"': return String(v.text);
        default:
            if (v.kind == JsonValue::Kind::Number)
                return Integer(v.text);
            return Word("true") || Word("false") || Word("null");
        }
    }

    // A non-negative integer without leading zeros, the only numbers the tool writes.
    bool Integer(std::string& digits) {
        while (std::isdigit(static_cast<unsigned char>(At(i))))
            digits += s[i++];
        return digits.size() == 1 || digits[0] != '0';
    }

    bool Members(JsonValue& v) {
        if (Take('}'))
            return true;
        do {
            std::string key;
            JsonValue member;
            if (!(Blanks(), String(key)) || !Take(':') || !Value(member) ||
                !v.members.emplace(key, member).second)
                return false;
        } while (Take(','));
        return Take('}');
    }

    bool Elements(JsonValue& v) {
        if (Take(']'))
            return true;
        do {
            v.elements.emplace_back();
            if (!Value(v.elements.back()))
                return false;
        } while (Take(','));
        return Take(']');
    }

    // \uXXXX, the "u" already read; surrogates are not needed by the tool and are refused.
    bool Unicode(std::string& out) {
        const std::string hex = s.substr(i, 4);
        if (hex.size() != 4 || !std::all_of(hex.begin(), hex.end(), [](char c) {
                return std::isxdigit(static_cast<unsigned char>(c)) != 0;
            }))
            return false;
        const unsigned long cp = std::strtoul(hex.c_str(), nullptr, 16);
        if (cp >= 0xD800 && cp <= 0xDFFF)
            return false;
        i += 4;
        AppendUtf8(out, static_cast<uint32_t>(cp));
        return true;
    }

    // One raw UTF-8 character of 2 to 4 bytes, in its shortest form.
    bool Utf8(std::string& out) {
        const unsigned char lead = At(i);
        const int n = lead > 0xF4 ? 0 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
        uint32_t cp = lead & (0x7F >> n);
        for (int k = 1; k < n; ++k) {
            if ((At(i + k) & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (At(i + k) & 0x3F);
        }
        const uint32_t shortest[] = {1, 0, 0, 0x800, 0x10000};
        if (n == 0 || cp < shortest[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        out.append(s, i, static_cast<size_t>(n));
        i += static_cast<size_t>(n);
        return true;
    }

    bool String(std::string& out) {
        static const std::string simple = "\"\\/bfnrt", meaning = "\"\\/\b\f\n\r\t";
        if (At(i++) != '"')
            return false;
        for (;;) {
            const unsigned char c = At(i);
            if (i >= s.size() || c < 0x20)
                return false;
            if (c == '"')
                return ++i, true;
            if (c >= 0x80) {
                if (!Utf8(out))
                    return false;
            } else if (c != '\\') {
                out += static_cast<char>(c);
                ++i;
            } else {
                const char escape = static_cast<char>(At(i + 1));
                i += 2;
                if (const size_t k = simple.find(escape); k != std::string::npos)
                    out += meaning[k];
                else if (escape != 'u' || !Unicode(out))
                    return false;
            }
        }
    }
};

} // namespace

std::optional<JsonValue> ParseJson(const std::string& text) {
    JsonValue v;
    if (!Reader(text).Document(v))
        return std::nullopt;
    return v;
}

} // namespace vireo::test
