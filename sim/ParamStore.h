// The parameter store of one simulated module, built from the entries of its construct file.
//
// Each entry's command reads the value; command "=" value writes it. What a value may be is
// decided from the entry as the module understands it:
//   - type field with "Get": read-only, every write is refused;
//   - a choice list with a value list: the value must be one of the listed values;
//   - a choice list without a value list: the value is the choice index 0 .. n-1;
//   - type field with "String": printable text of at most width characters (32 without width);
//   - type field with "10": a decimal number, within the range when there is one;
//   - type field with "16": hexadecimal digits, at most width of them (8 without width),
//     within the range when there is one.
// The default of an entry is the text after "Default: " at the end of its description; when
// there is none, the first listed value, index 0, the range's lower bound, or empty.
//
// Definitions are shared between stores of the same construct file (many remote modules
// use one file), only the values are per module. Not thread-safe by itself.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sim/ConstructFile.h"

namespace vireo::sim {

enum class ParamKind { ReadOnly, Choice, Decimal, Hex, Text };

struct ParamDef {
    std::string command; // upper case, no line end
    ParamKind kind = ParamKind::Text;
    int width = 0;
    std::vector<std::string> choices;
    std::vector<std::string> values;
    std::string rangeMin, rangeMax;
    std::string defaultValue;
};

std::vector<ParamDef> BuildParamDefs(const std::vector<ConstructEntry>& entries);

// Whether value is acceptable for def (see above).
bool IsValidValue(const ParamDef& def, std::string_view value);

class ParamStore {
public:
    enum class WriteResult { Ok, Invalid, ReadOnly, Unknown };

    ParamStore() = default;
    explicit ParamStore(std::shared_ptr<const std::vector<ParamDef>> defs);

    bool Empty() const { return !defs_ || defs_->empty(); }
    const ParamDef* Find(std::string_view command) const; // any case
    std::optional<std::string> Read(std::string_view command) const;
    WriteResult Write(std::string_view command, std::string_view value, bool validate = true);
    void RestoreDefaults();
    // Takes over the values of old for commands that exist here too and are still valid
    // (a firmware update keeps the settings it can).
    void CarryOver(const ParamStore& old);
    std::vector<std::string> Commands() const;

private:
    std::size_t IndexOf(std::string_view command) const;
    std::shared_ptr<const std::vector<ParamDef>> defs_;
    std::vector<std::string> values_;
};

std::string ToUpper(std::string_view text);

} // namespace vireo::sim
