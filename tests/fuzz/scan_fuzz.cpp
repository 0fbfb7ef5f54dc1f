// Fuzz target of the scan reply walk: whatever the module sends, every row comes from one
// line, is numbered in order, and holds no line break.
#include "scan/ScanReply.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    const std::string_view reply(reinterpret_cast<const char*>(bytes), size);
    const std::vector<ScanNode> nodes = ParseScanReply(reply);
    if (nodes.size() > static_cast<size_t>(std::count(reply.begin(), reply.end(), '\n')) + 1)
        std::abort();
    for (size_t i = 0; i < nodes.size(); ++i) {
        const ScanNode& n = nodes[i];
        if (n.index != static_cast<int>(i))
            std::abort();
        for (const std::string* field : {&n.type, &n.address, &n.version, &n.model, &n.name})
            if (field->find('\n') != std::string::npos || field->size() > size)
                std::abort();
        for (const std::string* field : {&n.type, &n.address, &n.version, &n.model})
            if (field->find(' ') != std::string::npos || field->find('|') != std::string::npos)
                std::abort();
        if (n.name.find('\r') != std::string::npos)
            std::abort();
    }
    return 0;
}
