// Figures of the simulated module.
//
//  - PacedSxUpload: lrzsz's sx sends a 256 KiB file (128-byte blocks) to the bootloader of a
//    module with pacing at 115200 baud. The line's XMODEM-CRC limit is 128 data bytes per
//    133 bytes out and 1 byte back: 11520 * 128 / 134 bytes/s. Reported: bytes/s and the
//    share of that limit reached (line_share, the figure must be at least 0.95).
//  - ReceiverThroughput: without pacing, blocks go through the pty into the receiver as
//    fast as the sender can write them (stop-and-wait with 128- and 1024-byte blocks, and
//    128-byte blocks streamed without waiting). The figure: at least 2 MB/s.
//  - IdleVireoSim: the vireo-sim executable with 300 remote modules, idle for 10 s: CPU
//    share of one core (idle_cpu, must stay under 0.01) and peak resident memory
//    (peak_rss_mb, under 30).
#include <benchmark/benchmark.h>

#include <atomic>
#include <sstream>
#include <vector>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "sim/FirmwareImage.h"
#include "sim/LineRate.h"
#include "sim/Simulator.h"

namespace {

using namespace std::chrono_literals;
using vireo::sim::SimConfig;
using vireo::sim::Simulator;

std::string TempDir() {
    char tmpl[] = "/tmp/vireo-sim-bench-XXXXXX";
    const char* d = mkdtemp(tmpl);
    return d ? d : "/tmp";
}

SimConfig BootloaderConfig(bool pacing) {
    SimConfig c;
    c.damaged = true; // straight into the bootloader at 115200
    c.pacing = pacing;
    c.dataDir = VIREO_SIM_SAMPLE_DIR;
    c.portDir = TempDir();
    c.timing.startSignalIntervalMs = 1000;
    return c;
}

bool WaitFor(int fd, std::string_view text, std::chrono::milliseconds timeout) {
    std::string got;
    auto end = std::chrono::steady_clock::now() + timeout;
    while (got.find(text) == std::string::npos) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left.count())) <= 0)
            continue;
        char buf[512];
        ssize_t n = read(fd, buf, sizeof buf);
        if (n > 0)
            got.append(buf, static_cast<std::size_t>(n));
    }
    return true;
}

int OpenLine(const std::string& path, int rate) {
    int fd = open(path.c_str(), O_RDWR | O_NOCTTY);
    if (fd >= 0)
        vireo::sim::SetRawLineRate(fd, rate);
    return fd;
}

void PacedSxUpload(benchmark::State& state) {
    const std::size_t size = 256 * 1024;
    const std::string file = TempDir() + "/upload.bin";
    {
        std::string data(size, '\0');
        for (std::size_t i = 0; i < size; ++i)
            data[i] = static_cast<char>((i * 2654435761u) >> 13);
        std::ofstream(file, std::ios::binary)
            .write(data.data(), static_cast<std::streamsize>(size));
    }
    for (auto _ : state) {
        Simulator sim(BootloaderConfig(true));
        if (!sim.Start()) {
            state.SkipWithError("simulator did not start");
            return;
        }
        int fd = OpenLine(sim.SlavePath(), 115200);
        [[maybe_unused]] auto w = write(fd, "1", 1);
        // Leave the "C" on the line for sx, which would otherwise wait for the next one.
        if (!sim.WaitForSent("C", 5s)) {
            state.SkipWithError("no start signal");
            return;
        }
        auto t0 = std::chrono::steady_clock::now();
        pid_t pid = fork();
        if (pid == 0) {
            int s = open(sim.SlavePath().c_str(), O_RDWR | O_NOCTTY);
            dup2(s, 0);
            dup2(s, 1);
            int null = open("/dev/null", O_WRONLY);
            dup2(null, 2);
            execlp("sx", "sx", file.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        close(fd);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("sx failed (is lrzsz installed?)");
            return;
        }
        state.SetIterationTime(seconds);
        const double limit = 11520.0 * 128.0 / 134.0;
        state.counters["bytes_per_s"] = static_cast<double>(size) / seconds;
        state.counters["line_share"] = static_cast<double>(size) / seconds / limit;
        // The transfer proper, from the first block to the EOT, without sx's start-up (it
        // discards the waiting "C" and waits for the next one).
        std::chrono::microseconds first{-1}, eot{-1};
        for (const auto& e : sim.ByteLog()) {
            if (!e.toModule)
                continue;
            if (first.count() < 0 && !e.bytes.empty() && e.bytes[0] == 0x01)
                first = e.at;
            if (e.bytes.find('\x04') != std::string::npos)
                eot = e.at;
        }
        if (first.count() >= 0 && eot > first) {
            double transfer = std::chrono::duration<double>(eot - first).count();
            state.counters["line_share_transfer"] = static_cast<double>(size) / transfer / limit;
        }
        state.counters["image_ok"] = sim.LastImage().size() >= size ? 1 : 0;
    }
}
BENCHMARK(PacedSxUpload)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

std::string Block(unsigned ordinal, std::size_t size) {
    std::string b(size + 5, '\0');
    b[0] = size == 1024 ? 0x02 : 0x01;
    b[1] = static_cast<char>(ordinal & 0xFF);
    b[2] = static_cast<char>(~ordinal & 0xFF);
    for (std::size_t i = 0; i < size; ++i)
        b[3 + i] = static_cast<char>(ordinal + i * 31);
    auto crc = vireo::sim::Crc16Xmodem(reinterpret_cast<const std::uint8_t*>(b.data() + 3), size);
    b[3 + size] = static_cast<char>(crc >> 8);
    b[4 + size] = static_cast<char>(crc & 0xFF);
    return b;
}

void WriteAll(int fd, const std::string& s) {
    std::size_t off = 0;
    while (off < s.size()) {
        ssize_t n = write(fd, s.data() + off, s.size() - off);
        if (n > 0)
            off += static_cast<std::size_t>(n);
        else if (n < 0 && errno != EAGAIN && errno != EINTR)
            return;
    }
}

// range(0): block size; range(1): 1 = wait for each ACK, 0 = stream the blocks.
void ReceiverThroughput(benchmark::State& state) {
    const std::size_t blockSize = static_cast<std::size_t>(state.range(0));
    const bool stopAndWait = state.range(1) == 1;
    const std::size_t total = 8u << 20;
    const unsigned blocks = static_cast<unsigned>(total / blockSize);
    std::vector<std::string> prepared;
    for (unsigned i = 1; i <= 256; ++i)
        prepared.push_back(Block(i, blockSize));
    for (auto _ : state) {
        SimConfig c = BootloaderConfig(false);
        c.recordLimit = 1u << 20;
        Simulator sim(c);
        if (!sim.Start()) {
            state.SkipWithError("simulator did not start");
            return;
        }
        int fd = OpenLine(sim.SlavePath(), 115200);
        [[maybe_unused]] auto w = write(fd, "1", 1);
        if (!WaitFor(fd, "C", 5s)) {
            state.SkipWithError("no start signal");
            return;
        }
        std::thread drain;
        std::atomic<bool> stop{false};
        auto t0 = std::chrono::steady_clock::now();
        if (stopAndWait) {
            for (unsigned i = 1; i <= blocks; ++i) {
                WriteAll(fd, prepared[(i - 1) % 256]);
                char a = 0;
                do {
                    pollfd p{fd, POLLIN, 0};
                    if (poll(&p, 1, 5000) <= 0 || read(fd, &a, 1) != 1) {
                        state.SkipWithError("no answer to a block");
                        return;
                    }
                } while (a != 0x06);
            }
        } else {
            // The answers are read by a second thread so that the line never backs up.
            drain = std::thread([fd, &stop] {
                char buf[4096];
                while (!stop) {
                    pollfd p{fd, POLLIN, 0};
                    if (poll(&p, 1, 50) > 0) [[maybe_unused]]
                        auto n = read(fd, buf, sizeof buf);
                }
            });
            for (unsigned i = 1; i <= blocks; ++i)
                WriteAll(fd, prepared[(i - 1) % 256]);
        }
        WriteAll(fd, "\x04");
        bool done = sim.WaitForSent("omplete", 60s);
        double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        stop = true;
        if (drain.joinable())
            drain.join();
        close(fd);
        if (!done || sim.LastImage().size() != static_cast<std::size_t>(blocks) * blockSize) {
            state.SkipWithError("transfer incomplete");
            return;
        }
        state.SetIterationTime(seconds);
        state.counters["MB_per_s"] = static_cast<double>(total) / seconds / 1e6;
    }
}
BENCHMARK(ReceiverThroughput)
    ->Args({128, 1})
    ->Args({1024, 1})
    ->Args({128, 0})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

std::string ProgramDir() {
    char buf[4096];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    std::string p(buf, n > 0 ? static_cast<std::size_t>(n) : 0);
    return p.substr(0, p.rfind('/') + 1);
}

double CpuSeconds(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string s((std::istreambuf_iterator<char>(in)), {});
    auto close = s.rfind(')');
    if (close == std::string::npos)
        return 0;
    std::istringstream rest(s.substr(close + 2));
    std::string field;
    double utime = 0, stime = 0;
    for (int i = 3; i <= 15 && rest >> field; ++i) {
        if (i == 14)
            utime = std::stod(field);
        if (i == 15)
            stime = std::stod(field);
    }
    return (utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

double PeakRssMb(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stod(line.substr(6)) / 1024.0;
    return 0;
}

void IdleVireoSim(benchmark::State& state) {
    const std::string exe = ProgramDir() + "vireo-sim";
    const std::string portDir = TempDir();
    for (auto _ : state) {
        int out[2];
        if (pipe(out) != 0)
            return;
        pid_t pid = fork();
        if (pid == 0) {
            dup2(out[1], 1);
            execl(exe.c_str(), exe.c_str(), "--remotes", "300", "--port-dir", portDir.c_str(),
                  "--data-dir", VIREO_SIM_SAMPLE_DIR, static_cast<char*>(nullptr));
            _exit(127);
        }
        close(out[1]);
        char buf[256];
        ssize_t n = read(out[0], buf, sizeof buf); // the slave path: started
        if (n <= 0) {
            state.SkipWithError("vireo-sim did not start");
            return;
        }
        double cpu0 = CpuSeconds(pid);
        auto t0 = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(10s);
        double cpu = CpuSeconds(pid) - cpu0;
        double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        state.counters["idle_cpu"] = cpu / wall;
        state.counters["peak_rss_mb"] = PeakRssMb(pid);
        kill(pid, SIGTERM);
        int status = 0;
        waitpid(pid, &status, 0);
        close(out[0]);
        state.counters["clean_exit"] = WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 1 : 0;
        state.SetIterationTime(wall);
    }
}
BENCHMARK(IdleVireoSim)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

} // namespace

BENCHMARK_MAIN();
