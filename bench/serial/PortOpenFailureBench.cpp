// How long Open takes to fail and say why: a missing port, a device that is no serial line,
// and a busy port, whose diagnosis scans every process's open descriptors under /proc.
#include "serial/SerialPort.h"
#include "tests/support/PtyPeer.h"

#include <benchmark/benchmark.h>

#include <unistd.h>

namespace {

void FailingOpen(benchmark::State& state, int port, vireo::PortOpenCause expected) {
    CSerialPort probe;
    for (auto _ : state) {
        if (probe.Open(port, 9600, 0, 8, 0, 10) != 0 || probe.OpenFailure().cause != expected) {
            state.SkipWithError(("unexpected outcome: " + probe.LastError()).c_str());
            return;
        }
    }
    state.counters["limit_ms"] = 100;
}

void BM_OpenFailsNoSuchDevice(benchmark::State& state) {
    vireo::test::CTempPortDir dir;
    FailingOpen(state, 9, vireo::PortOpenCause::NoSuchDevice);
}
BENCHMARK(BM_OpenFailsNoSuchDevice)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_OpenFailsNotSerial(benchmark::State& state) {
    vireo::test::CTempPortDir dir;
    if (symlink("/dev/null", (dir.Path() + "/COM5").c_str()) != 0) {
        state.SkipWithError("cannot register /dev/null");
        return;
    }
    FailingOpen(state, 5, vireo::PortOpenCause::NotSerial);
}
BENCHMARK(BM_OpenFailsNotSerial)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_OpenFailsBusyWithHolderScan(benchmark::State& state) {
    vireo::test::CTempPortDir dir;
    vireo::test::CPtyPeer peer(3);
    CSerialPort holder;
    if (holder.Open(3, 9600, 0, 8, 0, 10) != 1) {
        state.SkipWithError("cannot open the pty");
        return;
    }
    FailingOpen(state, 3, vireo::PortOpenCause::Busy);
}
BENCHMARK(BM_OpenFailsBusyWithHolderScan)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
