// Fuzz target of the update server's index files: a prepared index holds no carriage
// return, its lines are non-empty and single, a name taken as safe is relative and has no
// ".." part (so it cannot leave the program directory), and an offered firmware names a file.
#include "webupdate/UpdateIndex.h"

#include <cstdint>
#include <cstdlib>

namespace {

// Relative, and no part is "..", "." or empty, whichever of "/" and "\\" separates them.
bool StaysInside(const std::string& name) {
    std::string part;
    for (size_t i = 0; i <= name.size(); ++i) {
        if (i < name.size() && name[i] != '/' && name[i] != '\\') {
            if (name[i] == '\0' || name[i] == ':')
                return false;
            part += name[i];
            continue;
        }
        if (part.empty() || part == "." || part == "..")
            return false;
        part.clear();
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    std::string text(reinterpret_cast<const char*>(bytes), size);
    const bool marked = vireo::PrepareIndex(text);
    if (text.find('\r') != std::string::npos)
        std::abort();
    if (!marked)
        return 0;
    const std::vector<std::string> lines = vireo::IndexLines(text);
    for (const std::string& line : lines) {
        if (line.empty() || line.find('\n') != std::string::npos)
            std::abort();
        if (vireo::IsSafeLocalName(line) && !StaysInside(line))
            std::abort();
        vireo::FirmwareLine parts;
        if (vireo::SplitFirmwareLine(line, parts) && parts.fileName.empty())
            std::abort();
    }
    const std::string product = lines.empty() ? "KA40" : lines.front().substr(0, 4);
    const vireo::FirmwareOffer offer = vireo::FindNewFirmware(lines, product, "v1.1.0");
    if (offer.available && offer.fileName.empty())
        std::abort();
    return 0;
}
