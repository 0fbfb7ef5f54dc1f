// Writes a file so that a failed, stopped or short write leaves the former file untouched:
// the bytes go to a temporary file beside the target (same directory, so the final rename
// stays on one file system), and only Commit puts it in the target's place.
#pragma once

#include <cstdio>
#include <string>

namespace vireo {

class CReplacingFile {
public:
    CReplacingFile() = default;
    ~CReplacingFile() { Discard(); }
    CReplacingFile(const CReplacingFile&) = delete;
    CReplacingFile& operator=(const CReplacingFile&) = delete;

    // Creates the temporary file for target; false with LastError() set when it cannot.
    bool Create(const std::string& target);
    bool Write(const char* data, size_t size);
    // Flushes, closes and renames over the target; false with LastError() on any failure,
    // in which case the temporary file is removed and the target left as it was.
    bool Commit();
    // Closes and removes the temporary file; the target stays as it was.
    void Discard();

    // The system's error code of the last failure (errno, or GetLastError on Windows).
    unsigned long LastError() const { return m_lastError; }
    const std::string& TempPath() const { return m_tempPath; }

private:
    std::FILE* m_file = nullptr;
    std::string m_target;
    std::string m_tempPath;
    unsigned long m_lastError = 0;
};

} // namespace vireo
