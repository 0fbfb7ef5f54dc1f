#include "report/TarGz.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace vireo {

namespace {

constexpr size_t kBlock = 512;
constexpr size_t kStoredMax = 65535; // the most bytes one stored deflate block holds

bool IsSafeEntryName(const std::string& name) {
    if (name.empty() || name.size() > 99 || name.front() == '/')
        return false;
    for (const unsigned char c : name)
        if (c < 0x20 || c == 0x7F)
            return false;
    size_t start = 0;
    while (start <= name.size()) {
        const size_t end = std::min(name.find('/', start), name.size());
        const std::string_view part(name.data() + start, end - start);
        if (part.empty() || part == "." || part == "..")
            return false;
        start = end + 1;
    }
    return true;
}

// An octal field of width bytes: width - 1 digits with leading zeros, then a NUL.
void Octal(char* field, size_t width, uint64_t value) {
    for (size_t i = width - 1; i-- > 0; value >>= 3)
        field[i] = static_cast<char>('0' + (value & 7));
    field[width - 1] = '\0';
}

std::array<char, kBlock> Header(const std::string& name, size_t size, int64_t mtime) {
    std::array<char, kBlock> h{};
    std::memcpy(h.data(), name.data(), name.size());
    Octal(&h[100], 8, 0644);
    Octal(&h[108], 8, 0);
    Octal(&h[116], 8, 0);
    Octal(&h[124], 12, size);
    Octal(&h[136], 12, static_cast<uint64_t>(mtime < 0 ? 0 : mtime));
    h[156] = '0';
    std::memcpy(&h[257], "ustar", 6);
    std::memcpy(&h[263], "00", 2);
    // The checksum is taken with its own field as eight spaces.
    std::memset(&h[148], ' ', 8);
    unsigned sum = 0;
    for (const char c : h)
        sum += static_cast<unsigned char>(c);
    Octal(&h[148], 7, sum);
    h[155] = ' ';
    return h;
}

void PutLittleEndian(std::string& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

} // namespace

uint32_t Crc32(std::string_view bytes) {
    uint32_t crc = 0xFFFFFFFFu;
    for (const unsigned char b : bytes) {
        crc ^= b;
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

bool CTarGzWriter::AddFile(const std::string& name, std::string_view content, int64_t mtime) {
    if (!IsSafeEntryName(name))
        return false;
    const auto header = Header(name, content.size(), mtime);
    m_tar.append(header.data(), header.size());
    m_tar.append(content);
    m_tar.append((kBlock - content.size() % kBlock) % kBlock, '\0');
    return true;
}

std::string CTarGzWriter::Finish() const {
    std::string tar = m_tar;
    tar.append(2 * kBlock, '\0');
    // gzip member: magic, deflate, no flags, no time, no extra flags, unknown system.
    std::string out("\x1F\x8B\x08\x00\x00\x00\x00\x00\x00\xFF", 10);
    for (size_t at = 0; at < tar.size(); at += kStoredMax) {
        const size_t length = std::min(kStoredMax, tar.size() - at);
        out.push_back(at + length == tar.size() ? '\x01' : '\x00'); // last block or not
        PutLittleEndian(out, static_cast<uint32_t>(length), 2);
        PutLittleEndian(out, static_cast<uint32_t>(~length & 0xFFFF), 2);
        out.append(tar, at, length);
    }
    PutLittleEndian(out, Crc32(tar), 4);
    PutLittleEndian(out, static_cast<uint32_t>(tar.size()), 4);
    return out;
}

} // namespace vireo
