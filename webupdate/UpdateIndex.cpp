#include "webupdate/UpdateIndex.h"

#include <algorithm>

namespace vireo {

namespace {

constexpr char kMarker[] = "TOLK\n";

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0 && text.size() >= prefix.size();
}

} // namespace

bool PrepareIndex(std::string& text) {
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    return text.compare(0, 5, kMarker) == 0;
}

std::vector<std::string> IndexLines(const std::string& prepared) {
    std::vector<std::string> lines;
    const std::string text = prepared.substr(0, prepared.find('\0'));
    if (text.size() < 5)
        return lines;
    size_t at = 5;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        if (end > at)
            lines.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    return lines;
}

bool IsSafeLocalName(const std::string& name) {
    size_t start = 0; // of the current component
    for (size_t i = 0; i <= name.size(); ++i) {
        const bool end = i == name.size() || name[i] == '/' || name[i] == '\\';
        if (!end) {
            const auto c = static_cast<unsigned char>(name[i]);
            if (c == ':' || c < 0x20 || c == 0x7F)
                return false;
            continue;
        }
        const std::string_view part(name.data() + start, i - start);
        if (part.empty() || part == "." || part == "..")
            return false; // also refuses a leading separator: an absolute path
        start = i + 1;
    }
    return true;
}

bool SplitFirmwareLine(const std::string& line, FirmwareLine& out) {
    const size_t first = line.find(':');
    if (first == std::string::npos)
        return false;
    const size_t second = line.find(':', first + 1);
    if (second == std::string::npos || second + 1 == line.size())
        return false;
    out.product = line.substr(0, first);
    out.version = line.substr(first + 1, second - first - 1);
    out.fileName = line.substr(second + 1);
    return true;
}

FirmwareOffer FindNewFirmware(const std::vector<std::string>& lines, const std::string& product,
                              const std::string& currentVersion) {
    FirmwareOffer offer;
    bool currentListed = false;
    for (const std::string& text : lines) {
        FirmwareLine line;
        if (!StartsWith(text, product) || !SplitFirmwareLine(text, line))
            continue;
        if (StartsWith(line.version, currentVersion)) {
            currentListed = true;
        } else if (!currentListed) {
            offer.available = true;
            offer.version = line.version;
            offer.fileName = line.fileName;
        }
    }
    if (currentListed)
        return {};
    return offer;
}

} // namespace vireo
