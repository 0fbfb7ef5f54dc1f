// Reader for construct files (*.vmcon), the text files that describe the configuration
// parameters of one product and firmware version.
//
// The module reads the files exactly the way the manager's loader walks them (a cursor over
// the text that looks for "[", "/", "]", ";" and the keywords "Combo_list", "Value_list",
// "Range"), so that a sample file means the same to both. Unlike the manager it keeps no
// fixed-size records: fields are kept whole and there is no limit on the number of entries.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vireo::sim {

struct ConstructEntry {
    std::string group;
    std::string name;
    std::string typeField;  // text between "]" and the next ";", e.g. "16(4)" or "Get"
    int width = 0;          // number in parentheses of the type field, 0 when none
    std::string choiceList; // "Off:On", empty for free-text entries
    std::string valueList;  // "0:1", may be empty
    std::string rangeMin;
    std::string rangeMax;
    std::string description;
    std::string command; // the read command without line end, e.g. "AT+PANID"
};

// Parses construct file text. Only the first 65536 bytes and the text before the first zero
// byte count, as for the manager.
std::vector<ConstructEntry> ParseConstructText(std::string_view text);

// Reads and parses a file; false when it cannot be read.
bool ReadConstructFile(const std::string& path, std::vector<ConstructEntry>* entries);

} // namespace vireo::sim
