// The answer to "at+ds": one line per node of the radio network, fields separated by "|".
// Lines end at line feeds (a carriage return before one stays with its line). A line without
// "|", or whose first field holds "*", "CHD" or "CLD", is no node line. Node lines are
// numbered from 0 in the order they come; of a node line the list shows field 1 (type),
// 2 (IEEE address), 4 (version) and 5 (model), each up to its first space, and the node name:
// the rest of the line after the fifth "|", up to its first carriage return. Missing fields
// are empty. Text after the last line feed is read as one more line.
#pragma once

#include <string>
#include <string_view>
#include <vector>

struct ScanNode {
    int index = 0;
    std::string type;
    std::string address;
    std::string version;
    std::string model;
    std::string name;
};

std::vector<ScanNode> ParseScanReply(std::string_view reply);
