// Export of every parameter of a sample module (KA40 v1.1.0, 41 writable parameters), on the
// local module and on a remote module one radio hop away, at the line rate. Each read polls
// every 10 ms until its reply is complete; its floor is the polls the bytes of the command and
// of the reply need on the line (plus the radio's two ways for a remote read), at least one.
//   build/bin/config_export_bench
#include "app/ManagerCore.h"
#include "config/ConfigExport.h"
#include "config/ConstructLoader.h"
#include "sim/Simulator.h"
#include "tests/support/PtyPeer.h"
#include "tests/support/ScriptedUi.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <thread>

namespace {

constexpr int kPollMs = 10;
constexpr int kRadioDelayMs = 40;
const std::string kRemoteEui = "00124B000A0B0C0D";

void BM_Export(benchmark::State& state) {
    const int baud = static_cast<int>(state.range(0));
    const bool remote = state.range(1) == 1;
    vireo::test::CTempPortDir dir;
    vireo::test::CScriptedUi ui;
    vireo::sim::SimConfig config;
    config.baudRate = baud;
    config.pacing = true;
    config.dataDir = VIREO_DATA_DIR;
    config.timing.radioDelayMs = kRadioDelayMs;
    config.remotes = {{"KA40", "v1.1.0", kRemoteEui, "Far node", "1", "1234"}};
    vireo::sim::Simulator sim(config);
    sim.Start();
    CManagerCore core;
    core.m_strPortName = "COM1";
    core.m_nBaudRate = baud;
    core.OnOpen();
    if (core.m_bPortOpen != 1) {
        state.SkipWithError("no connection");
        return;
    }
    long long polls = 0;
    core.m_sleep = [&polls](int ms) {
        polls += ms == kPollMs ? 1 : 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    };
    auto data = std::make_unique<CConstructData>();
    ConstructLoadRequest request;
    request.fileName = "KA40_v1.1.0.vmcon";
    request.remoteMode = remote;
    request.directory = std::string(VIREO_DATA_DIR) + "/";
    ParseConstructFile(*data, request);
    const CConfigTarget target = remote ? CConfigTarget(core, kRemoteEui) : CConfigTarget(core);

    long long reads = 0;
    double floorPolls = 0;
    int failed = 0;
    for (auto _ : state) {
        sim.ClearReceived();
        polls = 0;
        const ConfigExportResult r = ExportConfiguration(target, *data, dir.Path() + "/b.zgb");
        failed += r.failed;
        reads += r.saved + r.failed;
        // Each read needs at least its share of the bytes on the line, in whole polls.
        const double lineMs =
            static_cast<double>(sim.ReceivedText().size() + sim.SentText().size()) * 10 * 1000 /
            baud;
        const double perRead = lineMs / (r.saved + r.failed) + (remote ? 2 * kRadioDelayMs : 0);
        floorPolls += std::max(1.0, perRead / kPollMs) * (r.saved + r.failed);
        state.counters["polls_per_read"] = static_cast<double>(polls) / (r.saved + r.failed);
    }
    state.counters["params"] = static_cast<double>(reads) / state.iterations();
    state.counters["floor_polls_per_read"] = floorPolls / reads;
    state.counters["failed"] = failed;
    core.ShutdownLink();
}

BENCHMARK(BM_Export)
    ->ArgsProduct({{9600, 115200}, {0, 1}})
    ->ArgNames({"baud", "remote"})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();

} // namespace

BENCHMARK_MAIN();
