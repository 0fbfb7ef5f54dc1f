// A batch of 20 remote updates the way the Firmware Update page runs it: CRemoteBatch driven
// by its timer rule (first tick after 100 ms, then every 5 s while devices are left), each
// device brought into its bootloader through the local module and sent a small image by the
// transfer worker, into the in-process simulator (paced, 115200 baud, default radio delays).
//
// Figures: the whole batch (total_s) against its floor (floor_s: per device the fixed pauses
// of the bootloader entry, 9.1 s, plus the blocks at the line rate with the radio's answer
// delay each); the gap between a device's end and the start of the next one (gap_max_s,
// gap_mean_s), which the timer rule bounds by one tick interval (5 s); and the share of the
// total spent in such gaps (gap_share).
//
//   build/bin/remote_batch_bench
#include "app/ManagerCore.h"
#include "firmware/BootloaderEntry.h"
#include "firmware/RemoteBatch.h"
#include "firmware/TransferWorker.h"
#include "sim/FirmwareImage.h"
#include "sim/Simulator.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
using Seconds = std::chrono::duration<double>;

constexpr int kDevices = 20;
constexpr int kImageBytes = 4096; // 32 blocks
constexpr double kByteTime = 10.0 / 115200.0;
constexpr double kEntryPauses = 0.1 + 2.0 + 5.0 + 2.0;

class NullView : public ITransferView {
public:
    void SetStatus(const std::string&) override {}
    void SetProgress(int) override {}
};

std::string TempDir() {
    char tmpl[] = "/tmp/vireo-remote-bench-XXXXXX";
    const char* d = mkdtemp(tmpl);
    return d ? d : "/tmp";
}

// The page's timer and its queued device endings, on one thread.
class BatchDriver {
public:
    BatchDriver(CManagerCore& manager, std::string image) : m_manager(manager), m_image(image) {
        BuildCrcTable(m_table);
    }

    bool Run(std::vector<CRemoteBatch::Device> devices) {
        m_batch.Begin(std::move(devices));
        auto nextTick = Clock::now() + std::chrono::milliseconds(CRemoteBatch::kFirstTickMs);
        bool ticking = true;
        while (!m_batch.Finished() || ticking) {
            std::unique_lock<std::mutex> guard(m_lock);
            if (ticking)
                m_wake.wait_until(guard, nextTick, [this] { return m_ended; });
            else
                m_wake.wait(guard, [this] { return m_ended; });
            if (m_ended) {
                m_ended = false;
                const bool ok = m_ok;
                guard.unlock();
                m_lastEnd = Clock::now();
                m_failed += ok ? 0 : 1;
                m_batch.DeviceEnded(ok, "Transmit error.");
                continue;
            }
            guard.unlock();
            if (!ticking)
                continue;
            const int next = m_batch.Tick(
                false, [this](const CRemoteBatch::Device& d, bool) { return StartDevice(d); });
            ticking = next > 0;
            nextTick = Clock::now() + std::chrono::milliseconds(next);
            if (!ticking && m_batch.Finished())
                break;
        }
        return m_failed == 0;
    }

    std::vector<double> gaps;

private:
    bool StartDevice(const CRemoteBatch::Device& device) {
        if (m_lastEnd != Clock::time_point{})
            gaps.push_back(Seconds(Clock::now() - m_lastEnd).count());
        if (!EnterRemoteBootloader(m_manager, false, device.address))
            return false;
        TransferSettings settings;
        settings.variant = TransferVariant::Remote;
        settings.filePath = m_image;
        settings.crcTable = &m_table;
        settings.reply = m_manager.m_strReply;
        return m_worker.Start(m_manager.m_serial, m_view, settings,
                              [this](const TransferOutcome& outcome) {
                                  std::lock_guard<std::mutex> guard(m_lock);
                                  m_ended = true;
                                  m_ok = outcome.result == TransferResult::Completed;
                                  m_wake.notify_all();
                              });
    }

    CManagerCore& m_manager;
    std::string m_image;
    CrcTable m_table{};
    CRemoteBatch m_batch;
    CTransferWorker m_worker;
    NullView m_view;
    std::mutex m_lock;
    std::condition_variable m_wake;
    bool m_ended = false, m_ok = false;
    int m_failed = 0;
    Clock::time_point m_lastEnd{};
};

void RemoteBatchOfTwenty(benchmark::State& state) {
    const std::string dir = TempDir();
    setenv("VIREO_PORT_DIR", dir.c_str(), 1);
    const std::string image = dir + "/image.ebl";
    std::ofstream(image, std::ios::binary) << vireo::sim::BuildImage(
        "KA40", "v1.0.2", std::string(kImageBytes - vireo::sim::kImageHeaderSize, 'x'));
    vireo::sim::SimConfig config;
    config.baudRate = 115200;
    config.pacing = true;
    config.portDir = dir;
    config.dataDir = std::filesystem::canonical("/proc/self/exe").parent_path().string();
    for (int i = 0; i < kDevices; ++i)
        config.remotes.push_back(vireo::sim::RemoteConfig{});
    vireo::sim::Simulator sim(config);
    if (!sim.Start()) {
        state.SkipWithError("the simulator did not start");
        return;
    }
    const double blocks = kImageBytes / 128.0;
    const double perBlock = 134 * kByteTime + config.timing.radioBlockMs / 1000.0 + 0.001;
    const double floor = kDevices * (kEntryPauses + blocks * perBlock);
    for (auto _ : state) {
        CManagerCore manager;
        manager.m_strPortName = "COM" + std::to_string(sim.ComNumber());
        manager.m_nBaudRate = 115200;
        manager.OnOpen();
        if (manager.m_bPortOpen != 1) {
            state.SkipWithError("no connection to the simulator");
            return;
        }
        std::vector<CRemoteBatch::Device> devices;
        for (int i = 0; i < kDevices; ++i)
            devices.push_back({i, sim.Remote(static_cast<size_t>(i)).Eui()});
        BatchDriver driver(manager, image);
        const auto t0 = Clock::now();
        const bool ok = driver.Run(std::move(devices));
        const double total = Seconds(Clock::now() - t0).count();
        manager.ShutdownLink();
        if (!ok || sim.CompletedTransfers() < kDevices) {
            state.SkipWithError("a device failed");
            return;
        }
        double gapSum = 0, gapMax = 0;
        for (double g : driver.gaps) {
            gapSum += g;
            gapMax = std::max(gapMax, g);
        }
        state.SetIterationTime(total);
        state.counters["total_s"] = total;
        state.counters["floor_s"] = floor;
        state.counters["floor_ratio"] = total / floor;
        state.counters["gap_max_s"] = gapMax;
        state.counters["gap_mean_s"] = driver.gaps.empty() ? 0 : gapSum / driver.gaps.size();
        state.counters["gap_share"] = gapSum / total;
    }
}
BENCHMARK(RemoteBatchOfTwenty)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

} // namespace

BENCHMARK_MAIN();
