#include "SimTestSupport.h"

#include <cerrno>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <poll.h>
#include <unistd.h>

#include "sim/FirmwareImage.h"
#include "sim/LineRate.h"

namespace vireo::sim::testing {

std::string SampleDir() {
    return VIREO_SIM_SAMPLE_DIR;
}

SimConfig FastConfig() {
    SimConfig c;
    c.dataDir = SampleDir();
    char tmpl[] = "/tmp/vireo-sim-test-XXXXXX";
    const char* dir = mkdtemp(tmpl);
    c.portDir = dir ? dir : "/tmp";
    c.timing.guardTimeMs = 100;
    c.timing.sleepAfterMs = 300;
    c.timing.wakeUpMs = 20;
    c.timing.radioDelayMs = 5;
    c.timing.unknownAddressMs = 200;
    c.timing.scanDelayMs = 50;
    c.timing.restartMs = 30;
    c.timing.startSignalIntervalMs = 100;
    c.timing.blockByteTimeoutMs = 300;
    c.timing.radioBlockMs = 2;
    c.timing.cloneStepMs = 20;
    c.timing.cloneSteps = 4;
    return c;
}

Line::~Line() {
    Close();
}

bool Line::Open(const std::string& path, int rate) {
    Close();
    fd_ = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0)
        return false;
    return SetRate(rate);
}

void Line::Close() {
    if (fd_ >= 0)
        close(fd_);
    fd_ = -1;
}

bool Line::SetRate(int rate) {
    return SetRawLineRate(fd_, rate);
}

bool Line::Write(std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t n = write(fd_, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EAGAIN || errno == EINTR) {
                pollfd p{fd_, POLLOUT, 0};
                if (poll(&p, 1, 5000) <= 0)
                    return false;
                continue;
            }
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

bool Line::ReadSome(std::chrono::milliseconds timeout) {
    pollfd p{fd_, POLLIN, 0};
    int r = poll(&p, 1, static_cast<int>(timeout.count()));
    if (r <= 0)
        return false;
    char buf[4096];
    ssize_t n = read(fd_, buf, sizeof buf);
    if (n <= 0)
        return false;
    text_.append(buf, static_cast<std::size_t>(n));
    return true;
}

bool Line::ReadUntil(std::string_view text, std::chrono::milliseconds timeout) {
    auto end = std::chrono::steady_clock::now() + timeout;
    while (text_.find(text) == std::string::npos) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        ReadSome(left);
    }
    return true;
}

void Line::ReadFor(std::chrono::milliseconds duration) {
    auto end = std::chrono::steady_clock::now() + duration;
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return;
        ReadSome(left);
    }
}

int Line::ReadByte(std::chrono::milliseconds timeout) {
    if (text_.empty() && !ReadSome(timeout))
        return -1;
    if (text_.empty())
        return -1;
    int c = static_cast<unsigned char>(text_[0]);
    text_.erase(0, 1);
    return c;
}

std::string Line::Take() {
    std::string t;
    t.swap(text_);
    return t;
}

std::string Line::Command(std::string_view command, std::chrono::milliseconds timeout) {
    text_.clear();
    Write(command);
    auto end = std::chrono::steady_clock::now() + timeout;
    while (text_.find("OK\r\n") == std::string::npos && text_.find("ERROR") == std::string::npos) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            break;
        ReadSome(left);
    }
    return Take();
}

std::string ValueOf(const std::string& reply) {
    auto ok = reply.find("\r\n\r\nOK");
    if (reply.rfind("\r\n", 0) != 0 || ok == std::string::npos)
        return "<no value in: " + reply + ">";
    return reply.substr(2, ok - 2);
}

SendResult SendImageLikeTool(Line& line, const std::string& image,
                             std::chrono::milliseconds blockTimeout,
                             std::chrono::milliseconds startTimeout) {
    SendResult r;
    for (;;) {
        int c = line.ReadByte(startTimeout);
        if (c < 0) {
            r.failure = "no start signal";
            return r;
        }
        if (c == 'C')
            break;
    }
    std::size_t pos = 0;
    unsigned ordinal = 1;
    while (pos < image.size()) {
        std::string block(133, '\x26');
        std::size_t n = std::min<std::size_t>(128, image.size() - pos);
        block.replace(3, n, image, pos, n);
        block[0] = 0x01;
        block[1] = static_cast<char>(ordinal & 0xFF);
        block[2] = static_cast<char>(~ordinal & 0xFF);
        std::uint16_t crc =
            Crc16Xmodem(reinterpret_cast<const std::uint8_t*>(block.data() + 3), 128);
        block[131] = static_cast<char>(crc >> 8);
        block[132] = static_cast<char>(crc & 0xFF);
        bool accepted = false;
        for (int retry = 10; retry >= 0; --retry) {
            line.Write(block);
            int a = line.ReadByte(blockTimeout);
            if (a < 0) {
                r.failure = "no answer to block " + std::to_string(ordinal);
                return r;
            }
            r.answers += static_cast<char>(a);
            if (a == 0x06) {
                accepted = true;
                break;
            }
            line.Take();
        }
        if (!accepted) {
            line.Write("\x18\x18\x18");
            r.failure = "retries exhausted at block " + std::to_string(ordinal);
            return r;
        }
        pos += n;
        ++ordinal;
    }
    line.Write("\x04");
    if (line.ReadByte(5000ms) < 0) {
        r.failure = "no answer to EOT";
        return r;
    }
    line.Write("\x04\r\n");
    r.ok = true;
    return r;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

} // namespace vireo::sim::testing
