#include "platform/ProfileFile.h"

#include <fstream>
#include <iterator>

namespace vireo {

namespace {

constexpr size_t npos = std::string::npos;

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (LowerAscii(a[i]) != LowerAscii(b[i]))
            return false;
    return true;
}

bool HasLineBreak(std::string_view s) {
    return s.find_first_of("\r\n") != npos;
}

// The name of a section line ("[name]", blanks allowed around), or nullopt for another line.
std::optional<std::string_view> SectionName(std::string_view line) {
    line = Trim(line);
    if (line.empty() || line.front() != '[')
        return std::nullopt;
    line.remove_prefix(1);
    return Trim(line.substr(0, line.find(']')));
}

struct KeyLine {
    std::string_view key;
    std::string_view value;
};

std::optional<KeyLine> ParseKeyLine(std::string_view line) {
    const size_t eq = line.find('=');
    if (eq == npos)
        return std::nullopt;
    std::string_view value = Trim(line.substr(eq + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return KeyLine{Trim(line.substr(0, eq)), value};
}

} // namespace

bool CProfileFile::Load(const std::string& path) {
    m_lines.clear();
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        return false;
    Parse(text);
    return true;
}

void CProfileFile::Parse(std::string_view text) {
    m_lines.clear();
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find_first_of("\r\n", start);
        if (end == npos) {
            m_lines.emplace_back(text.substr(start));
            break;
        }
        m_lines.emplace_back(text.substr(start, end - start));
        start = end + 1;
        if (text[end] == '\r' && start < text.size() && text[start] == '\n')
            ++start;
    }
}

std::string CProfileFile::Text() const {
    std::string text;
    for (const std::string& line : m_lines)
        text.append(line).append("\r\n");
    return text;
}

bool CProfileFile::Save(const std::string& path) const {
    return WriteWholeFile(path, Text());
}

size_t CProfileFile::FindSection(std::string_view section) const {
    for (size_t i = 0; i < m_lines.size(); ++i) {
        const auto name = SectionName(m_lines[i]);
        if (name && EqualNoCase(*name, Trim(section)))
            return i;
    }
    return npos;
}

size_t CProfileFile::SectionEnd(size_t at) const {
    size_t end = at + 1;
    while (end < m_lines.size() && !SectionName(m_lines[end]))
        ++end;
    return end;
}

int CProfileFile::SectionCount() const {
    int count = 0;
    for (const std::string& line : m_lines)
        count += SectionName(line) ? 1 : 0;
    return count;
}

std::optional<std::string> CProfileFile::GetString(std::string_view section,
                                                   std::string_view key) const {
    const size_t at = FindSection(section);
    if (at == npos)
        return std::nullopt;
    const size_t end = SectionEnd(at);
    for (size_t i = at + 1; i < end; ++i) {
        const auto line = ParseKeyLine(m_lines[i]);
        if (line && EqualNoCase(line->key, Trim(key)))
            return std::string(line->value);
    }
    return std::nullopt;
}

bool CProfileFile::WriteString(std::string_view section, std::string_view key,
                               std::string_view value) {
    const bool blankLineAfter = value.size() >= 2 && value.substr(value.size() - 2) == "\r\n";
    if (blankLineAfter)
        value.remove_suffix(2);
    section = Trim(section);
    key = Trim(key);
    if (HasLineBreak(section) || HasLineBreak(key) || HasLineBreak(value) ||
        section.find(']') != npos || key.find('=') != npos || key.empty())
        return false;

    std::vector<std::string> lines{std::string(key) + "=" + std::string(value)};
    if (blankLineAfter)
        lines.emplace_back();
    size_t at = FindSection(section);
    if (at == npos) {
        std::string header(1, '['); // built in steps: "[" + text trips a false -Wrestrict
        header.append(section).push_back(']');
        m_lines.push_back(std::move(header));
        m_lines.insert(m_lines.end(), lines.begin(), lines.end());
        return true;
    }
    const size_t end = SectionEnd(at);
    size_t last = at; // last non-blank line of the section
    for (size_t i = at + 1; i < end; ++i) {
        const auto line = ParseKeyLine(m_lines[i]);
        if (line && EqualNoCase(line->key, key)) {
            // Replace the key line; a blank line the old value left behind stays.
            m_lines[i] = lines[0];
            const bool blankFollows = i + 1 < end && Trim(m_lines[i + 1]).empty();
            if (blankLineAfter && !blankFollows)
                m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(i) + 1, "");
            return true;
        }
        if (!Trim(m_lines[i]).empty())
            last = i;
    }
    m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(last) + 1, lines.begin(),
                   lines.end());
    return true;
}

std::string GetProfileString(std::string_view section, std::string_view key,
                             std::string_view fallback, const std::string& path) {
    CProfileFile file;
    if (!file.Load(path))
        return std::string(fallback);
    return file.GetString(section, key).value_or(std::string(fallback));
}

bool WriteProfileString(std::string_view section, std::string_view key, std::string_view value,
                        const std::string& path) {
    CProfileFile file;
    file.Load(path); // a missing file starts empty
    return file.WriteString(section, key, value) && file.Save(path);
}

bool WriteWholeFile(const std::string& path, std::string_view text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out)
        return false;
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    return !out.fail();
}

} // namespace vireo
