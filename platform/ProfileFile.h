// Profile (INI) files, read and written key by key: "[section]" lines open sections and
// "key=value" lines set keys within them.
//
// Reading:
// - A line ends at LF, CR LF or a lone CR. Blanks (spaces, tabs) around section names, keys
//   and values are dropped; a value wrapped in one pair of matching quotes (' or ") loses
//   them.
// - Section names and keys are compared ignoring ASCII case. The first section of a name is
//   the one that counts, and within it the first line of a key: later duplicates are never
//   seen.
// - A key line splits at its first "=", so a value may hold "=". Lines without "=" and lines
//   before the first section are no keys. Any byte, also a zero byte, is kept in a value.
// Writing:
// - A new section goes to the end of the file; a new key goes after the last non-blank line
//   of its section; an existing key has its line replaced. Every other line, blank lines
//   included, stays as it was. Lines are written with CR LF.
// - A value may end in one CR LF: it is written after the value, which leaves an empty line
//   behind the key line. Any other line break in a section name, key or value would change
//   the structure of the file and is refused.
//
// Portable C++ only: the same code runs on every platform. Not thread-safe; one object
// belongs to one thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vireo {

class CProfileFile {
public:
    // Replaces the contents with the file's; false (and empty contents) when it cannot be
    // read.
    bool Load(const std::string& path);
    // Replaces the contents with text.
    void Parse(std::string_view text);
    // Writes the contents to path, replacing the file; false when that fails.
    bool Save(const std::string& path) const;
    // The contents as they would be written.
    std::string Text() const;

    // The value of key in section, or nullopt when either is absent.
    std::optional<std::string> GetString(std::string_view section, std::string_view key) const;
    // Sets key in section; false (and nothing changed) when a text holds a line break it may
    // not hold, or when the section name holds "]" or the key "=".
    bool WriteString(std::string_view section, std::string_view key, std::string_view value);

    // Number of sections, duplicates included.
    int SectionCount() const;

private:
    // Line index of the first section named section, or npos.
    size_t FindSection(std::string_view section) const;
    // Index one past the last line of the section that starts at line `at`.
    size_t SectionEnd(size_t at) const;

    std::vector<std::string> m_lines; // without line ends
};

// One read or write of a file per call, as the system's profile functions do: GetProfileString
// gives fallback when the file, section or key is absent; WriteProfileString creates the file
// when needed and returns false when the value may not be written or the file cannot be.
std::string GetProfileString(std::string_view section, std::string_view key,
                             std::string_view fallback, const std::string& path);
bool WriteProfileString(std::string_view section, std::string_view key, std::string_view value,
                        const std::string& path);

// Writes text to path as it is, replacing the file; false when that fails.
bool WriteWholeFile(const std::string& path, std::string_view text);

} // namespace vireo
