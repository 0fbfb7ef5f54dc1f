// A .tar.gz archive built in memory: POSIX ustar entries, wrapped in a gzip stream. The
// deflate data is written as stored blocks, so no compression library is needed on any
// platform; every tar and gzip reader opens it. Meant for small bundles (reports of a few
// megabytes at most).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vireo {

class CTarGzWriter {
public:
    // Adds a regular file (mode 0644) with the given time stamp (seconds since 1970). A name
    // longer than 99 bytes, or holding ".." parts, a leading "/" or a control byte, is refused.
    bool AddFile(const std::string& name, std::string_view content, int64_t mtime);
    // The whole archive: the tar stream with its end blocks, gzip-wrapped.
    std::string Finish() const;

private:
    std::string m_tar;
};

// The CRC-32 of gzip (and zip), polynomial 0xEDB88320.
uint32_t Crc32(std::string_view bytes);

} // namespace vireo
