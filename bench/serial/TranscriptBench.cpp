// What a traffic transcript costs a firmware transfer: a 256 KiB image (2048 blocks) into the
// paced simulated bootloader at 115200 baud, from the first block to the EOT, once without
// and once with a transcript recording the line (slowdown, goal under 0.02).
//
//   build/bin/transcript_bench
#include "firmware/FirmwareTransfer.h"
#include "firmware/PortTransferLine.h"
#include "serial/SerialPort.h"
#include "serial/Transcript.h"
#include "sim/FirmwareImage.h"
#include "sim/Simulator.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {

using Seconds = std::chrono::duration<double>;

class NullView : public ITransferView {
public:
    void SetStatus(const std::string&) override {}
    void SetProgress(int) override {}
};

std::string TempDir() {
    char name[] = "/tmp/vireo-transcript-bench-XXXXXX";
    const char* d = mkdtemp(name);
    return d ? d : "/tmp";
}

// Seconds from the first block the module received to the last EOT.
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

double Flash(const std::string& dir, const std::string& image, const CrcTable& table) {
    setenv("VIREO_PORT_DIR", dir.c_str(), 1);
    vireo::sim::SimConfig config;
    config.damaged = true; // in its bootloader at 115200
    config.pacing = true;
    config.portDir = dir;
    config.dataDir = std::filesystem::canonical("/proc/self/exe").parent_path().string() + "/";
    vireo::sim::Simulator sim(config);
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
    settings.filePath = image;
    settings.crcTable = &table;
    const TransferOutcome outcome = CFirmwareTransfer(line, view).Run(settings);
    port.Close();
    return outcome.result == TransferResult::Completed ? BlockPhase(sim) : -1;
}

void FlashWithTranscript(benchmark::State& state) {
    const std::string dir = TempDir();
    const std::string image = dir + "/image.ebl";
    {
        std::string payload(256 * 1024 - vireo::sim::kImageHeaderSize, '\0');
        for (size_t i = 0; i < payload.size(); ++i)
            payload[i] = static_cast<char>((i * 2654435761u) >> 13);
        std::ofstream(image, std::ios::binary) << vireo::sim::BuildImage("KA40", "v1.2.0", payload);
    }
    CrcTable table;
    BuildCrcTable(table);
    for (auto _ : state) {
        const double without = Flash(dir, image, table);
        std::string error;
        auto transcript = CTranscript::Start(dir + "/traffic.log", "transcript_bench", error);
        SetActiveTranscript(transcript);
        const double with = transcript ? Flash(dir, image, table) : -1;
        SetActiveTranscript(nullptr);
        if (transcript)
            transcript->Stop();
        if (without <= 0 || with <= 0) {
            state.SkipWithError(("a transfer failed " + error).c_str());
            return;
        }
        state.SetIterationTime(with);
        state.counters["without_s"] = without;
        state.counters["with_s"] = with;
        state.counters["slowdown"] = with / without - 1;
        state.counters["log_kb"] = std::filesystem::file_size(dir + "/traffic.log") / 1024.0;
    }
    std::filesystem::remove_all(dir);
}
BENCHMARK(FlashWithTranscript)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

} // namespace

BENCHMARK_MAIN();
