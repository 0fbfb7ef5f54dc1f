#include "sim/ConstructFile.h"

#include <fstream>
#include <iterator>

namespace vireo::sim {
namespace {

constexpr std::size_t kMaxConstructBytes = 65536;

// The cursor of the walk: the remaining text.
struct Cursor {
    std::string_view rest;

    // Text before the first ';' (empty when there is none).
    std::string_view Field() const {
        auto p = rest.find(';');
        return p == std::string_view::npos ? std::string_view{} : rest.substr(0, p);
    }
    // Removes everything up to and including the first c (nothing when there is no c).
    void AdvancePast(char c) {
        auto p = rest.find(c);
        if (p != std::string_view::npos)
            rest.remove_prefix(p + 1);
    }
    std::string_view Before(char c) const {
        auto p = rest.find(c);
        return p == std::string_view::npos ? std::string_view{} : rest.substr(0, p);
    }
};

bool Contains(std::string_view text, std::string_view word) {
    return text.find(word) != std::string_view::npos;
}

// Value of a keyed field: starts two characters after the first '='; a field without '='
// gives the field without its first character.
std::string KeyedValue(std::string_view field) {
    auto eq = field.find('=');
    std::size_t start = eq == std::string_view::npos ? 1 : eq + 2;
    if (start >= field.size())
        return {};
    return std::string(field.substr(start));
}

int LeadingInt(std::string_view text) {
    int v = 0;
    for (char c : text) {
        if (c < '0' || c > '9' || v > 100000000)
            break;
        v = v * 10 + (c - '0');
    }
    return v;
}

} // namespace

std::vector<ConstructEntry> ParseConstructText(std::string_view text) {
    if (text.size() > kMaxConstructBytes)
        text = text.substr(0, kMaxConstructBytes);
    if (auto z = text.find('\0'); z != std::string_view::npos)
        text = text.substr(0, z);

    std::vector<ConstructEntry> entries;
    Cursor cur{text};
    while (Contains(cur.rest, "[")) {
        ConstructEntry e;
        cur.AdvancePast('[');
        e.group = std::string(cur.Before('/'));
        cur.AdvancePast('/');
        e.name = std::string(cur.Before(']'));
        cur.AdvancePast(']');
        e.typeField = std::string(cur.Field());
        cur.AdvancePast(';');
        const bool isType10 = Contains(e.typeField, "10");
        if (auto open = e.typeField.find('('); open != std::string::npos) {
            auto close = e.typeField.find(')');
            e.width = close == std::string::npos
                          ? 0
                          : LeadingInt(std::string_view(e.typeField).substr(open + 1));
        } else if (isType10 && Contains(cur.Field(), "Combo_list")) {
            e.choiceList = KeyedValue(cur.Field());
            cur.AdvancePast(';');
            if (Contains(cur.Field(), "Value_list")) {
                e.valueList = KeyedValue(cur.Field());
                cur.AdvancePast(';');
            }
        }
        if (Contains(cur.Field(), "Range")) {
            e.rangeMin = KeyedValue(cur.Field());
            cur.AdvancePast(';');
            e.rangeMax = KeyedValue(cur.Field());
            cur.AdvancePast(';');
        }
        std::string_view desc = cur.Field();
        cur.AdvancePast(';');
        if (auto lt = desc.find('<'); lt != std::string_view::npos)
            desc.remove_prefix(lt + 1);
        auto gt = desc.find('>');
        e.description =
            gt == std::string_view::npos ? std::string{} : std::string(desc.substr(0, gt));
        e.command = KeyedValue(cur.Field());
        entries.push_back(std::move(e));
    }
    return entries;
}

bool ReadConstructFile(const std::string& path, std::vector<ConstructEntry>* entries) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::string text;
    text.resize(kMaxConstructBytes);
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    *entries = ParseConstructText(text);
    return true;
}

} // namespace vireo::sim
