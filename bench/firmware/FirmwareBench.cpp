// Figures of the firmware update.
//
//  - TransferAgainstSx: a 256 KiB image (2048 blocks) into the paced simulated bootloader at
//    115200 baud, from the first block to the EOT, against the line's floor of 2048 times
//    (134 byte times + the 1 ms after each ACK) = 25.9 s (floor_ratio, goal at most 1.02),
//    and against lrzsz's sx sending the same file into the same kind of module (sx_ratio).
//  - LocalUpdateFlow: from "Update" to the end of the re-identification, for the small sample
//    image into vireo-sim (a separate process, paced, 115200), against the fixed sleeps plus
//    the transfer floor (flow_ratio); the manager's CPU share of one core meanwhile
//    (cpu_share, goal under 0.05); and the growth of resident memory over 20 updates in a row
//    (rss_growth_kb).
//
//   build/bin/firmware_bench
#include "app/ManagerCore.h"
#include "firmware/BootloaderEntry.h"
#include "firmware/FirmwareModel.h"
#include "firmware/FirmwareTransfer.h"
#include "firmware/PortTransferLine.h"
#include "sim/FirmwareImage.h"
#include "sim/LineRate.h"
#include "sim/Simulator.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;
using Seconds = std::chrono::duration<double>;

constexpr double kByteTime = 10.0 / 115200.0;
constexpr double kBlockFloor = 134 * kByteTime + 0.001;

std::string TempDir() {
    char tmpl[] = "/tmp/vireo-fw-bench-XXXXXX";
    const char* d = mkdtemp(tmpl);
    return d ? d : "/tmp";
}

std::string ProgramDir() {
    return std::filesystem::canonical("/proc/self/exe").parent_path().string() + "/";
}

class NullView : public ITransferView {
public:
    void SetStatus(const std::string&) override {}
    void SetProgress(int) override {}
};

// Seconds from the first block to the last EOT the module received (image bytes can be 0x04
// too; the closing EOT follows the first one by one answer byte).
double BlockPhase(const vireo::sim::Simulator& sim) {
    std::chrono::microseconds first{-1}, eot{-1};
    for (const auto& e : sim.ByteLog()) {
        if (!e.toModule || e.bytes.empty())
            continue;
        if (first.count() < 0 && e.bytes[0] == 0x01)
            first = e.at;
        if (e.bytes.find('\x04') != std::string::npos)
            eot = e.at;
    }
    return first.count() < 0 || eot < first ? -1 : Seconds(eot - first).count();
}

vireo::sim::SimConfig Bootloader(const std::string& portDir) {
    vireo::sim::SimConfig c;
    c.damaged = true; // in the bootloader at 115200
    c.pacing = true;
    c.portDir = portDir;
    c.dataDir = ProgramDir();
    return c;
}

double OursInto(const std::string& file, const CrcTable& table) {
    const std::string dir = TempDir();
    setenv("VIREO_PORT_DIR", dir.c_str(), 1);
    vireo::sim::Simulator sim(Bootloader(dir));
    if (!sim.Start())
        return -1;
    CSerialPort port;
    if (port.Open(sim.ComNumber(), 115200, 0, 8, 0, 10) != 1)
        return -1;
    port.Write("1");
    CPortTransferLine line(port);
    NullView view;
    TransferSettings settings;
    settings.variant = TransferVariant::Recovery;
    settings.filePath = file;
    settings.crcTable = &table;
    const TransferOutcome outcome = CFirmwareTransfer(line, view).Run(settings);
    port.Close();
    return outcome.result == TransferResult::Completed ? BlockPhase(sim) : -1;
}

double SxInto(const std::string& file) {
    vireo::sim::Simulator sim(Bootloader(TempDir()));
    if (!sim.Start())
        return -1;
    const int fd = open(sim.SlavePath().c_str(), O_RDWR | O_NOCTTY);
    vireo::sim::SetRawLineRate(fd, 115200);
    [[maybe_unused]] auto w = write(fd, "1", 1);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(fd, 0);
        dup2(fd, 1);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 2);
        execlp("sx", "sx", file.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    close(fd);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? BlockPhase(sim) : -1;
}

void TransferAgainstSx(benchmark::State& state) {
    const std::string file = TempDir() + "/image.ebl";
    {
        std::string payload(256 * 1024 - vireo::sim::kImageHeaderSize, '\0');
        for (size_t i = 0; i < payload.size(); ++i)
            payload[i] = static_cast<char>((i * 2654435761u) >> 13);
        std::ofstream(file, std::ios::binary) << vireo::sim::BuildImage("KA40", "v1.2.0", payload);
    }
    CrcTable table;
    BuildCrcTable(table);
    const double floor = 2048 * kBlockFloor;
    for (auto _ : state) {
        const double ours = OursInto(file, table);
        const double sx = SxInto(file);
        if (ours <= 0 || sx <= 0) {
            state.SkipWithError("a transfer failed (is lrzsz installed?)");
            return;
        }
        state.SetIterationTime(ours);
        state.counters["ours_s"] = ours;
        state.counters["floor_s"] = floor;
        state.counters["floor_ratio"] = ours / floor;
        state.counters["sx_s"] = sx;
        state.counters["sx_ratio"] = ours / sx;
    }
}
BENCHMARK(TransferAgainstSx)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

double ProcessCpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

long RssKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atol(line.c_str() + 6);
    return -1;
}

pid_t StartVireoSim(const std::string& portDir) {
    const std::string exe = ProgramDir() + "vireo-sim";
    const std::string data = ProgramDir();
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        execl(exe.c_str(), exe.c_str(), "--baud", "115200", "--pacing", "--port-dir",
              portDir.c_str(), "--data-dir", data.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    for (int i = 0; i < 500 && !std::filesystem::exists(portDir + "/COM1"); ++i)
        std::this_thread::sleep_for(10ms);
    return pid;
}

// One local update the way the page runs it; seconds, or -1.
double LocalUpdate(CManagerCore& manager, const std::string& image, const CrcTable& table) {
    const auto t0 = std::chrono::steady_clock::now();
    if (!EnterLocalBootloader(manager, false))
        return -1;
    CPortTransferLine line(manager.m_serial);
    NullView view;
    TransferSettings settings;
    settings.filePath = image;
    settings.crcTable = &table;
    settings.reply = manager.m_strReply;
    if (CFirmwareTransfer(line, view).Run(settings).result != TransferResult::Completed)
        return -1;
    manager.RefreshAfterFirmwareUpdate();
    return Seconds(std::chrono::steady_clock::now() - t0).count();
}

void LocalUpdateFlow(benchmark::State& state) {
    const std::string dir = TempDir();
    setenv("VIREO_PORT_DIR", dir.c_str(), 1);
    const pid_t sim = StartVireoSim(dir);
    CManagerCore manager;
    manager.m_strPortName = "COM1";
    manager.m_nBaudRate = 115200;
    manager.OnOpen();
    if (manager.m_bPortOpen != 1) {
        state.SkipWithError("no connection to vireo-sim");
        kill(sim, SIGTERM);
        return;
    }
    CrcTable table;
    BuildCrcTable(table);
    const std::string images[] = {ProgramDir() + "KA40_v1.0.2.ebl",
                                  ProgramDir() + "KA40_v1.1.0.ebl"};
    // Fixed sleeps: entry 100 + 2000 + 1000 + 2000 + 2000, transfer 100 + 100 + 100.
    const double fixed = 7.4;
    long rssFirst = -1;
    int n = 0;
    double cpu = 0, wall = 0;
    for (auto _ : state) {
        const std::string& image = images[n++ % 2];
        const double blocks = (std::filesystem::file_size(image) + 127) / 128;
        const double cpu0 = ProcessCpuSeconds();
        const double seconds = LocalUpdate(manager, image, table);
        cpu += ProcessCpuSeconds() - cpu0;
        wall += seconds;
        if (seconds < 0) {
            state.SkipWithError("update failed");
            break;
        }
        state.SetIterationTime(seconds);
        state.counters["flow_ratio"] = seconds / (fixed + blocks * kBlockFloor);
        if (rssFirst < 0)
            rssFirst = RssKb();
    }
    state.counters["cpu_share"] = cpu / wall;
    state.counters["rss_growth_kb"] = static_cast<double>(RssKb() - rssFirst);
    manager.ShutdownLink();
    kill(sim, SIGTERM);
    waitpid(sim, nullptr, 0);
}
BENCHMARK(LocalUpdateFlow)->Iterations(20)->UseManualTime()->Unit(benchmark::kSecond);

} // namespace

BENCHMARK_MAIN();
