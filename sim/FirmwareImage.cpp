#include "sim/FirmwareImage.h"

#include <array>
#include <cstdio>
#include <cstdlib>

namespace vireo::sim {
namespace {

constexpr std::string_view kMagic = "VIREO-FW 1\n";

std::array<std::uint32_t, 256> MakeCrc32Table() {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t c = i;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        t[i] = c;
    }
    return t;
}

std::array<std::uint16_t, 256> MakeCrc16Table() {
    std::array<std::uint16_t, 256> t{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t v = i << 8;
        for (int k = 0; k < 8; ++k) {
            v <<= 1;
            if (v & 0x10000)
                v ^= 0x1021;
        }
        t[i] = static_cast<std::uint16_t>(v & 0xFFFF);
    }
    return t;
}

const auto kCrc32Table = MakeCrc32Table();
const auto kCrc16Table = MakeCrc16Table();

std::string_view HeaderValue(std::string_view header, std::string_view key) {
    std::size_t pos = 0;
    while (pos < header.size()) {
        auto end = header.find('\n', pos);
        if (end == std::string_view::npos)
            end = header.size();
        std::string_view line = header.substr(pos, end - pos);
        if (line.size() > key.size() && line.substr(0, key.size()) == key &&
            line[key.size()] == '=')
            return line.substr(key.size() + 1);
        pos = end + 1;
    }
    return {};
}

bool ParseUnsigned(std::string_view text, int base, unsigned long long* out) {
    if (text.empty() || text.size() > 16)
        return false;
    unsigned long long v = 0;
    for (char c : text) {
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (base == 16 && c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else if (base == 16 && c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else
            return false;
        v = v * static_cast<unsigned>(base) + static_cast<unsigned>(d);
    }
    *out = v;
    return true;
}

} // namespace

std::uint32_t Crc32(std::string_view data) {
    std::uint32_t c = 0xFFFFFFFFu;
    for (unsigned char b : data)
        c = kCrc32Table[(c ^ b) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

std::uint16_t Crc16Xmodem(const std::uint8_t* data, std::size_t n) {
    std::uint16_t crc = 0;
    for (std::size_t i = 0; i < n; ++i)
        crc = static_cast<std::uint16_t>(kCrc16Table[((crc >> 8) ^ data[i]) & 0xFF] ^ (crc << 8));
    return crc;
}

bool IsVersionText(std::string_view v) {
    if (v.size() < 2 || v.size() > 20 || v[0] != 'v')
        return false;
    bool lastDot = true;
    for (std::size_t i = 1; i < v.size(); ++i) {
        if (v[i] == '.') {
            if (lastDot)
                return false;
            lastDot = true;
        } else if (v[i] >= '0' && v[i] <= '9') {
            lastDot = false;
        } else {
            return false;
        }
    }
    return !lastDot;
}

ImageInfo InspectImage(std::string_view image) {
    ImageInfo info;
    if (image.size() < kImageHeaderSize || image.substr(0, kMagic.size()) != kMagic)
        return info;
    std::string_view header = image.substr(0, kImageHeaderSize);
    if (auto z = header.find('\0'); z != std::string_view::npos)
        header = header.substr(0, z);
    info.model = std::string(HeaderValue(header, "model"));
    info.version = std::string(HeaderValue(header, "version"));
    unsigned long long size = 0, crc = 0;
    bool sizeOk = ParseUnsigned(HeaderValue(header, "size"), 10, &size);
    bool crcOk = ParseUnsigned(HeaderValue(header, "crc32"), 16, &crc) && crc <= 0xFFFFFFFFull;
    info.headerOk = !info.model.empty() && IsVersionText(info.version) && sizeOk && crcOk;
    if (!info.headerOk)
        return info;
    info.size = static_cast<std::size_t>(size);
    info.crc = static_cast<std::uint32_t>(crc);
    info.payloadOk = image.size() - kImageHeaderSize >= info.size &&
                     Crc32(image.substr(kImageHeaderSize, info.size)) == info.crc;
    return info;
}

bool IsValidImageFor(std::string_view image, std::string_view product, std::string* version) {
    ImageInfo info = InspectImage(image);
    if (!info.headerOk || !info.payloadOk || info.model != product)
        return false;
    if (version)
        *version = info.version;
    return true;
}

std::string BuildImage(std::string_view model, std::string_view version, std::string_view payload) {
    char crc[16];
    std::snprintf(crc, sizeof crc, "%08X", static_cast<unsigned>(Crc32(payload)));
    std::string header = std::string(kMagic) + "model=" + std::string(model) +
                         "\nversion=" + std::string(version) +
                         "\nsize=" + std::to_string(payload.size()) + "\ncrc32=" + crc + "\n";
    header.resize(kImageHeaderSize, '\0');
    return header + std::string(payload);
}

} // namespace vireo::sim
