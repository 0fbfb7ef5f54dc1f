#include "webupdate/ReplacingFile.h"

#include <cerrno>
#include <cstdio>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace vireo {

namespace {

std::FILE* CreateExclusive(const std::string& path) {
#ifdef _WIN32
    const int fd = _open(path.c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, 0666);
    return fd < 0 ? nullptr : _fdopen(fd, "wb");
#else
    const int fd = open(path.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
    if (fd < 0)
        return nullptr;
    std::FILE* file = fdopen(fd, "wb");
    if (!file)
        close(fd);
    return file;
#endif
}

bool RenameOver(const std::string& from, const std::string& to, unsigned long& error) {
#ifdef _WIN32
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING))
        return true;
    error = GetLastError();
    return false;
#else
    if (std::rename(from.c_str(), to.c_str()) == 0)
        return true;
    error = static_cast<unsigned long>(errno);
    return false;
#endif
}

} // namespace

bool CReplacingFile::Create(const std::string& target) {
    Discard();
    m_target = target;
    // The name of the first free "<target>.partN"; one already there (a crashed run's, or a
    // second download of the same file) is left alone.
    for (int n = 0; n < 100; ++n) {
        const std::string candidate = target + ".part" + std::to_string(n);
        errno = 0;
        m_file = CreateExclusive(candidate);
        if (m_file) {
            // Chunks come in 1 KiB: gather them into larger writes.
            std::setvbuf(m_file, nullptr, _IOFBF, 64 * 1024);
            m_tempPath = candidate;
            return true;
        }
        if (errno != EEXIST)
            break;
    }
    m_lastError = static_cast<unsigned long>(errno);
    return false;
}

bool CReplacingFile::Write(const char* data, size_t size) {
    if (!m_file)
        return false;
    if (std::fwrite(data, 1, size, m_file) == size)
        return true;
    m_lastError = static_cast<unsigned long>(errno);
    return false;
}

bool CReplacingFile::Commit() {
    if (!m_file)
        return false;
    const bool flushed = std::fflush(m_file) == 0;
    if (!flushed)
        m_lastError = static_cast<unsigned long>(errno);
    const bool closed = std::fclose(m_file) == 0;
    m_file = nullptr;
    if (flushed && !closed)
        m_lastError = static_cast<unsigned long>(errno);
    if (!flushed || !closed || !RenameOver(m_tempPath, m_target, m_lastError)) {
        std::remove(m_tempPath.c_str());
        m_tempPath.clear();
        return false;
    }
    m_tempPath.clear();
    return true;
}

void CReplacingFile::Discard() {
    if (m_file) {
        std::fclose(m_file);
        m_file = nullptr;
    }
    if (!m_tempPath.empty()) {
        std::remove(m_tempPath.c_str());
        m_tempPath.clear();
    }
}

} // namespace vireo
