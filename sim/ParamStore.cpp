#include "sim/ParamStore.h"

#include <cctype>
#include <cstdlib>

namespace vireo::sim {
namespace {

std::vector<std::string> Split(const std::string& list) {
    std::vector<std::string> out;
    if (list.empty())
        return out;
    std::size_t start = 0;
    for (;;) {
        auto p = list.find(':', start);
        out.push_back(list.substr(start, p == std::string::npos ? std::string::npos : p - start));
        if (p == std::string::npos)
            break;
        start = p + 1;
    }
    return out;
}

std::string Trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front())))
        s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())))
        s.remove_suffix(1);
    return std::string(s);
}

// Parses a whole decimal (base 10) or hexadecimal (base 16) number; false when it is not one.
bool ParseNumber(std::string_view text, int base, long long* out) {
    std::string t = Trim(text);
    if (t.empty() || t.size() > 18)
        return false;
    std::size_t i = 0;
    bool negative = false;
    if (base == 10 && (t[0] == '-' || t[0] == '+')) {
        negative = t[0] == '-';
        i = 1;
        if (t.size() == 1)
            return false;
    }
    long long v = 0;
    for (; i < t.size(); ++i) {
        int d;
        char c = t[i];
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            return false;
        v = v * base + d;
    }
    *out = negative ? -v : v;
    return true;
}

bool InRange(const ParamDef& def, long long v, int base) {
    long long lo, hi;
    if (!def.rangeMin.empty() && ParseNumber(def.rangeMin, base, &lo) && v < lo)
        return false;
    if (!def.rangeMax.empty() && ParseNumber(def.rangeMax, base, &hi) && v > hi)
        return false;
    return true;
}

} // namespace

std::string ToUpper(std::string_view text) {
    std::string s(text);
    for (char& c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

std::vector<ParamDef> BuildParamDefs(const std::vector<ConstructEntry>& entries) {
    std::vector<ParamDef> defs;
    for (const auto& e : entries) {
        ParamDef d;
        d.command = ToUpper(Trim(e.command));
        if (d.command.empty())
            continue;
        d.width = e.width;
        d.choices = Split(e.choiceList);
        d.values = Split(e.valueList);
        d.rangeMin = Trim(e.rangeMin);
        d.rangeMax = Trim(e.rangeMax);
        const std::string& t = e.typeField;
        if (t.find("Get") != std::string::npos)
            d.kind = ParamKind::ReadOnly;
        else if (!d.choices.empty())
            d.kind = ParamKind::Choice;
        else if (t.find("String") != std::string::npos)
            d.kind = ParamKind::Text;
        else if (t.find("10") != std::string::npos)
            d.kind = ParamKind::Decimal;
        else if (t.find("16") != std::string::npos)
            d.kind = ParamKind::Hex;
        else
            d.kind = ParamKind::Text;

        static constexpr std::string_view kDefault = "Default: ";
        if (auto p = e.description.rfind(kDefault); p != std::string::npos) {
            d.defaultValue = Trim(std::string_view(e.description).substr(p + kDefault.size()));
        } else if (d.kind == ParamKind::Choice && !d.values.empty()) {
            d.defaultValue = d.values.front();
        } else if (d.kind != ParamKind::Choice && !d.rangeMin.empty()) {
            d.defaultValue = d.rangeMin;
        } else if (d.kind == ParamKind::Choice || d.kind == ParamKind::Decimal ||
                   d.kind == ParamKind::Hex) {
            d.defaultValue.assign(1, '0'); // index 0, or zero
        }
        defs.push_back(std::move(d));
    }
    return defs;
}

bool IsValidValue(const ParamDef& def, std::string_view value) {
    long long v = 0;
    switch (def.kind) {
    case ParamKind::ReadOnly: return false;
    case ParamKind::Choice:
        if (!def.values.empty()) {
            for (const auto& x : def.values)
                if (x == value)
                    return true;
            return false;
        }
        return ParseNumber(value, 10, &v) && value.find_first_of("+- ") == std::string_view::npos &&
               v >= 0 && v < static_cast<long long>(def.choices.size());
    case ParamKind::Decimal:
        if (value.empty() || value.find(' ') != std::string_view::npos)
            return false;
        if (!ParseNumber(value, 10, &v))
            return false;
        if (def.width > 0 && value.size() > static_cast<std::size_t>(def.width))
            return false;
        return InRange(def, v, 10);
    case ParamKind::Hex: {
        std::size_t maxDigits = def.width > 0 ? static_cast<std::size_t>(def.width) : 8;
        if (value.empty() || value.size() > maxDigits)
            return false;
        if (value.find_first_of("+- ") != std::string_view::npos)
            return false;
        if (maxDigits <= 15) {
            if (!ParseNumber(value, 16, &v))
                return false;
            return InRange(def, v, 16);
        }
        for (char c : value)
            if (!std::isxdigit(static_cast<unsigned char>(c)))
                return false;
        return true;
    }
    case ParamKind::Text: {
        std::size_t maxLen = def.width > 0 ? static_cast<std::size_t>(def.width) : 32;
        if (value.size() > maxLen)
            return false;
        for (char c : value) {
            auto u = static_cast<unsigned char>(c);
            if (u < 0x20 || u > 0x7E)
                return false;
        }
        return true;
    }
    }
    return false;
}

ParamStore::ParamStore(std::shared_ptr<const std::vector<ParamDef>> defs) : defs_(std::move(defs)) {
    RestoreDefaults();
}

std::size_t ParamStore::IndexOf(std::string_view command) const {
    if (!defs_)
        return std::string::npos;
    std::string up = ToUpper(command);
    for (std::size_t i = 0; i < defs_->size(); ++i)
        if ((*defs_)[i].command == up)
            return i;
    return std::string::npos;
}

const ParamDef* ParamStore::Find(std::string_view command) const {
    auto i = IndexOf(command);
    return i == std::string::npos ? nullptr : &(*defs_)[i];
}

std::optional<std::string> ParamStore::Read(std::string_view command) const {
    auto i = IndexOf(command);
    if (i == std::string::npos)
        return std::nullopt;
    return values_[i];
}

ParamStore::WriteResult ParamStore::Write(std::string_view command, std::string_view value,
                                          bool validate) {
    auto i = IndexOf(command);
    if (i == std::string::npos)
        return WriteResult::Unknown;
    const ParamDef& d = (*defs_)[i];
    if (validate) {
        if (d.kind == ParamKind::ReadOnly)
            return WriteResult::ReadOnly;
        if (!IsValidValue(d, value))
            return WriteResult::Invalid;
    }
    values_[i] = d.kind == ParamKind::Hex && validate ? ToUpper(value) : std::string(value);
    return WriteResult::Ok;
}

void ParamStore::RestoreDefaults() {
    values_.clear();
    if (!defs_)
        return;
    for (const auto& d : *defs_)
        values_.push_back(d.defaultValue);
}

void ParamStore::CarryOver(const ParamStore& old) {
    if (!defs_ || !old.defs_)
        return;
    for (std::size_t i = 0; i < defs_->size(); ++i) {
        const ParamDef& d = (*defs_)[i];
        auto j = old.IndexOf(d.command);
        if (j == std::string::npos)
            continue;
        const std::string& v = old.values_[j];
        if (d.kind == ParamKind::ReadOnly || IsValidValue(d, v))
            values_[i] = v;
    }
}

std::vector<std::string> ParamStore::Commands() const {
    std::vector<std::string> out;
    if (defs_)
        for (const auto& d : *defs_)
            out.push_back(d.command);
    return out;
}

} // namespace vireo::sim
