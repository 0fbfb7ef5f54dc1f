#include "scan/ScanReply.h"

namespace {

// The text before the first space; the whole field when it holds none.
std::string FirstWord(std::string_view field) {
    return std::string(field.substr(0, field.find(' ')));
}

bool IsNodeLine(std::string_view line) {
    const size_t bar = line.find('|');
    if (bar == std::string_view::npos)
        return false;
    const std::string_view first = line.substr(0, bar);
    for (std::string_view mark : {"*", "CHD", "CLD"}) {
        if (first.find(mark) != std::string_view::npos)
            return false;
    }
    return true;
}

// The text up to its first carriage return.
std::string_view BeforeCr(std::string_view text) {
    return text.substr(0, text.find('\r'));
}

ScanNode ParseNodeLine(std::string_view line, int index) {
    // Fields 1 to 5 end at a "|"; the name is everything after the fifth. A shorter line's
    // last field ends with the line.
    std::string_view fields[5];
    std::string_view name;
    for (int i = 0; i < 5 && !line.empty(); ++i) {
        const size_t bar = line.find('|');
        fields[i] = BeforeCr(line.substr(0, bar));
        line.remove_prefix(bar == std::string_view::npos ? line.size() : bar + 1);
        if (i == 4 && bar != std::string_view::npos)
            name = BeforeCr(line);
    }
    ScanNode node;
    node.index = index;
    node.type = FirstWord(fields[0]);
    node.address = FirstWord(fields[1]);
    node.version = FirstWord(fields[3]);
    node.model = FirstWord(fields[4]);
    node.name = std::string(name);
    return node;
}

} // namespace

std::vector<ScanNode> ParseScanReply(std::string_view reply) {
    std::vector<ScanNode> nodes;
    while (!reply.empty()) {
        const size_t lf = reply.find('\n');
        const std::string_view line = reply.substr(0, lf);
        reply.remove_prefix(lf == std::string_view::npos ? reply.size() : lf + 1);
        if (IsNodeLine(line))
            nodes.push_back(ParseNodeLine(line, static_cast<int>(nodes.size())));
    }
    return nodes;
}
