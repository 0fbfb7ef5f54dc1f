#include "config/ConstructFile.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <vector>

namespace {

constexpr std::string_view kRemoteExcludedGroup = "Security Settings";

bool Contains(std::string_view text, std::string_view word) {
    return text.find(word) != std::string_view::npos;
}

// Value of a keyed field ("Key=?value"): it starts two characters after the first "=", the
// character right after "=" being skipped. A field without "=" gives the field minus its
// first character. A field that ends right after its "=" gives an empty value.
std::string_view KeyedValue(std::string_view field) {
    const size_t eq = field.find('=');
    const size_t start = eq == std::string_view::npos ? 1 : eq + 2;
    return start >= field.size() ? std::string_view() : field.substr(start);
}

// Integer value of the leading decimal digits of text, 0 when there are none. Saturates at
// INT32_MAX instead of overflowing.
int32_t LeadingInt(std::string_view text) {
    int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            break;
        value = std::min<int64_t>(value * 10 + (c - '0'), INT32_MAX);
    }
    return static_cast<int32_t>(value);
}

// The width of a type field such as "16(4)": the leading digits of the text between the
// first "(" and the first ")"; 0 when there is no ")" after the "(".
int32_t TypeWidth(std::string_view typeField) {
    const size_t open = typeField.find('(');
    const size_t close = typeField.find(')');
    if (open == std::string_view::npos || close == std::string_view::npos || close < open)
        return 0;
    return LeadingInt(typeField.substr(open + 1, close - open - 1));
}

int32_t TypeCode(std::string_view typeField) {
    if (Contains(typeField, "10"))
        return PT_10;
    if (Contains(typeField, "16"))
        return PT_16;
    if (Contains(typeField, "String"))
        return PT_STRING;
    if (Contains(typeField, "Get"))
        return PT_GET;
    return PT_NONE;
}

// The description inside a description field: after its first "<" (the whole field when it
// has none), cut before the first ">" of that part; empty when that part has no ">".
std::string_view DescriptionText(std::string_view field) {
    const size_t lt = field.find('<');
    const std::string_view part = lt == std::string_view::npos ? field : field.substr(lt + 1);
    const size_t gt = part.find('>');
    return gt == std::string_view::npos ? std::string_view() : part.substr(0, gt);
}

// The remaining text R of the parser. The delimiters are looked up through a cache of their
// next position: R only ever loses characters at its front, so a delimiter found at p stays
// the first one until the cursor passes p, and one that is missing stays missing. That keeps
// a whole parse linear in the text length even for text full of "[" and nothing else.
class CCursor {
public:
    explicit CCursor(std::string_view text) : m_text(text) {
        std::fill(std::begin(m_next), std::end(m_next), kUnknown);
    }

    bool Has(char c) { return Find(c) != std::string_view::npos; }

    // Removes everything up to and including the first c; nothing when R holds no c.
    void AdvancePast(char c) {
        const size_t p = Find(c);
        if (p != std::string_view::npos)
            m_pos = p + 1;
    }

    // Text of R before its first c; empty when R holds no c.
    std::string_view Before(char c) {
        const size_t p = Find(c);
        return p == std::string_view::npos ? std::string_view() : m_text.substr(m_pos, p - m_pos);
    }

    // The field: text of R before its first ";".
    std::string_view Field() { return Before(';'); }

    // The field after it: text between R's first and second ";" (empty without both).
    std::string_view SecondField() {
        const size_t first = Find(';');
        if (first == std::string_view::npos)
            return {};
        const size_t second = m_text.find(';', first + 1);
        if (second == std::string_view::npos)
            return {};
        return m_text.substr(first + 1, second - first - 1);
    }

private:
    static constexpr size_t kUnknown = std::string_view::npos - 1;
    static constexpr char kDelimiters[] = {'[', '/', ']', ';'};

    size_t Find(char c) {
        const size_t slot = static_cast<size_t>(
            std::find(std::begin(kDelimiters), std::end(kDelimiters), c) - std::begin(kDelimiters));
        if (slot == std::size(kDelimiters))
            return m_text.find(c, m_pos);
        size_t& next = m_next[slot];
        if (next == kUnknown || (next != std::string_view::npos && next < m_pos))
            next = m_text.find(c, m_pos);
        return next;
    }

    std::string_view m_text;
    size_t m_pos = 0;
    size_t m_next[std::size(kDelimiters)];
};

char UpperAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return UpperAscii(x) == UpperAscii(y);
           });
}

bool EndsWithIgnoringCase(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() &&
           EqualsIgnoringCase(text.substr(text.size() - suffix.size()), suffix);
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Decimal number at the start of text: digits, at most one point, digits. Read without the
// C library's locale, which a GUI program may have switched to a decimal comma.
double LeadingDecimal(std::string_view text) {
    size_t end = 0;
    while (end < text.size() && IsDigit(text[end]))
        ++end;
    if (end < text.size() && text[end] == '.') {
        ++end;
        while (end < text.size() && IsDigit(text[end]))
            ++end;
    }
    std::string number(text.substr(0, end));
    if (number.empty() || number == ".")
        return 0.0;
    if (number.front() == '.')
        number.insert(number.begin(), '0');
    if (number.back() == '.')
        number.pop_back();
    double value = 0.0;
    std::from_chars(number.data(), number.data() + number.size(), value, std::chars_format::fixed);
    return value;
}

} // namespace

size_t CopyField(char* field, size_t fieldSize, std::string_view text) {
    if (fieldSize == 0)
        return 0;
    const size_t n = std::min(text.size(), fieldSize - 1);
    if (n > 0)
        std::memcpy(field, text.data(), n);
    field[n] = '\0';
    return n;
}

void SetCommand(ConfigParam& param, std::string_view commandText) {
    const size_t n = CopyField(param.command, kMaxCommandChars + 1, commandText);
    std::memcpy(param.command + n, "\r\n", 3);
}

CConstructData::CConstructData() : m_params{}, m_groupTable{} {}

void CConstructData::ResetRecords() {
    std::memset(static_cast<void*>(m_params), 0, sizeof(m_params));
    m_nParams = 0;
}

void CConstructData::ClearGroupTable() {
    for (auto& row : m_groupTable)
        std::fill(std::begin(row), std::end(row), nullptr);
}

void CConstructData::SetReadFailed() {
    ResetRecords();
    m_groupTable[0][0] = kConstructReadFailText;
    m_groupTable[0][1] = nullptr;
    m_nGroups = 1;
}

std::span<const char* const> CConstructData::GroupRow(int row) const {
    if (row < 0 || row >= kMaxGroupRows)
        return {};
    const auto& entries = m_groupTable[row];
    const auto end = std::find(std::begin(entries), std::end(entries), nullptr);
    return {std::begin(entries), static_cast<size_t>(end - std::begin(entries))};
}

// The cursor rules. R is the remaining text; "the field" is the text of R before its first
// ";" (empty when R has none); advancing past c drops everything up to and including the
// first c of R (nothing when R has no c). While R holds a "[":
//   1. past "["; group = text before "/" (empty if none); a group unlike the previous entry's
//      counts one more group;
//   2. past "/"; name = text before "]" (empty if none); past "]";
//   3. type field = the field; past ";"; type by the keyword tests;
//   4. with "(" in the type field: width from it, no lists. Otherwise, for a stored type 10
//      record: a field holding "Combo_list" is the choice list (consumed), and then a field
//      holding "Value_list" the value list (consumed);
//   5. a field holding "Range": it and the field after it are the bounds (both consumed);
//   6. the field is the description (consumed);
//   7. the field is the command, not consumed: the next entry starts at the next "[".
// The keywords are only found inside the field at hand, and a field is never read beyond
// R, so no input makes the parser read outside the text or write outside a record.
void CConstructData::ParseConstructText(std::string_view text, bool remoteMode) {
    ResetRecords();
    m_nGroups = 0;
    text = text.substr(0, text.find('\0'));

    size_t groups = 0;
    std::string_view previousGroup;
    CCursor r(text);
    while (r.Has('[')) {
        // Heading: group and name.
        r.AdvancePast('[');
        const std::string_view group = r.Before('/');
        if (group != previousGroup) {
            ++groups;
            previousGroup = group;
        }
        // An entry that is not stored is still read to its end, so the cursor moves exactly
        // as for a stored one; nothing is written and the record index stays.
        const bool stored =
            m_nParams < kMaxParams && !(remoteMode && group == kRemoteExcludedGroup);
        ConfigParam* rec = stored ? &m_params[m_nParams] : nullptr;
        if (rec)
            CopyField(rec->group, group);
        r.AdvancePast('/');
        const std::string_view name = r.Before(']');
        if (rec)
            CopyField(rec->name, name);
        r.AdvancePast(']');

        // Type field, with an optional width.
        const std::string_view typeField = r.Field();
        r.AdvancePast(';');
        if (rec)
            rec->type = TypeCode(typeField);
        if (Contains(typeField, "(")) {
            if (rec)
                rec->width = TypeWidth(typeField);
        } else if (rec && rec->type == PT_10) {
            // Choice and value lists; an unstored entry never gets here, its record being
            // unfilled.
            const std::string_view choices = r.Field();
            if (Contains(choices, "Combo_list")) {
                r.AdvancePast(';');
                CopyField(rec->choiceList, KeyedValue(choices));
                const std::string_view values = r.Field();
                if (Contains(values, "Value_list")) {
                    r.AdvancePast(';');
                    CopyField(rec->valueList, KeyedValue(values));
                }
            }
        }

        // Optional range: this field and the one after it.
        const std::string_view rangeField = r.Field();
        if (Contains(rangeField, "Range")) {
            if (rec) {
                CopyField(rec->rangeMin, KeyedValue(rangeField));
                CopyField(rec->rangeMax, KeyedValue(r.SecondField()));
            }
            r.AdvancePast(';');
            r.AdvancePast(';');
        }

        const std::string_view descriptionField = r.Field();
        r.AdvancePast(';');
        if (rec)
            CopyField(rec->description, DescriptionText(descriptionField));

        // The command field is not consumed: the next entry starts at the next "[".
        if (rec) {
            SetCommand(*rec, KeyedValue(r.Field()));
            ++m_nParams;
        }
    }
    m_nGroups = static_cast<int32_t>(std::min<size_t>(groups, kMaxGroupRows));
}

int CConstructData::BuildGroupTable() {
    if (m_params[0].group[0] == '\0')
        return 1;
    int row = -1;
    int column = kGroupRowEntries;
    for (int i = 0; i < kMaxParams && m_params[i].group[0] != '\0'; ++i) {
        const ConfigParam& p = m_params[i];
        const bool newGroup = i == 0 || std::strcmp(p.group, m_params[i - 1].group) != 0;
        if (newGroup || column == kGroupRowEntries) {
            if (row + 1 == kMaxGroupRows)
                break;
            ++row;
            m_groupTable[row][0] = p.group;
            column = 1;
        }
        m_groupTable[row][column++] = p.name;
    }
    m_nGroups = std::clamp(std::max(m_nGroups, static_cast<int32_t>(row + 1)), 0, kMaxGroupRows);
    return 1;
}

std::string ConstructFileName(const std::string& productName, const std::string& version) {
    return productName + "_" + version + ".vmcon";
}

std::string ReadConstructFile(const std::string& path, bool* ok) {
    if (ok)
        *ok = false;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec))
        return {};
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return {};
    std::string text(kMaxConstructFileBytes, '\0');
    file.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<size_t>(file.gcount()));
    text.resize(std::min(text.size(), text.find('\0')));
    if (ok)
        *ok = true;
    return text;
}

bool IsConstructFileCandidate(std::string_view fileName) {
    return EndsWithIgnoringCase(fileName, ".txt") || EndsWithIgnoringCase(fileName, ".vmcon");
}

bool IsPreferredConstructFile(std::string_view fileName, std::string_view productName) {
    return fileName.size() >= productName.size() &&
           EqualsIgnoringCase(fileName.substr(0, productName.size()), productName);
}

double ConstructFileVersion(std::string_view fileName) {
    const size_t v = fileName.find('v');
    const std::string_view scan = v == std::string_view::npos ? fileName : fileName.substr(v + 1);
    // The first "." must lie in the run of digits and points at the scan start.
    size_t dot = std::string_view::npos;
    for (size_t i = 0; i < scan.size() && (IsDigit(scan[i]) || scan[i] == '.'); ++i) {
        if (scan[i] == '.') {
            dot = i;
            break;
        }
    }
    if (dot == std::string_view::npos)
        return 0.0;
    double major = 0.0;
    for (size_t i = 0; i < dot; ++i)
        major = major * 10.0 + (scan[i] - '0');
    return major * 1000000.0 + LeadingDecimal(scan.substr(dot + 1));
}

std::string FindNewestConstructFile(const std::string& dir, const std::string& productName) {
    namespace fs = std::filesystem;
    struct Candidate {
        std::string name;
        fs::path path;
    };
    std::vector<Candidate> candidates;
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeEc;
        if (!it->is_regular_file(typeEc))
            continue;
        try {
            std::string name = it->path().filename().string();
            if (IsConstructFileCandidate(name))
                candidates.push_back({std::move(name), it->path()});
        } catch (const std::exception&) {
            // A name the narrow character set cannot hold cannot be a file we could name.
        }
    }
    // Ties keep the earlier file, so the order matters: names compared in upper case, as an
    // NTFS directory lists them, and byte by byte between names that differ only in case.
    std::sort(candidates.begin(), candidates.end(), [](const Candidate& a, const Candidate& b) {
        const auto upper = [](std::string s) {
            std::transform(s.begin(), s.end(), s.begin(), UpperAscii);
            return s;
        };
        const std::string ua = upper(a.name);
        const std::string ub = upper(b.name);
        return ua != ub ? ua < ub : a.name < b.name;
    });

    double bestVersion = 0.0;
    bool bestPreferred = false;
    const Candidate* best = nullptr;
    for (const Candidate& c : candidates) {
        const bool preferred = IsPreferredConstructFile(c.name, productName);
        const double version = ConstructFileVersion(c.name);
        if ((preferred && !bestPreferred) ||
            (preferred == bestPreferred && version > bestVersion)) {
            best = &c;
            bestPreferred = preferred;
            bestVersion = version;
        }
    }
    if (!best || !(bestVersion > 0.0))
        return {};
    return best->path.string();
}
