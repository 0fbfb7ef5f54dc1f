// Fuzz target of the construct-file parser: parses the input for the local and for a remote
// device, builds the group table, and checks what every parse must keep whatever the input:
// counts within their limits, every field zero-terminated, every command ending in "\r\n",
// and every group table entry referring to a text of the records (or the read-failure text).
#include "config/ConstructFile.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string_view>

namespace {

void Require(bool condition) {
    if (!condition)
        std::abort();
}

template <size_t N> void RequireTerminated(const char (&field)[N]) {
    Require(std::memchr(field, '\0', N) != nullptr);
}

bool Inside(const char* p, const char* begin, size_t size) {
    const std::less<const char*> less;
    return !less(p, begin) && less(p, begin + size);
}

void RequireSound(const CConstructData& data) {
    Require(data.m_nParams >= 0 && data.m_nParams <= kMaxParams);
    Require(data.m_nGroups >= 0 && data.m_nGroups <= kMaxGroupRows);
    for (int i = 0; i < kMaxParams; ++i) {
        const ConfigParam& p = data.m_params[i];
        RequireTerminated(p.group);
        RequireTerminated(p.name);
        RequireTerminated(p.choiceList);
        RequireTerminated(p.valueList);
        RequireTerminated(p.rangeMin);
        RequireTerminated(p.rangeMax);
        RequireTerminated(p.description);
        RequireTerminated(p.command);
        if (i < data.m_nParams) {
            const size_t n = std::strlen(p.command);
            Require(n >= 2 && n <= kMaxCommandChars + 2 && p.command[n - 2] == '\r' &&
                    p.command[n - 1] == '\n');
        } else {
            Require(p.group[0] == '\0' && p.command[0] == '\0' && p.type == PT_NONE);
        }
    }
    for (int row = 0; row < kMaxGroupRows; ++row) {
        for (const char* entry : data.m_groupTable[row]) {
            if (!entry)
                continue;
            bool known = entry == kConstructReadFailText;
            for (int i = 0; i < data.m_nParams && !known; ++i) {
                const ConfigParam& p = data.m_params[i];
                known =
                    Inside(entry, p.group, sizeof p.group) || Inside(entry, p.name, sizeof p.name);
            }
            Require(known);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    // One object for every run: it is about 3 MB.
    static const auto data = std::make_unique<CConstructData>();
    const std::string_view text(reinterpret_cast<const char*>(bytes), size);
    for (const bool remote : {false, true}) {
        data->ClearGroupTable();
        data->ParseConstructText(text, remote);
        data->BuildGroupTable();
        RequireSound(*data);
    }
    return 0;
}
