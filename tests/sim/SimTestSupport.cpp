#include "SimTestSupport.h"

#include <cerrno>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <poll.h>
#include <unistd.h>

#include "sim/LineRate.h"

namespace vireo::sim::testing {

std::string SampleDir() {
    return VIREO_SIM_SAMPLE_DIR;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

SimConfig FastConfig() {
    SimConfig c;
    c.dataDir = SampleDir();
    char tmpl[] = "/tmp/vireo-sim-test-XXXXXX";
    const char* dir = mkdtemp(tmpl);
    c.portDir = dir ? dir : "/tmp";
    c.timing.guardTimeMs = 100;
    c.timing.unknownAddressMs = 200;
    c.timing.scanDelayMs = 50;
    c.timing.restartMs = 30;
    return c;
}

bool Line::Open(const std::string& path, int rate) {
    Close();
    fd_ = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    return fd_ >= 0 && SetRawLineRate(fd_, rate);
}

void Line::Close() {
    if (fd_ >= 0)
        close(fd_);
    fd_ = -1;
}

bool Line::Write(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = write(fd_, bytes.data(), bytes.size());
        pollfd p{fd_, POLLOUT, 0};
        if (n < 0 && errno != EINTR && (errno != EAGAIN || poll(&p, 1, 5000) <= 0))
            return false;
        if (n > 0)
            bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

bool Line::ReadUntilDone(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        pollfd p{fd_, POLLIN, 0};
        char buf[4096];
        ssize_t n =
            poll(&p, 1, static_cast<int>(left.count())) > 0 ? read(fd_, buf, sizeof buf) : 0;
        if (n > 0)
            text_.append(buf, static_cast<std::size_t>(n));
    }
    return true;
}

bool Line::ReadUntil(std::string_view text, std::chrono::milliseconds timeout) {
    return ReadUntilDone([&] { return text_.find(text) != std::string::npos; }, timeout);
}

void Line::ReadFor(std::chrono::milliseconds duration) {
    ReadUntilDone([] { return false; }, duration);
}

std::string Line::Take() {
    std::string t;
    t.swap(text_);
    return t;
}

std::string Line::Command(std::string_view command, std::chrono::milliseconds timeout) {
    text_.clear();
    Write(command);
    ReadUntilDone(
        [&] {
            return text_.find("OK\r\n") != std::string::npos ||
                   text_.find("ERROR\r\n") != std::string::npos;
        },
        timeout);
    return Take();
}

} // namespace vireo::sim::testing
