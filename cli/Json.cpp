#include "cli/Json.h"

#include <cstdio>

namespace vireo::cli {

namespace {

struct LeadByte {
    unsigned char first, last;        // range of the lead byte
    size_t length;                    // bytes of the sequence
    unsigned char secondLo, secondHi; // allowed range of the second byte
};

// Well-formed UTF-8 by lead byte; the second byte's range excludes overlong forms,
// surrogates (U+D800..U+DFFF) and code points beyond U+10FFFF.
constexpr LeadByte kLeadBytes[] = {
    {0xC2, 0xDF, 2, 0x80, 0xBF}, {0xE0, 0xE0, 3, 0xA0, 0xBF}, {0xE1, 0xEC, 3, 0x80, 0xBF},
    {0xED, 0xED, 3, 0x80, 0x9F}, {0xEE, 0xEF, 3, 0x80, 0xBF}, {0xF0, 0xF0, 4, 0x90, 0xBF},
    {0xF1, 0xF3, 4, 0x80, 0xBF}, {0xF4, 0xF4, 4, 0x80, 0x8F},
};

bool IsContinuation(unsigned char c) {
    return c >= 0x80 && c <= 0xBF;
}

void AppendEscaped(std::string& out, unsigned char c) {
    char code[8];
    std::snprintf(code, sizeof code, "\\u%04x", c);
    out += code;
}

} // namespace

size_t Utf8SequenceLength(std::string_view text, size_t at) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    for (const LeadByte& row : kLeadBytes) {
        if (lead < row.first || lead > row.last)
            continue;
        if (at + row.length > text.size())
            return 0;
        if (byte(at + 1) < row.secondLo || byte(at + 1) > row.secondHi)
            return 0;
        for (size_t i = 2; i < row.length; ++i) {
            if (!IsContinuation(byte(at + i)))
                return 0;
        }
        return row.length;
    }
    return 0;
}

std::string JsonString(std::string_view text) {
    std::string out = "\"";
    for (size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c == 0x7F) {
            AppendEscaped(out, c);
        } else if (c >= 0x80) {
            if (const size_t n = Utf8SequenceLength(text, i); n > 0) {
                out.append(text.substr(i, n));
                i += n;
                continue;
            }
            AppendEscaped(out, c);
        } else {
            out += static_cast<char>(c);
        }
        ++i;
    }
    return out + "\"";
}

CJsonObject& CJsonObject::Add(std::string_view key, std::string_view value) {
    m_members.emplace_back(std::string(key), JsonString(value));
    return *this;
}

CJsonObject& CJsonObject::Add(std::string_view key, bool value) {
    m_members.emplace_back(std::string(key), value ? "true" : "false");
    return *this;
}

CJsonObject& CJsonObject::AddNumber(std::string_view key, long long value) {
    m_members.emplace_back(std::string(key), std::to_string(value));
    return *this;
}

std::string CJsonObject::Text() const {
    std::string out = "{";
    for (size_t i = 0; i < m_members.size(); ++i) {
        if (i > 0)
            out += ", ";
        out += JsonString(m_members[i].first) + ": " + m_members[i].second;
    }
    return out + "}";
}

std::string JsonArray(const std::vector<CJsonObject>& elements) {
    if (elements.empty())
        return "[]";
    std::string out = "[\n";
    for (size_t i = 0; i < elements.size(); ++i)
        out += "  " + elements[i].Text() + (i + 1 < elements.size() ? ",\n" : "\n");
    return out + "]";
}

} // namespace vireo::cli
